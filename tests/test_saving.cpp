// The drawing saved in one step, in every format of the table, and copied to the clipboard,
// each file opened by a real reader and compared with the screen picture; and every
// turtle of the shown windows kept so by a program without a display.
#include "metafile.h"
#include "support.h"

#include <kritzelwerk/host/Snapshot.h>

#include <gtest/gtest.h>

#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QImageReader>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMimeData>
#include <QPainter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QSvgRenderer>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace kritzel;
using namespace kritzel::test;

namespace {

// Lines, a filled star, an arc, a stamp, a circle and text.
void Drawing(TTurtle& t) {
    t.SetHeading(0);
    t.SetPenColor(clBlack);
    t.SetPenWidth(1);
    t.SetPosition(-1.5, -3.5);
    t.Forwd(3);
    t.SetPosition(-3, 2);
    t.SetPenColor(clNavy);
    t.BeginFill();
    for (int i = 0; i < 5; ++i) {
        t.Forwd(4);
        t.Right(144);
    }
    t.EndFill(clYellow);
    t.SetPosition(2, -1);
    t.SetHeading(90);
    t.SetPenColor(clRed);
    t.SetPenWidth(2);
    t.Arc(1.5, 270);
    t.SetTurtleColor(clGreen);
    t.Stamp();
    t.SetPenWidth(1);
    t.SetPosition(-3, -2);
    t.FillCircle(0.6, clBlue);
    t.DrawStringPos(-4.5, 4.8, "Kritzel", "DejaVu Sans", 16, clBlack);
}

struct Drawn : TTurtle {
    Drawn() {
        SetOnStartPaint([this] { Drawing(*this); });
    }
};

// The screen's picture of the drawing, without the sprite.
QImage ScreenPicture() {
    Drawn t;
    t.Repaint();
    t.SetShowTurtle(false);
    t.Repaint();
    return t.Picture().convertToFormat(QImage::Format_RGB32);
}

bool Ink(QRgb p) {
    return std::min({qRed(p), qGreen(p), qBlue(p)}) < 192;
}

// Drawn pixels of one picture with no drawn pixel of the other within 2 pixels, both
// ways, the second picture placed where it fits best (readers may add a margin).
struct Comparison {
    int ink = 0, missing = 0, extra = 0;
};
Comparison Compare(const QImage& screen, const QImage& image) {
    auto ink = [](const QImage& im, int x, int y) {
        return x >= 0 && y >= 0 && x < im.width() && y < im.height() && Ink(im.pixel(x, y));
    };
    auto near = [&](const QImage& im, int x, int y) {
        for (int v = -2; v <= 2; ++v)
            for (int u = -2; u <= 2; ++u)
                if (ink(im, x + u, y + v)) return true;
        return false;
    };
    QImage moved(screen.size(), QImage::Format_RGB32);
    long long best = -1;
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx) {
            QImage m = image.copy(dx, dy, screen.width(), screen.height());
            long long score = 0;
            for (int y = 0; y < screen.height(); y += 2)
                for (int x = 0; x < screen.width(); x += 2)
                    score += Ink(screen.pixel(x, y)) != ink(m, x, y);
            if (best < 0 || score < best) {
                best = score;
                moved = m;
            }
        }
    Comparison c;
    for (int y = 0; y < screen.height(); ++y)
        for (int x = 0; x < screen.width(); ++x) {
            if (ink(screen, x, y)) {
                ++c.ink;
                c.missing += !near(moved, x, y);
            }
            c.extra += ink(moved, x, y) && !near(screen, x, y);
        }
    return c;
}

// The tolerance of the metafile readers' test: one in a thousand drawn pixels.
void ExpectSamePicture(const QImage& screen, const QImage& image, const char* reader) {
    ASSERT_FALSE(image.isNull()) << reader << " drew nothing";
    const Comparison c = Compare(screen, image.convertToFormat(QImage::Format_RGB32));
    ASSERT_GT(c.ink, 1000);
    EXPECT_LE(c.missing, c.ink / 1000) << reader << ": of " << c.ink << " drawn pixels";
    EXPECT_LE(c.extra, c.ink / 1000) << reader << ": of " << c.ink << " drawn pixels";
}

// Runs a program with a home of its own and no display; its output on failure.
bool RunProgram(const QString& program, const QStringList& args, const QString& home,
                QString& output) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", home);
    env.insert("XDG_CONFIG_HOME", home + "/config");
    env.insert("XDG_CACHE_HOME", home + "/cache");
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    const bool ok = p.waitForFinished(120000) && p.exitCode() == 0;
    output = QString::fromLocal8Bit(p.readAll());
    return ok;
}

} // namespace

