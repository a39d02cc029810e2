// Internal to the Kritzel-Werk library: not installed, not part of its interface;
// may change without notice.
// The services the host's units read instead of asking the application: the clock, the
// keyboard, the message pump, the paint queue, the reporter of exceptions that reached the
// event loop and whether the application is closing. The running application puts its own
// in when it starts and takes them out when it ends; a test replaces single ones for a while.
// This table knows no unit of the host, so every unit may read it without pointing back up.
#pragma once

#include "../Export.h"

#include <exception>
#include <functional>

namespace kritzel {

class PaintQueue;
class TClock;
class TKeyboard;
class TKeyTracker;
class TMessagePump;

// Reports an exception that reached the event loop.
using ExceptionReporter = std::function<void(const std::exception&)>;

class KRITZELWERK_EXPORT Services {
public:
    // The table of the process. Read on every pump and key query, so it is a plain object
    // rather than a function's static, which would be tested on each read.
    static Services& Current() { return table_; }

    // Milliseconds for GetTickCount; null counts with the monotonic clock.
    TClock* clock = nullptr;
    // Answers the key queries: the application's key tracker, or a test's keyboard.
    TKeyboard* keyboard = nullptr;
    // The application's key tracker, fed from the windows' key events.
    TKeyTracker* keys = nullptr;
    // Pumps messages for a running command: the application's own pump, or a test's.
    TMessagePump* pump = nullptr;
    // The application's own pump, for a replacement that wants to count and still deliver.
    TMessagePump* ownPump = nullptr;
    // The controls' paint requests.
    PaintQueue* paints = nullptr;
    // Who reports what escaped an event handler or a paint cycle.
    ExceptionReporter report;
    // Whether the application is closing (Terminate was called or the main form closed).
    bool closing = false;
    // How many drawings, of all controls, run inside each other (a control's drawing that
    // repaints another control); each holds a paint cycle on the stack.
    unsigned nestedDrawings = 0;

private:
    static Services table_;
};

// Records the calling thread as the GUI thread, the one that runs the event loop and that
// CheckGuiThread (Exceptions.h) lets through. It is recorded here, below the application,
// so that every unit can refuse worker threads.
void SetGuiThread();

} // namespace kritzel
