// What the grader tells the terminal: on a terminal a bar with the pupil being graded and
// the time left, elsewhere one line per pupil; at the end one summary line.
#pragma once

#include "Result.h"

#include <QElapsedTimer>
#include <QString>

#include <vector>

namespace kritzel::vergleich {

class Progress {
public:
    Progress(int total, const QString& language);
    void Began(const QString& name);
    void Finished(const QString& name, const Result& result);
    /// The line that ends the run: how many passed, failed, could not be graded, and where
    /// the report is.
    void Summary(const std::vector<Result>& results, int ungraded, const QString& report,
                 double seconds);

private:
    void Bar();
    int total_;
    int done_ = 0;
    QString language_;
    QString current_;
    bool terminal_;
    QElapsedTimer clock_;
};

} // namespace kritzel::vergleich
