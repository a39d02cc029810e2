#include "PictureFile.h"

#include "../Exceptions.h"
#include "../Metafile.h"
#include "../PainterCanvas.h"
#include "../PictureFormats.h"
#include "../Screen.h"
#include "../Strings.h"
#include "SafeFile.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>
#include <QPageSize>
#include <QPdfWriter>
#include <QSvgGenerator>

#include <algorithm>
#include <array>
#include <cmath>

namespace kritzel {

namespace {

// How a format's picture is made.
enum class Surface {
    Raster,  // the control's pixels, encoded by QImageWriter
    Svg,     // vectors at true size, text as text
    Pdf,     // one page of the drawing's size, at true size
    Metafile // the records Device = tdWMF writes
};

struct Format {
    const char* name;
    std::array<const char*, 2> endings; // the usual one first; unused places are null
    Surface surface;
    const char* writer; // QImageWriter's name for a raster format
};

// Every format a drawing is saved in, in the order the error text and file dialogs name
// them. A raster format is one row: QImageWriter encodes the control's pixels.
constexpr Format Formats[] = {
    {"PNG image", {"png"}, Surface::Raster, "png"},
    {"SVG drawing", {"svg"}, Surface::Svg, nullptr},
    {"PDF document", {"pdf"}, Surface::Pdf, nullptr},
    {"Enhanced Metafile", {"emf"}, Surface::Metafile, nullptr},
    {"Metafile", {"wmf"}, Surface::Metafile, nullptr},
    {"JPEG image", {"jpg", "jpeg"}, Surface::Raster, "jpeg"},
    {"BMP image", {"bmp"}, Surface::Raster, "bmp"},
};

// A raster format is written only where Qt has its image plugin.
bool Writable(const Format& f) {
    return f.surface != Surface::Raster ||
           QImageWriter::supportedImageFormats().contains(QByteArray(f.writer));
}

const Format* FormatFor(const QString& ending) {
    for (const Format& f : Formats)
        for (const char* e : f.endings)
            if (e && ending == QLatin1String(e)) return &f;
    return nullptr;
}

// ".png, .svg, …": the endings of the formats written here, for an error text.
std::string KnownEndings() {
    std::string text;
    for (const TPictureFormat& f : PictureFormats())
        for (const TString& e : f.Endings)
            text += (text.empty() ? "." : ", .") + e;
    return text;
}

// SVG lengths are written in hundredths of a millimetre: the header gives the size in
// millimetres, which Qt computes from a resolution in whole dots per inch.
constexpr int SvgDpi = 2540;

} // namespace

std::vector<TPictureFormat> PictureFormats() {
    std::vector<TPictureFormat> formats;
    for (const Format& f : Formats) {
        if (!Writable(f)) continue;
        TPictureFormat& row = formats.emplace_back();
        row.Name = f.name;
        for (const char* e : f.endings)
            if (e) row.Endings.push_back(e);
    }
    return formats;
}

struct PictureFile::Impl {
    TString name;
    QString path;
    const Format* format = nullptr;
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

PictureFile::PictureFile(const TString& fileName, int width, int height, int pixelsPerLE,
                         const QWidget* paletteSource)
    : d(std::make_unique<Impl>()) {
    d->name = fileName;
    d->path = ToUnicode(fileName);
    const QString ending = QFileInfo(d->path).suffix().toLower();
    if (ending.isEmpty())
        d->Fail("the name has no ending, which chooses the format: " + KnownEndings());
    d->format = FormatFor(ending);
    if (!d->format)
        d->Fail("the ending \"." + FromUnicode(QFileInfo(d->path).suffix()) +
                "\" is none of the formats known: " + KnownEndings());
    if (!Writable(*d->format))
        d->Fail(std::string("this Qt cannot write the format ") + d->format->name +
                ": its image format plugin is missing");
    width = std::max(width, 1);
    height = std::max(height, 1);
    const int dpi = Screen().PixelsPerInch();
    // Millimetres per pixel, so that pixelsPerLE pixels are one centimetre.
    const double mmPerPixel = 10.0 / std::max(pixelsPerLE, 1);
    switch (d->format->surface) {
    case Surface::Raster:
        d->image = QImage(width, height, QImage::Format_RGB32);
        if (d->image.isNull()) d->Fail("no memory for a picture of this size");
        d->image.fill(Qt::white);
        d->canvas.SetPaletteSource(paletteSource);
        d->canvas.BeginImage(&d->image, dpi);
        break;
    case Surface::Svg: {
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
    case Surface::Pdf: {
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
    case Surface::Metafile:
        // As the recording of Device = tdWMF makes it, so the bytes are the same.
        d->metafile = std::make_unique<TMetafile>();
        d->recorder = StartRecording(*d->metafile, width, height);
        break;
    }
    if (d->format->surface != Surface::Metafile && !d->canvas.Active())
        d->Fail("no surface could be opened for it");
}

PictureFile::~PictureFile() = default;

TCanvas* PictureFile::Canvas() {
    if (d->recorder) return d->recorder.get();
    return &d->canvas;
}

void PictureFile::Save() {
    if (d->format->surface == Surface::Metafile) {
        // Freeing the recorder completes the metafile.
        d->recorder.reset();
        d->metafile->SaveToFile(d->name);
        return;
    }
    const bool finished = d->canvas.End();
    d->svg.reset();
    d->pdf.reset();
    if (!finished) d->Fail("the picture could not be completed");
    if (d->format->surface == Surface::Raster) {
        QBuffer encoded;
        encoded.open(QIODevice::WriteOnly);
        QImageWriter writer(&encoded, d->format->writer);
        if (!writer.write(d->image))
            d->Fail("the picture could not be encoded: " + FromUnicode(writer.errorString()));
        d->Write(encoded.data());
    } else {
        d->Write(d->buffer.data());
    }
}

} // namespace kritzel
