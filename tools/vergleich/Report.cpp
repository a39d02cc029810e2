#include "Report.h"

#include <QBuffer>
#include <QCollator>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QSaveFile>
#include <QSize>

#include <algorithm>
#include <stdexcept>

namespace kritzel::vergleich {

namespace {

// The page's words in the two languages the grader speaks.
struct Words {
    const char* lang;
    const char* title;
    const char* summary; // %1 passed of %2, threshold %3, tolerance %4
    const char* name;
    const char* result;
    const char* score;
    const char* points; // after a score: "98 points"
    const char* pixels;
    const char* time;
    const char* solution;
    const char* drawing;
    const char* overlay;
    const char* legend[4]; // solution, drawing, missing, extra
    const char* differences;
    const char* noDifferences;
    const char* log;
    const char* gallery;
    const char* noPicture;
    const char* toTable;
    const char* sortHint;
    const char* yes;
    const char* no;
    const char* passed;
    const char* differenceCount;
    const char* source;
};

constexpr Words German{
    "de",
    "Klassenbericht",
    "%1 von %2 bestanden (ab %3 Punkten, Toleranz %4 LE)",
    "Name",
    "Ergebnis",
    "Punkte",
    "Punkte",
    "Pixelabweichung",
    "Zeit (s)",
    "Lösung",
    "Zeichnung",
    "Überlagerung",
    {"Lösung", "Zeichnung", "fehlt", "zusätzlich"},
    "Unterschiede",
    "Keine Unterschiede.",
    "Fehlerausgabe",
    "Alle Zeichnungen",
    "kein Bild",
    "zur Tabelle",
    "Zum Sortieren auf eine Spaltenüberschrift klicken.",
    "ja",
    "nein",
    "bestanden",
    "Unterschiede",
    "Abgabe",
};

constexpr Words English{
    "en",
    "Class report",
    "%1 of %2 passed (at %3 points, tolerance %4 LE)",
    "Name",
    "Result",
    "Score",
    "points",
    "Pixels differing",
    "Time (s)",
    "Solution",
    "Drawing",
    "Overlay",
    {"solution", "drawing", "missing", "extra"},
    "Differences",
    "No differences.",
    "Error output",
    "All drawings",
    "no picture",
    "back to the table",
    "Click a column heading to sort.",
    "yes",
    "no",
    "passed",
    "Differences",
    "Submission",
};

const Words& WordsFor(const std::vector<Result>& results) {
    return !results.empty() && results.front().language == "en" ? English : German;
}

QString Html(const QString& text) {
    return text.toHtmlEscaped();
}

// A number for people: fixed places, with the language's decimal sign.
QString Decimal(double value, int places, const Words& words) {
    QString text = QString::number(value, 'f', places);
    if (QLatin1String(words.lang) == QLatin1String("de")) text.replace('.', ',');
    return text;
}

double TotalSeconds(const Result& result) {
    return result.seconds.build + result.seconds.run + result.seconds.compare;
}

// The results in the order of the report: by name as a German reader sorts (umlauts with
// their vowels), then by the file handed in, so that equal names keep one order.
std::vector<Result> Sorted(std::vector<Result> results) {
    QCollator collator{QLocale(QLocale::German, QLocale::Germany)};
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(results.begin(), results.end(), [&](const Result& a, const Result& b) {
        if (const int c = collator.compare(a.name, b.name)) return c < 0;
        if (const int c = a.name.compare(b.name)) return c < 0;
        return a.source < b.source;
    });
    return results;
}

// A picture for the page: an <img> with its size, or a note where there is no picture or
// the bytes are not a PNG (a pupil's program writes its own drawing file).
QString Picture(const QByteArray& png, const QString& alt, const Words& words,
                const char* cssClass) {
    QSize size;
    if (png.startsWith("\x89PNG\r\n\x1a\n")) {
        QBuffer buffer;
        buffer.setData(png);
        size = QImageReader(&buffer, "png").size();
    }
    if (!size.isValid() || size.isEmpty())
        return QString("<div class=\"%1 none\">%2</div>").arg(cssClass, Html(words.noPicture));
    return QString("<img class=\"%1\" src=\"data:image/png;base64,%2\" width=\"%3\" "
                   "height=\"%4\" alt=\"%5\">")
        .arg(cssClass, QString::fromLatin1(png.toBase64()))
        .arg(size.width())
        .arg(size.height())
        .arg(Html(alt));
}

// How the table and the headings colour a result.
QString Kind(const Result& result) {
    if (result.status != Status::Graded) return "error";
    return result.passed ? "pass" : "fail";
}

const char* Style = R"css(
:root { color-scheme: light; --pass: #1b7f3b; --fail: #b35c00; --error: #b3261e; --line: #d7dbe0; }
* { box-sizing: border-box; }
body { margin: 0; font: 15px/1.45 system-ui, "Segoe UI", "DejaVu Sans", sans-serif; color: #1d2329; background: #f4f6f8; }
header { background: #24415e; color: #fff; padding: 18px 32px; }
header h1 { margin: 0 0 4px; font-size: 24px; font-weight: 600; }
header p { margin: 0; opacity: .9; }
main { padding: 20px 32px 40px; max-width: 1360px; }
h2 { font-size: 19px; margin: 0 0 10px; }
section, .card { background: #fff; border: 1px solid var(--line); border-radius: 8px; padding: 16px 20px; margin: 0 0 20px; }
table { border-collapse: collapse; width: 100%; }
th, td { padding: 6px 10px; border-bottom: 1px solid var(--line); text-align: left; vertical-align: top; }
td.number, th.number { text-align: right; font-variant-numeric: tabular-nums; }
th button { font: inherit; font-weight: 600; color: inherit; background: none; border: 0; padding: 0; cursor: pointer; }
th button::after { content: " \2195"; color: #8a949e; }
th[aria-sort=ascending] button::after { content: " \2191"; color: inherit; }
th[aria-sort=descending] button::after { content: " \2193"; color: inherit; }
tbody tr:hover { background: #eef3f8; }
.hint { color: #5b6670; font-size: 13px; margin: 6px 0 0; }
.badge { display: inline-block; padding: 1px 8px; border-radius: 10px; color: #fff; font-size: 13px; }
.badge.pass { background: var(--pass); } .badge.fail { background: var(--fail); } .badge.error { background: var(--error); }
a { color: #1f5f99; }
.gallery { display: grid; grid-template-columns: repeat(auto-fill, minmax(180px, 1fr)); gap: 12px; }
.gallery figure { margin: 0; border: 1px solid var(--line); border-radius: 6px; padding: 6px; background: #fff; text-align: center; }
.gallery figure.pass { border-color: var(--pass); } .gallery figure.fail { border-color: var(--fail); } .gallery figure.error { border-color: var(--error); }
.gallery a { text-decoration: none; color: inherit; }
.thumb { width: 100%; height: auto; max-height: 180px; object-fit: contain; }
.gallery figcaption { font-size: 13px; margin-top: 4px; overflow-wrap: anywhere; }
.pictures { display: grid; grid-template-columns: repeat(3, minmax(0, 1fr)); gap: 16px; max-width: 1280px; }
.pictures figure { margin: 0; }
.pictures figcaption { font-size: 13px; color: #5b6670; }
.picture { width: 100%; height: auto; border: 1px solid var(--line); }
.legend { font-size: 13px; color: #5b6670; margin: 8px 0 0; }
.key { display: inline-block; width: 22px; height: 4px; vertical-align: middle; margin: 0 4px 0 10px; border-radius: 2px; }
.key.solution { background: #bebebe; height: 7px; } .key.drawing { background: #000; } .key.missing { background: #de1e1e; } .key.extra { background: #1e5ae6; }
#klasse { max-width: 980px; }
div.none { display: flex; align-items: center; justify-content: center; color: #8a949e; background: #f0f2f4; min-height: 120px; min-width: 160px; border: 1px dashed var(--line); }
.thumb.none { width: 100%; }
pre { background: #1d2329; color: #e8ecef; padding: 10px 12px; border-radius: 6px; max-height: 320px; overflow: auto; white-space: pre-wrap; overflow-wrap: anywhere; font-size: 13px; }
.source { color: #5b6670; font-size: 13px; }
@media print {
  body { background: #fff; font-size: 12px; }
  header { background: none; color: #000; padding: 0 0 8px; }
  main { padding: 0; }
  section, .card { border: 0; padding: 0; break-inside: avoid; }
  th button::after { content: ""; }
  pre { max-height: none; background: #fff; color: #000; border: 1px solid var(--line); }
  .hint, .source a { display: none; }
}
)css";

// Sorting the class table by a heading; each cell's data-sort holds the value it sorts by,
// each row's data-index its place in the file, which breaks ties.
const char* Script = R"js(
(function () {
  var table = document.getElementById("klasse");
  var body = table.tBodies[0];
  var heads = table.tHead.rows[0].cells;
  Array.prototype.forEach.call(heads, function (head, column) {
    head.querySelector("button").addEventListener("click", function () {
      var ascending = head.getAttribute("aria-sort") !== "ascending";
      var numeric = head.classList.contains("number");
      var rows = Array.prototype.slice.call(body.rows);
      rows.sort(function (a, b) {
        var x = a.cells[column].getAttribute("data-sort");
        var y = b.cells[column].getAttribute("data-sort");
        var c = numeric ? Number(x) - Number(y) : x.localeCompare(y, document.documentElement.lang);
        if (c === 0) c = Number(a.getAttribute("data-index")) - Number(b.getAttribute("data-index"));
        return ascending ? c : -c;
      });
      rows.forEach(function (row) { body.appendChild(row); });
      Array.prototype.forEach.call(heads, function (other) { other.removeAttribute("aria-sort"); });
      head.setAttribute("aria-sort", ascending ? "ascending" : "descending");
    });
  });
})();
)js";

QString Sha256(const char* text) {
    return QString::fromLatin1(
        QCryptographicHash::hash(QByteArray(text), QCryptographicHash::Sha256).toBase64());
}

void Write(const QString& path, const QByteArray& bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
        throw std::runtime_error(
            QString("cannot write %1: %2").arg(path, file.errorString()).toStdString());
}

QString CsvField(QString text) {
    // A cell that starts like a formula would be run by the spreadsheet: a pupil's name
    // is no formula.
    if (!text.isEmpty() && QStringLiteral("=+-@\t\r").contains(text.front())) text.prepend('\'');
    if (text.contains(';') || text.contains('"') || text.contains('\n') || text.contains('\r') ||
        text.contains('\''))
        return '"' + text.replace('"', "\"\"") + '"';
    return text;
}

} // namespace

std::vector<Result> ReadResults(const QString& folder) {
    const QDir dir(folder);
    if (!dir.exists())
        throw std::runtime_error(QString("%1 is no folder").arg(folder).toStdString());
    std::vector<Result> results;
    const QStringList names = dir.entryList({"*.json"}, QDir::Files | QDir::Readable, QDir::Name);
    for (const QString& name : names) {
        QFile file(dir.filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            throw std::runtime_error(QString("cannot read %1: %2")
                                         .arg(file.fileName(), file.errorString())
                                         .toStdString());
        try {
            results.push_back(FromJson(file.readAll()));
        } catch (const std::runtime_error& error) {
            throw std::runtime_error(QString("%1: %2")
                                         .arg(file.fileName(), QString::fromUtf8(error.what()))
                                         .toStdString());
        }
    }
    return results;
}

QByteArray ReportHtml(const std::vector<Result>& unsorted) {
    const std::vector<Result> results = Sorted(unsorted);
    const Words& w = WordsFor(results);
    const auto passed =
        std::count_if(results.begin(), results.end(), [](const Result& r) { return r.passed; });
    const int threshold = results.empty() ? 90 : results.front().threshold;
    const double tolerance = results.empty() ? 0.05 : results.front().tolerance;

    QString page;
    page += "<!DOCTYPE html>\n<html lang=\"" + QLatin1String(w.lang) + "\">\n<head>\n";
    page += "<meta charset=\"utf-8\">\n";
    // Nothing on the page comes from elsewhere, and no script runs but the page's own, even
    // if a pupil's text slipped past the escaping.
    page += "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
            "img-src data:; style-src 'sha256-" +
            Sha256(Style) + "'; script-src 'sha256-" + Sha256(Script) + "'\">\n";
    page += "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n";
    page += QString("<title>Kritzel-Werk: %1</title>\n").arg(Html(w.title));
    page += QString("<style>") + Style + "</style>\n</head>\n<body>\n";
    page += QString("<header><h1>Kritzel-Werk: %1</h1><p>%2</p></header>\n<main>\n")
                .arg(Html(w.title), Html(QString(w.summary)
                                             .arg(passed)
                                             .arg(results.size())
                                             .arg(threshold)
                                             .arg(Decimal(tolerance, 2, w))));

    // The class table.
    page += "<section id=\"tabelle\">\n<table id=\"klasse\">\n<thead><tr>";
    page += QString("<th><button type=\"button\">%1</button></th>").arg(Html(w.name));
    page += QString("<th><button type=\"button\">%1</button></th>").arg(Html(w.result));
    page +=
        QString("<th class=\"number\"><button type=\"button\">%1</button></th>").arg(Html(w.score));
    page += QString("<th class=\"number\"><button type=\"button\">%1</button></th>")
                .arg(Html(w.pixels));
    page +=
        QString("<th class=\"number\"><button type=\"button\">%1</button></th>").arg(Html(w.time));
    page += "</tr></thead>\n<tbody>\n";
    for (std::size_t i = 0; i < results.size(); ++i) {
        const Result& r = results[i];
        // Ungraded submissions sort below every score and above every share.
        const QString score = r.score ? QString::number(*r.score) : QString();
        const QString scoreKey = r.score ? QString::number(*r.score) : "-1";
        const QString share = r.pixelShare ? Decimal(*r.pixelShare * 100, 1, w) + " %" : QString();
        const QString shareKey = r.pixelShare ? QString::number(*r.pixelShare, 'f', 4) : "2";
        const QString seconds = QString::number(TotalSeconds(r), 'f', 2);
        page += QString("<tr class=\"%1\" data-index=\"%2\">").arg(Kind(r)).arg(i);
        // One pass of arg() for texts from a result: a name holding "%1" stays as it is.
        page += QString("<td data-sort=\"%1\"><a href=\"#p%2\">%1</a></td>")
                    .arg(Html(r.name), QString::number(i + 1));
        page += QString("<td data-sort=\"%1\"><span class=\"badge %2\">%3</span></td>")
                    .arg(Html(r.result), Kind(r), Html(r.result));
        page += QString("<td class=\"number\" data-sort=\"%1\">%2</td>").arg(scoreKey, score);
        page += QString("<td class=\"number\" data-sort=\"%1\">%2</td>").arg(shareKey, share);
        page += QString("<td class=\"number\" data-sort=\"%1\">%2</td>")
                    .arg(seconds, Decimal(TotalSeconds(r), 2, w));
        page += "</tr>\n";
    }
    page +=
        QString("</tbody>\n</table>\n<p class=\"hint\">%1</p>\n</section>\n").arg(Html(w.sortHint));

    // The gallery: every drawing at a glance.
    page += QString("<section id=\"galerie\">\n<h2>%1</h2>\n<div class=\"gallery\">\n")
                .arg(Html(w.gallery));
    for (std::size_t i = 0; i < results.size(); ++i) {
        const Result& r = results[i];
        const QString score = r.score ? QString(" · %1").arg(*r.score) : QString();
        page += QString("<figure class=\"%1\"><a "
                        "href=\"#p%2\">%3<figcaption>%4%5</figcaption></a></figure>\n")
                    .arg(Kind(r))
                    .arg(i + 1)
                    .arg(Picture(r.images.drawing, r.name, w, "thumb"), Html(r.name), score);
    }
    page += "</div>\n</section>\n";

    // One section per pupil.
    for (std::size_t i = 0; i < results.size(); ++i) {
        const Result& r = results[i];
        page += QString("<section id=\"p%1\" class=\"pupil\">\n").arg(i + 1);
        page += QString("<h2>%1 <span class=\"badge %2\">%3</span>%4</h2>\n")
                    .arg(Html(r.name), Kind(r), Html(r.result),
                         r.score ? QString(" %1 %2").arg(*r.score).arg(Html(w.points)) : QString());
        page += QString("<p class=\"source\">%1: %2 · <a href=\"#tabelle\">%3</a></p>\n")
                    .arg(Html(w.source), Html(r.source), Html(w.toTable));
        page += "<div class=\"pictures\">\n";
        const std::pair<const char*, const QByteArray*> pictures[] = {
            {w.solution, &r.images.solution},
            {w.drawing, &r.images.drawing},
            {w.overlay, &r.images.overlay}};
        for (const auto& [caption, png] : pictures) {
            page += QString("<figure>%1<figcaption>%2</figcaption></figure>\n")
                        .arg(Picture(*png, QString("%1: %2").arg(caption, r.name), w, "picture"),
                             Html(caption));
        }
        page += "</div>\n";
        if (!r.images.overlay.isEmpty())
            page += QString("<p class=\"legend\"><span class=\"key solution\"></span>%1 "
                            "<span class=\"key drawing\"></span>%2 "
                            "<span class=\"key missing\"></span>%3 "
                            "<span class=\"key extra\"></span>%4</p>\n")
                        .arg(Html(w.legend[0]), Html(w.legend[1]), Html(w.legend[2]),
                             Html(w.legend[3]));
        if (r.status == Status::Graded) {
            page += QString("<h3>%1</h3>\n").arg(Html(w.differences));
            if (r.differences.empty()) {
                page += QString("<p>%1</p>\n").arg(Html(w.noDifferences));
            } else {
                page += "<ul>\n";
                for (const ResultDifference& d : r.differences)
                    page +=
                        QString("<li data-kind=\"%1\">%2</li>\n").arg(Html(d.kind), Html(d.text));
                page += "</ul>\n";
            }
        }
        // A graded program's output holds only its own notices (where its windows went).
        if (!r.log.isEmpty() && r.status != Status::Graded)
            page += QString("<h3>%1</h3>\n<pre>%2</pre>\n").arg(Html(w.log), Html(r.log));
        page += "</section>\n";
    }
    page += QString("</main>\n<script>") + Script + "</script>\n</body>\n</html>\n";
    return page.toUtf8();
}

QByteArray ReportCsv(const std::vector<Result>& unsorted) {
    const std::vector<Result> results = Sorted(unsorted);
    const Words& w = WordsFor(results);
    const QString heading[] = {w.name,
                               w.source,
                               w.result,
                               w.score,
                               w.passed,
                               QString(w.pixels) + " (%)",
                               w.differenceCount,
                               w.time};
    QStringList lines;
    QStringList fields;
    for (const QString& field : heading)
        fields << CsvField(field);
    lines << fields.join(';');
    for (const Result& r : results) {
        fields = {CsvField(r.name),
                  CsvField(r.source),
                  CsvField(r.result),
                  r.score ? QString::number(*r.score) : QString(),
                  r.passed ? w.yes : w.no,
                  r.pixelShare ? Decimal(*r.pixelShare * 100, 2, w) : QString(),
                  QString::number(r.differences.size()),
                  Decimal(TotalSeconds(r), 2, w)};
        lines << fields.join(';');
    }
    // The byte order mark tells a spreadsheet the file is UTF-8, so umlauts stay umlauts.
    return "\xEF\xBB\xBF" + (lines.join("\r\n") + "\r\n").toUtf8();
}

void WriteReport(const QString& folder, const std::vector<Result>& results) {
    if (!QDir().mkpath(folder))
        throw std::runtime_error(QString("cannot make the folder %1").arg(folder).toStdString());
    const QDir dir(folder);
    Write(dir.filePath("index.html"), ReportHtml(results));
    Write(dir.filePath("ergebnisse.csv"), ReportCsv(results));
}

} // namespace kritzel::vergleich
