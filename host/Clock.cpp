#include "Clock.h"

#include "Application.h"

#include <chrono>

namespace kritzel {

std::uint32_t MonotonicTicks() {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<std::uint32_t>(ms.count());
}

std::uint32_t GetTickCount() {
    // Before an application runs, and after it ends, the monotonic clock counts.
    TApplication* app = TApplication::current_;
    TClock* c = app ? app->Clock() : nullptr;
    return c ? c->Ticks() : MonotonicTicks();
}

} // namespace kritzel
