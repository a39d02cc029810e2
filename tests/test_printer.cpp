// Printing the turtle's drawing: to a PDF file, with no queue at all, and through a
// private CUPS server whose default queue is cups-pdf (scripts/with-cups).
#include "support.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPageLayout>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <QTimer>

#include <cmath>
#include <csignal>
#include <optional>
#include <stdexcept>

#if defined(KRITZEL_TEST_CUPS)
#include <cups/cups.h>
#endif

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace kritzel;
using namespace kritzel::test;

namespace {

// Runs a tool to its end while the application keeps handling its events.
struct Result {
    int exitCode = -1;
    QByteArray out;
};
Result RunTool(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    Result r;
    if (!p.waitForStarted(10000)) return r;
    const auto t0 = MonotonicTicks();
    while (p.state() != QProcess::NotRunning && MonotonicTicks() - t0 < 60000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        p.waitForFinished(10);
    }
    if (p.state() != QProcess::NotRunning) {
        p.kill();
        p.waitForFinished(1000);
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    return r;
}

struct PdfInfo {
    int pages = -1;
    QString title;
};
PdfInfo Info(const QString& pdf) {
    PdfInfo info;
    const Result r = RunTool(QStringLiteral("pdfinfo"), {pdf});
    if (r.exitCode != 0) return info;
    for (const QByteArray& line : r.out.split('\n')) {
        const QString l = QString::fromUtf8(line);
        if (l.startsWith(QLatin1String("Pages:"))) info.pages = l.mid(6).trimmed().toInt();
        if (l.startsWith(QLatin1String("Title:"))) info.title = l.mid(6).trimmed();
    }
    return info;
}

constexpr int RenderDpi = 254; // ten pixels a millimetre

// The first page at ten pixels a millimetre.
QImage Render(const QString& pdf, const QString& dir) {
    const QString prefix = dir + "/seite";
    const Result r = RunTool(QStringLiteral("pdftoppm"), {"-r", QString::number(RenderDpi), "-gray",
                                                          "-png", "-singlefile", pdf, prefix});
    if (r.exitCode != 0) return {};
    return QImage(prefix + ".png").convertToFormat(QImage::Format_Grayscale8);
}

// The box around the dark pixels, in millimetres from the page's top-left corner.
struct Box {
    double left, top, right, bottom;
};
std::optional<Box> DarkBox(const QImage& page) {
    int l = page.width(), t = page.height(), r = -1, b = -1;
    for (int y = 0; y < page.height(); ++y) {
        const uchar* row = page.constScanLine(y);
        for (int x = 0; x < page.width(); ++x)
            if (row[x] < 128) {
                l = std::min(l, x);
                r = std::max(r, x + 1);
                t = std::min(t, y);
                b = std::max(b, y + 1);
            }
    }
    if (r < 0) return std::nullopt;
    const double mm = 25.4 / RenderDpi;
    return Box{l * mm, t * mm, r * mm, b * mm};
}

// Where the printable area's centre lies on the page, in millimetres, as the component
// measures the area: its size in whole millimetres from its top-left corner.
QPointF CentreOf(const QPageLayout& layout) {
    const QRectF area = layout.paintRect(QPageLayout::Millimeter);
    return {area.left() + std::floor(area.width()) / 2, area.top() + std::floor(area.height()) / 2};
}

// An L of 3 LE up and 2 LE to the right from the origin, 0.5 mm wide.
void DrawL(TTurtle& t) {
    t.SetPenWidth(5);
    t.Forwd(3);
    t.Right(90);
    t.Forwd(2);
}

// The L lies on the page with its corner 30 mm above the centre of the printable area.
void ExpectL(const QImage& page, QPointF centre) {
    ASSERT_FALSE(page.isNull());
    const std::optional<Box> box = DarkBox(page);
    ASSERT_TRUE(box.has_value()) << "nothing printed";
    const double halfPen = 0.25, tol = 0.2;
    EXPECT_NEAR(box->bottom - box->top, 30 + 2 * halfPen, tol) << "3 LE are 30 mm";
    EXPECT_NEAR(box->right - box->left, 20 + 2 * halfPen, tol) << "2 LE are 20 mm";
    EXPECT_NEAR(box->left + halfPen, centre.x(), 0.2);
    EXPECT_NEAR(box->bottom - halfPen, centre.y(), 0.2);
}

QPageLayout PdfLayout() {
    QPrinter p(QPrinter::HighResolution);
    p.setOutputFormat(QPrinter::PdfFormat);
    p.setOutputFileName(QStringLiteral("/dev/null"));
    return p.pageLayout();
}

// Each test prints into a folder of its own and leaves the printer as it found it.
class PrinterPdf : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        pdf = dir.filePath("seite.pdf");
        Printer().SetFileName(pdf.toStdString());
    }
    void TearDown() override {
        if (Printer().Printing()) Printer().EndDoc();
        Printer().SetFileName("");
    }
    QTemporaryDir dir;
    QString pdf;
};

} // namespace

