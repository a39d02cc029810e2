// One submission's result from its build, its run and its drawings against the solution's.
#pragma once

#include "Build.h"
#include "Inputs.h"
#include "Options.h"
#include "Result.h"
#include "Run.h"
#include "geometrie/Drawing.h"

#include <QImage>

#include <vector>

namespace kritzel::vergleich {

/// One window's drawing, read as geometry, with its picture where there is one.
struct Window {
    QString window;
    Drawing drawing;
    QByteArray png;
};

/// The recordings as geometry. Throws std::runtime_error for a metafile the reader refuses.
std::vector<Window> ReadWindows(const std::vector<Recording>& recordings);

/// The result of a submission that was built (or failed to) and, if built, ran. The
/// comparison runs window by window, in the order the programs showed them.
Result Grade(const Input& input, const std::vector<Window>& solution, const Built& built,
             const Ran* ran, const CommandLine& options);

/// The message of a program that ended with a failure, from its output: the library's
/// first "Kritzel-Werk: <message>" line (the cause; later ones follow from it), else the
/// last line.
QString FailureMessage(const QByteArray& output);

} // namespace kritzel::vergleich
