// The grader's report side: a submission's result file, the overlay picture, the class
// report, and the report opened in a real browser.
#include "Overlay.h"
#include "Report.h"
#include "Result.h"
#include "geometrie/Compare.h"
#include "geometrie/Drawing.h"
#include "geometrie/Pixels.h"

#include "support.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

using namespace kritzel;
using namespace kritzel::vergleich;
using kritzel::test::MissingTool;
using kritzel::test::ReadFile;

namespace {

QByteArray Png(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

QByteArray TinyPng(QColor colour) {
    QImage image(8, 6, QImage::Format_RGB32);
    image.fill(colour);
    return Png(image);
}

Result Graded(const QString& name, int score, double share) {
    Result r;
    r.name = name;
    r.source = name + ".cpp";
    r.status = Status::Graded;
    r.result = score >= 90 ? "bestanden" : "nicht bestanden";
    r.score = score;
    r.passed = score >= 90;
    r.pixelShare = share;
    r.seconds = {0.61, 0.2, 0.01};
    r.differences = {{"missing-line", "Linie von (0, 0) nach (3, 0) fehlt"}};
    r.images = {TinyPng(Qt::white), TinyPng(Qt::black), TinyPng(Qt::red)};
    return r;
}

Result Failed(const QString& name, const QString& log) {
    Result r;
    r.name = name;
    r.source = name;
    r.status = Status::BuildFailed;
    r.result = "Übersetzungsfehler";
    r.log = log;
    r.images.solution = TinyPng(Qt::white);
    return r;
}

} // namespace

TEST(ResultFile, RoundTripKeepsEveryFieldInTheFilesOrderAndRoundsNumbers) {
    Result r = Graded("Anna Müller", 87, 0.0310000000004);
    r.seconds = {0.614999, 0.2, 1.0 / 3};
    r.log = "Zeile 1\n\"zitiert\"\t\\ und \x01";
    r.differences.push_back({"colour", "Fläche bei (1, 1): gelb statt rot"});
    const QByteArray json = ToJson(r);

    EXPECT_TRUE(json.contains("\"pixel_share\": 0.031,")) << json.left(400).constData();
    EXPECT_TRUE(json.contains("\"build\": 0.61,"));
    EXPECT_TRUE(json.contains("\"compare\": 0.33\n"));
    EXPECT_TRUE(json.contains("Anna Müller")) << "UTF-8, not escaped";
    const char* order[] = {"format", "name",     "source",      "status",    "result",
                           "score",  "passed",   "pixel_share", "seconds",   "differences",
                           "log",    "language", "tolerance",   "threshold", "images"};
    qsizetype last = -1;
    for (const char* key : order) {
        const qsizetype at = json.indexOf(QByteArray("\"") + key + "\":");
        EXPECT_GT(at, last) << key;
        last = at;
    }

    const Result back = FromJson(json);
    EXPECT_EQ(back.name, r.name);
    EXPECT_EQ(back.source, r.source);
    EXPECT_EQ(back.status, Status::Graded);
    EXPECT_EQ(back.result, r.result);
    EXPECT_EQ(back.score, 87);
    EXPECT_FALSE(back.passed);
    EXPECT_DOUBLE_EQ(*back.pixelShare, 0.031);
    EXPECT_DOUBLE_EQ(back.seconds.build, 0.61);
    ASSERT_EQ(back.differences.size(), 2u);
    EXPECT_EQ(back.differences[1].text, r.differences[1].text);
    EXPECT_EQ(back.log, r.log);
    EXPECT_EQ(back.images.overlay, r.images.overlay);
    EXPECT_EQ(ToJson(back), json) << "written again, the same bytes";

    const Result failed = FromJson(ToJson(Failed("Bernd", "error: x")));
    EXPECT_EQ(failed.status, Status::BuildFailed);
    EXPECT_FALSE(failed.score);
    EXPECT_FALSE(failed.pixelShare);
    EXPECT_TRUE(failed.images.drawing.isEmpty());
}

TEST(ResultFile, RefusesWhatIsNoResultAndSaysWhy) {
    const QByteArray good = ToJson(Graded("Anna", 95, 0));
    const auto with = [&](const char* from, const char* to) {
        QByteArray json = good;
        EXPECT_TRUE(json.contains(from)) << from;
        return json.replace(from, to);
    };
    const std::pair<QByteArray, const char*> cases[] = {
        {"", "not JSON"},
        {"{\"format\": 1,", "not JSON"},
        {"[1, 2]", "no object"},
        {with("\"format\": 1", "\"format\": 2"), "format 2"},
        {with("\"name\": \"Anna\",", ""), "\"name\" is missing"},
        {with("\"name\": \"Anna\"", "\"name\": \"\""), "\"name\" is empty"},
        {with("\"graded\"", "\"marked\""), "\"status\" is \"marked\""},
        {with("\"score\": 95", "\"score\": 101"), "\"score\" is not a whole number from 0 to 100"},
        {with("\"score\": 95", "\"score\": 9.5"), "\"score\" is not a whole number"},
        {with("\"score\": 95", "\"score\": null"), "must be given for a graded"},
        {with("\"passed\": true", "\"passed\": 1"), "\"passed\" is not true or false"},
        {with("\"pixel_share\": 0", "\"pixel_share\": 1.5"), "\"pixel_share\" is not from 0 to 1"},
        {with("\"build\": 0.61", "\"build\": \"0.61\""), "\"seconds.build\" is not a number"},
        {with("\"kind\": \"missing-line\",", ""), "\"differences[0].kind\" is missing"},
        {with("\"language\": \"de\"", "\"language\": \"fr\""), "\"language\" is \"fr\""},
        {with("\"overlay\": \"", "\"overlay\": \"*!"), "\"images.overlay\" is not base64"},
    };
    for (const auto& [json, why] : cases) {
        try {
            FromJson(json);
            ADD_FAILURE() << "took: " << json.left(200).constData();
        } catch (const std::runtime_error& error) {
            EXPECT_NE(std::string(error.what()).find(why), std::string::npos)
                << "wanted \"" << why << "\", said \"" << error.what() << "\"";
        }
    }
}

TEST(ResultFile, AReportFolderIsReadWholeOrRefusedNamingTheFile) {
    QTemporaryDir dir;
    const auto put = [&](const QString& name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    };
    put("Anna Müller.json", ToJson(Graded("Anna Müller", 95, 0)));
    put("Bernd.json", ToJson(Failed("Bernd", "")).replace("\"format\": 1", "\"format\": 7"));
    put("notizen.txt", "kein Ergebnis");
    try {
        ReadResults(dir.path());
        ADD_FAILURE() << "took a folder with a broken result";
    } catch (const std::runtime_error& error) {
        EXPECT_NE(std::string(error.what()).find("Bernd.json: a result of format 7"),
                  std::string::npos)
            << error.what();
    }
    QFile::remove(dir.filePath("Bernd.json"));
    const std::vector<Result> results = ReadResults(dir.path());
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].name, "Anna Müller");
    EXPECT_THROW(ReadResults(dir.filePath("fehlt")), std::runtime_error);
}

