#include "Clock.h"

#include "internal/Services.h"

#include <chrono>

namespace kritzel {

std::uint32_t MonotonicTicks() {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
    return static_cast<std::uint32_t>(ms.count());
}

std::uint32_t GetTickCount() {
    // Unless a test has put its own clock in, the monotonic clock counts.
    TClock* c = Services::Current().clock;
    return c ? c->Ticks() : MonotonicTicks();
}

} // namespace kritzel