TEST_F(PrinterPdf, OneJobOfOnePageTitledAndDrawnInCentimetres) {
    SKIP_OR_FAIL_IF(MissingTool("pdfinfo", "poppler-utils"));
    SKIP_OR_FAIL_IF(MissingTool("pdftoppm", "poppler-utils"));
    Painted t;
    t.SetAusgabe(tdPrinter);
    EXPECT_TRUE(Printer().Printing());
    EXPECT_EQ(Printer().Title(), "Kriecher, Version 10.1");
    EXPECT_EQ(t.Device(), tdPrinter);
    EXPECT_EQ(t.DevicePixelPerLE(), 100) << "tenths of a millimetre";
    const int wmm = GetDeviceCaps(Printer().Handle(), HORZSIZE);
    const int hmm = GetDeviceCaps(Printer().Handle(), VERTSIZE);
    EXPECT_DOUBLE_EQ(t.MaxX(), wmm / 20.0);
    EXPECT_DOUBLE_EQ(t.MaxY(), hmm / 20.0);
    const QRectF area = PdfLayout().paintRect(QPageLayout::Millimeter);
    EXPECT_EQ(wmm, int(std::floor(area.width())));
    EXPECT_EQ(hmm, int(std::floor(area.height())));
    DrawL(t);
    EXPECT_EQ(t.Canvas()->PenPos(), (TPoint{200, 200})) << "the screen is left alone";
    t.SetAusgabe(tdScreen);
    EXPECT_FALSE(Printer().Printing());
    EXPECT_EQ(t.Device(), tdScreen);
    EXPECT_EQ(t.DevicePixelPerLE(), t.PixelPerLE());

    const PdfInfo info = Info(pdf);
    EXPECT_EQ(info.pages, 1);
    EXPECT_EQ(info.title, "Kriecher, Version 10.1");
    ExpectL(Render(pdf, dir.path()), CentreOf(PdfLayout()));
}

TEST_F(PrinterPdf, TextOnPaperHasItsSizeInPoints) {
    SKIP_OR_FAIL_IF(MissingTool("pdftoppm", "poppler-utils"));
    Painted t;
    t.SetAusgabe(tdPrinter);
    // 36 points: half an inch from the top of the line to the bottom of the next.
    t.DrawStringPos(0, 0, "HHHH", "DejaVu Sans", 36, clBlack);
    t.SetAusgabe(tdScreen);
    const std::optional<Box> box = DarkBox(Render(pdf, dir.path()));
    ASSERT_TRUE(box.has_value());
    // DejaVu Sans capitals are 0.729 of the em high: 36 pt = 12.7 mm, caps 9.26 mm.
    EXPECT_NEAR(box->bottom - box->top, 12.7 * 0.729, 0.4);
    EXPECT_NEAR(box->left, CentreOf(PdfLayout()).x(), 1.5);
}

TEST_F(PrinterPdf, ARepaintWhileTheJobIsOpenEndsIt) {
    SKIP_OR_FAIL_IF(MissingTool("pdfinfo", "poppler-utils"));
    Painted t;
    int painted = 0;
    t.SetOnStartPaint([&] {
        ++painted;
        t.Forwd(1);
    });
    t.SetAusgabe(tdPrinter);
    t.Forwd(3);
    ASSERT_TRUE(Printer().Printing());
    t.Repaint();
    EXPECT_EQ(painted, 1);
    EXPECT_FALSE(Printer().Printing());
    EXPECT_EQ(t.Device(), tdScreen);
    EXPECT_EQ(t.DevicePixelPerLE(), t.PixelPerLE());
    EXPECT_EQ(Info(pdf).pages, 1);
    // The next repaint is an ordinary one on the screen.
    t.Repaint();
    EXPECT_EQ(painted, 2);
    EXPECT_GT(CountColor(t.Picture(), clBlack), 0);
}