TEST(ClassReport, EscapesEveryTextFromAPupilAndRunsNoScriptButItsOwn) {
    Result hostile = Graded("<script>alert(1)</script>%1 \"Eve\" & %2", 50, 0.5);
    hostile.source = "<img src=x onerror=alert(2)>.cpp";
    hostile.result = "</span><script>alert(3)</script>";
    hostile.differences = {{"<b>kind</b>", "<iframe src=\"https://example.org\"></iframe>"}};
    hostile.log = "</pre><script>alert(4)</script>";
    hostile.images.drawing = "<svg onload=alert(5)>"; // not a PNG: shown as none
    // The error output is shown for a program not graded: the same text there.
    const std::vector<Result> results{
        hostile, Failed("Zoë", "x.cpp:1: error: ';' expected\n</pre><script>alert(4)</script>")};
    const QString html = QString::fromUtf8(ReportHtml(results));

    EXPECT_EQ(html.count("<script"), 1) << "the page's own script alone";
    for (const char* raw : {"<img src=x", "<iframe", "<svg", "</span><script>", "<b>kind"})
        EXPECT_FALSE(html.contains(raw)) << raw;
    const QString name = "&lt;script&gt;alert(1)&lt;/script&gt;%1 &quot;Eve&quot; &amp; %2";
    EXPECT_TRUE(html.contains("<td data-sort=\"" + name + "\"><a href=\"#p1\">" + name + "</a>"))
        << "the name in the table as it is, \"%1\" included";
    EXPECT_TRUE(html.contains("<h2>" + name + " <span")) << "and above the pupil's pictures";
    EXPECT_TRUE(html.contains("&lt;/pre&gt;&lt;script&gt;alert(4)&lt;/script&gt;"));
    EXPECT_TRUE(html.contains("Content-Security-Policy"));
    EXPECT_TRUE(html.contains("x.cpp:1: error: ';' expected"));
    EXPECT_TRUE(html.contains("kein Bild"));

    Result formula = Graded("=HYPERLINK(\"http://x\";\"y\")", 90, 0);
    const QString csv = QString::fromUtf8(ReportCsv({formula}));
    EXPECT_TRUE(csv.contains("\"'=HYPERLINK(\"\"http://x\"\";\"\"y\"\")\";")) << csv.toStdString();
}