TEST(SaveToFile, PngIsTheScreenPictureAndTheScreenShowsTheDrawingAgain) {
    PixelsPerInchScope ppi(96);
    QTemporaryDir dir;
    Drawn t;
    t.Repaint();
    t.Forwd(1); // not part of the drawing
    const std::string name = dir.filePath("Bild.PNG").toStdString();
    t.SaveToFile(name);
    const QImage saved(QString::fromStdString(name));
    EXPECT_EQ(DifferingPixels(saved.convertToFormat(QImage::Format_RGB32), ScreenPicture()), 0);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"Bild.PNG"}) << "no leftovers";
    // The screen is repainted from the event loop: the drawing and the turtle are back.
    Application().ProcessMessages();
    EXPECT_TRUE(t.Showing());
    EXPECT_EQ(t.PenState(), Down);
    EXPECT_GT(CountColor(t.Picture(), clYellow), 100);
    EXPECT_EQ(t.x(), -3.0) << "the turtle stands where the drawing left it";
}

TEST(SaveToFile, SvgIsVectorsAtTrueSizeThatInkscapeAndQtDrawAsTheScreen) {
    PixelsPerInchScope ppi(96);
    QTemporaryDir dir;
    Drawn t;
    t.Repaint();
    const QString svg = dir.filePath("bild.svg");
    t.SaveToFile(svg.toStdString());
    const QByteArray text = ReadFile(svg);
    // 400 pixels at 38 to the centimetre.
    EXPECT_TRUE(text.contains("width=\"105.26mm\" height=\"105.26mm\"")) << text.left(300).data();
    EXPECT_TRUE(text.contains(">Kritzel</text>")) << "text as text";
    const QImage screen = ScreenPicture();

    QSvgRenderer qt(svg);
    ASSERT_TRUE(qt.isValid());
    QImage byQt(screen.size(), QImage::Format_RGB32);
    byQt.fill(Qt::white);
    QPainter p(&byQt);
    qt.render(&p);
    p.end();
    ExpectSamePicture(screen, byQt, "Qt's SVG renderer");

    const QString inkscape = QStandardPaths::findExecutable("inkscape");
    SKIP_OR_FAIL_IF(inkscape.isEmpty() ? MissingTool("inkscape", "inkscape") : "");
    QString output;
    // 96.52 dots per inch are 38 to the centimetre, as the screen.
    ASSERT_TRUE(RunProgram(inkscape,
                           {"--export-type=png", "--export-area-page", "--export-dpi=96.52",
                            "--export-background=#ffffff", "--export-background-opacity=1", svg},
                           dir.filePath("home"), output))
        << output.toStdString();
    ExpectSamePicture(screen, QImage(dir.filePath("bild.png")), "Inkscape");
}

TEST(SaveToFile, PdfIsOnePageAtTrueSizeAsTheScreen) {
    PixelsPerInchScope ppi(96);
    const QString pdftoppm = QStandardPaths::findExecutable("pdftoppm");
    SKIP_OR_FAIL_IF(pdftoppm.isEmpty() ? MissingTool("pdftoppm", "poppler-utils") : "");
    QTemporaryDir dir;
    Drawn t;
    t.Repaint();
    const QString pdf = dir.filePath("bild.pdf");
    t.SaveToFile(pdf.toStdString());
    QString output;
    ASSERT_TRUE(RunProgram(pdftoppm,
                           {"-r", "96.52", "-png", "-singlefile", pdf, dir.filePath("seite")},
                           dir.filePath("home"), output))
        << output.toStdString();
    const QImage page(dir.filePath("seite.png"));
    ASSERT_FALSE(page.isNull());
    EXPECT_NEAR(page.width(), 400, 1) << "the drawing's size, to the next whole point";
    ExpectSamePicture(ScreenPicture(), page, "pdftoppm");

    // At 10 dots a millimetre the drawing's 3 LE line measures 30 mm.
    ASSERT_TRUE(RunProgram(pdftoppm,
                           {"-r", "254", "-png", "-singlefile", pdf, dir.filePath("fein")},
                           dir.filePath("home"), output));
    const QImage fine(dir.filePath("fein.png"));
    const int row = int(std::lround((5.2631578947368425 + 3.5) * 100)); // y = -3.5 LE
    int first = -1, last = -1;
    for (int x = 0; x < fine.width(); ++x)
        for (int y = row - 3; y <= row + 3; ++y)
            if (qGray(fine.pixel(x, y)) < 128) {
                if (first < 0) first = x;
                last = x;
            }
    EXPECT_NEAR(last - first + 1, 300, 3) << "30 mm at 10 dots per millimetre";
}

