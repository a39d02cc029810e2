#include "Services.h"

#include "../Exceptions.h"

#include <atomic>
#include <thread>

namespace kritzel {

namespace {
// The thread that started the application: the one that runs its loop and may use the
// controls. Atomic, because a worker thread reads it to find out that it is not that one.
std::atomic<std::thread::id> guiThread;
} // namespace

Services Services::table_;

void SetGuiThread() {
    guiThread = std::this_thread::get_id();
}

void CheckGuiThread() {
    const std::thread::id gui = guiThread.load(std::memory_order_relaxed);
    // Before any application has started there is nothing to protect yet; the first
    // use of the application says what is missing.
    if (gui == std::thread::id() || gui == std::this_thread::get_id()) [[likely]]
        return;
    throw EKritzelwerk("Kritzel-Werk was called from a worker thread: a turtle and the "
                       "application may only be used on the GUI thread, the one that "
                       "created the TApplication");
}

} // namespace kritzel