TEST(ClassReport, SameResultsGiveTheSameBytesWhateverTheirOrderAndTimesAloneDiffer) {
    std::vector<Result> results{Graded("Özlem", 100, 0), Graded("Anna Müller", 87, 0.031),
                                Failed("Bernd", "error"), Graded("anna", 95, 0.01)};
    QTemporaryDir one, two;
    WriteReport(one.path(), results);
    std::reverse(results.begin(), results.end());
    WriteReport(two.path(), results);
    for (const char* file : {"index.html", "ergebnisse.csv"})
        EXPECT_EQ(ReadFile(one.filePath(file)), ReadFile(two.filePath(file))) << file;

    for (Result& r : results)
        r.seconds = {9.87, 6.54, 3.21};
    const auto withoutTimes = [](QByteArray html) {
        return QString::fromUtf8(html).remove(
            QRegularExpression("<td class=\"number\" data-sort=\"[0-9.]+\">[0-9,]+</td></tr>"));
    };
    const QString before = withoutTimes(ReadFile(one.filePath("index.html")));
    EXPECT_NE(QString::fromUtf8(ReportHtml(results)),
              QString::fromUtf8(ReadFile(one.filePath("index.html"))));
    EXPECT_EQ(withoutTimes(ReportHtml(results)), before);

    const QString html = QString::fromUtf8(ReadFile(one.filePath("index.html")));
    EXPECT_LT(html.indexOf("#p1\">anna<"), html.indexOf("#p2\">Anna Müller<"));
    EXPECT_LT(html.indexOf("Anna Müller<"), html.indexOf("Bernd<"));
    EXPECT_LT(html.indexOf("Bernd<"), html.indexOf("Özlem<")) << "Ö sorts with O";
}