TEST(SaveToFile, JpegAndBmpHoldTheScreenPicture) {
    PixelsPerInchScope ppi(96);
    QTemporaryDir dir;
    Drawn t;
    t.Repaint();
    const QImage screen = ScreenPicture();
    for (const char* name : {"bild.bmp", "bild.jpg", "bild.JPEG"}) {
        SCOPED_TRACE(name);
        t.SaveToFile(dir.filePath(name).toStdString());
        QImageReader reader(dir.filePath(name));
        reader.setDecideFormatFromContent(true);
        EXPECT_EQ(reader.format(), name[5] == 'b' ? "bmp" : "jpeg");
        const QImage saved = reader.read().convertToFormat(QImage::Format_RGB32);
        if (name[5] == 'b')
            EXPECT_EQ(DifferingPixels(saved, screen), 0);
        else
            ExpectSamePicture(screen, saved, name);
    }
}

TEST(SaveToFile, MetafileIsByteForByteWhatTheRecordingWrites) {
    QTemporaryDir dir;
    Drawn t;
    t.Repaint();
    t.SetFilename(dir.filePath("aufnahme").toStdString());
    t.SetAusgabe(tdWMF);
    t.Repaint();
    t.SetAusgabe(tdScreen);
    const QByteArray recorded = ReadFile(dir.filePath("aufnahme.wmf"));
    ASSERT_GT(recorded.size(), 1000);
    for (const char* name : {"bild.emf", "bild.wmf"}) {
        t.SaveToFile(dir.filePath(name).toStdString());
        EXPECT_EQ(ReadFile(dir.filePath(name)), recorded) << name;
    }
}

TEST(SaveToFile, AFileThatCannotBeWrittenNamesItKeepsTheOlderOneAndTheControlGoesOn) {
    QTemporaryDir dir;
    QDir root(dir.path());
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                          QFileDevice::ExeOther);
    root.mkdir("nurlesen");
    for (const char* old : {"nurlesen/alt.png", "alt.gif"}) {
        QFile f(dir.filePath(old));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("older picture");
    }
    QFile::setPermissions(dir.filePath("nurlesen"), QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                                        QFileDevice::ReadOther |
                                                        QFileDevice::ExeOther);
    struct Case {
        const char* what;
        QString name;
        const char* says;
    };
    for (const Case& c : {Case{"unknown ending", dir.filePath("alt.gif"), ".png, .svg, .pdf"},
                          Case{"no ending", dir.filePath("bild"), "has no ending, which"},
                          Case{"missing folder", dir.filePath("gibtsnicht/bild.svg"), ""},
                          Case{"read-only folder", dir.filePath("nurlesen/alt.png"), ""},
                          Case{"read-only folder, metafile", dir.filePath("nurlesen/b.emf"), ""},
                          Case{"a folder", dir.filePath("nurlesen"), ""}}) {
        SCOPED_TRACE(c.what);
        Drawn t;
        t.Repaint();
        t.SetPenState(Up);
        try {
            AsOrdinaryUser user;
            t.SaveToFile(c.name.toStdString());
            ADD_FAILURE() << "the save did not fail";
        } catch (const EKritzelwerk& e) {
            EXPECT_NE(std::string(e.what()).find(c.name.toStdString()), std::string::npos)
                << e.what();
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << e.what();
        }
        EXPECT_EQ(t.PenState(), Up);
        EXPECT_TRUE(t.Showing());
        Application().ProcessMessages();
        t.SetPenState(Down);
        t.SetPenColor(clFuchsia);
        t.Forwd(2);
        EXPECT_GT(CountColor(t.Picture(), clFuchsia), 50) << "the screen keeps working";
    }
    EXPECT_EQ(ReadFile(dir.filePath("nurlesen/alt.png")), "older picture");
    EXPECT_EQ(ReadFile(dir.filePath("alt.gif")), "older picture");
    EXPECT_EQ(QDir(dir.filePath("nurlesen")).entryList(QDir::Files), QStringList{"alt.png"});
}

TEST(SaveToFile, AFillOpenOnTheScreenHasNoPartInTheFile) {
    QTemporaryDir dir;
    TTurtle t;
    t.SetOnStartPaint([&] {
        t.Forwd(1);
        t.EndFill(clRed); // no fill of its own is open
    });
    t.Repaint();
    t.BeginFill();
    t.SetPenState(Up);
    for (int i = 0; i < 4; ++i) {
        t.Forwd(2);
        t.Left(90);
    }
    const QString png = dir.filePath("bild.png");
    t.SaveToFile(png.toStdString());
    EXPECT_EQ(CountColor(QImage(png).convertToFormat(QImage::Format_RGB32), clRed), 0);
}

