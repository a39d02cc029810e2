// The grader's command line: what to compare, where the report goes and how strictly.
#pragma once

#include <QString>
#include <QStringList>

namespace kritzel::vergleich {

/// Everything the command line says, checked.
struct CommandLine {
    QString solution;        ///< the teacher's program (.cpp, .py, CMake folder) or drawing (.emf)
    QStringList submissions; ///< class folders (one entry per pupil) or single submissions
    QString report = QStringLiteral("bericht"); ///< where the results and the report go
    QStringList answers;                     ///< the answers to the programs' questions, in order
    double seconds = 10;                     ///< wall-clock limit of one program's run
    double tolerance = 0.05;                 ///< LE
    QString language = QStringLiteral("de"); ///< "de" or "en"
    int threshold = 90;                      ///< the score needed to pass
    bool noSandbox = false;   ///< run the programs unconfined (only where no sandbox can be made)
    bool resultsOnly = false; ///< write the submissions' JSON results, no report
    QString reportOnly; ///< make the report from the JSON results in this folder, grade nothing
    int jobs = 0;       ///< submissions built and run at once (0: one per core)
    QString help;       ///< for --help: the help text to print, and nothing else to do
};

/// A command line that cannot be followed; the message says why, in the chosen language.
struct UsageError {
    QString message;
};

/// Parses the arguments (the program's name first). For --help only `help` is set; throws
/// UsageError for anything it cannot take.
CommandLine ParseCommandLine(const QStringList& arguments);

/// The text in the options' language: German unless "en".
inline QString Say(const QString& language, const char* german, const char* english) {
    return QString::fromUtf8(language == QLatin1String("en") ? english : german);
}

} // namespace kritzel::vergleich