TEST(ClassReport, CsvIsUtf8WithAByteOrderMarkOneLineAPupilSemicolonSeparated) {
    std::vector<Result> results{Graded("Jürgen Weiß", 87, 0.0312), Failed("Zoë; die Zweite", "")};
    const QByteArray csv = ReportCsv(results);
    ASSERT_TRUE(csv.startsWith("\xEF\xBB\xBF"));
    const QStringList lines = QString::fromUtf8(csv.mid(3)).split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], "Name;Abgabe;Ergebnis;Punkte;bestanden;Pixelabweichung (%);"
                        "Unterschiede;Zeit (s)");
    EXPECT_EQ(lines[1], "Jürgen Weiß;Jürgen Weiß.cpp;nicht bestanden;87;nein;3,12;1;0,82");
    EXPECT_EQ(lines[2], "\"Zoë; die Zweite\";\"Zoë; die Zweite\";Übersetzungsfehler;;nein;;0;0,00")
        << "a field with the separator is quoted";

    results[0].language = "en";
    const QString english = QString::fromUtf8(ReportCsv(results));
    EXPECT_TRUE(
        english.contains("\r\nJürgen Weiß;Jürgen Weiß.cpp;nicht bestanden;87;no;3.12;1;0.82\r\n"))
        << "English headings, decimal points: " << english.toStdString();
    EXPECT_TRUE(english.contains("Name;Submission;Result;Score;passed;"));
    const QString page = QString::fromUtf8(ReportHtml(results));
    EXPECT_TRUE(page.contains("<html lang=\"en\">"));
    EXPECT_TRUE(page.contains("</span> 87 points</h2>")) << "a score in words of the page";
}

TEST(Overlay, PaintsTheGridTheSolutionGreyTheDrawingBlackMissingRedExtraBlue) {
    Drawing solution;
    solution.width = 8;
    solution.height = 6;
    solution.pixelsPerCm = 20;
    solution.lines = {{{-3, 2}, {3, 2}, 0x0000FF, 0}, {{-3, -2}, {3, -2}, 0, 0}};
    Drawing drawing = solution;
    drawing.lines = {{{-3, 2}, {3, 2}, 0, 0}, {{-2, -1}, {-2, 1}, 0, 0}};
    Comparison comparison;
    comparison.differences.push_back({"missing-line", "", {{{-3, -2}, {3, -2}}}, {}});
    comparison.differences.push_back({"extra-line", "", {}, {{{-2, -1}, {-2, 1}}}});

    const QImage image = RenderOverlay(solution, drawing, comparison);
    ASSERT_EQ(image.size(), QSize(160, 120)) << "the solution's area at its scale";
    // (x, y) in LE to the pixel there.
    const auto at = [&](double x, double y) {
        return QColor(image.pixel(int((x + 4) * 20), int((3 - y) * 20)));
    };
    const QColor both = at(1.5, 2), missing = at(1.5, -2), extra = at(-2, 0.5);
    const QColor grid = at(2.5, 1), axis = at(0.5, 0), paper = at(2.5, 0.5);
    EXPECT_LT(both.lightness(), 40) << "drawn by both: black";
    EXPECT_GT(missing.red(), 180);
    EXPECT_LT(missing.green(), 80);
    EXPECT_GT(extra.blue(), 180);
    EXPECT_LT(extra.red(), 80);
    EXPECT_EQ(paper, QColor(Qt::white));
    EXPECT_LT(grid.lightness(), 250) << "a line of the centimetre grid";
    EXPECT_LT(axis.lightness(), grid.lightness()) << "the axis darker than the grid";
    EXPECT_EQ(RenderOverlay(solution, drawing, comparison), image) << "the same pixels again";

    // A solution drawn alone shows grey where the drawing has nothing.
    const QImage alone = RenderOverlay(solution, Drawing{}, Comparison{});
    const QColor grey(alone.pixel(int((1.5 + 4) * 20), int((3 - 2) * 20)));
    EXPECT_EQ(grey.red(), grey.blue());
    EXPECT_GT(grey.lightness(), 100);
    EXPECT_LT(grey.lightness(), 220);
}