TEST(SaveToFile, AskedForByTheDrawingItselfItSavesOnceWhenTheCycleEnds) {
    QTemporaryDir dir;
    const std::string name = dir.filePath("selbst.png").toStdString();
    TTurtle t;
    int drawn = 0;
    t.SetOnStartPaint([&] {
        ++drawn;
        t.Forwd(2);
        t.SaveToFile(name);
    });
    t.Repaint();
    EXPECT_EQ(drawn, 2) << "the screen's cycle and the file's";
    EXPECT_TRUE(QFile::exists(QString::fromStdString(name)));
}

TEST(SaveToFile, AskedForByTheDrawingOfAShownWindowItLetsTheIdleWindowRest) {
    QTemporaryDir dir;
    const std::string name = dir.filePath("selbst.png").toStdString();
    for (const bool copy : {false, true}) {
        SCOPED_TRACE(copy ? "CopyToClipboard" : "SaveToFile");
        TForm form("selbst");
        auto* t = new TTurtle(&form);
        int drawn = 0;
        t->SetOnStartPaint([&] {
            ++drawn;
            t->Forwd(2);
            if (copy)
                t->CopyToClipboard();
            else
                t->SaveToFile(name);
        });
        form.Show();
        const std::uint32_t t0 = MonotonicTicks();
        while (MonotonicTicks() - t0 < 400 && drawn < 50)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        // Once per repaint the window system asked for, each with its file's cycle.
        EXPECT_GE(drawn, 2);
        EXPECT_LE(drawn, 6) << "the save asked for a repaint of its own";
    }
    EXPECT_TRUE(QFile::exists(QString::fromStdString(name)));
}

// Sets an environment variable for one test.
class EnvironmentScope {
public:
    EnvironmentScope(const char* name, const QString& value) : name_(name) {
        qputenv(name, QFile::encodeName(value));
    }
    ~EnvironmentScope() { qunsetenv(name_); }

private:
    const char* name_;
};

// Two windows shown without a display: one with two turtles and a plain paint box between
// them, one with a turtle. Each turtle draws its number of lines in its own colour.
struct Windows {
    TForm first{"Zwei Turtles"};
    TForm second{"Eine"};
    TTurtle left{&first};
    TPaintBox box{&first};
    TTurtle right{&first};
    TTurtle alone{&second};
    Windows() {
        auto* row = new QHBoxLayout(&first);
        for (QWidget* w : {static_cast<QWidget*>(&left), static_cast<QWidget*>(&box),
                           static_cast<QWidget*>(&right)})
            row->addWidget(w);
        left.SetSize(160, 120);
        right.SetSize(200, 100);
        alone.SetSize(140, 140);
        const std::pair<TTurtle*, int> lines[] = {{&left, 1}, {&right, 4}, {&alone, 2}};
        for (const auto& [turtle, count] : lines) {
            // Captured by value under names of their own: clang before 16 cannot capture a
            // structured binding.
            TTurtle* t = turtle;
            const int n = count;
            t->SetTurtleColor(clLime);
            t->SetOnStartPaint([t, n] {
                t->SetHeading(East);
                t->SetPenColor(clRed);
                for (int i = 0; i < n; ++i) {
                    t->Forwd(1);
                    t->Left(90);
                }
            });
        }
        first.Show();
        second.Show();
    }
    std::vector<TTurtle*> Turtles() { return {&left, &right, &alone}; }
};

TEST(ShownDrawings, WithoutADisplayEveryTurtleOfEveryWindowIsKeptAsSaveToFileSavesItAndListed) {
    QTemporaryDir dir;
    const QString kept = dir.filePath("zeichnungen");
    EnvironmentScope drawings("KRITZEL_DRAWINGS", kept);
    EnvironmentScope pictures("KRITZEL_OUTPUT_DIR", dir.path());
    Windows w;
    ASSERT_EQ(Application().Run(), 0);
    EXPECT_TRUE(QFile::exists(dir.filePath("Zwei_Turtles.png"))) << "the windows are kept too";

    const QJsonArray list =
        QJsonDocument::fromJson(ReadFile(kept + "/drawings.json")).object()["drawings"].toArray();
    ASSERT_EQ(list.size(), 3);
    const struct {
        const char* file;
        const char* window;
        int control, lines;
    } expected[] = {
        {"01", "Zwei Turtles", 0, 1}, {"02", "Zwei Turtles", 1, 4}, {"03", "Eine", 0, 2}};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(expected[i].file);
        TTurtle& t = *w.Turtles()[i];
        const QJsonObject d = list[i].toObject();
        EXPECT_EQ(d["file"].toString(), expected[i].file);
        EXPECT_EQ(d["window"].toString(), expected[i].window);
        EXPECT_EQ(d["control"].toInt(), expected[i].control);
        EXPECT_EQ(d["width_px"].toInt(), t.Width());
        EXPECT_EQ(d["height_px"].toInt(), t.Height());
        EXPECT_EQ(d["pixels_per_cm"].toInt(), t.PixelPerLE());

        const QString stem = kept + "/" + expected[i].file;
        const Emf emf(ReadFile(stem + ".emf"));
        ASSERT_FALSE(HasFatalFailure());
        EXPECT_EQ(emf.OfType(U_EMR_LINETO).size(), std::size_t(expected[i].lines));
        const QImage png(stem + ".png");
        EXPECT_EQ(png.size(), QSize(t.Width(), t.Height()));
        EXPECT_GT(CountColor(png, clRed), 20);
        EXPECT_EQ(CountColor(png, clLime), 0) << "no sprite";
        EXPECT_GT(CountColor(t.Picture(), clLime), 0) << "the screen shows the sprite";
        t.SaveToFile(dir.filePath("selbst.emf").toStdString());
        t.SaveToFile(dir.filePath("selbst.png").toStdString());
        EXPECT_EQ(ReadFile(stem + ".emf"), ReadFile(dir.filePath("selbst.emf")));
        EXPECT_EQ(ReadFile(stem + ".png"), ReadFile(dir.filePath("selbst.png")));
    }
}

