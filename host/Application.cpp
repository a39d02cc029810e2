#include "Application.h"

#include "Clock.h"
#include "Keyboard.h"
#include "Snapshot.h"
#include "internal/Guarded.h"
#include "internal/PaintQueue.h"
#include "internal/RuntimeFolder.h"
#include "internal/Services.h"

#include <QApplication>
#include <QBasicTimer>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QKeyEvent>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QPointer>
#include <QThread>
#include <QTimerEvent>
#include <QTranslator>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>

namespace kritzel {

namespace {

using SteadyClock = std::chrono::steady_clock;

// How often a running command looks at the window system's queue.
constexpr auto PollInterval = std::chrono::microseconds(500);

// Says when the window system's queue is due to be looked at again. A thread of its own
// keeps the time, so that a running command's ProcessMessages reads one flag between
// two looks instead of a clock. It waits only while a command pumps: each look starts
// one interval, and with no look the thread sleeps until the next.
class PollTicker {
public:
    PollTicker() = default;
    PollTicker(const PollTicker&) = delete;
    PollTicker& operator=(const PollTicker&) = delete;
    ~PollTicker() {
        {
            const std::lock_guard lock(mutex_);
            stop_ = true;
        }
        wakeUp_.notify_one();
        if (thread_.joinable()) thread_.join();
    }

    // Whether an interval has passed since the last Rearm (at first: yes).
    bool Due() const { return due_.load(std::memory_order_relaxed); }

    // Starts the next interval.
    void Rearm() {
        due_.store(false, std::memory_order_relaxed);
        {
            const std::lock_guard lock(mutex_);
            armed_ = true;
            if (!thread_.joinable()) thread_ = std::thread([this] { Run(); });
        }
        wakeUp_.notify_one();
    }

private:
    void Run() {
        std::unique_lock lock(mutex_);
        for (;;) {
            wakeUp_.wait(lock, [this] { return armed_ || stop_; });
            if (stop_) return;
            armed_ = false;
            if (wakeUp_.wait_for(lock, PollInterval, [this] { return stop_; })) return;
            due_.store(true, std::memory_order_relaxed);
        }
    }

    std::atomic<bool> due_{true};
    std::mutex mutex_;
    std::condition_variable wakeUp_;
    bool armed_ = false;
    bool stop_ = false;
    std::thread thread_;
};

// Exceptions must not travel through Qt's frames: whatever escapes an event handler is
// caught here and reported, and the loop goes on.
class KritzelQApplication : public QApplication {
public:
    KritzelQApplication(int& argc, char** argv) : QApplication(argc, argv) {}
    bool notify(QObject* receiver, QEvent* event) override {
        // A handler that failed counts as having handled its event.
        bool handled = true;
        Guarded([&] { handled = QApplication::notify(receiver, event); },
                "unknown exception in an event handler", Services::Current().report);
        return handled;
    }
};

// Whether a paint cycle or an event handler of the loop is running further up the stack:
// there, once the application is closing, the drawing is broken off. A program that goes
// on after the loop has ended (main after Run) keeps drawing.
bool InsideTheLoop() {
    return QThread::currentThread()->loopLevel() > 0;
}

void StartOffscreenWithoutDisplay() {
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) return;
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

} // namespace

TApplication* TApplication::current_ = nullptr;

// The application's own pump and key tracker, and the event filter that feeds them.
struct Q_DECL_HIDDEN TApplication::Impl : public QObject, public TMessagePump {
    std::unique_ptr<QApplication> own;
    TExceptionEvent onException;
    bool reporting = false;
    QPointer<QWidget> mainForm;

    TKeyTracker tracker;
    PaintQueue paints;

    PollTicker poll;
    QBasicTimer wake;

    // Qt's own texts in the user's language (the print, file and colour dialogs, the
    // buttons of the questions), from Qt's translations; English where there are none.
    std::unique_ptr<QTranslator> qtTexts;

