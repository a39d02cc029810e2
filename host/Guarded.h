// The barrier at the event loop: exceptions must not travel through Qt's frames.
#pragma once

#include "Application.h"

#include <exception>
#include <stdexcept>

namespace kritzel {

// Runs f. Whatever escapes it is reported by the application and goes no further;
// EAbort, thrown because the application is closing, ends it without a report.
// unknown names what failed when the exception is not a std::exception.
template <class F> void Guarded(F&& f, const char* unknown) {
    try {
        f();
    } catch (const EAbort&) {
    } catch (const std::exception& e) {
        Application().HandleException(e);
    } catch (...) {
        Application().HandleException(std::runtime_error(unknown));
    }
}

} // namespace kritzel
