#include "Application.h"

#include "PaintBox.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QBasicTimer>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPointer>
#include <QRegularExpression>
#include <QSaveFile>
#include <QTimerEvent>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <vector>

#if defined(Q_OS_UNIX)
#include <unistd.h>
#endif

namespace kritzel {

namespace {

TApplication* current = nullptr;

using Clock = std::chrono::steady_clock;

// How often a running command looks at the window system's queue, and how often it
// presents what it drew.
constexpr auto pollInterval = std::chrono::microseconds(500);
constexpr auto frameInterval = std::chrono::milliseconds(16);

const QEvent::Type deliverPaintEvent = QEvent::Type(QEvent::User + 0x4b57);

class MonotonicClock : public TClock {
public:
    std::uint32_t Ticks() override { return MonotonicTicks(); }
};

// Exceptions must not travel through Qt's frames: whatever escapes an event handler is
// caught here and reported, and the loop goes on.
class KritzelQApplication : public QApplication {
public:
    KritzelQApplication(int& argc, char** argv) : QApplication(argc, argv) {}
    bool notify(QObject* receiver, QEvent* event) override {
        try {
            return QApplication::notify(receiver, event);
        } catch (const EAbort&) {
            return true;
        } catch (const std::exception& e) {
            Application().HandleException(e);
            return true;
        } catch (...) {
            Application().HandleException(
                std::runtime_error("unknown exception in an event handler"));
            return true;
        }
    }
};

// Qt wants a private runtime folder and warns on every start when none is named; the
// one it would choose by itself is named here, quietly.
void NameRuntimeFolder() {
#if defined(Q_OS_UNIX)
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) return;
    const QString dir = QDir::tempPath() + QStringLiteral("/runtime-%1").arg(getuid());
    if (QDir().mkpath(dir) &&
        QFile::setPermissions(dir, QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                       QFileDevice::ExeOwner))
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(dir));
#endif
}

void StartOffscreenWithoutDisplay() {
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) return;
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

} // namespace

std::uint32_t MonotonicTicks() {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch());
    return static_cast<std::uint32_t>(ms.count());
}

std::uint32_t GetTickCount() {
    TClock* c = current ? current->Clock() : nullptr;
    return c ? c->Ticks() : MonotonicTicks();
}

struct Q_DECL_HIDDEN TApplication::Impl : public QObject {
    std::unique_ptr<QApplication> own;
    bool terminated = false;
    TExceptionEvent onException;
    bool reporting = false;
    QPointer<QWidget> mainForm;

    MonotonicClock monotonic;
    TClock* clock = &monotonic;
    TKeyTracker tracker;
    TKeyboard* keyboard = &tracker;
    TMessagePump* pump = nullptr;

    std::vector<TPaintBox*> boxes;
    std::vector<QPointer<TPaintBox>> pending;
    bool posted = false;
    int deliveryDepth = 0;

    Clock::time_point lastPoll{};
    Clock::time_point lastPresent{};
    QBasicTimer wake;

    void Install() {
        QCoreApplication* app = QCoreApplication::instance();
        app->installEventFilter(this);
        if (auto* dispatcher = QAbstractEventDispatcher::instance())
            connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this,
                    [this] { PresentAll(Clock::now()); });
    }

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
            if (watched == QCoreApplication::instance()) terminated = true;
            break;
        default:
            break;
        }
        return false;
    }

    void customEvent(QEvent* event) override {
        if (event->type() == deliverPaintEvent) {
            posted = false;
            Deliver();
        }
    }

    void timerEvent(QTimerEvent* event) override {
        // The wake-up of a paced wait: it only has to end the wait in the event system.
        if (event->timerId() == wake.timerId()) wake.stop();
    }

    void Post() {
        if (posted) return;
        posted = true;
        QCoreApplication::postEvent(this, new QEvent(deliverPaintEvent));
    }

    void Deliver() {
        while (!pending.empty()) {
            std::vector<QPointer<TPaintBox>> now;
            now.swap(pending);
            for (auto& box : now) {
                // As a window system does, only a control that is shown is asked to
                // paint; showing it asks again.
                if (!box || !box->isVisible()) continue;
                ++deliveryDepth;
                try {
                    box->DeliverPaint();
                } catch (const EAbort&) {
                } catch (const std::exception& e) {
                    current->HandleException(e);
                } catch (...) {
                    current->HandleException(
                        std::runtime_error("unknown exception while painting"));
                }
                --deliveryDepth;
            }
        }
    }

    void PresentAll(Clock::time_point now) {
        lastPresent = now;
        for (TPaintBox* box : boxes)
            box->Present();
    }

    void Process() {
        if (!pending.empty()) Deliver();
        const auto now = Clock::now();
        if (now - lastPoll >= pollInterval) {
            lastPoll = now;
            QCoreApplication::processEvents();
            if (!pending.empty()) Deliver();
        }
        if (now - lastPresent >= frameInterval) PresentAll(now);
        if (terminated && deliveryDepth > 0) throw EAbort();
    }

    void Wait(std::uint32_t timeoutMs) {
        if (terminated) return;
        PresentAll(Clock::now());
        if (!pending.empty()) return;
        wake.start(int(std::min<std::uint32_t>(timeoutMs, 1u << 30)), Qt::PreciseTimer, this);
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        wake.stop();
        lastPoll = Clock::now();
    }
};

