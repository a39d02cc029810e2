// Internal to the Kritzel-Werk library: not installed, not part of its interface;
// may change without notice.
// The barrier at the event loop: exceptions must not travel through Qt's frames.
#pragma once

#include "../Exceptions.h"
#include "Services.h"

#include <cstdio>
#include <exception>
#include <stdexcept>

namespace kritzel {

// Hands e to report; with none installed (no application runs) to standard error.
inline void Report(const ExceptionReporter& report, const std::exception& e) {
    if (report) {
        report(e);
        return;
    }
    std::fprintf(stderr, "Kritzel-Werk: %s\n", e.what());
    std::fflush(stderr);
}

// Runs f. Whatever escapes it goes to report and no further; EAbort, thrown because the
// application is closing, ends it without a report. unknown names what failed when the
// exception is not a std::exception.
template <class F> void Guarded(F&& f, const char* unknown, const ExceptionReporter& report) {
    try {
        f();
    } catch (const EAbort&) {
    } catch (const std::exception& e) {
        Report(report, e);
    } catch (...) {
        Report(report, std::runtime_error(unknown));
    }
}

} // namespace kritzel
