#include "Printer.h"

#include "Exceptions.h"
#include "Strings.h"
#include "internal/PrintJob.h"

#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>

#include <cmath>
#include <memory>
#include <string>
#include <utility>

namespace kritzel {

namespace {

// Marks the printer as waiting for its print path while a job pumps events, so that a
// handler cannot begin another job meanwhile.
class Busy {
public:
    explicit Busy(bool& flag) : flag_(flag) { flag_ = true; }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;
    ~Busy() { flag_ = false; }

private:
    bool& flag_;
};

} // namespace

TPrinter::TPrinter() = default;

TPrinter::~TPrinter() {
    canvas_.End();
}

void TPrinter::ChooseFrom(const QPrinter& chosen) {
    const bool toFile =
        chosen.outputFormat() == QPrinter::PdfFormat && !chosen.outputFileName().isEmpty();
    fileName_ = toFile ? FromUnicode(chosen.outputFileName()) : TString();
    printerName_ = toFile ? TString() : FromUnicode(chosen.printerName());
    SetCopies(chosen.copyCount());
}

void TPrinter::PresetOn(QPrinter& printer) const {
    if (!printerName_.empty()) printer.setPrinterName(ToUnicode(printerName_));
    if (!fileName_.empty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(ToUnicode(fileName_));
    }
    printer.setCopyCount(copies_);
}

void TPrinter::BeginDoc() {
    if (printing_) return;
    if (busy_)
        throw EKritzelwerk("cannot print: the printer is still waiting for the print server");
    std::unique_ptr<PrintJob> job;
    if (fileName_.empty()) {
        // Before the first QPrinter: making one looks the default queue up.
        job = NewPrintJob();
        Busy busy(busy_);
        job->Reach();
    }
    auto printer = std::make_unique<QPrinter>(QPrinter::HighResolution);
    std::string target;
    if (!job) {
        printer->setOutputFormat(QPrinter::PdfFormat);
        printer->setOutputFileName(ToUnicode(fileName_));
        target = "file \"" + fileName_ + "\"";
    } else {
        QPrinterInfo info = printerName_.empty()
                                ? QPrinterInfo::defaultPrinter()
                                : QPrinterInfo::printerInfo(ToUnicode(printerName_));
        if (info.isNull()) {
            if (printerName_.empty())
                throw EKritzelwerk(
                    "cannot print: there is no default print queue and no file to print to");
            throw EKritzelwerk("cannot print: there is no print queue \"" + printerName_ + "\"");
        }
        const TString queue = FromUnicode(info.printerName());
        printer->setOutputFormat(QPrinter::NativeFormat);
        printer->setPrinterName(info.printerName());
        job->Begin(*printer, queue, copies_);
        target = "print queue \"" + queue + "\"";
    }
    printer->setDocName(ToUnicode(title_));
    printer->setFullPage(false);
    // The printable area in whole millimetres, as the component measures paper.
    const QRectF area = printer->pageLayout().paintRect(QPageLayout::Millimeter);
    canvas_.BeginDevice(printer.get(), int(std::floor(area.width())),
                        int(std::floor(area.height())));
    if (!canvas_.Active())
        throw EKritzelwerk("cannot print: the " + target + " could not be opened");
    printer_ = std::move(printer);
    job_ = std::move(job);
    target_ = target;
    printing_ = true;
}

void TPrinter::AbortDoc() {
    if (!printing_) return;
    printing_ = false;
    canvas_.End();
    printer_.reset();
    job_.reset();
    target_.clear();
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
    target_.clear();
    // The job is over when this call ends, however it ends.
    const std::unique_ptr<PrintJob> job = std::move(job_);
    if (!written)
        throw EKritzelwerk("cannot print: the page for the " + target + " could not be written");
    if (!job) return;
    Busy busy(busy_);
    job->Submit(title_, copies_);
}

TPrinter& Printer() {
    static TPrinter printer;
    return printer;
}

} // namespace kritzel