TApplication::TApplication(int& argc, char** argv) : d(std::make_unique<Impl>()) {
    if (current) throw EKritzelwerk("a TApplication is already running");
    if (!QCoreApplication::instance()) {
        StartOffscreenWithoutDisplay();
        NameRuntimeFolder();
        d->own = std::make_unique<KritzelQApplication>(argc, argv);
    }
    current = this;
    d->Install();
}

TApplication::TApplication(Attached) : d(std::make_unique<Impl>()) {
    current = this;
    d->Install();
}

TApplication::~TApplication() {
    if (current == this) current = nullptr;
    if (QCoreApplication::instance()) QCoreApplication::instance()->removeEventFilter(d.get());
    d->boxes.clear();
    d->pending.clear();
    std::unique_ptr<QApplication> own = std::move(d->own);
    d.reset();
}

int TApplication::Run() {
    if (d->terminated) return 0;
    if (HasDisplay()) return QCoreApplication::exec();
    // Without a display nobody could ever close the windows: paint them once, keep
    // each as a picture file and end.
    for (int i = 0; i < 10; ++i) {
        QCoreApplication::processEvents();
        d->Deliver();
    }
    QString folder = qEnvironmentVariable("KRITZEL_OUTPUT_DIR");
    if (folder.isEmpty()) folder = QDir::currentPath();
    QDir().mkpath(folder);
    int status = 0, written = 0;
    QStringList used;
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (!w->isVisible()) continue;
        QString name = w->windowTitle().isEmpty() ? QStringLiteral("window") : w->windowTitle();
        name.replace(QRegularExpression(QStringLiteral("[^\\w.-]+")), QStringLiteral("_"));
        // Windows of the same caption each keep their own file.
        const QString stem = name;
        for (int n = 2; used.contains(name); ++n)
            name = stem + QStringLiteral("-%1").arg(n);
        used << name;
        const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
        QSaveFile file(path);
        if (file.open(QIODevice::WriteOnly) && w->grab().save(&file, "PNG") && file.commit()) {
            std::printf("No display: the window \"%s\" is in %s\n", qPrintable(w->windowTitle()),
                        qPrintable(path));
            ++written;
        } else {
            std::fprintf(stderr, "Kritzel-Werk: cannot write %s: %s\n", qPrintable(path),
                         qPrintable(file.errorString()));
            status = 1;
        }
    }
    if (written == 0 && status == 0)
        std::printf("No display, and no window was shown: nothing to keep.\n");
    std::fflush(stdout);
    return status;
}

void TApplication::ProcessMessages() {
    if (d->pump)
        d->pump->ProcessMessages();
    else
        d->Process();
}

void TApplication::WaitMessage(std::uint32_t timeoutMs) {
    if (d->pump)
        d->pump->WaitMessage(timeoutMs);
    else
        d->Wait(timeoutMs);
}

void TApplication::DefaultProcessMessages() {
    d->Process();
}
void TApplication::DefaultWaitMessage(std::uint32_t timeoutMs) {
    d->Wait(timeoutMs);
}

bool TApplication::Terminated() const {
    return d->terminated;
}

void TApplication::Terminate() {
    d->terminated = true;
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

void TApplication::SetClock(TClock* clock) {
    d->clock = clock ? clock : &d->monotonic;
}
TClock* TApplication::Clock() const {
    return d->clock;
}
void TApplication::SetKeyboard(TKeyboard* keyboard) {
    d->keyboard = keyboard ? keyboard : &d->tracker;
}
TKeyboard& TApplication::Keyboard() {
    return *d->keyboard;
}
TKeyTracker& TApplication::KeyTracker() {
    return d->tracker;
}
void TApplication::SetMessagePump(TMessagePump* pump) {
    d->pump = pump;
}

void TApplication::RequestPaint(TPaintBox* box) {
    if (std::find(d->pending.begin(), d->pending.end(), box) == d->pending.end())
        d->pending.emplace_back(box);
    d->Post();
}

void TApplication::WithdrawPaint(TPaintBox* box) {
    std::erase_if(d->pending, [box](const QPointer<TPaintBox>& p) { return p == box; });
}

void TApplication::Register(TPaintBox* box) {
    d->boxes.push_back(box);
}

void TApplication::Unregister(TPaintBox* box) {
    std::erase(d->boxes, box);
    std::erase_if(d->pending, [box](const QPointer<TPaintBox>& p) { return p == box || !p; });
}

void TApplication::PresentAll() {
    d->PresentAll(Clock::now());
}

TApplication& Application() {
    if (current) return *current;
    if (!QCoreApplication::instance())
        throw EKritzelwerk("Kritzel-Werk needs a running TApplication; create one first");
    // A host that started Qt itself: attach once, for the rest of the process.
    static TApplication* attached = new TApplication(TApplication::Attached{});
    return *attached;
}

} // namespace kritzel