TEST(ShownDrawings, AFileThatCannotBeWrittenIsNamedTheOthersAreKeptAndTheStatusIsOne) {
    QTemporaryDir dir;
    EnvironmentScope drawings("KRITZEL_DRAWINGS", dir.path());
    EnvironmentScope pictures("KRITZEL_OUTPUT_DIR", dir.path());
    // A folder where the second metafile would go cannot be replaced by it.
    ASSERT_TRUE(QDir(dir.path()).mkdir("02.emf"));
    Windows w;
    testing::internal::CaptureStderr();
    const int status = Application().Run();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, 1);
    EXPECT_NE(said.find(dir.filePath("02.emf").toStdString()), std::string::npos) << said;
    for (const char* kept : {"01.emf", "01.png", "02.png", "03.emf", "03.png", "drawings.json"})
        EXPECT_GT(QFileInfo(dir.filePath(kept)).size(), 0) << kept;
    EXPECT_EQ(QJsonDocument::fromJson(ReadFile(dir.filePath("drawings.json")))
                  .object()["drawings"]
                  .toArray()
                  .size(),
              3);
}

TEST(ShownDrawings, StartAsTheWindowsLastDrawingStartedAndSoShowWhatItShows) {
    QTemporaryDir dir;
    EnvironmentScope drawings("KRITZEL_DRAWINGS", dir.path());
    EnvironmentScope pictures("KRITZEL_OUTPUT_DIR", dir.path());
    TForm form("Dreht sich");
    TTurtle t(&form);
    t.SetSize(200, 200);
    // Turns further with every drawing, as a handler without SetHeading does.
    t.SetOnStartPaint([&] {
        t.SetPenColor(clRed);
        t.Forwd(2);
        t.Left(90);
    });
    form.Show();
    ASSERT_EQ(Application().Run(), 0);
    const Emf emf(ReadFile(dir.filePath("01.emf")));
    ASSERT_FALSE(HasFatalFailure());
    const auto lines = emf.OfType(U_EMR_LINETO);
    ASSERT_EQ(lines.size(), 1u);
    const auto to = emf.Get<U_EMRLINETO>(lines[0]).ptl;
    // The window shows the kept line: its middle is red on the screen too.
    const QPoint middle((t.Width() / 2 + int(to.x)) / 2, (t.Height() / 2 + int(to.y)) / 2);
    EXPECT_EQ(QColor(t.Picture().pixel(middle)), QColor(Qt::red))
        << "the line ends at " << to.x << ", " << to.y;
}

TEST(ShownDrawings, ARunForItsDrawingsAloneIsNotPacedAsNobodyWatchesIt) {
    Painted t;
    FakeClock clock;
    CountingPump pump(&clock, 1000);
    ServicesScope scope(&clock, &pump);
    t.SetDelay(20);
    EXPECT_EQ(PacedWaits(t, clock, [&] { t.Forwd(1); }), 1u) << "an ordinary run without a display";
    QTemporaryDir dir;
    EnvironmentScope drawings("KRITZEL_DRAWINGS", dir.path());
    EXPECT_EQ(PacedWaits(t, clock, [&] { t.Forwd(1); }), 0u);
    EXPECT_EQ(PacedWaits(t, clock, [&] { t.Arc(1, 90); }), 0u);
    EXPECT_EQ(t.Delay(), 20) << "the setting stays as the program made it";
}