TEST_F(PrinterPdf, ARepaintWhileSomeoneElsesJobIsOpenEndsARecording) {
    Painted t;
    const QString stem = dir.filePath("neben");
    t.SetFilename(stem.toStdString());
    t.SetAusgabe(tdWMF);
    t.Forwd(2);
    Printer().BeginDoc();
    t.Repaint();
    EXPECT_EQ(t.Device(), tdScreen);
    EXPECT_TRUE(QFileInfo::exists(stem + ".wmf"));
    EXPECT_TRUE(Printer().Printing()) << "the other party's job is not the turtle's to end";
    Printer().EndDoc();
}

TEST_F(PrinterPdf, PrinterThenMetafileEndsTheJobBeforeRecording) {
    SKIP_OR_FAIL_IF(MissingTool("pdfinfo", "poppler-utils"));
    Painted t;
    const QString stem = dir.filePath("danach");
    t.SetFilename(stem.toStdString());
    t.SetAusgabe(tdPrinter);
    t.Forwd(3);
    t.SetAusgabe(tdWMF);
    EXPECT_FALSE(Printer().Printing());
    EXPECT_EQ(Info(pdf).pages, 1) << "the page is out while the recording runs";
    EXPECT_EQ(t.DevicePixelPerLE(), t.PixelPerLE()) << "the metafile has the screen's layout";
    t.Forwd(1);
    EXPECT_FALSE(QFileInfo::exists(stem + ".wmf"));
    t.SetAusgabe(tdScreen);
    EXPECT_GT(QFileInfo(stem + ".wmf").size(), 100);
}

TEST_F(PrinterPdf, MetafileThenPrinterWritesTheFileBeforeTheJobBegins) {
    SKIP_OR_FAIL_IF(MissingTool("pdfinfo", "poppler-utils"));
    Painted t;
    const QString stem = dir.filePath("davor");
    t.SetFilename(stem.toStdString());
    t.SetAusgabe(tdWMF);
    t.Forwd(1);
    // A job that cannot begin shows the order: the file is already written.
    const std::string bad = dir.filePath("fehlt/seite.pdf").toStdString();
    Printer().SetFileName(bad);
    try {
        t.SetAusgabe(tdPrinter);
        ADD_FAILURE() << "the job began on a missing folder";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(bad), std::string::npos) << e.what();
    }
    EXPECT_TRUE(QFileInfo::exists(stem + ".wmf"));
    EXPECT_FALSE(Printer().Printing());
    EXPECT_EQ(t.Device(), tdScreen) << "a failed job goes back to the screen";
    QFile::remove(stem + ".wmf");

    // The failure was reported once: a later repaint draws on the screen and does not
    // try the job again.
    Printer().SetFileName(pdf.toStdString());
    t.Repaint();
    EXPECT_FALSE(QFileInfo::exists(stem + ".wmf")) << "no recording was running";
    EXPECT_FALSE(Printer().Printing());
    EXPECT_EQ(t.Device(), tdScreen);
    EXPECT_FALSE(QFileInfo::exists(pdf)) << "no job was begun";

    // And the good order: file out, then the job is open.
    QFile::remove(pdf);
    t.SetAusgabe(tdWMF);
    t.Forwd(1);
    t.SetAusgabe(tdPrinter);
    EXPECT_TRUE(QFileInfo::exists(stem + ".wmf"));
    EXPECT_TRUE(Printer().Printing());
    t.SetAusgabe(tdScreen);
    EXPECT_EQ(Info(pdf).pages, 1);
}

TEST_F(PrinterPdf, TheDelayIsZeroWhilePrintingAndComesBackAfter) {
    FakeClock clock(1000);
    CountingPump pump(&clock);
    ServicesScope services(&clock, &pump);
    Painted t;
    t.SetDelay(40);
    t.SetAusgabe(tdPrinter);
    EXPECT_EQ(t.Delay(), 0);
    t.SetDelay(25);
    EXPECT_EQ(t.Delay(), 0) << "the printer is not paced";
    for (int i = 0; i < 10; ++i)
        t.Forwd(0.5);
    EXPECT_EQ(pump.waits, 0);
    t.SetAusgabe(tdScreen);
    EXPECT_EQ(t.Delay(), 40);
    t.Forwd(0.5);
    EXPECT_GT(pump.waits, 0) << "the screen is paced again";
}

