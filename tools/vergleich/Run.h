// Running a built program headless in the sandbox and taking what its windows show at the
// end: each turtle control's drawing as the library records it (metafile and PNG, without
// the turtle's sprite), listed in the order of the windows.
#pragma once

#include "Build.h"
#include "Inputs.h"
#include "Sandbox.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace kritzel::vergleich {

/// One control's drawing at the program's end.
struct Recording {
    QString window;  ///< the window's caption
    int control = 0; ///< the control's place on its window, from 0
    QByteArray emf;  ///< the metafile as the library records it
    QByteArray png;  ///< the picture, as SaveToFile writes a PNG ("" where there is none)
};

/// How a program's run went.
struct Ran {
    Outcome outcome;
    std::vector<Recording> drawings;
    QString
        problem; ///< why the recordings could not be read ("" when they could, or none was made)
};

/// Runs the program (a built one, or the Python script in `work`/quelle) with no display,
/// the answers given one per line, within the limits, and reads back its drawings.
Ran RunProgram(const Input& input, const Built& built, const QString& work,
               const Installation& installation, const Toolchain& toolchain, const Sandbox& sandbox,
               const QStringList& answers, double seconds, int slot);

/// Reads the recordings a run left in `folder` (drawings.json and its files). Nothing in
/// it is trusted: no link is followed, no name leaves the folder, no file is read past
/// 64 MiB. Sets `problem` where the list or a file is unreadable.
std::vector<Recording> ReadRecordings(const QString& folder, QString& problem);

} // namespace kritzel::vergleich
