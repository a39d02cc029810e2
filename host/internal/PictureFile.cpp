#include "PictureFile.h"

#include "../Exceptions.h"
#include "../Metafile.h"
#include "../PainterCanvas.h"
#include "../Screen.h"
#include "../Strings.h"
#include "SafeFile.h"

#include <QBuffer>
#include <QFileInfo>
#include <QPageSize>
#include <QPdfWriter>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>
#include <optional>

namespace kritzel {

namespace {

enum class Format { PNG, SVG, PDF, Metafile };

std::optional<Format> FormatOf(const QString& name) {
    const QString ending = QFileInfo(name).suffix().toLower();
    if (ending == QLatin1String("png")) return Format::PNG;
    if (ending == QLatin1String("svg")) return Format::SVG;
    if (ending == QLatin1String("pdf")) return Format::PDF;
    if (ending == QLatin1String("emf") || ending == QLatin1String("wmf")) return Format::Metafile;
    return std::nullopt;
}

// SVG lengths are written in hundredths of a millimetre: the header gives the size in
// millimetres, which Qt computes from a resolution in whole dots per inch.
constexpr int SvgDpi = 2540;

} // namespace

struct TPictureFile::Impl {
    TString name;
    QString path;
    Format format = Format::PNG;
    QImage image;
    QBuffer buffer;
    std::unique_ptr<QSvgGenerator> svg;
    std::unique_ptr<QPdfWriter> pdf;
    TPainterCanvas canvas;
    std::unique_ptr<TMetafile> metafile;
    std::unique_ptr<TMetafileCanvas> recorder;

    [[noreturn]] void Fail(const std::string& why) const {
        throw EKritzelwerk("cannot save the drawing \"" + name + "\": " + why);
    }

    void Write(const QByteArray& bytes) const {
        SaveFileWhole(name,
                      std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                std::size_t(bytes.size())),
                      "drawing");
    }
};

TPictureFile::TPictureFile(const TString& fileName, int width, int height, int pixelsPerLE,
                           const QWidget* paletteSource)
    : d(std::make_unique<Impl>()) {
    d->name = fileName;
    d->path = ToUnicode(fileName);
    const std::optional<Format> format = FormatOf(d->path);
    if (QFileInfo(d->path).suffix().isEmpty())
        d->Fail("the name has no ending, which chooses the format: .png, .svg, .pdf, .emf, .wmf");
    if (!format)
        d->Fail("the ending \"." + FromUnicode(QFileInfo(d->path).suffix()) +
                "\" is none of the formats known: .png, .svg, .pdf, .emf, .wmf");
    d->format = *format;
    width = std::max(width, 1);
    height = std::max(height, 1);
    const int dpi = Screen().PixelsPerInch();
    // Millimetres per pixel, so that pixelsPerLE pixels are one centimetre.
    const double mmPerPixel = 10.0 / std::max(pixelsPerLE, 1);
    switch (d->format) {
    case Format::PNG:
        d->image = QImage(width, height, QImage::Format_RGB32);
        if (d->image.isNull()) d->Fail("no memory for a picture of this size");
        d->image.fill(Qt::white);
        d->canvas.SetPaletteSource(paletteSource);
        d->canvas.BeginImage(&d->image, dpi);
        break;
    case Format::SVG: {
        const double scale = mmPerPixel * SvgDpi / 25.4;
        const QSize size(int(std::lround(width * scale)), int(std::lround(height * scale)));
        d->svg = std::make_unique<QSvgGenerator>();
        d->svg->setOutputDevice(&d->buffer);
        d->svg->setResolution(SvgDpi);
        d->svg->setSize(size);
        d->svg->setViewBox(QRect(QPoint(0, 0), size));
        d->svg->setTitle(QFileInfo(d->path).completeBaseName());
        d->svg->setDescription(QStringLiteral("Kritzel-Werk"));
        d->canvas.SetPaletteSource(paletteSource);
        d->canvas.BeginPicture(d->svg.get(), width, height, dpi, scale);
        break;
    }
    case Format::PDF: {
        constexpr int PdfDpi = 1200;
        d->buffer.open(QIODevice::WriteOnly);
        d->pdf = std::make_unique<QPdfWriter>(&d->buffer);
        d->pdf->setCreator(QStringLiteral("Kritzel-Werk"));
        d->pdf->setTitle(QFileInfo(d->path).completeBaseName());
        d->pdf->setResolution(PdfDpi);
        d->pdf->setPageMargins(QMarginsF(0, 0, 0, 0));
        d->pdf->setPageSize(QPageSize(QSizeF(width * mmPerPixel, height * mmPerPixel),
                                      QPageSize::Millimeter, QString(), QPageSize::ExactMatch));
        d->canvas.SetPaletteSource(paletteSource);
        d->canvas.BeginPicture(d->pdf.get(), width, height, dpi, mmPerPixel * PdfDpi / 25.4);
        break;
    }
    case Format::Metafile:
        // As the recording of Device = tdWMF makes it, so the bytes are the same.
        d->metafile = std::make_unique<TMetafile>();
        d->recorder = StartRecording(*d->metafile, width, height);
        break;
    }
    if (d->format != Format::Metafile && !d->canvas.Active())
        d->Fail("no surface could be opened for it");
}

TPictureFile::~TPictureFile() = default;

TCanvas* TPictureFile::Canvas() {
    if (d->recorder) return d->recorder.get();
    return &d->canvas;
}

void TPictureFile::Save() {
    if (d->format == Format::Metafile) {
        // Freeing the recorder completes the metafile.
        d->recorder.reset();
        d->metafile->SaveToFile(d->name);
        return;
    }
    const bool finished = d->canvas.End();
    d->svg.reset();
    d->pdf.reset();
    if (!finished) d->Fail("the picture could not be completed");
    if (d->format == Format::PNG) {
        QBuffer png;
        png.open(QIODevice::WriteOnly);
        if (!d->image.save(&png, "PNG")) d->Fail("the picture could not be encoded");
        d->Write(png.data());
    } else {
        d->Write(d->buffer.data());
    }
}

} // namespace kritzel
