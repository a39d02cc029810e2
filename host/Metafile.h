// Enhanced metafiles: a finished picture (TMetafile) and the canvas that records one.
#pragma once

#include "Export.h"
#include "PainterCanvas.h"
#include "Types.h"

#include <QImage>

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

namespace kritzel {

class EmfWriter;

/// An enhanced metafile (EMF): a picture as drawing records.
class KRITZELWERK_EXPORT TMetafile {
public:
    /// An empty metafile.
    TMetafile();
    /// Frees the metafile.
    ~TMetafile();

    /// Whether the metafile is enhanced (EMF); always written as such.
    bool Enhanced() const { return enhanced_; }
    /// Sets the enhanced flag; the file is EMF either way.
    void SetEnhanced(bool on) { enhanced_ = on; }
    /// Picture size in device pixels of the reference device.
    int Width() const { return width_; }
    /// Sets the picture's width in device pixels.
    void SetWidth(int w) { width_ = w; }
    /// Picture height in device pixels.
    int Height() const { return height_; }
    /// Sets the picture's height in device pixels.
    void SetHeight(int h) { height_ = h; }

    /// The finished enhanced metafile; empty until a canvas has recorded into it.
    std::span<const std::uint8_t> Data() const { return {data_.get(), size_}; }
    /// Whether the recording reached the format's 4 GiB limit and left commands out.
    bool Incomplete() const { return incomplete_; }
    /// The same picture as a bitmap.
    const QImage& Picture() const { return picture_; }

    /// Writes the metafile through a temporary file and a rename,
    /// so that a failed save leaves neither a half-written file nor a lost older one.
    /// Raises an error that names the file.
    /// Only a regular file (or nothing) is replaced: a folder, a symbolic link,
    /// a device or a pipe at the name is refused,
    /// and so is a name that holds a NUL or is not UTF-8.
    /// An incomplete picture is written and then reported as an error.
    void SaveToFile(const TString& fileName) const;

private:
    friend class TMetafileCanvas;
    bool enhanced_ = true;
    int width_ = 0;
    int height_ = 0;
    std::shared_ptr<const std::uint8_t> data_;
    std::size_t size_ = 0;
    bool incomplete_ = false;
    QImage picture_;
};

/// Records every operation into its metafile and paints it into a shadow image,
/// so that CopyRect can read back what was drawn.
/// Freeing the canvas completes the metafile.
class KRITZELWERK_EXPORT TMetafileCanvas : public TPainterCanvas {
public:
    /// With no reference device, the picture is recorded at the screen's resolution.
    explicit TMetafileCanvas(TMetafile& metafile, HDC referenceDevice = nullptr);
    /// Completes the metafile: its data and picture are ready.
    ~TMetafileCanvas() override;

    /// Makes (x, y) the current point and records it.
    void MoveTo(int x, int y) override;
    /// Records and draws a line with the pen to (x, y).
    void LineTo(int x, int y) override;
    /// Records and draws the ellipse inscribed in the box.
    void Ellipse(int x1, int y1, int x2, int y2) override;
    /// Records and draws the rectangle filled with the brush.
    void FillRect(const TRect& r) override;
    /// Records and draws the closed polygon.
    void Polygon(std::span<const TPoint> points) override;
    /// Records and draws text with its top-left corner at (x, y).
    void TextOut(int x, int y, const TString& text) override;
    /// Records and draws a copy of source's pixels.
    void CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect) override;

    /// How many records the metafile holds so far.
    std::size_t RecordCount() const;
    /// The writer behind the canvas, for tests (its type is internal).
    EmfWriter& Writer() { return *writer_; }

private:
    // The colour as the metafile records it: a system colour as the shadow draws it.
    TColor Rgb(TColor c) const;
    void UsePen();
    void UseBrush();

    TMetafile& metafile_;
    QImage shadow_;
    std::unique_ptr<EmfWriter> writer_;
};

/// Starts a recording as the metafile devices (`tdWMF`, `tdClipb`) make it:
/// `metafile` becomes an enhanced metafile of width x height pixels,
/// and the canvas returned records into it at the screen's resolution.
/// Freeing the canvas completes the metafile.
KRITZELWERK_EXPORT std::unique_ptr<TMetafileCanvas> StartRecording(TMetafile& metafile, int width,
                                                                   int height);

} // namespace kritzel