namespace {

// What a pupil of the class drew: the solution (a red square of side 3 and a circle), or
// the solution with one of the faults pupils make.
void DrawPupil(TTurtle& t, int variant) {
    t.SetPenWidth(2);
    t.SetPenColor(variant % 7 == 3 ? clBlue : clRed);
    const double side = variant % 7 == 2 ? 2.5 : 3;
    const double turn = variant % 7 == 6 ? -90 : 90; // the mirror image
    if (variant % 7 == 1) {
        // Right, but walked the other way round from another corner.
        t.SetPosition(3, 3);
        t.GoTo(3, 0);
        t.GoTo(0, 0);
        t.GoTo(0, 3);
        t.GoTo(3, 3);
    } else {
        t.SetPosition(0, 0);
        t.SetHeading(0);
        for (int i = 0; i < 4; ++i) {
            t.Forwd(side);
            t.Left(turn);
        }
    }
    if (variant % 7 == 4) {
        t.SetPosition(-4, -2);
        t.GoTo(-1, -2);
    }
    if (variant % 7 != 5) {
        t.SetPenColor(clBlack);
        t.SetPosition(-3, 2);
        t.DrawCircle(1);
    }
}

struct Recorded {
    Drawing drawing;
    QByteArray png;
};

// The drawing as the grader records it: the control's metafile and PNG, saved as
// SaveToFile saves them, and the metafile read back as geometry.
Recorded Record(int variant, const QString& folder) {
    TTurtle t;
    t.SetOnStartPaint([&] { DrawPupil(t, variant); });
    const QString base = QString("%1/%2").arg(folder).arg(variant);
    t.SaveToFile((base + ".emf").toStdString());
    t.SaveToFile((base + ".png").toStdString());
    const QByteArray emf = ReadFile(base + ".emf");
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(emf.constData());
    return {ReadDrawing({bytes, static_cast<std::size_t>(emf.size())}), ReadFile(base + ".png")};
}

// A class of thirty as the per-submission step grades it, two of whom did not build.
std::vector<Result> GradedClass(const QString& folder) {
    const Recorded solution = Record(0, folder);
    const QStringList names = {
        "Anna",  "Ben",  "Clara", "David", "Elif",  "Finn", "Greta",  "Hamid", "Ida",   "Jonas",
        "Kübra", "Leon", "Mia",   "Noah",  "Olga",  "Paul", "Quirin", "Rosa",  "Sören", "Tim",
        "Ümit",  "Vera", "Wanda", "Xaver", "Yusuf", "Zoë",  "Ömer",   "Ärzu",  "Bernd", "Carla"};
    std::vector<Result> results;
    for (int i = 0; i < names.size(); ++i) {
        Result r;
        r.name = names[i];
        r.source = names[i] + ".cpp";
        r.images.solution = solution.png;
        if (i % 13 == 12) {
            r.status = Status::BuildFailed;
            r.result = "Übersetzungsfehler";
            r.log = r.source + ":3:5: error: 'Forwd' was not declared in this scope";
        } else {
            const Recorded drawing = Record(i * 5 % 7, folder);
            const Comparison comparison = Compare(solution.drawing, drawing.drawing);
            r.status = Status::Graded;
            r.score = comparison.score;
            r.passed = comparison.score >= r.threshold;
            r.result = r.passed ? "bestanden" : "nicht bestanden";
            r.pixelShare =
                DifferingShare(QImage::fromData(solution.png), QImage::fromData(drawing.png));
            for (const Difference& d : comparison.differences)
                r.differences.push_back(
                    {QString::fromStdString(d.kind), QString::fromStdString(d.text)});
            r.images.drawing = drawing.png;
            r.images.overlay = Png(RenderOverlay(solution.drawing, drawing.drawing, comparison));
        }
        r.seconds = {0.5 + i / 100.0, 0.1, 0.01};
        results.push_back(r);
    }
    return results;
}

// Run by the browser on the loaded page: counts the rows and the pictures that decoded,
// sorts by score up and down through the heading, and leaves what it saw in the page.
const char* PageCheck = R"js(
window.addEventListener("load", function () {
  var table = document.getElementById("klasse");
  var button = table.tHead.rows[0].cells[2].querySelector("button");
  function scores() {
    return Array.prototype.map.call(table.tBodies[0].rows, function (row) {
      var text = row.cells[2].textContent;
      return text === "" ? "-" : text;
    }).join(",");
  }
  var loaded = Array.prototype.filter.call(document.images, function (image) {
    return image.complete && image.naturalWidth > 0;
  }).length;
  button.click();
  var up = scores();
  button.click();
  var down = scores();
  var out = document.createElement("div");
  out.id = "check";
  out.setAttribute("data-rows", table.tBodies[0].rows.length);
  out.setAttribute("data-images", loaded + " of " + document.images.length);
  out.setAttribute("data-up", up);
  out.setAttribute("data-down", down);
  out.setAttribute("data-sort", table.tHead.rows[0].cells[2].getAttribute("aria-sort"));
  document.body.appendChild(out);
});
)js";

} // namespace

