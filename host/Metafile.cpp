#include "Metafile.h"

#include "Colors.h"
#include "Exceptions.h"
#include "Screen.h"
#include "Strings.h"
#include "internal/EmfWriter.h"
#include "internal/SafeFile.h"

#include <vector>

namespace kritzel {

TMetafile::TMetafile() = default;
TMetafile::~TMetafile() = default;

void TMetafile::SaveToFile(const TString& fileName) const {
    SaveFileWhole(fileName, std::span<const std::uint8_t>(data_.get(), size_), "metafile");
    if (incomplete_)
        throw EKritzelwerk("cannot save the metafile \"" + fileName +
                           "\": the drawing reached the 4 GiB a metafile can hold; the file "
                           "holds what came before");
}

std::unique_ptr<TMetafileCanvas> StartRecording(TMetafile& metafile, int width, int height) {
    metafile.SetEnhanced(true);
    metafile.SetHeight(height);
    metafile.SetWidth(width);
    return std::make_unique<TMetafileCanvas>(metafile, nullptr);
}

TMetafileCanvas::TMetafileCanvas(TMetafile& metafile, HDC referenceDevice) : metafile_(metafile) {
    const int ppi =
        referenceDevice ? GetDeviceCaps(referenceDevice, LOGPIXELSY) : Screen().PixelsPerInch();
    const int w = std::max(metafile.Width(), 0), h = std::max(metafile.Height(), 0);
    shadow_ = QImage(w, h, QImage::Format_RGB32);
    if (!shadow_.isNull()) shadow_.fill(Qt::white);
    BeginImage(&shadow_, ppi);
    writer_ = std::make_unique<EmfWriter>(w, h, ppi);
}

TMetafileCanvas::~TMetafileCanvas() {
    End();
    // Finishing needs no memory of its own (the writer keeps room for the end record).
    EmfWriter::Bytes bytes = writer_->FinishBytes();
    metafile_.size_ = bytes.size;
    metafile_.data_ = std::shared_ptr<const std::uint8_t>(std::move(bytes.data));
    metafile_.incomplete_ = writer_->Full();
    metafile_.picture_ = shadow_;
}

std::size_t TMetafileCanvas::RecordCount() const {
    return writer_->RecordCount();
}

// Inline, so that it stays out of the library's exported symbols.
inline TColor TMetafileCanvas::Rgb(TColor c) const {
    return FromQColor(Resolve(c));
}

void TMetafileCanvas::UsePen() {
    writer_->UsePen(Rgb(Pen().Color()), Pen().Width());
}

void TMetafileCanvas::UseBrush() {
    writer_->UseBrush(Rgb(Brush().Color()), Brush().Style() == bsClear);
}

void TMetafileCanvas::MoveTo(int x, int y) {
    writer_->MoveTo(x, y);
    TPainterCanvas::MoveTo(x, y);
}

void TMetafileCanvas::LineTo(int x, int y) {
    UsePen();
    writer_->LineTo(x, y);
    TPainterCanvas::LineTo(x, y);
}

void TMetafileCanvas::Ellipse(int x1, int y1, int x2, int y2) {
    UsePen();
    UseBrush();
    writer_->Ellipse(x1, y1, x2, y2);
    TPainterCanvas::Ellipse(x1, y1, x2, y2);
}

void TMetafileCanvas::FillRect(const TRect& r) {
    if (Brush().Style() != bsClear)
        writer_->FillRect(r.Left, r.Top, r.Right, r.Bottom, Rgb(Brush().Color()));
    TPainterCanvas::FillRect(r);
}

void TMetafileCanvas::Polygon(std::span<const TPoint> points) {
    UsePen();
    UseBrush();
    std::vector<std::int32_t> xy;
    xy.reserve(points.size() * 2);
    for (const TPoint& p : points) {
        xy.push_back(p.x);
        xy.push_back(p.y);
    }
    writer_->Polygon(xy.data(), int(points.size()));
    TPainterCanvas::Polygon(points);
}

void TMetafileCanvas::TextOut(int x, int y, const TString& text) {
    const QFont& font = CurrentFont();
    const QString s = ToUnicode(text);
    const std::u16string face = font.family().toStdU16String();
    writer_->UseFont(face, font.pixelSize(), Rgb(Font().Color()));
    const bool clear = Brush().Style() == bsClear;
    writer_->SetBkModeTransparent(clear, Rgb(Brush().Color()));
    // Readers place glyphs by the advance of each UTF-16 unit; the second half of a
    // surrogate pair advances by nothing.
    const QFontMetrics& metrics = CurrentMetrics();
    std::vector<std::int32_t> advances(size_t(s.size()), 0);
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i].isHighSurrogate() && i + 1 < s.size()) {
            advances[size_t(i)] = metrics.horizontalAdvance(s.mid(i, 2));
            ++i;
        } else {
            advances[size_t(i)] = metrics.horizontalAdvance(s[i]);
        }
    }
    writer_->TextOut(x, y, s.toStdU16String(), metrics.horizontalAdvance(s), advances);
    TPainterCanvas::TextOut(x, y, text);
}

void TMetafileCanvas::CopyRect(const TRect& dest, TCanvas& source, const TRect& sourceRect) {
    TPainterCanvas::CopyRect(dest, source, sourceRect);
    // The record carries what the copy left in the picture, clipped to it.
    const int l = std::max(dest.Left, 0), t = std::max(dest.Top, 0);
    const int r = std::min(dest.Right, shadow_.width()),
              b = std::min(dest.Bottom, shadow_.height());
    if (r <= l || b <= t) return;
    const auto* pixels = reinterpret_cast<const std::uint32_t*>(shadow_.constScanLine(t)) + l;
    writer_->BitBlt(l, t, r - l, b - t, pixels, int(shadow_.bytesPerLine() / 4));
}

} // namespace kritzel
