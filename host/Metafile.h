// Enhanced metafiles: a finished picture (TMetafile) and the canvas that records one.
#pragma once

#include "Export.h"
#include "PainterCanvas.h"
#include "Types.h"

#include <QImage>

#include <cstdint>
#include <memory>
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
    const std::vector<std::uint8_t>& Data() const { return data_; }
    // The same picture as a bitmap.
    const QImage& Picture() const { return picture_; }

    // Writes the metafile through a temporary file and a rename, so that a failed save
    // leaves neither a half-written file nor a lost older one. Raises an error that
    // names the file.
    void SaveToFile(const TString& fileName) const;

private:
    friend class TMetafileCanvas;
    bool enhanced_ = true;
    int width_ = 0;
    int height_ = 0;
    std::vector<std::uint8_t> data_;
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

private:
    void UsePen();
    void UseBrush();

    TMetafile& metafile_;
    QImage shadow_;
    std::unique_ptr<EmfWriter> writer_;
};

} // namespace kritzel
