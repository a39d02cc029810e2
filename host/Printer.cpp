#include "Printer.h"

#include "Application.h"
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

#include <chrono>
#include <cmath>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace kritzel {

#if defined(KRITZEL_HAVE_CUPS)
namespace {

// How long the print server may take to answer before printing gives up on it.
constexpr int serverTimeoutMs = 4000;

std::string ServerName() {
    const char* server = cupsServer();
    return server && *server ? server : "localhost";
}

EKritzelwerk Silent(const std::string& server) {
    return EKritzelwerk("cannot print: the print server \"" + server +
                        "\" did not answer; printing gave up waiting for it");
}

// A connection of its own to the print server, whose every wait ends after the timeout.
http_t* Connect(const std::string& server) {
    http_t* http = httpConnect2(server.c_str(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                                serverTimeoutMs, nullptr);
    if (http)
        httpSetTimeout(
            http, serverTimeoutMs / 1000.0, [](http_t*, void*) { return 0; }, nullptr);
    return http;
}

// Talks to the print server on a worker thread while this one goes on handling events
// (repaints, closing, Escape), and gives up when the server stays silent. A worker left
// behind ends by itself: its own waits are bounded as well.
template <class R, class F> std::optional<R> WhileResponsive(F talk) {
    auto task = std::make_shared<std::packaged_task<R()>>(std::move(talk));
    std::future<R> done = task->get_future();
    std::thread([task] { (*task)(); }).detach();
    // Connecting and the request's own waits are bounded each; this bounds them together.
    const auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(2 * serverTimeoutMs + 500);
    while (done.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready) {
        if (std::chrono::steady_clock::now() >= deadline) return std::nullopt;
        Application().ProcessMessages();
        Application().WaitMessage(10);
    }
    return done.get();
}

struct Answer {
    enum { Answered, Unreachable, Silent } how = Silent;
    std::string server;
};

// Whether the print server answers at all; one that is not there is no delay.
Answer AskServer(const std::string& server) {
    Answer answer{Answer::Unreachable, server};
    http_t* http = Connect(answer.server);
    if (!http) return answer;
    ipp_t* response = cupsDoRequest(http, ippNewRequest(IPP_OP_CUPS_GET_DEFAULT), "/");
    answer.how = response ? Answer::Answered : Answer::Silent;
    ippDelete(response);
    httpClose(http);
    return answer;
}

} // namespace
#endif

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
    if (busy_)
        throw EKritzelwerk("cannot print: the printer is still waiting for the print server");
#if defined(KRITZEL_HAVE_CUPS)
    if (fileName_.empty()) {
        // Qt asks the server for its queues and would wait for it without end.
        busy_ = true;
        // Named here: CUPS keeps the server a program chose per thread.
        const std::string server = ServerName();
        std::optional<Answer> answer;
        try {
            answer = WhileResponsive<Answer>([server] { return AskServer(server); });
        } catch (...) {
            busy_ = false;
            throw;
        }
        busy_ = false;
        if (!answer || answer->how == Answer::Silent) throw Silent(server);
    }
#endif
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

void TPrinter::AbortDoc() {
    if (!printing_) return;
    printing_ = false;
    canvas_.End();
    printer_.reset();
    spool_.reset();
    queue_.clear();
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
    std::unique_ptr<QTemporaryFile> spool = std::move(spool_);
    const std::string queue = std::move(queue_);
    queue_.clear();
    const QByteArray path = QFile::encodeName(spool->fileName());
    cups_option_t* options = nullptr;
    int optionCount = 0;
    if (copies_ > 1)
        optionCount =
            cupsAddOption("copies", std::to_string(copies_).c_str(), optionCount, &options);
    // The worker owns copies of all it needs: it may outlive this call.
    const std::string server = ServerName(), title = title_;
    struct Sent {
        int job = 0;
        std::string error;
        bool silent = false;
    };
    busy_ = true;
    std::optional<Sent> sent;
    try {
        sent = WhileResponsive<Sent>(
            [server, queue, title, path = QByteArray(path), optionCount, options] {
                Sent result;
                http_t* http = Connect(server);
                if (!http) {
                    result.error = cupsLastErrorString();
                } else {
                    result.job = cupsPrintFile2(http, queue.c_str(), path.constData(),
                                                title.c_str(), optionCount, options);
                    if (result.job == 0) {
                        result.error = cupsLastErrorString();
                        result.silent = cupsLastError() == IPP_STATUS_ERROR_SERVICE_UNAVAILABLE;
                    }
                    httpClose(http);
                }
                cupsFreeOptions(optionCount, options);
                return result;
            });
    } catch (...) {
        busy_ = false;
        // The spool file must stay until the worker has sent it; it is left behind then.
        spool->setAutoRemove(false);
        throw;
    }
    busy_ = false;
    if (!sent) {
        // The worker may still be reading the page.
        spool->setAutoRemove(false);
        throw Silent(server);
    }
    if (sent->silent) throw Silent(server);
    if (sent->job == 0)
        throw EKritzelwerk("cannot print on the print queue \"" + queue + "\": " + sent->error);
#endif
}

TPrinter& Printer() {
    static TPrinter printer;
    return printer;
}

} // namespace kritzel
