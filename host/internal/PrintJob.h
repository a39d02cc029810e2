// Internal to the Kritzel-Werk library: not installed, not part of its interface;
// may change without notice.
#pragma once

// How a page reaches a print queue: one file per print path, chosen by CMake
// (KRITZEL_PRINT_PATH: cups is PrintJobCups.cpp, qt PrintJobQt.cpp). A job to a PDF file
// needs none of this; TPrinter writes it with Qt alone.

#include "../Types.h"

#include <memory>

class QPrinter;

namespace kritzel {

/// One job of one page on a print queue, from before the queue is looked up until the
/// queue has it. Its failures are `EKritzelwerk`s that name the queue or the print server.
class PrintJob {
public:
    virtual ~PrintJob() = default;

    /// Before Qt looks the queue up: makes sure that doing so cannot hang (CUPS asks the
    /// print server with bounded waits, handling events meanwhile).
    virtual void Reach() = 0;
    /// Directs `printer`, already set to `queue`, to where this path wants the page drawn.
    virtual void Begin(QPrinter& printer, const TString& queue, int copies) = 0;
    /// Hands the drawn page to the queue, once the painting has ended and the page is
    /// written; events are handled meanwhile where the path has to wait.
    virtual void Submit(const TString& title, int copies) = 0;
    // Destroying a job that was not submitted drops its page.
};

/// A job on this build's print path.
std::unique_ptr<PrintJob> NewPrintJob();

} // namespace kritzel
