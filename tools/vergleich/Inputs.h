// What the grader works on: the solution, the pupils' submissions, and the installation of
// Kritzel-Werk the grader belongs to, against which every program is built.
#pragma once

#include "Options.h"

#include <QString>
#include <QStringList>

#include <stdexcept>
#include <vector>

namespace kritzel::vergleich {

/// A program or drawing the grader cannot take; the message names it.
struct InputError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

/// One program handed in, or the solution.
struct Input {
    enum class Kind { Cpp, CMake, Python, Drawing };
    Kind kind = Kind::Cpp;
    QString path;   ///< absolute: the file, or the folder holding CMakeLists.txt
    QString source; ///< the file or folder name as handed in ("Anna Müller.cpp")
    QString name;   ///< the pupil's name: the source without .cpp or .py
};

/// The input a file or folder is: a .cpp, a .py, a .emf (only where drawings are allowed),
/// or a folder with a CMakeLists.txt. Throws InputError for anything else.
Input InputAt(const QString& path, bool drawingAllowed, const QString& language);

/// The submissions: each path is a class folder (a folder without CMakeLists.txt: every
/// entry in it is one pupil's, hidden ones left out) or one submission. Sorted by name.
/// What is neither is named in `skipped`. Throws InputError for a path that does not
/// exist or for two submissions of one name.
std::vector<Input> Submissions(const QStringList& paths, QStringList& skipped,
                               const QString& language);

/// The Kritzel-Werk installation the grader belongs to, found from where the grader lies.
struct Installation {
    QString prefix;       ///< the installation prefix
    QString pkgConfig;    ///< its kritzelwerk.pc
    QString cmakePackage; ///< its folder with KritzelwerkConfig.cmake
    QString python;       ///< the folder holding the Python module kritzelwerk ("" if none)
};

/// The installation beside the running grader (bin/ → the prefix). Throws InputError when
/// the grader does not lie in an installation of Kritzel-Werk.
Installation FindInstallation();

} // namespace kritzel::vergleich
