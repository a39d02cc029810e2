// One submission's result: what the per-submission step found, as it is kept in
// <report>/<name>.json and read back to make the class report.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace kritzel::vergleich {

/// How far a submission got. Only a graded one has a score and a pixel share.
/// NoSubmission is a pupil whose entry in the class folder holds no program (an empty
/// folder, a note): listed so that the class list is complete, never graded.
enum class Status { Graded, BuildFailed, Timeout, Crashed, Failed, NoDrawing, NoSubmission };

/// The status as the JSON file spells it ("graded", "build-failed", "timeout", "crashed",
/// "failed", "no-drawing", "no-submission").
QString StatusName(Status status);

/// One thing that differs between the solution and the drawing, as the comparison names it.
struct ResultDifference {
    QString kind; ///< "missing-line", "extra-circle", ...
    QString text; ///< the message in the result's language, positions in LE
};

/// Seconds each stage took; the only figures that differ between two runs of one class.
struct Seconds {
    double build = 0, run = 0, compare = 0;
};

/// The pictures of a submission, as PNG bytes (not base64); empty where there is none.
struct Images {
    QByteArray solution, drawing, overlay;
};

/// One submission's result. The fields are the JSON file's keys, in its order.
struct Result {
    static constexpr int Format = 1;  ///< the file format this code writes and reads
    QString name;                     ///< the pupil's name: file or folder name without .cpp/.py
    QString source;                   ///< the file or folder handed in
    Status status = Status::Failed;   ///< how far it got
    QString result;                   ///< the table's text: "bestanden", "Zeitlimit", ...
    std::optional<int> score;         ///< 0..100, only when graded
    bool passed = false;              ///< score at or above the threshold
    std::optional<double> pixelShare; ///< 0..1, share of drawn pixels that differ, when graded
    Seconds seconds;
    std::vector<ResultDifference> differences;
    QString log;             ///< the compiler's or the program's error output (at most 64 KiB)
    QString language = "de"; ///< "de" or "en", the messages' language
    double tolerance = 0.05; ///< LE
    int threshold = 90;      ///< the score needed to pass
    Images images;
};

/// The result as the JSON file holds it: UTF-8, keys in a fixed order, numbers rounded to
/// fixed places (score and threshold whole, shares and tolerance to 4, seconds to 2
/// places), images as base64. The same result always gives the same bytes.
QByteArray ToJson(const Result& result);

/// Reads a result file. Throws std::runtime_error naming what is wrong for a file that is
/// not valid JSON, has another format number, lacks a key, or holds a value of the wrong
/// kind (an unknown status, a score outside 0..100, images that are not base64).
Result FromJson(const QByteArray& json);

} // namespace kritzel::vergleich