TEST(ShownDrawings, WithoutTheVariableOnlyTheWindowsAreKept) {
    QTemporaryDir dir;
    qunsetenv("KRITZEL_DRAWINGS");
    EnvironmentScope pictures("KRITZEL_OUTPUT_DIR", dir.path());
    Windows w;
    ASSERT_EQ(Application().Run(), 0);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files),
              (QStringList{"Eine.png", "Zwei_Turtles.png"}));
}

TEST(CopyToClipboard, AskedForByADrawingThatSwitchesTheDeviceItCopiesTheWholeDrawing) {
    TTurtle t;
    t.SetAusgabe(tdClipb);
    t.SetOnStartPaint([&] {
        t.CopyToClipboard();
        // Starts the recording afresh on the control; in the copy's cycle it waits.
        t.SetAusgabe(tdClipb);
        t.SetHeading(0);
        t.Forwd(3);
    });
    QGuiApplication::clipboard()->clear();
    t.Repaint();
    const QImage copied = QGuiApplication::clipboard()->image();
    EXPECT_GT(CountColor(copied.convertToFormat(QImage::Format_RGB32), clBlack), 50)
        << "the line drawn after the switch is in the copy";
    EXPECT_EQ(t.Device(), tdClipb);
    t.Forwd(1); // on the control's recording, which is whole
    t.SetOnStartPaint(nullptr);
    t.SetAusgabe(tdScreen);
    EXPECT_EQ(t.Device(), tdScreen);

    // Asked for by a save from outside, a switch to another device is made once the file
    // is written.
    QTemporaryDir dir;
    const QString png = dir.filePath("bild.png");
    t.SetOnStartPaint([&] {
        t.SetAusgabe(tdClipb);
        t.Forwd(3);
    });
    t.SaveToFile(png.toStdString());
    EXPECT_GT(CountColor(QImage(png).convertToFormat(QImage::Format_RGB32), clBlack), 50);
    EXPECT_EQ(t.Device(), tdClipb);
    t.SetOnStartPaint(nullptr);
    t.SetAusgabe(tdScreen);
}

TEST(CopyToClipboard, PutsWhatTheClipboardDeviceWouldPut) {
    Drawn t;
    t.Repaint();
    t.SetAusgabe(tdClipb);
    t.Repaint();
    t.SetAusgabe(tdScreen);
    const QByteArray recorded = QGuiApplication::clipboard()->mimeData()->data("image/emf");
    ASSERT_GT(recorded.size(), 1000);
    QGuiApplication::clipboard()->clear();
    t.CopyToClipboard();
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->data("image/emf"), recorded);
    EXPECT_EQ(DifferingPixels(
                  qvariant_cast<QImage>(data->imageData()).convertToFormat(QImage::Format_RGB32),
                  ScreenPicture()),
              0);
}

// ---------------------------------------------------------------------------------------
// Saving off the planned path: full disks, read-only files, long names, odd paths

