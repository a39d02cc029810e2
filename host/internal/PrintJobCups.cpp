// The print path through CUPS: the page is drawn into a PDF with the queue's paper and
// margins and handed to the queue when the job ends. Unlike Qt's own submission, that
// says whether the queue took the job. The print server is asked on a worker thread
// with bounded waits while this one goes on handling events.

#include "PrintJob.h"

#include "../Application.h"
#include "../Exceptions.h"
#include "../Strings.h"

#include <QDir>
#include <QFile>
#include <QPageLayout>
#include <QPrinter>
#include <QTemporaryFile>

#include <cups/cups.h>

#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <thread>

namespace kritzel {

namespace {

// How long the print server may take to answer before printing gives up on it.
constexpr int ServerTimeoutMs = 4000;

std::string ServerName() {
    const char* server = cupsServer();
    return server && *server ? server : "localhost";
}

EKritzelwerk SilentServer(const std::string& server) {
    return EKritzelwerk("cannot print: the print server \"" + server +
                        "\" did not answer; printing gave up waiting for it");
}

// A connection of its own to the print server, whose every wait ends after the timeout.
http_t* Connect(const std::string& server) {
    http_t* http = httpConnect2(server.c_str(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                                ServerTimeoutMs, nullptr);
    if (http)
        httpSetTimeout(
            http, ServerTimeoutMs / 1000.0, [](http_t*, void*) { return 0; }, nullptr);
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
        std::chrono::steady_clock::now() + std::chrono::milliseconds(2 * ServerTimeoutMs + 500);
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

// The page's spool file, removed when the last of the job and the worker that sends it
// lets go: a worker the job gave up on still reads it, and removes it when it ends.
struct SpoolFile {
    QString path;
    SpoolFile() = default;
    SpoolFile(const SpoolFile&) = delete;
    SpoolFile& operator=(const SpoolFile&) = delete;
    ~SpoolFile() {
        if (!path.isEmpty()) QFile::remove(path);
    }
};

class CupsJob final : public PrintJob {
public:
    void Reach() override {
        // Qt asks the server for its queues and would wait for it without end.
        // Named here: CUPS keeps the server a program chose per thread.
        const std::string server = ServerName();
        const std::optional<Answer> answer =
            WhileResponsive<Answer>([server] { return AskServer(server); });
        if (!answer || answer->how == Answer::Silent) throw SilentServer(server);
    }

    void Begin(QPrinter& printer, const TString& queue, int) override {
        const QPageLayout layout = printer.pageLayout();
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageLayout(layout);
        auto spool = std::make_shared<SpoolFile>();
        QTemporaryFile file(QDir::tempPath() + QStringLiteral("/kritzelwerk-XXXXXX.pdf"));
        if (!file.open())
            throw EKritzelwerk("cannot print: no temporary file for the print queue \"" + queue +
                               "\": " + FromUnicode(file.errorString()));
        file.setAutoRemove(false);
        spool->path = file.fileName();
        printer.setOutputFileName(spool->path);
        spool_ = std::move(spool);
        queue_ = queue;
    }

    void Submit(const TString& title, int copies) override {
        const QByteArray path = QFile::encodeName(spool_->path);
        cups_option_t* options = nullptr;
        int optionCount = 0;
        if (copies > 1)
            optionCount =
                cupsAddOption("copies", std::to_string(copies).c_str(), optionCount, &options);
        // The worker owns copies of all it needs: it may outlive this call.
        const std::string server = ServerName();
        struct Sent {
            int job = 0;
            std::string error;
            bool silent = false;
        };
        const std::optional<Sent> sent = WhileResponsive<Sent>(
            [server, queue = queue_, title, path, optionCount, options, spool = spool_] {
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
        if (!sent) throw SilentServer(server);
        if (sent->silent) throw SilentServer(server);
        if (sent->job == 0)
            throw EKritzelwerk("cannot print on the print queue \"" + queue_ +
                               "\": " + sent->error);
    }

private:
    // The page on its way to the queue, shared with the worker that sends it.
    std::shared_ptr<SpoolFile> spool_;
    TString queue_;
};

} // namespace

std::unique_ptr<PrintJob> NewPrintJob() {
    return std::make_unique<CupsJob>();
}

} // namespace kritzel
