#include "Printer.h"

#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>

#include <cmath>
#include <stdexcept>

namespace kritzel {

TPrinter::TPrinter() = default;

TPrinter::~TPrinter() {
    canvas_.End();
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
                throw std::runtime_error(
                    "cannot print: there is no default print queue and no file to print to");
            throw std::runtime_error("cannot print: there is no print queue \"" + printerName_ +
                                     "\"");
        }
        printer->setOutputFormat(QPrinter::NativeFormat);
        printer->setPrinterName(info.printerName());
        target = "print queue \"" + info.printerName().toStdString() + "\"";
    }
    printer->setDocName(QString::fromStdString(title_));
    printer->setFullPage(false);
    // The printable area in whole millimetres, as the component measures paper.
    const QRectF area = printer->pageLayout().paintRect(QPageLayout::Millimeter);
    canvas_.BeginDevice(printer.get(), int(std::floor(area.width())),
                        int(std::floor(area.height())));
    if (!canvas_.Active())
        throw std::runtime_error("cannot print: the " + target + " could not be opened");
    printer_ = std::move(printer);
    printing_ = true;
}

void TPrinter::EndDoc() {
    if (!printing_) return;
    printing_ = false;
    canvas_.End();
    printer_.reset();
}

TPrinter& Printer() {
    static TPrinter printer;
    return printer;
}

} // namespace kritzel
