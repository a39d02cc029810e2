#include "Printer.h"

#include "Exceptions.h"

#include <QDir>
#include <QFile>
#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTemporaryFile>

#if defined(KRITZEL_HAVE_CUPS)
#include <cups/cups.h>
#endif

#include <cmath>
#include <string>

namespace kritzel {

TPrinter::TPrinter() = default;

TPrinter::~TPrinter() {
    canvas_.End();
}

void TPrinter::ChooseFrom(const QPrinter& chosen) {
    const bool toFile =
        chosen.outputFormat() == QPrinter::PdfFormat && !chosen.outputFileName().isEmpty();
    fileName_ = toFile ? chosen.outputFileName().toStdString() : TString();
    printerName_ = toFile ? TString() : chosen.printerName().toStdString();
    SetCopies(chosen.copyCount());
}

void TPrinter::PresetOn(QPrinter& printer) const {
    if (!printerName_.empty()) printer.setPrinterName(QString::fromStdString(printerName_));
    if (!fileName_.empty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(fileName_));
    }
    printer.setCopyCount(copies_);
}

void TPrinter::BeginDoc() {
    if (printing_) return;
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    std::string target;
    if (!fileName_.empty()) {
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(QString::fromStdString(fileName_));
        target = "file \"" + fileName_ + "\"";
    } else {
        QPrinterInfo info = printerName_.empty()
                                ? QPrinterInfo::defaultPrinter()
                                : QPrinterInfo::printerInfo(QString::fromStdString(printerName_));
        if (info.isNull()) {
            if (printerName_.empty())
                throw EKritzelwerk(
                    "cannot print: there is no default print queue and no file to print to");
            throw EKritzelwerk("cannot print: there is no print queue \"" + printerName_ + "\"");
        }
        printer->setOutputFormat(QPrinter::NativeFormat);
        printer->setPrinterName(info.printerName());
#if defined(KRITZEL_HAVE_CUPS)
        // The page is drawn into a PDF with the queue's paper and margins and handed to
        // the queue when the job ends: unlike Qt's own submission, that says whether
        // the queue took the job.
        const QPageLayout layout = printer->pageLayout();
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setPageLayout(layout);
        auto spool = std::make_unique<QTemporaryFile>(QDir::tempPath() +
                                                      QStringLiteral("/kritzelwerk-XXXXXX.pdf"));
        if (!spool->open())
            throw EKritzelwerk("cannot print: no temporary file for the print queue \"" +
                               info.printerName().toStdString() +
                               "\": " + spool->errorString().toStdString());
        spool->close();
        printer->setOutputFileName(spool->fileName());
        spool_ = std::move(spool);
#else
        // Qt's own print path asks the queue for the copies.
        printer->setCopyCount(copies_);
#endif
        queue_ = info.printerName().toStdString();
        target = "print queue \"" + queue_ + "\"";
    }
    printer->setDocName(QString::fromStdString(title_));
    printer->setFullPage(false);
    // The printable area in whole millimetres, as the component measures paper.
    const QRectF area = printer->pageLayout().paintRect(QPageLayout::Millimeter);
    canvas_.BeginDevice(printer.get(), int(std::floor(area.width())),
                        int(std::floor(area.height())));
    if (!canvas_.Active()) {
        spool_.reset();
        queue_.clear();
        throw EKritzelwerk("cannot print: the " + target + " could not be opened");
    }
    printer_ = std::move(printer);
    target_ = target;
    printing_ = true;
}

void TPrinter::EndDoc() {
    if (!printing_) return;
    printing_ = false;
    bool written = canvas_.End();
    // Qt's own print path hands the page to the queue as the painting ends.
    if (printer_->printerState() == QPrinter::Error ||
        printer_->printerState() == QPrinter::Aborted)
        written = false;
    printer_.reset();
    const std::string target = std::move(target_);
    if (!written) {
        spool_.reset();
        queue_.clear();
        throw EKritzelwerk("cannot print: the page for the " + target + " could not be written");
    }
    if (!spool_) {
        queue_.clear();
        return;
    }
#if defined(KRITZEL_HAVE_CUPS)
    const std::unique_ptr<QTemporaryFile> spool = std::move(spool_);
    const std::string queue = std::move(queue_);
    queue_.clear();
    const QByteArray path = QFile::encodeName(spool->fileName());
    cups_option_t* options = nullptr;
    int optionCount = 0;
    if (copies_ > 1)
        optionCount =
            cupsAddOption("copies", std::to_string(copies_).c_str(), optionCount, &options);
    const int job = cupsPrintFile2(CUPS_HTTP_DEFAULT, queue.c_str(), path.constData(),
                                   title_.c_str(), optionCount, options);
    cupsFreeOptions(optionCount, options);
    if (job == 0)
        throw EKritzelwerk("cannot print on the print queue \"" + queue +
                           "\": " + cupsLastErrorString());
#endif
}

TPrinter& Printer() {
    static TPrinter printer;
    return printer;
}

} // namespace kritzel