TEST(ReportInBrowser, ThirtyPupilsShowEveryRowAndPictureAndSortByScore) {
    SKIP_OR_FAIL_IF(MissingTool("chromium", "chromium"));
    kritzel::test::PixelsPerInchScope ppi(96);
    QTemporaryDir dir;
    const std::vector<Result> results = GradedClass(dir.path());
    const QString report = dir.filePath("bericht");
    WriteReport(report, results);
    // Kept for a developer to open.
    WriteReport(QString::fromStdString(kritzel::test::OutputDir()) + "/bericht", results);

    // The check runs beside the page's own script: the page's policy admits it by its hash,
    // as it admits the page's script, which must run under the policy to sort.
    QByteArray page = ReadFile(report + "/index.html");
    const QByteArray hash =
        QCryptographicHash::hash(PageCheck, QCryptographicHash::Sha256).toBase64();
    ASSERT_TRUE(page.contains("script-src 'sha256-"));
    page.replace("script-src 'sha256-", "script-src 'sha256-" + hash + "' 'sha256-");
    page.replace("</body>", QByteArray("<script>") + PageCheck + "</script>\n</body>");
    const QString checked = report + "/check.html";
    QFile file(checked);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(page);
    file.close();

    QProcess chromium;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", dir.filePath("home"));
    chromium.setProcessEnvironment(env);
    chromium.start("chromium",
                   {"--headless", "--no-sandbox", "--disable-gpu", "--no-first-run",
                    "--user-data-dir=" + dir.filePath("profile"), "--disable-extensions",
                    "--disable-background-networking", "--disable-component-update",
                    "--disable-sync", "--proxy-server=127.0.0.1:9", "--virtual-time-budget=10000",
                    "--dump-dom", QUrl::fromLocalFile(checked).toString()});
    ASSERT_TRUE(chromium.waitForFinished(120000)) << "chromium did not finish";
    const QString dom = QString::fromUtf8(chromium.readAllStandardOutput());
    const QRegularExpressionMatch check =
        QRegularExpression("<div id=\"check\" data-rows=\"(\\d+)\" data-images=\"([^\"]*)\" "
                           "data-up=\"([^\"]*)\" data-down=\"([^\"]*)\" data-sort=\"([^\"]*)\">")
            .match(dom);
    ASSERT_TRUE(check.hasMatch()) << "the page's check did not run: "
                                  << chromium.readAllStandardError().right(2000).constData();

    EXPECT_EQ(check.captured(1), "30");
    // Each graded pupil shows drawing (gallery and section), solution and overlay; the two
    // who did not build, their solution alone.
    EXPECT_EQ(check.captured(2), "114 of 114");
    QStringList up;
    std::vector<int> scores;
    for (const Result& r : results)
        if (r.score) scores.push_back(*r.score);
    std::sort(scores.begin(), scores.end());
    up << "-"
       << "-";
    for (int score : scores)
        up << QString::number(score);
    EXPECT_EQ(check.captured(3), up.join(',')) << "ascending, the ungraded first";
    std::reverse(up.begin(), up.end());
    EXPECT_EQ(check.captured(4), up.join(','));
    EXPECT_EQ(check.captured(5), "descending");
    EXPECT_GT(scores.back(), scores.front()) << "a class that sorting has something to do in";
}