TEST_F(PrinterPdf, SettingThePrinterAgainDrawsOnTheScreenWithThePrinterScale) {
    SKIP_OR_FAIL_IF(MissingTool("pdfinfo", "poppler-utils"));
    Painted t;
    t.SetAusgabe(tdPrinter);
    const int w = GetDeviceCaps(Printer().Handle(), HORZSIZE) * 10;
    const int h = GetDeviceCaps(Printer().Handle(), VERTSIZE) * 10;
    t.SetAusgabe(tdPrinter);
    EXPECT_TRUE(Printer().Printing()) << "still the one job";
    EXPECT_EQ(t.DevicePixelPerLE(), 100);
    t.Forwd(1);
    EXPECT_EQ(t.Canvas()->PenPos(), (TPoint{w / 2, h / 2 - 100}));
    t.SetAusgabe(tdScreen);
    EXPECT_EQ(Info(pdf).pages, 1);
}

TEST_F(PrinterPdf, DestroyingTheTurtleWhilePrintingPrintsThePage) {
    SKIP_OR_FAIL_IF(MissingTool("pdfinfo", "poppler-utils"));
    SKIP_OR_FAIL_IF(MissingTool("pdftoppm", "poppler-utils"));
    {
        Painted t;
        t.SetAusgabe(tdPrinter);
        DrawL(t);
    }
    EXPECT_FALSE(Printer().Printing());
    EXPECT_EQ(Info(pdf).pages, 1);
    ExpectL(Render(pdf, dir.path()), CentreOf(PdfLayout()));
}

TEST_F(PrinterPdf, AFileThatCannotBeOpenedIsAClearErrorAndTheScreenGoesOn) {
    const std::string bad = dir.filePath("fehlt/seite.pdf").toStdString();
    Printer().SetFileName(bad);
    Painted t;
    try {
        t.SetAusgabe(tdPrinter);
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(bad), std::string::npos) << e.what();
    }
    EXPECT_FALSE(Printer().Printing());
    EXPECT_EQ(t.Device(), tdScreen);
    t.Forwd(1);
    EXPECT_GT(CountColor(t.Picture(), clBlack), 0) << "still drawing on the screen";
    t.SetAusgabe(tdScreen);
    EXPECT_EQ(t.DevicePixelPerLE(), t.PixelPerLE());
    t.Forwd(1);
    EXPECT_EQ(t.Canvas()->PenPos(), (TPoint{200, 200 - t.PixelPerLE()}));
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(bad)));
}

// ---------------------------------------------------------------------------------------
// With no print queue at all (run with CUPS pointed at a server that is not there)

TEST(PrinterNoQueue, BeginDocWithNoQueueAndNoFileIsAClearError) {
    if (qEnvironmentVariable("KRITZEL_EXPECT_NO_QUEUE") != QLatin1String("1"))
        GTEST_SKIP() << "runs where there is no print queue (ctest -R test_printer_no_queue)";
    ASSERT_TRUE(QPrinterInfo::defaultPrinter().isNull());
    Printer().SetFileName("");
    try {
        Printer().BeginDoc();
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("no default print queue"), std::string::npos)
            << e.what();
    }
    EXPECT_FALSE(Printer().Printing());
    Painted t;
    EXPECT_THROW(t.SetAusgabe(tdPrinter), std::runtime_error);
    EXPECT_EQ(t.Device(), tdScreen);
    EXPECT_FALSE(Printer().Printing());
    t.SetAusgabe(tdScreen);
    t.Forwd(1);
    EXPECT_GT(CountColor(t.Picture(), clBlack), 0);
}

