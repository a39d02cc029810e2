#include "Grade.h"

#include "Overlay.h"
#include "geometrie/Compare.h"
#include "geometrie/Pixels.h"

#include <QBuffer>
#include <QElapsedTimer>

#include <span>

namespace kritzel::vergleich {

namespace {

Result Started(const Input& input, const CommandLine& options) {
    Result result;
    result.name = input.name;
    result.source = input.source;
    result.language = options.language;
    result.tolerance = options.tolerance;
    result.threshold = options.threshold;
    return result;
}

QString Caption(const QString& window, const QString& language) {
    return Say(language, "Fenster \"%1\": ", "window \"%1\": ").arg(window);
}

QByteArray OverlayPng(const Drawing& solution, const Drawing& drawing,
                      const Comparison& comparison) {
    const QImage overlay = RenderOverlay(solution, drawing, comparison);
    QByteArray bytes;
    if (overlay.isNull()) return bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    overlay.save(&buffer, "PNG");
    return bytes;
}

} // namespace

std::vector<Window> ReadWindows(const std::vector<Recording>& recordings) {
    std::vector<Window> windows;
    for (const Recording& recording : recordings) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(recording.emf.constData());
        windows.push_back(Window{recording.window,
                                 ReadDrawing(std::span<const std::uint8_t>(
                                     bytes, static_cast<std::size_t>(recording.emf.size()))),
                                 recording.png});
    }
    return windows;
}

QString FailureMessage(const QByteArray& output) {
    const QStringList lines =
        QString::fromUtf8(output).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    static const QString Prefix = QStringLiteral("Kritzel-Werk: ");
    // The first report names the cause; later ones are what failed in consequence (a
    // repaint that threw leaves the drawing unsaved, and saving says so again).
    for (const QString& line : lines)
        if (line.startsWith(Prefix)) return line.mid(Prefix.size()).trimmed();
    return lines.isEmpty() ? QString() : lines.back().trimmed();
}

Result Grade(const Input& input, const std::vector<Window>& solution, const Built& built,
             const Ran* ran, const CommandLine& options) {
    const QString& language = options.language;
    Result result = Started(input, options);
    result.seconds.build = input.kind == Input::Kind::Python ? 0 : built.seconds;
    if (!built.ok) {
        result.status = Status::BuildFailed;
        result.result = built.timedOut ? Say(language, "Übersetzungsfehler: Zeitlimit",
                                             "compile error: time limit")
                                       : Say(language, "Übersetzungsfehler", "compile error");
        result.log = built.log;
        return result;
    }
    const Outcome& outcome = ran->outcome;
    result.seconds.run = outcome.seconds;
    result.log = QString::fromUtf8(outcome.output);
    switch (outcome.end) {
    case Outcome::End::TimedOut:
        result.status = Status::Timeout;
        result.result = Say(language, "Zeitlimit", "time limit");
        return result;
    case Outcome::End::Signal:
        result.status = Status::Crashed;
        result.result =
            Say(language, "abgestürzt: Signal %1", "crashed: signal %1").arg(outcome.code);
        return result;
    case Outcome::End::NotStarted:
        throw std::runtime_error("the sandbox did not start: " + result.log.toStdString());
    case Outcome::End::Exited:
        break;
    }
    if (outcome.code != 0) {
        result.status = Status::Failed;
        result.result = FailureMessage(outcome.output);
        if (result.result.isEmpty())
            result.result =
                Say(language, "Fehler: Status %1", "failed: status %1").arg(outcome.code);
        return result;
    }
    if (ran->drawings.empty()) {
        result.status = Status::NoDrawing;
        result.result = ran->problem.isEmpty()
                            ? Say(language, "keine Zeichnung", "no drawing")
                            : Say(language, "Zeichnung unlesbar: %1", "drawing unreadable: %1")
                                  .arg(ran->problem);
        return result;
    }

    QElapsedTimer clock;
    clock.start();
    std::vector<Window> drawn;
    try {
        drawn = ReadWindows(ran->drawings);
    } catch (const std::exception& error) {
        result.status = Status::NoDrawing;
        result.result = Say(language, "Zeichnung unlesbar: %1", "drawing unreadable: %1")
                            .arg(QString::fromStdString(error.what()));
        return result;
    }
    // Window by window in the order the programs showed them; a window one of them lacks
    // scores nothing.
    const Options compareOptions{
        options.tolerance, language == QLatin1String("en") ? Language::English : Language::German};
    const std::size_t windows = std::max(solution.size(), drawn.size());
    const bool several = windows > 1;
    double score = 0, share = 0;
    int shares = 0;
    for (std::size_t w = 0; w < windows; ++w) {
        if (w >= drawn.size()) {
            result.differences.push_back(
                {QStringLiteral("missing-window"),
                 Say(language, "Fenster \"%1\" fehlt", "window \"%1\" is missing")
                     .arg(solution[w].window)});
            continue;
        }
        if (w >= solution.size()) {
            result.differences.push_back(
                {QStringLiteral("extra-window"),
                 Say(language, "zusätzliches Fenster \"%1\"", "extra window \"%1\"")
                     .arg(drawn[w].window)});
            continue;
        }
        const Comparison comparison =
            Compare(solution[w].drawing, drawn[w].drawing, compareOptions);
        score += comparison.score;
        for (const Difference& difference : comparison.differences)
            result.differences.push_back(
                {QString::fromStdString(difference.kind),
                 (several ? Caption(drawn[w].window, language) : QString()) +
                     QString::fromStdString(difference.text)});
        QImage solutionPicture, drawingPicture;
        if (solutionPicture.loadFromData(solution[w].png, "PNG") &&
            drawingPicture.loadFromData(drawn[w].png, "PNG")) {
            share += DifferingShare(solutionPicture, drawingPicture);
            ++shares;
        }
        if (w == 0) {
            result.images.solution = solution[w].png;
            result.images.drawing = drawn[w].png;
            result.images.overlay = OverlayPng(solution[w].drawing, drawn[w].drawing, comparison);
        }
    }
    result.status = Status::Graded;
    result.score = static_cast<int>(score / static_cast<double>(windows) + 0.5);
    result.passed = *result.score >= options.threshold;
    if (shares > 0) result.pixelShare = share / shares;
    result.result = result.passed ? Say(language, "bestanden", "passed")
                                  : Say(language, "nicht bestanden", "not passed");
    result.seconds.compare = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    return result;
}

} // namespace kritzel::vergleich