namespace {

// Every ending a drawing is saved under, as the table of formats has them.
QStringList Endings() {
    QStringList endings;
    for (const TPictureFormat& f : PictureFormats())
        for (const TString& e : f.Endings)
            endings << QString::fromStdString(e);
    return endings;
}

// A small tmpfs of its own, mounted in a mount namespace of a child process and reached
// through its /proc/<pid>/root: the machine's mounts stay as they are, and an ordinary
// user needs no more than a user namespace for it.
class PrivateDisk {
public:
    explicit PrivateDisk(int kib) {
        const std::string point = mountPoint_.path().toStdString();
        const std::string options = "size=" + std::to_string(kib) + "k,mode=0777";
        const bool root = geteuid() == 0;
        const std::string uidMap = "0 " + std::to_string(geteuid()) + " 1\n";
        const std::string gidMap = "0 " + std::to_string(getegid()) + " 1\n";
        int ready[2], hold[2];
        if (pipe(ready) != 0 || pipe(hold) != 0) {
            why_ = "no pipe";
            return;
        }
        pid_ = fork();
        if (pid_ == 0) {
            // Only system calls here: the child of a threaded process.
            close(ready[0]);
            close(hold[1]);
            auto put = [](const char* file, const std::string& text) {
                const int fd = open(file, O_WRONLY);
                const bool ok =
                    fd >= 0 && write(fd, text.data(), text.size()) == ssize_t(text.size());
                if (fd >= 0) close(fd);
                return ok;
            };
            char step = 0;
            if ((root ? unshare(CLONE_NEWNS) : unshare(CLONE_NEWUSER | CLONE_NEWNS)) != 0)
                step = 1;
            else if (!root &&
                     !(put("/proc/self/setgroups", "deny") && put("/proc/self/uid_map", uidMap) &&
                       put("/proc/self/gid_map", gidMap)))
                step = 2;
            else if (mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
                step = 3;
            else if (mount("kritzel-test", point.c_str(), "tmpfs", MS_NOSUID | MS_NODEV,
                           options.c_str()) != 0)
                step = 4;
            const char answer[2] = {step, char(errno)};
            if (write(ready[1], answer, 2) != 2 || step != 0) _exit(1);
            char c;
            while (read(hold[0], &c, 1) < 0 && errno == EINTR) {
            }
            _exit(0);
        }
        close(ready[1]);
        close(hold[0]);
        hold_ = hold[1];
        char answer[2] = {5, 0};
        if (pid_ < 0 || read(ready[0], answer, 2) != 2 || answer[0] != 0)
            why_ = "no private tmpfs here (step " + std::to_string(int(answer[0])) +
                   "): " + std::strerror(answer[1]);
        close(ready[0]);
        path_ = QString("/proc/%1/root%2").arg(pid_).arg(mountPoint_.path());
    }
    ~PrivateDisk() {
        close(hold_);
        if (pid_ > 0) waitpid(pid_, nullptr, 0);
    }
    PrivateDisk(const PrivateDisk&) = delete;
    PrivateDisk& operator=(const PrivateDisk&) = delete;

    // Why there is none; empty when there is.
    const std::string& Why() const { return why_; }
    QString Path(const QString& name) const { return path_ + "/" + name; }

    // Fills what is left, so that the next write finds no room at all.
    void Fill() const {
        const int fd = open(Path("voll").toLocal8Bit().constData(), O_WRONLY | O_CREAT, 0666);
        static const char block[4096] = {};
        while (write(fd, block, sizeof block) > 0) {
        }
        close(fd);
    }
    // The files in it besides the filler, hidden ones too.
    QStringList Files() const {
        QStringList files = QDir(path_).entryList(QDir::Files | QDir::Hidden | QDir::System);
        files.removeAll("voll");
        return files;
    }

private:
    QTemporaryDir mountPoint_;
    QString path_;
    std::string why_;
    pid_t pid_ = -1;
    int hold_ = -1;
};

void WriteOld(const QString& path) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write("older picture");
}

// The error of a save as an ordinary user, or "saved".
std::string SaveError(TTurtle& t, const QString& name) {
    try {
        AsOrdinaryUser user;
        t.SaveToFile(name.toStdString());
    } catch (const EKritzelwerk& e) {
        return e.what();
    }
    return "saved";
}

// A folder an ordinary user may write in.
struct OpenFolder : QTemporaryDir {
    OpenFolder() { QFile::setPermissions(path(), QFileDevice::Permissions(0x7777)); }
};

} // namespace