TEST(PrinterNoQueue, AFailedSwitchIsReportedOnceAndTheControlDrawsOnTheScreen) {
    if (qEnvironmentVariable("KRITZEL_EXPECT_NO_QUEUE") != QLatin1String("1"))
        GTEST_SKIP() << "runs where there is no print queue (ctest -R test_printer_no_queue)";
    Printer().SetFileName("");
    int reports = 0;
    Application().SetOnException([&](const std::exception&) { ++reports; });
    TTurtle t;
    t.SetOnStartPaint([&] { t.Forwd(2); });
    t.show();
    t.Repaint();
    EXPECT_THROW(t.SetAusgabe(tdPrinter), EKritzelwerk);
    EXPECT_EQ(t.Device(), tdScreen);
    for (int i = 0; i < 10; ++i) {
        t.Canvas()->Brush().SetColor(clWhite);
        t.Canvas()->FillRect(TRect{0, 0, 400, 400});
        t.Invalidate();
        QCoreApplication::processEvents();
    }
    Application().SetOnException(nullptr);
    EXPECT_EQ(reports, 0) << "the failure was reported once, by SetAusgabe";
    EXPECT_GT(CountColor(t.Picture(), clBlack), 0) << "the repaints drew on the screen";
    EXPECT_FALSE(Printer().Printing());
}

// ---------------------------------------------------------------------------------------
// A print server that does not answer: printing gives up after a few seconds, naming it,
// and the window stays responsive meanwhile

namespace {

struct SwitchResult {
    std::string error;
    std::uint32_t ms = 0;
    int ticks = 0; // a timer's ticks during the wait: the window was responsive
};

// Runs a device switch that talks to the print server, with a timer ticking meanwhile.
template <class F> SwitchResult TimedSwitch(F&& change) {
    SwitchResult r;
    QTimer timer;
    timer.setInterval(50);
    QObject::connect(&timer, &QTimer::timeout, [&] { ++r.ticks; });
    timer.start();
    const auto t0 = MonotonicTicks();
    try {
        change();
        r.error = "no error";
    } catch (const EKritzelwerk& e) {
        r.error = e.what();
    }
    r.ms = MonotonicTicks() - t0;
    return r;
}

} // namespace

TEST(PrinterSilentServer, ASocketThatNeverAnswersIsAnErrorNamingItAndTheWindowGoesOn) {
#if !defined(KRITZEL_TEST_CUPS)
    GTEST_SKIP() << "without CUPS, printing goes through Qt's own print path";
#else
    QTemporaryDir dir;
    const std::string path = (dir.path() + "/silent.sock").toStdString();
    const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    ASSERT_LT(path.size(), sizeof(addr.sun_path));
    std::copy(path.begin(), path.end(), addr.sun_path);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)), 0);
    ASSERT_EQ(listen(fd, 16), 0); // connections wait in the backlog, never answered
    cupsSetServer(path.c_str());
    Printer().SetFileName("");
    Painted t;
    const SwitchResult r = TimedSwitch([&] { t.SetAusgabe(tdPrinter); });
    cupsSetServer(nullptr);
    close(fd);
    EXPECT_NE(r.error.find("did not answer"), std::string::npos) << r.error;
    EXPECT_NE(r.error.find(path), std::string::npos) << r.error;
    EXPECT_LT(r.ms, 10000u) << r.ms;
    std::printf("silent print server: the error came after %u ms\n", unsigned(r.ms));
    EXPECT_GT(r.ticks, 20) << "the window went on during the wait";
    EXPECT_EQ(t.Device(), tdScreen);
    EXPECT_FALSE(Printer().Printing());
#endif
}

// ---------------------------------------------------------------------------------------
// Through the system's print queue: a private CUPS server with cups-pdf

