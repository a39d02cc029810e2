// The application: starts Qt, runs the event loop, pumps messages for a running command,
// delivers paint requests and presents what was drawn.
#pragma once

#include "Clock.h"
#include "Exceptions.h"
#include "Export.h"
#include "Keyboard.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>

namespace kritzel {

class TPaintBox;
}
class QWidget;
namespace kritzel {

// Raised inside a drawing that runs from the event loop once the application is closing,
// so that the drawing ends at once; the loop swallows it without a report.
class KRITZELWERK_EXPORT EAbort : public EKritzelwerk {
public:
    EAbort() : EKritzelwerk("the application is closing; the drawing was broken off") {}
};

// What ProcessMessages and the paced wait do; tests put a counting one in.
class KRITZELWERK_EXPORT TMessagePump {
public:
    virtual ~TMessagePump() = default;
    virtual void ProcessMessages() = 0;
    // Sleeps until the next event or timeoutMs milliseconds.
    virtual void WaitMessage(std::uint32_t timeoutMs) = 0;
};

class KRITZELWERK_EXPORT TApplication {
public:
    // Starts Qt; on a machine without a display on its offscreen platform.
    TApplication(int& argc, char** argv);
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;
    ~TApplication();

    // Runs the event loop until the main window closes or Terminate is called.
    int Run();

    // Handles the pending events, delivers paint requests, presents if a frame is due.
    void ProcessMessages();
    // Sleeps in the event system until an event arrives or timeoutMs have passed.
    void WaitMessage(std::uint32_t timeoutMs);

    bool Terminated() const;
    void Terminate();

    // Reports an exception that reached the event loop: OnException when set, else a
    // message box on a display and standard error without one.
    void HandleException(const std::exception& e);
    using TExceptionEvent = std::function<void(const std::exception&)>;
    void SetOnException(TExceptionEvent handler);

    // The first top-level form: closing it ends the application.
    QWidget* MainForm() const;
    void SetMainForm(QWidget* form);

    // Whether windows are really shown (not Qt's offscreen or minimal platform).
    bool HasDisplay() const;

    // Services a test can replace; null puts the real one back.
    void SetClock(TClock* clock);
    TClock* Clock() const;
    void SetKeyboard(TKeyboard* keyboard);
    TKeyboard& Keyboard();
    TKeyTracker& KeyTracker();
    void SetMessagePump(TMessagePump* pump);

    // The real pump, for a replacement that wants to count and still deliver.
    void DefaultProcessMessages();
    void DefaultWaitMessage(std::uint32_t timeoutMs);

    // Paint requests and presentation, for the controls.
    void RequestPaint(TPaintBox* box);
    // Drops the box's pending request: a paint cycle that has just run answered it.
    void WithdrawPaint(TPaintBox* box);
    void Register(TPaintBox* box);
    void Unregister(TPaintBox* box);
    void PresentAll();

    struct Impl;

private:
    friend KRITZELWERK_EXPORT TApplication& Application();
    struct Attached {};
    explicit TApplication(Attached);
    std::unique_ptr<Impl> d;
};

// The running application. Inside a host that started Qt itself (such as Qt Designer),
// the first call attaches to that Qt application.
TApplication& Application();

} // namespace kritzel
