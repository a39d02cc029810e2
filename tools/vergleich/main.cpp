// kritzelwerk-vergleich: builds and runs each pupil's program in a sandbox, compares its
// drawing with the solution's and writes one result per pupil and the class report.
#include "Build.h"
#include "Grade.h"
#include "Inputs.h"
#include "Options.h"
#include "Progress.h"
#include "Report.h"
#include "Result.h"
#include "Run.h"
#include "Sandbox.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>

using namespace kritzel::vergleich;

namespace {

void Print(const QString& line) {
    std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw InputError(
            QStringLiteral("%1: cannot write (%2)").arg(path, file.errorString()).toStdString());
}

// Writes the result file; false (and the reason in the log) where it cannot be written.
bool Keep(const QString& report, Result& result) {
    try {
        WriteFile(QDir(report).filePath(result.name + QStringLiteral(".json")), ToJson(result));
        return true;
    } catch (const std::exception& error) {
        result.log += QString::fromStdString(error.what());
        return false;
    }
}

// A copy of the program in a folder of its own, which its build and run alone see.
void CopyIn(const Input& input, const QString& work) {
    namespace fs = std::filesystem;
    const fs::path source = (work + QStringLiteral("/quelle")).toStdString();
    fs::create_directories(source);
    // Links are copied as links: inside the sandbox they lead nowhere the pupil may not go.
    const auto how = fs::copy_options::recursive | fs::copy_options::copy_symlinks;
    if (input.kind == Input::Kind::CMake)
        fs::copy(input.path.toStdString(), source, how);
    else
        fs::copy(input.path.toStdString(), source / input.source.toStdString(), how);
}

struct Context {
    const CommandLine& options;
    const Installation& installation;
    const Sandbox& sandbox;
    const Toolchain& toolchain;
    QString root;
};

// Builds and runs one program in the work folder; `built` and `ran` are what happened.
void BuildAndRun(const Context& context, const Input& input, const QString& work, int slot,
                 Built& built, std::optional<Ran>& ran) {
    QDir().mkpath(work);
    CopyIn(input, work);
    context.sandbox.HandOver(work, slot);
    if (input.kind == Input::Kind::Python) {
        built.ok = true;
    } else {
        built = BuildProgram(input, work, context.installation, context.toolchain, context.sandbox,
                             slot);
    }
    if (built.ok)
        ran = RunProgram(input, built, work, context.installation, context.toolchain,
                         context.sandbox, context.options.answers, context.options.seconds, slot);
}

// The windows of a drawing saved before.
std::vector<Window> SavedWindows(const Input& solution, const QString& language) {
    QFile file(solution.path);
    if (!file.open(QIODevice::ReadOnly))
        throw InputError(
            QStringLiteral("%1: %2").arg(solution.path, file.errorString()).toStdString());
    const QByteArray bytes = file.readAll();
    // A placeable Windows metafile (of another program) holds no EMF records to read.
    if (bytes.startsWith(QByteArrayLiteral("\xD7\xCD\xC6\x9A")))
        throw InputError(Say(language,
                             "%1: ein Windows-Metafile (WMF), kein EMF; gelesen werden nur "
                             "Zeichnungen im EMF-Format",
                             "%1: a Windows metafile (WMF), not an EMF; only drawings in "
                             "the EMF format are read")
                             .arg(solution.path)
                             .toStdString());
    try {
        return ReadWindows({Recording{solution.name, 0, bytes, {}}});
    } catch (const std::exception& error) {
        throw InputError(QStringLiteral("%1: %2")
                             .arg(solution.path, QString::fromStdString(error.what()))
                             .toStdString());
    }
}

// The windows the solution's program shows.
std::vector<Window> SolutionWindows(const Context& context, const Input& solution) {
    Built built;
    std::optional<Ran> ran;
    BuildAndRun(context, solution, context.root + QStringLiteral("/loesung"), 0, built, ran);
    const QString& language = context.options.language;
    if (!built.ok)
        throw InputError((Say(language, "Die Lösung lässt sich nicht bauen:\n",
                              "The solution does not build:\n") +
                          built.log)
                             .toStdString());
    if (ran->outcome.end != Outcome::End::Exited || ran->outcome.code != 0 || ran->drawings.empty())
        throw InputError(
            (Say(language, "Die Lösung zeichnet nichts, was sich vergleichen lässt: ",
                 "The solution draws nothing to compare with: ") +
             (ran->problem.isEmpty() ? FailureMessage(ran->outcome.output) : ran->problem)
                 .replace(context.root + QStringLiteral("/loesung"), QStringLiteral(".")))
                .toStdString());
    // What the solution's program warns of (an answer given that it could not take) is the
    // teacher's to read.
    for (const QString& line : QString::fromUtf8(ran->outcome.output).split(QLatin1Char('\n')))
        if (line.startsWith(QStringLiteral("Kritzel-Werk: ")))
            Print(Say(language, "Lösung: %1", "solution: %1")
                      .arg(QString(line).replace(context.root + QStringLiteral("/loesung"),
                                                 QStringLiteral("."))));
    return ReadWindows(ran->drawings);
}

int Report(const CommandLine& options) {
    if (!QFileInfo(options.reportOnly).isDir()) {
        Print(Say(options.language, "kritzelwerk-vergleich: %1 ist kein Ordner",
                  "kritzelwerk-vergleich: %1 is no folder")
                  .arg(options.reportOnly));
        return 2;
    }
    const std::vector<Result> results = ReadResults(options.reportOnly);
    // An empty report is no class's: most likely the wrong folder was named.
    if (results.empty()) {
        Print(Say(options.language, "kritzelwerk-vergleich: %1: keine Ergebnisse (<name>.json)",
                  "kritzelwerk-vergleich: %1: no results (<name>.json)")
                  .arg(options.reportOnly));
        return 2;
    }
    WriteReport(options.reportOnly, results);
    Print(Say(options.language, "Bericht: %1", "Report: %1")
              .arg(QDir(options.reportOnly).filePath(QStringLiteral("index.html"))));
    return 0;
}

int Grade(const CommandLine& options) {
    const QString& language = options.language;
    QElapsedTimer clock;
    clock.start();
    const Installation installation = FindInstallation();
    const Input solution = InputAt(options.solution, true, language);
    // A saved drawing is read first: one that cannot be read ends the run before any build.
    std::vector<Window> solutionWindows;
    if (solution.kind == Input::Kind::Drawing) solutionWindows = SavedWindows(solution, language);
    QStringList skipped;
    const std::vector<Input> submissions = Submissions(options.submissions, skipped, language);
    if (!QDir().mkpath(options.report))
        throw InputError(
            QStringLiteral("%1: cannot make the folder").arg(options.report).toStdString());
    const int jobs =
        std::max(1, std::min<int>(options.jobs > 0 ? options.jobs : QThread::idealThreadCount(),
                                  static_cast<int>(submissions.size())));
    // Every work folder lies in one temporary folder that others may pass through but not
    // read; each submission's is its sandbox user's alone.
    QTemporaryDir root(QDir::tempPath() + QStringLiteral("/kritzelwerk-vergleich-XXXXXX"));
    if (!root.isValid())
        throw InputError("cannot make a temporary folder: " + root.errorString().toStdString());
    QFile::setPermissions(root.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                           QFile::ExeGroup | QFile::ExeOther);
    Sandbox sandbox;
    try {
        sandbox = Sandbox::Make(!options.noSandbox, jobs,
                                {{installation.prefix, false}, {root.path(), false}});
    } catch (const SandboxError& error) {
        Print(Say(language,
                  "kritzelwerk-vergleich: keine Sandbox möglich: %1\nDie Programme der "
                  "Schüler laufen nur in einer Sandbox; ohne eine nur mit --ohne-sandbox.",
                  "kritzelwerk-vergleich: no sandbox can be made: %1\nThe pupils' programs run "
                  "only in a sandbox; without one only with --ohne-sandbox.")
                  .arg(QString::fromStdString(error.what())));
        return 2;
    }
    if (!sandbox.Confined())
        Print(Say(language, "Achtung: die Programme laufen ohne Sandbox (--ohne-sandbox).",
                  "Warning: the programs run without a sandbox (--ohne-sandbox)."));

    const QString headerFolder = root.path() + QStringLiteral("/kopf");
    QDir().mkpath(headerFolder);
    sandbox.HandOver(headerFolder, 0);
    Toolchain toolchain = PrepareToolchain(installation, sandbox, headerFolder);
    const Context context{options, installation, sandbox, toolchain, root.path()};
    if (solution.kind != Input::Kind::Drawing) solutionWindows = SolutionWindows(context, solution);
    std::filesystem::remove_all((root.path() + QStringLiteral("/loesung")).toStdString());

    Progress progress(static_cast<int>(submissions.size()), language);
    std::vector<Result> results(submissions.size());
    std::vector<char> gradable(submissions.size(), 1);
    std::atomic<std::size_t> next{0};
    std::mutex lock;
    const auto work = [&](int slot) {
        for (std::size_t i = next++; i < submissions.size(); i = next++) {
            const Input& input = submissions[i];
            {
                const std::lock_guard<std::mutex> hold(lock);
                progress.Began(input.name);
            }
            const QString folder =
                root.path() + QStringLiteral("/%1").arg(i + 1, 3, 10, QLatin1Char('0'));
            Result result;
            try {
                Built built;
                std::optional<Ran> ran;
                BuildAndRun(context, input, folder, slot, built, ran);
                result = Grade(input, solutionWindows, built, ran ? &*ran : nullptr, options);
            } catch (const std::exception& error) {
                // The grader's own failure (a full disk, a sandbox that did not start): no
                // result of the pupil's program, and the exit status says so.
                result.name = input.name;
                result.source = input.source;
                result.status = Status::Failed;
                result.result = Say(language, "nicht bewertbar", "could not be graded");
                result.log = QString::fromStdString(error.what());
                result.language = language;
                result.tolerance = options.tolerance;
                result.threshold = options.threshold;
                gradable[i] = 0;
            }
            // The work folders' names change from run to run; the report does not.
            const auto hide = [&folder, &root](QString& text) {
                text.replace(folder + QStringLiteral("/quelle/"), QString())
                    .replace(folder, QStringLiteral("."))
                    .replace(root.path(), QStringLiteral("."));
            };
            hide(result.log);
            hide(result.result);
            for (ResultDifference& difference : result.differences)
                hide(difference.text);
            std::error_code ignored;
            std::filesystem::remove_all(folder.toStdString(), ignored);
            // A program that drew nothing comparable is still set beside the solution.
            if (result.images.solution.isEmpty() && !solutionWindows.empty())
                result.images.solution = solutionWindows.front().png;
            if (!Keep(options.report, result)) gradable[i] = 0;
            const std::lock_guard<std::mutex> hold(lock);
            results[i] = result;
            progress.Finished(input.name, result);
        }
    };
    std::vector<std::thread> workers;
    for (int slot = 1; slot < jobs; ++slot)
        workers.emplace_back(work, slot);
    work(0);
    for (std::thread& worker : workers)
        worker.join();

    // An entry that holds no program is a pupil who handed nothing in: a row of its own, so
    // that the class list is complete. It is the pupil's result, not a failure to grade.
    for (const QString& path : skipped) {
        const QFileInfo info(path);
        Result result;
        result.name = info.isDir() ? info.fileName() : info.completeBaseName();
        result.source = info.fileName();
        if (std::any_of(submissions.begin(), submissions.end(),
                        [&result](const Input& input) { return input.name == result.name; }))
            continue; // a pupil's note beside the pupil's program
        result.status = Status::NoSubmission;
        result.result = Say(language, "keine Abgabe", "no submission");
        result.language = language;
        result.tolerance = options.tolerance;
        result.threshold = options.threshold;
        if (!solutionWindows.empty()) result.images.solution = solutionWindows.front().png;
        if (!Keep(options.report, result)) gradable.push_back(0);
        results.push_back(result);
    }
    if (!options.resultsOnly) WriteReport(options.report, results);
    const auto ungraded = std::count(gradable.begin(), gradable.end(), 0);
    progress.Summary(results, static_cast<int>(ungraded),
                     options.resultsOnly
                         ? options.report
                         : QDir(options.report).filePath(QStringLiteral("index.html")),
                     static_cast<double>(clock.elapsed()) / 1000);
    return ungraded == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    // The overlay and the pixel figure paint and read pictures; no window is shown.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Without a session, a runtime folder of this run's own (the owner's alone), removed
    // when the grader ends, after the application that uses it.
    std::optional<QTemporaryDir> runtime;
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        runtime.emplace(QDir::tempPath() + QStringLiteral("/kritzelwerk-vergleich-runtime-XXXXXX"));
        if (runtime->isValid()) {
            QFile::setPermissions(runtime->path(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            qputenv("XDG_RUNTIME_DIR", runtime->path().toLocal8Bit());
        }
    }
    QGuiApplication app(argc, argv);
    CommandLine options;
    try {
        options = ParseCommandLine(app.arguments());
    } catch (const UsageError& error) {
        Print(QStringLiteral("kritzelwerk-vergleich: ") + error.message);
        return 2;
    }
    if (!options.help.isEmpty()) {
        std::fputs(options.help.toLocal8Bit().constData(), stdout);
        return 0;
    }
    try {
        return options.reportOnly.isEmpty() ? Grade(options) : Report(options);
    } catch (const std::exception& error) {
        Print(QStringLiteral("kritzelwerk-vergleich: ") + QString::fromStdString(error.what()));
        return 2;
    }
}