namespace {

QString CupsPdfDir() {
    return qEnvironmentVariable("KRITZEL_CUPS_PDF_DIR");
}

// Why the queue tests cannot run here; empty under scripts/with-cups.
std::string NoCups() {
    return CupsPdfDir().isEmpty() ? "no private print server: run through scripts/with-cups" : "";
}

// Waits, handling events, until cups-pdf has written a PDF for a finished job.
QStringList WaitForPdfs(const QString& dir, int count) {
    const auto t0 = MonotonicTicks();
    QStringList found;
    while (MonotonicTicks() - t0 < 60000) {
        found = QDir(dir).entryList({"*.pdf"}, QDir::Files, QDir::Name);
        const QString log =
            QString::fromUtf8(ReadFile(qEnvironmentVariable("KRITZEL_CUPS_PAGE_LOG")));
        if (found.size() >= count && log.count('\n') >= count) {
            // cups-pdf renames the finished file into place; give it a moment to settle.
            const QFileInfo last(dir + "/" + found.last());
            if (last.size() > 0 && last.lastModified().msecsTo(QDateTime::currentDateTime()) > 200)
                break;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    return found;
}

} // namespace

TEST(PrinterCups, TheDefaultQueuePrintsOneTitledPageInCentimetres) {
    SKIP_OR_FAIL_IF(NoCups());
    SKIP_OR_FAIL_IF(MissingTool("pdfinfo", "poppler-utils"));
    SKIP_OR_FAIL_IF(MissingTool("pdftoppm", "poppler-utils"));
    const QPrinterInfo queue = QPrinterInfo::defaultPrinter();
    ASSERT_FALSE(queue.isNull());
    EXPECT_EQ(queue.printerName(), qEnvironmentVariable("KRITZEL_CUPS_QUEUE"));
    Printer().SetFileName("");
    QPointF centre;
    {
        QPrinter p(queue, QPrinter::HighResolution);
        centre = CentreOf(p.pageLayout());
    }
    Painted t;
    t.SetAusgabe(tdPrinter);
    ASSERT_TRUE(Printer().Printing());
    DrawL(t);
    t.SetAusgabe(tdScreen);
    EXPECT_FALSE(Printer().Printing());

    const QStringList pdfs = WaitForPdfs(CupsPdfDir(), 1);
    ASSERT_EQ(pdfs.size(), 1) << "one job";
    EXPECT_TRUE(pdfs[0].startsWith("Kriecher")) << pdfs[0].toStdString();
    const QString file = CupsPdfDir() + "/" + pdfs[0];
    const PdfInfo info = Info(file);
    EXPECT_EQ(info.pages, 1);
    EXPECT_TRUE(info.title.contains("Kriecher, Version 10.1")) << info.title.toStdString();

    // The server names the job by its title and counts one page.
    QFile log(qEnvironmentVariable("KRITZEL_CUPS_PAGE_LOG"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = log.readAll().trimmed().split('\n');
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].contains(" total 1 ")) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains("Kriecher, Version 10.1")) << lines[0].toStdString();
    const Result done =
        RunTool(QStringLiteral("lpstat"), {"-W", "completed", "-o", queue.printerName()});
    EXPECT_EQ(done.out.trimmed().split('\n').size(), 1) << done.out.toStdString();

    QTemporaryDir dir;
    ExpectL(Render(file, dir.path()), centre);
}

TEST(PrinterCups, AQueueThatRefusesTheJobIsAnErrorAndTheScreenGoesOn) {
    SKIP_OR_FAIL_IF(NoCups());
    const QString queue = qEnvironmentVariable("KRITZEL_CUPS_QUEUE");
    Printer().SetFileName("");
    ASSERT_EQ(RunTool(QStringLiteral("/usr/sbin/cupsreject"), {queue}).exitCode, 0);
    Painted t;
    t.SetAusgabe(tdPrinter);
    DrawL(t);
    try {
        t.SetAusgabe(tdScreen);
        ADD_FAILURE() << "a refused job must not pass for printed";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find(queue.toStdString()), std::string::npos) << e.what();
    }
    EXPECT_FALSE(Printer().Printing());
    EXPECT_EQ(t.Device(), tdScreen);
    t.SetHeading(0);
    t.Forwd(2);
    EXPECT_EQ(t.Canvas()->Pixels(250, 200), clBlack) << "the screen draws again";
    // Once the queue takes jobs again, printing works as before.
    ASSERT_EQ(RunTool(QStringLiteral("/usr/sbin/cupsaccept"), {queue}).exitCode, 0);
    t.SetAusgabe(tdPrinter);
    DrawL(t);
    EXPECT_NO_THROW(t.SetAusgabe(tdScreen));
    EXPECT_EQ(WaitForPdfs(CupsPdfDir(), 2).size(), 2) << "the second job was printed";
}

