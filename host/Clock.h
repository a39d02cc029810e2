// The millisecond tick count.
#pragma once

#include "Export.h"

#include <cstdint>

namespace kritzel {

/// A source of milliseconds; tests put a fake one in.
class KRITZELWERK_EXPORT TClock {
public:
    virtual ~TClock() = default;
    /// Milliseconds since some start, wrapping at 2^32.
    virtual std::uint32_t Ticks() = 0;
};

/// Milliseconds of the monotonic clock, unsigned 32-bit, wrapping.
KRITZELWERK_EXPORT std::uint32_t MonotonicTicks();

/// Milliseconds of the monotonic clock, unless a test has put its own clock in.
KRITZELWERK_EXPORT std::uint32_t GetTickCount();

} // namespace kritzel
