// Qt's own print path, where there is no CUPS (Windows, macOS): QPrinter prints on the
// queue itself and hands it the page as the painting ends. It does not say whether the
// queue took the job; a job Qt reports as failed is an error all the same (TPrinter
// reads the printer's state).

#include "PrintJob.h"

#include <QPrinter>

namespace kritzel {

namespace {

class QtJob final : public PrintJob {
public:
    // Qt's lookup of the queue needs no guard here.
    void Reach() override {}
    // The queue is asked for the copies.
    void Begin(QPrinter& printer, const TString&, int copies) override {
        printer.setCopyCount(copies);
    }
    // The page went to the queue as the painting ended.
    void Submit(const TString&, int) override {}
};

} // namespace

std::unique_ptr<PrintJob> NewPrintJob() {
    return std::make_unique<QtJob>();
}

} // namespace kritzel
