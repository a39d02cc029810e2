// The drawing surface: one abstract canvas with its pen, brush, font and device context.
#pragma once

#include "DeviceContext.h"
#include "Export.h"
#include "Types.h"

#include <cstdint>
#include <span>

namespace kritzel {

enum TBrushStyle : std::uint8_t { bsSolid = 0, bsClear = 1 };

class TPen {
public:
    TColor Color() const { return color_; }
    void SetColor(TColor c) { color_ = c; }
    int Width() const { return width_; }
    void SetWidth(int w) { width_ = w; }

private:
    TColor color_ = clBlack;
    int width_ = 1;
};

class TBrush {
public:
    TColor Color() const { return color_; }
    // A clear brush turns solid when it is given a colour, as the framework's brush does.
    void SetColor(TColor c) {
        color_ = c;
        style_ = bsSolid;
    }
    TBrushStyle Style() const { return style_; }
    void SetStyle(TBrushStyle s) { style_ = s; }

private:
    TColor color_ = clWhite;
    TBrushStyle style_ = bsSolid;
};

class TFont {
public:
    const TString& Name() const { return name_; }
    void SetName(const TString& n) {
        name_ = n;
        ++version_;
    }
    // Size in points.
    int Size() const { return size_; }
    void SetSize(int s) {
        size_ = s;
        ++version_;
    }
    TColor Color() const { return color_; }
    void SetColor(TColor c) { color_ = c; }
    // Changes whenever name or size change, so a surface can cache what it built from them.
    std::uint32_t Version() const { return version_; }

private:
    TString name_ = "Tahoma";
    int size_ = 8;
    TColor color_ = clWindowText;
    std::uint32_t version_ = 0;
};

class KRITZELWERK_EXPORT TCanvas {
public:
    TCanvas() = default;
    TCanvas(const TCanvas&) = delete;
    TCanvas& operator=(const TCanvas&) = delete;
    virtual ~TCanvas() = default;

    TPen& Pen() { return pen_; }
    TBrush& Brush() { return brush_; }
    TFont& Font() { return font_; }
    // The device context: mapping mode and extents in force on this surface.
    HDC Handle() { return &dc_; }

    TPoint PenPos() const { return penPos_; }

    virtual void MoveTo(int x, int y) { penPos_ = TPoint{x, y}; }
    // A line with the pen from the current point to (x, y), which becomes the current point.
    virtual void LineTo(int x, int y) = 0;
    // The ellipse inscribed in the box, outlined with the pen and filled with the brush.
    virtual void Ellipse(int x1, int y1, int x2, int y2) = 0;
    // Fills the rectangle with the brush, without outline.
    virtual void FillRect(const TRect& r) = 0;
    // The closed polygon, outlined with the pen and filled with the brush.
    virtual void Polygon(std::span<const TPoint> points) = 0;
    // Text with its top-left corner at (x, y); moves the current point behind the text.
    virtual void TextOut(int x, int y, const TString& text) = 0;
    virtual int TextWidth(const TString& text) = 0;
    // Copies the pixels of source's rectangle into dest on this canvas.
    virtual void CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect) = 0;
    // The colour at a device point; -1 (invalid) outside the surface.
    virtual TColor Pixels(int x, int y) = 0;

protected:
    TPoint penPos_;
    TDeviceContext dc_;

private:
    TPen pen_;
    TBrush brush_;
    TFont font_;
};

} // namespace kritzel