TEST(SaveToFileOffThePath, OnAFullDiskOrBeyondTheSizeLimitEveryFormatFailsAndKeepsTheOlderFile) {
    PrivateDisk disk(256);
    SKIP_OR_FAIL_IF(disk.Why());
    Drawn t;
    t.Repaint();
    for (const QString& ending : Endings()) {
        SCOPED_TRACE(ending.toStdString());
        const QString name = disk.Path("bild." + ending);
        {
            AsOrdinaryUser user;
            WriteOld(name);
        }
        disk.Fill();
        std::string error = SaveError(t, name);
        EXPECT_NE(error.find("No space left on device"), std::string::npos) << error;
        QFile::remove(disk.Path("voll"));
        EXPECT_TRUE(ReadFile(name) == "older picture");

        // Beyond the limit the first write is a short one, then the next fails.
        rlimit old{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old;
        small.rlim_cur = 600;
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        error = SaveError(t, name);
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldSignal);
        EXPECT_NE(error.find("File too large"), std::string::npos) << error;
        EXPECT_TRUE(ReadFile(name) == "older picture");
        EXPECT_EQ(disk.Files(), QStringList{"bild." + ending}) << "no temporary is left";
        QFile::remove(name);
    }
    // The window's picture that a run without a display keeps goes the same way.
    const QString kept = disk.Path("Fenster.png");
    WriteOld(kept);
    disk.Fill();
    try {
        SavePicture(t.Picture(), kept);
        ADD_FAILURE() << "the picture was saved";
    } catch (const EKritzelwerk& e) {
        EXPECT_NE(std::string(e.what()).find("No space left on device"), std::string::npos)
            << e.what();
    }
    EXPECT_TRUE(ReadFile(kept) == "older picture");
}
TEST(SaveToFileOffThePath, AReadOnlyFileIsRefusedForAnOrdinaryUserAndReplacedForRootAsCpDoes) {
    OpenFolder dir;
    Drawn t;
    t.Repaint();
    for (const QString& ending : Endings()) {
        SCOPED_TRACE(ending.toStdString());
        const QString name = dir.filePath("nurlesen." + ending);
        WriteOld(name);
        ASSERT_EQ(chmod(name.toLocal8Bit().constData(), 0444), 0);
        const std::string error = SaveError(t, name);
        EXPECT_NE(error.find("Permission denied"), std::string::npos) << error;
        EXPECT_NE(error.find(name.toStdString()), std::string::npos) << error;
        EXPECT_TRUE(ReadFile(name) == "older picture");
        if (geteuid() == 0) {
            t.SaveToFile(name.toStdString());
            EXPECT_TRUE(ReadFile(name) != "older picture") << "root writes it, as cp would";
            struct stat st {};
            ASSERT_EQ(stat(name.toLocal8Bit().constData(), &st), 0);
            EXPECT_EQ(st.st_mode & 07777, 0444u) << "still read-only";
        }
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), Endings().size())
        << "no leftovers";
}
TEST(SaveToFileOffThePath, NamesAsLongAsTheFolderTakesAreSavedAndLongerOnesRefused) {
    OpenFolder dir;
    Drawn t;
    t.Repaint();
    const long longest = pathconf(dir.path().toLocal8Bit().constData(), _PC_NAME_MAX);
    ASSERT_GT(longest, 20);
    // Cut at a character's start or not: "ä" takes two bytes.
    const QString longName = QString(int(longest) - 4, 'a') + ".png";
    const QString umlauts = QString(int(longest - 4) / 2, QChar(0xE4)) + ".emf";
    for (const QString& base : {longName, umlauts, QString("x") + longName}) {
        SCOPED_TRACE(base.toStdString().size());
        const std::string error = SaveError(t, dir.filePath(base));
        if (base.toUtf8().size() <= longest) {
            EXPECT_EQ(error, "saved");
            EXPECT_TRUE(QFile::exists(dir.filePath(base)));
        } else {
            EXPECT_NE(error.find("File name too long"), std::string::npos) << error;
        }
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2) << "no leftovers";
}
TEST(SaveToFileOffThePath, APathThroughAMissingFolderIsRefusedAsTheSystemRefusesIt) {
    OpenFolder dir;
    Drawn t;
    t.Repaint();
    for (const char* name : {"pfad/../bild2.png", "pfad/../bild2.wmf"}) {
        SCOPED_TRACE(name);
        const std::string error = SaveError(t, dir.filePath(name));
        EXPECT_NE(error.find("No such file or directory"), std::string::npos) << error;
    }
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    // Where the folder exists, the system goes up from it.
    ASSERT_TRUE(QDir(dir.path()).mkpath("pfad/tiefer"));
    QFile::setPermissions(dir.filePath("pfad"), QFileDevice::Permissions(0x7777));
    EXPECT_EQ(SaveError(t, dir.filePath("pfad/tiefer/../bild2.png")), "saved");
    EXPECT_TRUE(QFile::exists(dir.filePath("pfad/bild2.png")));
}

// ---------------------------------------------------------------------------------------
// The formats, as the reference names them

namespace {

// The endings a text names, as ".png", sorted.
QStringList EndingsNamed(const QString& text) {
    static const QRegularExpression ending(QStringLiteral("(?<![\\w/])\\.([a-z]{3,4})\\b"));
    QStringList named;
    for (auto m = ending.globalMatch(text); m.hasNext();)
        named << m.next().captured(1);
    named.removeDuplicates();
    named.sort();
    return named;
}

} // namespace

TEST(SaveFormats, TheReferenceAndTheHeaderNameEveryFormatOfTheTableAndNoOther) {
    QStringList table = Endings();
    table.sort();
    const QStringList overview =
        QString::fromUtf8(ReadFile(KRITZEL_SOURCE_DIR "/doc/commands.md")).split('\n');
    const QStringList row = overview.filter(QStringLiteral("`SaveToFile(name)`"));
    ASSERT_EQ(row.size(), 1);
    EXPECT_EQ(EndingsNamed(row.first()).join(' ').toStdString(), table.join(' ').toStdString())
        << "doc/commands.md: " << row.first().toStdString();

    // The doc comment above SaveToFile in the header, Qt Creator's tooltip.
    const QStringList header =
        QString::fromUtf8(ReadFile(KRITZEL_SOURCE_DIR "/component/Turtle.h")).split('\n');
    qsizetype at = header.indexOf(QRegularExpression(QStringLiteral(".*void SaveToFile\\(.*")));
    ASSERT_GT(at, 0);
    QString comment;
    while (--at >= 0 && header[at].trimmed().startsWith(QStringLiteral("///")))
        comment.prepend(header[at] + '\n');
    EXPECT_EQ(EndingsNamed(comment).join(' ').toStdString(), table.join(' ').toStdString())
        << "component/Turtle.h, above SaveToFile:\n"
        << comment.toStdString();
}
