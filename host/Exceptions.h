// The library's own exception: every failure of the host (a printer, a file, the
// clipboard, the application, a metafile at its 4 GiB) is raised as one, apart from
// exhausted memory (std::bad_alloc), so that a program can tell a
// Kritzel-Werk failure from the standard library's. It is a std::runtime_error, so
// handlers for that or for std::exception catch it as well. The refusal of a worker
// thread, which every unit raises, is declared here, below them all.
#pragma once

#include "Export.h"

#include <stdexcept>
#include <string>

namespace kritzel {

/// What the library raises when the host fails: a printer, a file, the clipboard.
/// Its `what()` says what failed and where.
/// Catch it as `const std::exception&` as well.
class KRITZELWERK_EXPORT EKritzelwerk : public std::runtime_error {
public:
    /// An error with its message.
    explicit EKritzelwerk(const std::string& message) : std::runtime_error(message) {}
    /// An error with its message.
    explicit EKritzelwerk(const char* message) : std::runtime_error(message) {}
    /// Defined in the library, so that its type information exists once,
    /// for every program and plugin that catches it.
    ~EKritzelwerk() override;
};

/// Raised inside a drawing that runs from the event loop,
/// once the application is closing, so that the drawing ends at once;
/// the loop swallows it without a report.
/// Also raised inside a command whose control was destroyed while it waited,
/// by a handler run meanwhile: the command unwinds without touching the control.
class KRITZELWERK_EXPORT EAbort : public EKritzelwerk {
public:
    /// The application is closing.
    EAbort() : EKritzelwerk("the application is closing; the drawing was broken off") {}
    /// Broken off for the reason given.
    explicit EAbort(const char* why) : EKritzelwerk(why) {}
};

/// Raises `EKritzelwerk` unless called on the GUI thread,
/// the thread that runs the application's event loop:
/// controls and the application belong to that thread alone.
/// A worker thread hands its results over with a queued signal instead.
KRITZELWERK_EXPORT void CheckGuiThread();

} // namespace kritzel
