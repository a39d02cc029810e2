#include "Progress.h"

#include "Options.h"

#include <cstdio>
#include <unistd.h>

namespace kritzel::vergleich {

namespace {

void Write(const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stderr);
    std::fflush(stderr);
}

} // namespace

Progress::Progress(int total, const QString& language)
    : total_(total), language_(language), terminal_(::isatty(2) == 1) {
    clock_.start();
}

void Progress::Began(const QString& name) {
    current_ = name;
    if (terminal_) Bar();
}

void Progress::Finished(const QString& name, const Result& result) {
    ++done_;
    if (terminal_) {
        Bar();
        return;
    }
    QString line = QStringLiteral("%1/%2 %3: %4").arg(done_).arg(total_).arg(name, result.result);
    if (result.score) line += QStringLiteral(" (%1)").arg(*result.score);
    Write(line + QLatin1Char('\n'));
}

void Progress::Bar() {
    constexpr int Width = 30;
    const int filled = total_ > 0 ? Width * done_ / total_ : Width;
    QString left = QStringLiteral("?");
    if (done_ > 0) {
        const qint64 seconds = clock_.elapsed() * (total_ - done_) / done_ / 1000;
        left = QStringLiteral("%1:%2").arg(seconds / 60).arg(seconds % 60, 2, 10, QLatin1Char('0'));
    }
    const QString line =
        QStringLiteral("\r\033[K[%1%2] %3/%4  %5  %6 %7")
            .arg(QString(filled, QLatin1Char('#')), QString(Width - filled, QLatin1Char('-')))
            .arg(done_)
            .arg(total_)
            .arg(current_.left(30), Say(language_, "noch", "left"), left);
    Write(line);
}

void Progress::Summary(const std::vector<Result>& results, int ungraded, const QString& report,
                       double seconds) {
    int passed = 0, missing = 0;
    for (const Result& result : results) {
        passed += result.passed ? 1 : 0;
        missing += result.status == Status::NoSubmission ? 1 : 0;
    }
    const int handedIn = static_cast<int>(results.size()) - missing;
    const int failed = handedIn - passed - ungraded;
    if (terminal_) Write(QStringLiteral("\r\033[K"));
    QString line =
        (handedIn == 1 ? Say(language_, "1 Abgabe: ", "1 submission: ")
                       : Say(language_, "%1 Abgaben: ", "%1 submissions: ").arg(handedIn)) +
        Say(language_, "%1 bestanden, %2 nicht bestanden", "%1 passed, %2 not passed")
            .arg(passed)
            .arg(failed);
    if (missing > 0)
        line += Say(language_, ", %1 ohne Abgabe", ", %1 without a submission").arg(missing);
    if (ungraded > 0)
        line += Say(language_, ", %1 nicht bewertbar", ", %1 could not be graded").arg(ungraded);
    line += Say(language_, "; %1 (%2 s)", "; %1 (%2 s)").arg(report).arg(seconds, 0, 'f', 1);
    Write(line + QLatin1Char('\n'));
}

} // namespace kritzel::vergleich