TEST(PrinterCups, AFileOrAQueueWithCopiesChosenInThePrintDialogIsWherePrintingGoes) {
    SKIP_OR_FAIL_IF(NoCups());
    SKIP_OR_FAIL_IF(MissingTool("pdfinfo", "poppler-utils"));
    const QString queue = qEnvironmentVariable("KRITZEL_CUPS_QUEUE");
    struct Restore {
        ~Restore() {
            Printer().SetFileName("");
            Printer().SetPrinterName("");
            Printer().SetCopies(1);
        }
    } restore;
    QTemporaryDir dir;
    Painted t;

    // "Print to file" in the dialog: the page goes into that PDF and no job is queued.
    QPrinter toFile;
    toFile.setOutputFormat(QPrinter::PdfFormat);
    toFile.setOutputFileName(dir.filePath("gewaehlt.pdf"));
    Printer().ChooseFrom(toFile);
    t.SetAusgabe(tdPrinter);
    DrawL(t);
    t.SetAusgabe(tdScreen);
    EXPECT_EQ(Info(dir.filePath("gewaehlt.pdf")).pages, 1);

    // A queue by name with two copies; a dialog opened afterwards starts from that choice.
    QPrinter onQueue;
    onQueue.setPrinterName(queue);
    onQueue.setCopyCount(2);
    Printer().ChooseFrom(onQueue);
    EXPECT_EQ(Printer().FileName(), "");
    const QStringList before = QDir(CupsPdfDir()).entryList({"*.pdf"}, QDir::Files);
    t.SetAusgabe(tdPrinter);
    DrawL(t);
    t.SetAusgabe(tdScreen);
    const QStringList pdfs = WaitForPdfs(CupsPdfDir(), int(before.size()) + 1);
    ASSERT_EQ(pdfs.size(), before.size() + 1) << "one job, for the queue only";
    QFile log(qEnvironmentVariable("KRITZEL_CUPS_PAGE_LOG"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    // The server counts the page once per copy.
    const QByteArray last = log.readAll().trimmed().split('\n').last();
    EXPECT_TRUE(last.contains(" total 2 ")) << last.toStdString();
    QPrinter preset;
    Printer().PresetOn(preset);
    EXPECT_EQ(preset.printerName(), queue);
    EXPECT_EQ(preset.copyCount(), 2);
}

TEST(PrinterCups, AStoppedPrintServerIsAnErrorNamingItAndTheWindowGoesOn) {
#if !defined(KRITZEL_TEST_CUPS)
    GTEST_SKIP() << "without CUPS, printing goes through Qt's own print path, which has no "
                    "bounded wait of its own";
#endif
    SKIP_OR_FAIL_IF(NoCups());
    const pid_t server = pid_t(qEnvironmentVariableIntValue("KRITZEL_CUPS_PID"));
    ASSERT_GT(server, 0);
    const std::string name = qEnvironmentVariable("CUPS_SERVER").toStdString();
    Printer().SetFileName("");
    Painted t;
    // Stopped before the job begins.
    ASSERT_EQ(kill(server, SIGSTOP), 0);
    SwitchResult r = TimedSwitch([&] { t.SetAusgabe(tdPrinter); });
    kill(server, SIGCONT);
    EXPECT_NE(r.error.find("did not answer"), std::string::npos) << r.error;
    EXPECT_NE(r.error.find(name), std::string::npos) << r.error;
    EXPECT_LT(r.ms, 10000u);
    EXPECT_GT(r.ticks, 20);
    EXPECT_EQ(t.Device(), tdScreen);
    std::printf("stopped print server: the job's start failed after %u ms\n", unsigned(r.ms));
    // Stopped while the job is open: ending it gives up as well, and the page's spool file
    // goes once the worker left behind has ended.
    QTemporaryDir spoolDir;
    struct TempFolder {
        const bool set = qEnvironmentVariableIsSet("TMPDIR");
        const QByteArray old = qgetenv("TMPDIR");
        ~TempFolder() { set ? qputenv("TMPDIR", old) : qunsetenv("TMPDIR"); }
    } keptTemp;
    qputenv("TMPDIR", QFile::encodeName(spoolDir.path()));
    t.SetAusgabe(tdPrinter);
    ASSERT_TRUE(Printer().Printing());
    DrawL(t);
    ASSERT_EQ(kill(server, SIGSTOP), 0);
    r = TimedSwitch([&] { t.SetAusgabe(tdScreen); });
    kill(server, SIGCONT);
    EXPECT_NE(r.error.find(name), std::string::npos) << r.error;
    EXPECT_LT(r.ms, 10000u);
    EXPECT_GT(r.ticks, 20);
    EXPECT_EQ(t.Device(), tdScreen);
    EXPECT_FALSE(Printer().Printing());
    std::printf("stopped print server: the job's end failed after %u ms: %s\n", unsigned(r.ms),
                r.error.c_str());
    const auto t0 = MonotonicTicks();
    while (!QDir(spoolDir.path()).isEmpty() && MonotonicTicks() - t0 < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    EXPECT_TRUE(QDir(spoolDir.path()).isEmpty()) << "no spool file is left behind";
}
