// Building a pupil's program against the grader's installation, as the README's recipes
// build it, in the sandbox: a single .cpp with the installed pkg-config flags and a
// precompiled header of <kritzelwerk/Turtle.h> made once per run, a folder with
// CMakeLists.txt through CMake with the installed package.
#pragma once

#include "Inputs.h"
#include "Sandbox.h"

#include <QString>
#include <QStringList>

namespace kritzel::vergleich {

/// The compiler and the flags every single-file program is built with.
struct Toolchain {
    QString compiler; ///< clang++ where it is there (its precompiled header loads lazily), else g++
    QStringList compileFlags; ///< pkg-config --cflags of the installation
    QStringList linkFlags;    ///< pkg-config --libs of the installation, and the linker
    QString header;           ///< the precompiled header's folder ("" where it could not be made)
    QStringList headerFlags;  ///< what makes a compile use it
    std::vector<Bind>
        binds;          ///< what a build must see beside the system: the installation, the header
    double seconds = 0; ///< what making the header took
};

/// Asks the installation's pkg-config file for the flags and builds the precompiled header
/// in `folder` (in the sandbox). Throws InputError when pkg-config cannot read the file;
/// a header that does not build leaves the builds without one (slower, not wrong).
Toolchain PrepareToolchain(const Installation& installation, const Sandbox& sandbox,
                           const QString& folder);

/// A build's outcome.
struct Built {
    bool ok = false;
    QString program; ///< the program to run (a path valid inside the sandbox)
    QString log;     ///< the compiler's (or CMake's) output
    double seconds = 0;
    bool timedOut = false;
};

/// Builds the input's copy in `work` (its source lies in `work`/quelle) into `work`.
Built BuildProgram(const Input& input, const QString& work, const Installation& installation,
                   const Toolchain& toolchain, const Sandbox& sandbox, int slot);

/// The limits of one build: generous in time, as the first build of a CMake folder
/// configures it.
Limits BuildLimits();

} // namespace kritzel::vergleich
