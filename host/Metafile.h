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

class KRITZELWERK_EXPORT TMetafile {
public:
    TMetafile();
    ~TMetafile();

    bool Enhanced() const { return enhanced_; }
    void SetEnhanced(bool on) { enhanced_ = on; }
    // Picture size in device pixels of the reference device.
    int Width() const { return width_; }
    void SetWidth(int w) { width_ = w; }
    int Height() const { return height_; }
    void SetHeight(int h) { height_ = h; }

    // The finished enhanced metafile; empty until a canvas has recorded into it.
    std::span<const std::uint8_t> Data() const { return {data_.get(), size_}; }
    // Whether the recording reached the format's 4 GiB limit and left commands out.
    bool Incomplete() const { return incomplete_; }
    // The same picture as a bitmap.
    const QImage& Picture() const { return picture_; }

    // Writes the metafile through a temporary file and a rename, so that a failed save
    // leaves neither a half-written file nor a lost older one. Raises an error that
    // names the file. Only a regular file (or nothing) is replaced: a folder, a symbolic
    // link, a device or a pipe at the name is refused, and so is a name that holds a NUL
    // or is not UTF-8. An incomplete picture is written and then reported as an error.
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

// Records every operation into its metafile and paints it into a shadow image, so that
// CopyRect can read back what was drawn. Freeing the canvas completes the metafile.
class KRITZELWERK_EXPORT TMetafileCanvas : public PainterCanvas {
public:
    // With no reference device, the picture is recorded at the screen's resolution.
    explicit TMetafileCanvas(TMetafile& metafile, HDC referenceDevice = nullptr);
    ~TMetafileCanvas() override;

    void MoveTo(int x, int y) override;
    void LineTo(int x, int y) override;
    void Ellipse(int x1, int y1, int x2, int y2) override;
    void FillRect(const TRect& r) override;
    void Polygon(std::span<const TPoint> points) override;
    void TextOut(int x, int y, const TString& text) override;
    void CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect) override;

    std::size_t RecordCount() const;
    // The writer behind the canvas, for tests (its type is internal).
    EmfWriter& Writer() { return *writer_; }

private:
    void UsePen();
    void UseBrush();

    TMetafile& metafile_;
    QImage shadow_;
    std::unique_ptr<EmfWriter> writer_;
};

} // namespace kritzel
