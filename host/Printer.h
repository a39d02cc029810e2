// The printer: one shared object over Qt's printer, on the system's default print queue
// or on a PDF file that the application names.
#pragma once

#include "Export.h"
#include "PainterCanvas.h"
#include "Types.h"

#include <memory>

class QPrinter;

namespace kritzel {

class PrintJob;

/// The printer: one job of one page on the default print queue,
/// a chosen queue or a PDF file. Programs reach it through `Printer()`.
class KRITZELWERK_EXPORT TPrinter {
public:
    /// A printer on the default queue, 1 copy.
    TPrinter();
    TPrinter(const TPrinter&) = delete;
    TPrinter& operator=(const TPrinter&) = delete;
    /// Frees the printer; a job still open is not sent to a queue:
    /// end it with `EndDoc`.
    ~TPrinter();

    /// The job's name in the print queue.
    const TString& Title() const { return title_; }
    /// Sets the job's name in the print queue.
    void SetTitle(const TString& title) { title_ = title; }

    /// Print into this PDF file instead of the default queue;
    /// empty prints to the queue.
    const TString& FileName() const { return fileName_; }
    /// Prints into this PDF file; "" prints to the queue.
    void SetFileName(const TString& path) { fileName_ = path; }
    /// Print on this queue instead of the default one; empty uses the default.
    const TString& PrinterName() const { return printerName_; }
    /// Prints on this queue; "" uses the default.
    void SetPrinterName(const TString& name) { printerName_ = name; }
    /// Copies the queue prints of the page (at least 1); a PDF file holds it once.
    int Copies() const { return copies_; }
    /// Sets the copies the queue prints (at least 1).
    void SetCopies(int copies) { copies_ = copies < 1 ? 1 : copies; }

    /// What the system's print dialog chose on its printer: the queue or the PDF file,
    /// and the copies. The next job prints there.
    void ChooseFrom(const QPrinter& chosen);
    /// Sets a printer up with the current choice,
    /// so that a print dialog starts from it.
    void PresetOn(QPrinter& printer) const;

    /// Starts a job of one page.
    /// Raises an error naming the queue or file when there is none,
    /// or when it cannot be opened, and then leaves everything as it was.
    /// Waiting for the print server, the application goes on handling events;
    /// a server that does not answer within a few seconds is an error that names it.
    void BeginDoc();
    /// Ends the job and sends it; does nothing when no job is open.
    /// Raises an error naming the queue when the queue does not take the job,
    /// or the server when it does not answer within a few seconds;
    /// events are handled meanwhile.
    void EndDoc();
    /// Whether a job is open.
    bool Printing() const { return printing_; }
    /// Drops the open job unprinted (its control went away as it began).
    void AbortDoc();

    /// The page's surface; its device context starts in device pixels.
    TCanvas* Canvas() { return &canvas_; }
    /// The page's device context.
    HDC Handle() { return canvas_.Handle(); }

private:
    TString title_;
    TString fileName_;
    TString printerName_;
    int copies_ = 1;
    bool printing_ = false;
    // Waiting for the print server, with events handled meanwhile.
    bool busy_ = false;
    std::unique_ptr<QPrinter> printer_;
    // The open job's way to its print queue, on the print path this library was built
    // with; none for a PDF file.
    std::unique_ptr<PrintJob> job_;
    // What the job prints on, for messages.
    std::string target_;
    TPainterCanvas canvas_;
};

/// The application's printer. Example:
/// `Printer().SetFileName("bild.pdf")` before `tdPrinter`.
KRITZELWERK_EXPORT TPrinter& Printer();

} // namespace kritzel
