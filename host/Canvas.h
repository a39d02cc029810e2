// The drawing surface: one abstract canvas with its pen, brush, font and device context.
#pragma once

#include "DeviceContext.h"
#include "Export.h"
#include "Types.h"

#include <cstdint>
#include <span>

namespace kritzel {

class TPainterCanvas;

/// How a brush fills: `bsSolid` with its colour, `bsClear` not at all.
enum TBrushStyle : std::uint8_t { bsSolid = 0, bsClear = 1 };

/// The pen of a canvas: colour and width of lines and outlines.
class TPen {
public:
    /// The pen's colour.
    TColor Color() const { return color_; }
    /// Sets the pen's colour.
    void SetColor(TColor c) { color_ = c; }
    /// The pen's width in device units.
    int Width() const { return width_; }
    /// Sets the pen's width in device units.
    void SetWidth(int w) { width_ = w; }

private:
    TColor color_ = clBlack;
    int width_ = 1;
};

/// The brush of a canvas: how shapes are filled.
class TBrush {
public:
    /// The brush's colour.
    TColor Color() const { return color_; }
    /// A clear brush turns solid when it is given a colour,
    /// as the framework's brush does.
    void SetColor(TColor c) {
        color_ = c;
        style_ = bsSolid;
    }
    /// Whether the brush fills (`bsSolid`) or not (`bsClear`).
    TBrushStyle Style() const { return style_; }
    /// Sets whether the brush fills.
    void SetStyle(TBrushStyle s) { style_ = s; }

private:
    TColor color_ = clWhite;
    TBrushStyle style_ = bsSolid;
};

/// The font of a canvas: name, size in points and colour of text.
class TFont {
public:
    /// The font's family name.
    const TString& Name() const { return name_; }
    /// Sets the font's family name, e.g. "DejaVu Sans".
    void SetName(const TString& n) {
        name_ = n;
        ++version_;
    }
    /// Size in points.
    int Size() const { return size_; }
    /// Sets the size in points.
    void SetSize(int s) {
        size_ = s;
        ++version_;
    }
    /// The text colour.
    TColor Color() const { return color_; }
    /// Sets the text colour.
    void SetColor(TColor c) { color_ = c; }
    /// Changes whenever name or size change,
    /// so a surface can cache what it built from them.
    std::uint32_t Version() const { return version_; }

private:
    TString name_ = "Tahoma";
    int size_ = 8;
    TColor color_ = clWindowText;
    std::uint32_t version_ = 0;
};

/// A drawing surface in device units (origin top left, y down) with its pen,
/// brush and font. The turtle draws on one; a pupil's program does not need it.
class KRITZELWERK_EXPORT TCanvas {
public:
    /// An empty surface with a black pen of width 1,
    /// a white solid brush and the default font.
    TCanvas() = default;
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;
    /// Frees the surface.
    virtual ~TCanvas() = default;

    /// The pen for lines and outlines.
    TPen& Pen() { return pen_; }
    /// The brush for fills.
    TBrush& Brush() { return brush_; }
    /// The font for text.
    TFont& Font() { return font_; }
    /// The device context: mapping mode and extents in force on this surface.
    HDC Handle() { return &dc_; }

    /// The current point, where the next line starts.
    TPoint PenPos() const { return penPos_; }

    /// Makes (x, y) the current point without drawing.
    virtual void MoveTo(int x, int y) { penPos_ = TPoint{x, y}; }
    /// A line with the pen from the current point to (x, y),
    /// which becomes the current point.
    virtual void LineTo(int x, int y) = 0;
    /// The ellipse inscribed in the box,
    /// outlined with the pen and filled with the brush.
    virtual void Ellipse(int x1, int y1, int x2, int y2) = 0;
    /// Fills the rectangle with the brush, without outline.
    virtual void FillRect(const TRect& r) = 0;
    /// The closed polygon, outlined with the pen and filled with the brush.
    virtual void Polygon(std::span<const TPoint> points) = 0;
    /// Text with its top-left corner at (x, y);
    /// moves the current point behind the text.
    virtual void TextOut(int x, int y, const TString& text) = 0;
    /// The width of text in the current font, in device units.
    virtual int TextWidth(const TString& text) = 0;
    /// Copies the pixels of source's rectangle into dest on this canvas.
    virtual void CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect) = 0;
    /// The colour at a device point; -1 (invalid) outside the surface.
    virtual TColor Pixels(int x, int y) = 0;

protected:
    /// The current point.
    TPoint penPos_;
    /// The mapping mode and extents in force.
    TDeviceContext dc_;

private:
    // The painter canvas this surface is, or null: a painter canvas copies pixels from
    // another directly, and this answers cheaply what a type lookup would on every
    // copy of the sprite's save-under.
    friend class TPainterCanvas;
    virtual TPainterCanvas* AsPainterCanvas() { return nullptr; }

    TPen pen_;
    TBrush brush_;
    TFont font_;
};

} // namespace kritzel
