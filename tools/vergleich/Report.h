// The class report: index.html and ergebnisse.csv, made from the submissions' results alone,
// so that the per-submission step may run elsewhere and the report be made afterwards.
#pragma once

#include "Result.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace kritzel::vergleich {

/// Reads every <name>.json in the folder (sorted by file name). Throws std::runtime_error
/// naming the file for one that FromJson refuses, or for a folder that cannot be read.
std::vector<Result> ReadResults(const QString& folder);

/// The report page: one self-contained HTML file (styles, script and pictures inline) with
/// the class table (sortable by each heading), a section per pupil (solution, drawing,
/// overlay, differences, error output) and a gallery of all drawings. Headings are in the
/// first result's language. Every text from a result is escaped. The same results give
/// the same bytes.
QByteArray ReportHtml(const std::vector<Result>& results);

/// The grade book's table: UTF-8 with a byte order mark, fields separated by ';' and
/// quoted where needed, one line per pupil after the heading line.
QByteArray ReportCsv(const std::vector<Result>& results);

/// Writes index.html and ergebnisse.csv into the folder (made if missing), sorted by name,
/// leaving the <name>.json files as they are. Throws std::runtime_error when a file cannot
/// be written.
void WriteReport(const QString& folder, const std::vector<Result>& results);

} // namespace kritzel::vergleich
