// The application: starts Qt, runs the event loop, pumps messages for a running command
// and keeps exceptions out of Qt's frames. Paint requests and their presentation are the
// library's internal paint queue; the run without a display keeps pictures (Snapshot.h).
// It fills the services the lower units read (the clock, the keys, the pump), so none of
// them includes this header.
#pragma once

#include "Exceptions.h"
#include "Export.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <memory>

class QWidget;

namespace kritzel {

/// What ProcessMessages and the paced wait do; tests put a counting one in.
class KRITZELWERK_EXPORT TMessagePump {
public:
    virtual ~TMessagePump() = default;
    /// Handles the pending events once.
    virtual void ProcessMessages() = 0;
    /// Sleeps until the next event or timeoutMs milliseconds.
    virtual void WaitMessage(std::uint32_t timeoutMs) = 0;
};

/// The application: create one first in `main`, then the forms,
/// then `return app.Run();`.
class KRITZELWERK_EXPORT TApplication {
public:
    /// Starts Qt; on a machine without a display, on its offscreen platform.
    /// Qt's own dialogs then speak the language of the user's locale (`LANG`).
    /// While it runs, a failure that nothing catches, an `EKritzelwerk`,
    /// ends the program with its message on standard error and exit status 1.
    TApplication(int& argc, char** argv);
    TApplication(const TApplication&) = delete;
    TApplication& operator=(const TApplication&) = delete;
    ~TApplication();

    /// Runs the event loop until the main window closes or Terminate is called.
    /// Without a display nobody could close a window: it paints them once,
    /// keeps each shown one as a picture file (SaveShownWindows),
    /// in `KRITZEL_OUTPUT_DIR` or else the current folder,
    /// and returns the exit status, 1 when a file could not be written.
    /// With `KRITZEL_DRAWINGS` set to a folder,
    /// it also keeps there the drawing of every turtle on them,
    /// as `SaveToFile` saves it: NN.emf and NN.png,
    /// listed in drawings.json (SaveShownDrawings);
    /// such a run has nobody watching, so `Delay` does not wait in it.
    /// `KRITZEL_ANSWERS` answers the questions asked there (`AskNumber`).
    int Run();

    /// Handles the pending events, delivers paint requests, presents if a frame is due.
    void ProcessMessages();
    /// Sleeps in the event system until an event arrives or timeoutMs have passed.
    void WaitMessage(std::uint32_t timeoutMs);

    /// Whether the application is closing:
    /// `Terminate` was called, or the main form closed.
    bool Terminated() const;
    /// Ends the application: `Run` returns, running drawings are broken off.
    void Terminate();

    /// Reports an exception that reached the event loop: OnException when set,
    /// else a message box on a display and standard error without one.
    void HandleException(const std::exception& e);
    /// A handler of exceptions that reached the event loop.
    using TExceptionEvent = std::function<void(const std::exception&)>;
    /// Sets who reports exceptions that reached the event loop;
    /// empty puts the default back.
    void SetOnException(TExceptionEvent handler);

    /// The first top-level form: closing it ends the application.
    QWidget* MainForm() const;
    /// Makes form the main form, whose closing ends the application.
    void SetMainForm(QWidget* form);

    /// Whether windows are really shown (not Qt's offscreen or minimal platform).
    bool HasDisplay() const;

private:
    friend KRITZELWERK_EXPORT TApplication& Application();
    struct Attached {};
    explicit TApplication(Attached);

    // The running application, if any.
    static TApplication* current_;

    struct Impl;
    std::unique_ptr<Impl> d;
};

/// The running application.
/// Inside a host that started Qt itself (such as Qt Designer),
/// the first call attaches to that Qt application.
TApplication& Application();

} // namespace kritzel