    void LoadQtTranslations() {
        auto texts = std::make_unique<QTranslator>();
        if (!texts->load(QLocale(), QStringLiteral("qt"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
            return;
        QCoreApplication::installTranslator(texts.get());
        qtTexts = std::move(texts);
    }

    // The handler of uncaught exceptions there was before the application's own.
    std::terminate_handler previousTerminate = nullptr;
    bool ownTerminate = false;

    // A failure of the library that nothing caught (a save in main without try) ends the
    // program with its message in one line and status 1, as an error, not as a crash. Any
    // other exception is the program's own fault: it goes on to the handler there was
    // before (the standard one aborts and names it), where a debugger stops.
    [[noreturn]] static void EndUncaught() {
        try {
            if (std::exception_ptr e = std::current_exception()) std::rethrow_exception(e);
        } catch (const EKritzelwerk& failure) {
            std::string line = failure.what();
            std::replace(line.begin(), line.end(), '\n', ' ');
            std::fflush(stdout);
            std::fprintf(stderr, "Kritzel-Werk: %s\n", line.c_str());
            std::fflush(stderr);
            std::_Exit(1);
        } catch (...) {
        }
        const std::terminate_handler next = current_ ? current_->d->previousTerminate : nullptr;
        if (next) next();
        std::abort();
    }

    // Puts the application's services in: what the units below it read.
    void Install(TApplication* app) {
        Services& services = Services::Current();
        services.keyboard = services.keys = &tracker;
        services.pump = services.ownPump = this;
        services.paints = &paints;
        services.report = [app](const std::exception& e) { app->HandleException(e); };
        services.closing = false;
        QCoreApplication::instance()->installEventFilter(this);
        paints.Install(services.report);
    }

    // Takes them out again, as the application ends.
    void Uninstall() {
        Services& services = Services::Current();
        if (services.paints != &paints) return;
        services.keyboard = services.keys = nullptr;
        services.pump = services.ownPump = nullptr;
        services.paints = nullptr;
        services.report = nullptr;
    }

    static bool Closing() { return Services::Current().closing; }

    void ProcessMessages() override { Process(); }
    void WaitMessage(std::uint32_t timeoutMs) override { Wait(timeoutMs); }

    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
        case QEvent::KeyPress: {
            auto* k = static_cast<QKeyEvent*>(event);
            tracker.KeyDown(VirtualKeyFromQt(k->key()));
            break;
        }
        case QEvent::KeyRelease: {
            auto* k = static_cast<QKeyEvent*>(event);
            if (!k->isAutoRepeat()) tracker.KeyUp(VirtualKeyFromQt(k->key()));
            break;
        }
        case QEvent::ApplicationDeactivate:
            tracker.ReleaseAll();
            break;
        case QEvent::Quit:
            if (watched == QCoreApplication::instance()) Services::Current().closing = true;
            break;
        default:
            break;
        }
        return false;
    }

    void timerEvent(QTimerEvent* event) override {
        // The wake-up of a paced wait: it only has to end the wait in the event system.
        if (event->timerId() == wake.timerId()) wake.stop();
    }

    void Process() {
        if (paints.HasPending()) paints.Deliver();
        if (poll.Due()) {
            // Rearmed first: a handler that pumps again in there does not look again.
            poll.Rearm();
            QCoreApplication::processEvents();
            if (paints.HasPending()) paints.Deliver();
            paints.PresentIfDue(SteadyClock::now());
        }
        // However the drawing was started (a paint request, Repaint from a button or a
        // timer), it ends here once the application is closing: every wait would return
        // at once, and the drawing would run on unpaced and unseen.
        if (Closing() && (paints.Delivering() || InsideTheLoop())) throw EAbort();
    }

    void Wait(std::uint32_t timeoutMs) {
        if (Closing()) return;
        paints.PresentAll(SteadyClock::now());
        if (paints.HasPending()) return;
        wake.start(int(std::min<std::uint32_t>(timeoutMs, 1u << 30)), Qt::PreciseTimer, this);
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        wake.stop();
        poll.Rearm();
    }
};

TApplication::TApplication(int& argc, char** argv) : d(std::make_unique<Impl>()) {
    if (current_) throw EKritzelwerk("a TApplication is already running");
    if (QCoreApplication::instance() &&
        QThread::currentThread() != QCoreApplication::instance()->thread())
        throw EKritzelwerk("a TApplication must be created on the thread that runs Qt's "
                           "event loop");
    if (!QCoreApplication::instance()) {
        StartOffscreenWithoutDisplay();
        NameRuntimeFolder();
        d->own = std::make_unique<KritzelQApplication>(argc, argv);
        d->LoadQtTranslations();
    }
    current_ = this;
    SetGuiThread();
    d->Install(this);
    d->previousTerminate = std::set_terminate(&Impl::EndUncaught);
    d->ownTerminate = true;
}

TApplication::TApplication(Attached) : d(std::make_unique<Impl>()) {
    current_ = this;
    d->Install(this);
}

TApplication::~TApplication() {
    // Unless the program has put a handler of its own in meanwhile.
    if (d->ownTerminate && std::get_terminate() == &Impl::EndUncaught)
        std::set_terminate(d->previousTerminate);
    if (current_ == this) current_ = nullptr;
    if (QCoreApplication::instance()) QCoreApplication::instance()->removeEventFilter(d.get());
    d->Uninstall();
    d->paints.Clear();
    // The parts go before the QApplication they were started in, which goes last: they
    // are QObjects (the event filter, its wake-up timer, the paint queue with its posted
    // request) and a translator installed in the application, and each takes itself out
    // of the application's event dispatcher and lists as it dies, which must still be
    // there to be left.
    std::unique_ptr<QApplication> own = std::move(d->own);
    d.reset();
}

int TApplication::Run() {
    if (Terminated()) return 0;
    if (HasDisplay()) return QCoreApplication::exec();
    // Without a display nobody could ever close the windows: paint them once, keep
    // each as a picture file (and its drawings, where they are asked for) and end.
    for (int i = 0; i < 10; ++i) {
        QCoreApplication::processEvents();
        d->paints.Deliver();
    }
    return KeepShownWindows();
}

// A test may have put a pump of its own in; otherwise the pump is d itself.
void TApplication::ProcessMessages() {
    TMessagePump* pump = Services::Current().pump;
    (pump ? pump : d.get())->ProcessMessages();
}

void TApplication::WaitMessage(std::uint32_t timeoutMs) {
    TMessagePump* pump = Services::Current().pump;
    (pump ? pump : d.get())->WaitMessage(timeoutMs);
}

bool TApplication::Terminated() const {
    return Services::Current().closing;
}

void TApplication::Terminate() {
    Services::Current().closing = true;
    QCoreApplication::quit();
}

void TApplication::SetOnException(TExceptionEvent handler) {
    d->onException = std::move(handler);
}

void TApplication::HandleException(const std::exception& e) {
    if (d->onException) {
        d->onException(e);
        return;
    }
    std::fprintf(stderr, "Kritzel-Werk: %s\n", e.what());
    std::fflush(stderr);
    if (HasDisplay() && !d->reporting) {
        d->reporting = true;
        QMessageBox::critical(nullptr, QStringLiteral("Kritzel-Werk"), QString::fromUtf8(e.what()));
        d->reporting = false;
    }
}

QWidget* TApplication::MainForm() const {
    return d->mainForm;
}
void TApplication::SetMainForm(QWidget* form) {
    d->mainForm = form;
}

bool TApplication::HasDisplay() const {
    const QString p = QGuiApplication::platformName();
    return !p.isEmpty() && p != QLatin1String("offscreen") && p != QLatin1String("minimal");
}

TApplication& Application() {
    CheckGuiThread();
    if (TApplication::current_) return *TApplication::current_;
    if (!QCoreApplication::instance())
        throw EKritzelwerk("Kritzel-Werk needs a running TApplication; create one first");
    // Attaching happens on the loop's thread only.
    if (QThread::currentThread() != QCoreApplication::instance()->thread())
        throw EKritzelwerk("Kritzel-Werk was called from a worker thread: a turtle and the "
                           "application may only be used on the GUI thread");
    // A host that started Qt itself: attach once, for the rest of the process.
    static TApplication* attached = [] {
        SetGuiThread();
        return new TApplication(TApplication::Attached{});
    }();
    return *attached;
}

} // namespace kritzel
