// Switching the turtle between screen, metafile file and clipboard, and what the
// recorded metafile holds.
#include "metafile.h"
#include "support.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <stdexcept>
#include <vector>

using namespace kritzel;
using namespace kritzel::test;

namespace {

// Runs a test in a fresh current folder, so that relative file names land there.
class InTempFolder {
public:
    InTempFolder() : old_(QDir::currentPath()) {
        EXPECT_TRUE(dir_.isValid());
        QDir::setCurrent(dir_.path());
    }
    ~InTempFolder() { QDir::setCurrent(old_); }
    QString Path(const QString& name) const { return dir_.filePath(name); }
    QString Root() const { return dir_.path(); }

private:
    QTemporaryDir dir_;
    QString old_;
};

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(bytes);
}

// Records a drawing to the file stem and returns to the screen.
void RecordToFile(TTurtle& t, const std::string& stem, const std::function<void()>& draw) {
    t.SetFilename(stem);
    t.SetAusgabe(tdWMF);
    draw();
    t.SetAusgabe(tdScreen);
}

QByteArray ClipboardEmf() {
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    return data ? data->data(QStringLiteral("image/emf")) : QByteArray();
}

} // namespace

// ---------------------------------------------------------------------------------------
// File names

TEST(MetafileFile, TheNameIsTheStemWithWmfAndAnEmptyNameBecomesKritzelwerk1) {
    InTempFolder folder;
    Painted t;
    ASSERT_EQ(t.FileName(), "");
    // A new turtle's empty stem gives the file ".wmf".
    t.SetAusgabe(tdWMF);
    t.Forwd(1);
    t.SetAusgabe(tdScreen);
    EXPECT_TRUE(IsEmf(ReadFile(folder.Path(".wmf"))));

    t.SetFilename("");
    EXPECT_EQ(t.FileName(), "Kritzelwerk1");
    t.SetAusgabe(tdWMF);
    t.Forwd(1);
    t.SetAusgabe(tdScreen);
    EXPECT_TRUE(IsEmf(ReadFile(folder.Path("Kritzelwerk1.wmf"))));

    // The stem is used as given: a path, and a name that already has a dot.
    QDir(folder.Root()).mkdir("sub");
    RecordToFile(t, "sub/bild.v2", [&] { t.Forwd(1); });
    EXPECT_TRUE(QFileInfo::exists(folder.Path("sub/bild.v2.wmf")));
    EXPECT_EQ(QDir(folder.Root()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

// ---------------------------------------------------------------------------------------
// Switching devices

TEST(DeviceSwitch, SettingTheDeviceItHasStartsThePictureAgain) {
    InTempFolder folder;
    PixelsPerInchScope ppi(96);
    Painted t(Sprite::Hidden);
    t.Forwd(2);
    t.Right(90);
    ASSERT_GT(CountColor(t.Picture(), clBlack), 0);
    t.SetAusgabe(tdScreen);
    EXPECT_EQ(t.Device(), tdScreen);
    EXPECT_EQ(CountColor(t.Picture(), clBlack), 0) << "the picture is cleared";
    EXPECT_EQ(t.x(), 0.0);
    EXPECT_EQ(t.y(), 0.0);
    EXPECT_EQ(t.Heading(), 0.0) << "the heading is kept";

    // During a recording, the drawing so far is dropped and a fresh metafile begins.
    t.SetHeading(90);
    t.SetFilename("wieder");
    t.SetAusgabe(tdWMF);
    t.Forwd(3);
    t.SetAusgabe(tdWMF);
    EXPECT_EQ(t.Device(), tdWMF);
    t.Forwd(1);
    t.SetAusgabe(tdScreen);
    const Emf emf(ReadFile(folder.Path("wieder.wmf")));
    ASSERT_FALSE(HasFatalFailure());
    const auto lines = emf.OfType(U_EMR_LINETO);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(emf.Get<U_EMRLINETO>(lines[0]).ptl.y, 200 - 38) << "only the line after the reset";
}

TEST(DeviceSwitch, TheDestinationIsTheOneChosenWhenTheRecordingStarted) {
    InTempFolder folder;
    QGuiApplication::clipboard()->clear();
    Painted t;
    t.SetFilename("datei");

    // File first: the clipboard in between changes only what Device reads.
    t.SetAusgabe(tdWMF);
    t.SetAusgabe(tdClipb);
    EXPECT_EQ(t.Device(), tdClipb);
    EXPECT_EQ(t.PenState(), Down) << "still recording";
    t.Forwd(2);
    t.SetAusgabe(tdScreen);
    EXPECT_TRUE(IsEmf(ReadFile(folder.Path("datei.wmf"))));
    EXPECT_TRUE(ClipboardEmf().isEmpty()) << "nothing went to the clipboard";

    // Clipboard first: the file in between writes no file.
    QFile::remove(folder.Path("datei.wmf"));
    t.SetAusgabe(tdClipb);
    t.SetAusgabe(tdWMF);
    EXPECT_EQ(t.Device(), tdWMF);
    t.Forwd(2);
    t.SetAusgabe(tdScreen);
    EXPECT_FALSE(QFileInfo::exists(folder.Path("datei.wmf")));
    EXPECT_TRUE(IsEmf(ClipboardEmf()));
}

TEST(DeviceSwitch, ARecordingForcesThePenDownAndHidesTheTurtleThenRestoresThem) {
    struct Case {
        TPenState pen;
        bool shown;
        TPenState penMeanwhile;
        bool shownMeanwhile;
    };
    for (const Case& c :
         {Case{Up, false, Down, true}, Case{Down, true, Up, false}, Case{Up, true, Up, true}}) {
        SCOPED_TRACE(testing::Message() << "pen " << int(c.pen) << " shown " << c.shown);
        InTempFolder folder;
        Painted t;
        t.SetPenState(c.pen);
        t.SetShowTurtle(c.shown);
        t.SetFilename("stift");
        t.SetAusgabe(tdWMF);
        EXPECT_EQ(t.PenState(), Down);
        EXPECT_FALSE(t.Showing());
        t.Forwd(1);
        t.SetPenState(c.penMeanwhile);
        t.SetShowTurtle(c.shownMeanwhile);
        t.Forwd(1);
        t.SetAusgabe(tdScreen);
        EXPECT_EQ(t.PenState(), c.pen);
        EXPECT_EQ(t.Showing(), c.shown);
        // The sprite is back on the screen exactly when it was shown before.
        EXPECT_EQ(CountColor(t.Picture(), clRed) > 0, c.shown);
    }
}

TEST(DeviceSwitch, InTheDesignerNoFileIsWrittenAndNoJobIsOpened) {
    InTempFolder folder;
    QGuiApplication::clipboard()->clear();
    const QString pdf = folder.Path("entwurf.pdf");
    Printer().SetFileName(pdf.toStdString());
    TTurtle t;
    t.SetDesigning(true);
    t.Repaint();
    t.SetFilename("entwurf");
    for (TTurtleDevice d : {tdWMF, tdClipb, tdScreen, tdPrinter, tdScreen}) {
        t.SetAusgabe(d);
        EXPECT_EQ(t.Device(), d);
        EXPECT_FALSE(Printer().Printing());
        t.SetShowTurtle(false);
        t.Forwd(1);
    }
    t.SetAusgabe(tdClipb);
    t.SetAusgabe(tdScreen);
    Printer().SetFileName("");
    EXPECT_FALSE(QFileInfo::exists(folder.Path("entwurf.wmf")));
    EXPECT_FALSE(QFileInfo::exists(pdf));
    EXPECT_TRUE(ClipboardEmf().isEmpty());
    // The designer's drawing stays on the screen.
    t.SetAusgabe(tdWMF);
    t.Forwd(2);
    EXPECT_GT(CountColor(t.Picture(), clBlack), 0);
}

TEST(DeviceSwitch, DestroyingTheTurtleDuringARecordingPutsThePictureOut) {
    InTempFolder folder;
    QGuiApplication::clipboard()->clear();
    for (TTurtleDevice d : {tdWMF, tdClipb}) {
        auto t = std::make_unique<Painted>();
        t->SetFilename(d == tdWMF ? "datei" : "ablage");
        t->SetAusgabe(d);
        t->Forwd(2);
        t.reset();
    }
    // Only the file's recording went to the file, and each holds the line drawn.
    EXPECT_EQ(QDir(folder.Root()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("datei.wmf")});
    for (const QByteArray& bytes : {ReadFile(folder.Path("datei.wmf")), ClipboardEmf()}) {
        const Emf emf(bytes);
        ASSERT_FALSE(HasFatalFailure());
        EXPECT_EQ(emf.OfType(U_EMR_LINETO).size(), 1u);
    }

    // In the designer nothing is put out.
    QGuiApplication::clipboard()->clear();
    auto t = std::make_unique<TTurtle>();
    t->SetDesigning(true);
    t->SetFilename("entwurf");
    t->SetAusgabe(tdWMF);
    t->Forwd(2);
    t.reset();
    EXPECT_FALSE(QFile::exists(folder.Path("entwurf.wmf")));
}

// ---------------------------------------------------------------------------------------
// A file that cannot be written

TEST(MetafileFile, AFailedSaveKeepsTheOlderFileNamesTheFileAndTheScreenGoesOn) {
    InTempFolder folder;
    QDir root(folder.Root());
    // The ordinary user must reach the folders; only the read-only one is closed.
    QFile::setPermissions(folder.Root(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                             QFileDevice::ExeOwner | QFileDevice::ReadOther |
                                             QFileDevice::ExeOther);
    root.mkdir("ordner.wmf");
    root.mkdir("nurlesen");
    WriteAll(folder.Path("nurlesen/alt.wmf"), "older picture");
    QFile::setPermissions(folder.Path("nurlesen"), QFileDevice::ReadOwner | QFileDevice::ExeOwner |
                                                       QFileDevice::ReadOther |
                                                       QFileDevice::ExeOther);
    struct Case {
        const char* what;
        std::string stem;
        QString kept; // a file that must come through unchanged
    };
    const std::string base = folder.Root().toStdString();
    for (const Case& c : {Case{"missing folder", base + "/gibtsnicht/bild", {}},
                          Case{"a folder", base + "/ordner", {}},
                          Case{"read-only folder", base + "/nurlesen/alt", "nurlesen/alt.wmf"}}) {
        SCOPED_TRACE(c.what);
        Painted t;
        t.SetPenState(Up);
        t.SetFilename(c.stem);
        t.SetAusgabe(tdWMF);
        t.Forwd(2);
        try {
            AsOrdinaryUser user;
            t.SetAusgabe(tdScreen);
            ADD_FAILURE() << "the save did not fail";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(c.stem + ".wmf"), std::string::npos) << e.what();
        }
        if (!c.kept.isEmpty()) {
            EXPECT_EQ(ReadFile(folder.Path(c.kept)), "older picture");
        }
        EXPECT_EQ(t.Device(), tdScreen);
        EXPECT_EQ(t.PenState(), Up) << "restored as after a good save";
        EXPECT_TRUE(t.Showing());
        EXPECT_GT(CountColor(t.Picture(), clRed), 0) << "the turtle is back on the screen";
        EXPECT_EQ(CountColor(t.Picture(), clBlack), 0);
        // The screen keeps working.
        t.SetPenState(Down);
        t.Forwd(2);
        EXPECT_GT(CountColor(t.Picture(), clBlack), 10);
        t.Repaint();
        EXPECT_EQ(CountColor(t.Picture(), clBlack), 0);
        // And a later recording to a good name works.
        RecordToFile(t, base + "/gut", [&] { t.Forwd(1); });
        EXPECT_TRUE(IsEmf(ReadFile(folder.Path("gut.wmf"))));
        QFile::remove(folder.Path("gut.wmf"));
    }
    EXPECT_EQ(QDir(folder.Path("nurlesen")).entryList(QDir::Files | QDir::Hidden),
              QStringList{"alt.wmf"})
        << "no temporary file is left behind";
    QFile::setPermissions(folder.Path("nurlesen"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// ---------------------------------------------------------------------------------------
// What the metafile holds

TEST(MetafileContent, AKnownDrawingGivesTheExpectedRecordsAndCoordinates) {
    InTempFolder folder;
    PixelsPerInchScope ppi(96);
    Painted t;
    RecordToFile(t, "drei", [&] { t.Forwd(3); });
    const Emf emf(ReadFile(folder.Path("drei.wmf")));
    ASSERT_FALSE(HasFatalFailure());

    const auto header = emf.Get<U_EMRHEADER>(emf.records().front());
    // The control's 400 x 400 pixels, the frame in 0.01 mm at 38 pixels per LE (cm).
    EXPECT_EQ(header.rclBounds.left, 0);
    EXPECT_EQ(header.rclBounds.top, 0);
    EXPECT_EQ(header.rclBounds.right, 399);
    EXPECT_EQ(header.rclBounds.bottom, 399);
    // The frame's right and bottom edges are inclusive.
    EXPECT_NEAR(header.rclFrame.right + 1, 400 * 1000 / 38.0, 0.5);
    EXPECT_NEAR(header.rclFrame.bottom + 1, 400 * 1000 / 38.0, 0.5);
    EXPECT_NEAR(double(header.szlMillimeters.cx) / header.szlDevice.cx, 10 / 38.0, 1e-9);

    // The background, then the line from the centre three LE up.
    const auto fills = emf.OfType(U_EMR_BITBLT);
    ASSERT_EQ(fills.size(), 1u);
    const auto fill = emf.Get<U_EMRBITBLT>(fills[0]);
    EXPECT_EQ(fill.Dest.x, 0);
    EXPECT_EQ(fill.Dest.y, 0);
    EXPECT_EQ(fill.cDest.x, 400);
    EXPECT_EQ(fill.cDest.y, 400);
    const auto moves = emf.OfType(U_EMR_MOVETOEX);
    ASSERT_FALSE(moves.empty());
    const auto from = emf.Get<U_EMRMOVETOEX>(moves.back()).ptl;
    EXPECT_EQ(from.x, 200);
    EXPECT_EQ(from.y, 200);
    const auto lines = emf.OfType(U_EMR_LINETO);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_GT(lines[0].offset, moves.back().offset);
    const auto to = emf.Get<U_EMRLINETO>(lines[0]).ptl;
    EXPECT_EQ(to.x, 200);
    EXPECT_EQ(to.y, 86);
    const auto pens = emf.OfType(U_EMR_CREATEPEN);
    ASSERT_EQ(pens.size(), 1u);
    const auto pen = emf.Get<U_EMRCREATEPEN>(pens[0]).lopn;
    EXPECT_EQ(pen.lopnWidth.x, 1);
    EXPECT_EQ(pen.lopnColor.Red + pen.lopnColor.Green + pen.lopnColor.Blue, 0);
    // No sprite is recorded.
    EXPECT_TRUE(emf.OfType(U_EMR_POLYGON16).empty());
    EXPECT_TRUE(emf.OfType(U_EMR_POLYGON).empty());
    EXPECT_TRUE(emf.OfType(U_EMR_STRETCHDIBITS).empty());
}

TEST(MetafileContent, ADotIsAnEllipseAndItsPlaceACornerOfAnOpenFill) {
    InTempFolder folder;
    Painted t;
    RecordToFile(t, "punkt", [&] {
        t.SetPenState(Up);
        t.BeginFill();
        t.SetPosition(2, 0);
        t.Dot(0.5, clNavy);
        t.SetPosition(2, 2);
        t.EndFill(clYellow);
    });
    const Emf emf(ReadFile(folder.Path("punkt.wmf")));
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_EQ(emf.OfType(U_EMR_ELLIPSE).size(), 1u);
    const auto polygons = emf.OfType(U_EMR_POLYGON16);
    ASSERT_EQ(polygons.size(), 1u);
    EXPECT_EQ(emf.Get<U_EMRPOLYGON16>(polygons[0]).cpts, 4u) << "the start, two places, the dot";
}

// The header's scale is the drawing's own: whole pixels per LE, one LE a centimetre.
TEST(MetafileContent, TheReferenceDeviceIsTheDrawingsScale) {
    for (int ppi : {96, 120, 144, 192}) {
        SCOPED_TRACE(ppi);
        InTempFolder folder;
        PixelsPerInchScope scope(ppi);
        TTurtle t;
        t.SetSize(300, 200);
        t.Repaint();
        RecordToFile(t, "aufl", [&] { t.Forwd(1); });
        const Emf emf(ReadFile(folder.Path("aufl.wmf")));
        ASSERT_FALSE(HasFatalFailure());
        const auto header = emf.Get<U_EMRHEADER>(emf.records().front());
        const double perLE = t.PixelPerLE();
        EXPECT_NEAR(double(header.szlMillimeters.cx) / header.szlDevice.cx, 10 / perLE, 1e-9);
        EXPECT_NEAR(double(header.szlMillimeters.cy) / header.szlDevice.cy, 10 / perLE, 1e-9);
        EXPECT_NEAR(header.rclFrame.right + 1, 300 * 1000 / perLE, 0.5);
        EXPECT_NEAR(header.rclFrame.bottom + 1, 200 * 1000 / perLE, 0.5);
        // One LE up from the centre at this resolution's scale.
        const auto lines = emf.OfType(U_EMR_LINETO);
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(emf.Get<U_EMRLINETO>(lines[0]).ptl.y, 100 - t.PixelPerLE());
    }
}

TEST(MetafileContent, TheRecordedPictureLooksLikeTheScreen) {
    InTempFolder folder;
    auto draw = [](TTurtle& t) {
        t.SetPenWidth(3);
        t.SetPenColor(clBlue);
        for (int i = 0; i < 36; ++i) {
            t.Forwd(0.2 + i * 0.1);
            t.Left(50);
        }
        t.DrawCircle(2);
        t.FillCircle(0.5, clYellow);
        t.Dot(0.8, clNavy);
        t.SetPenColor(clGreen);
        t.FillRectangle(1.5, 1, clRed);
    };
    Painted screen(Sprite::Hidden);
    draw(screen);

    Painted rec;
    rec.SetAusgabe(tdClipb);
    draw(rec);
    rec.SetAusgabe(tdScreen);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    ASSERT_TRUE(data->hasImage());
    const QImage picture =
        qvariant_cast<QImage>(data->imageData()).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(picture.size(), screen.Picture().size());
    EXPECT_EQ(DifferingPixels(picture, screen.Picture().convertToFormat(QImage::Format_RGB32)), 0);
    EXPECT_GT(CountColor(picture, clBlue), 100);
    EXPECT_GT(CountColor(picture, clNavy), 100);
    EXPECT_TRUE(IsEmf(ClipboardEmf()));
}

TEST(MetafileContent, TheSpriteDrawnDuringARecordingIsABitBlock) {
    InTempFolder folder;
    Painted t;
    t.SetFilename("sprite");
    t.SetAusgabe(tdWMF);
    t.SetShowTurtle(true);
    t.Forwd(1);
    t.SetShowTurtle(false);
    t.SetAusgabe(tdScreen);
    const Emf emf(ReadFile(folder.Path("sprite.wmf")));
    ASSERT_FALSE(HasFatalFailure());
    // Drawn, erased, drawn, erased: each erase copies the saved background back.
    EXPECT_EQ(emf.OfType(U_EMR_POLYGON16).size(), 2u);
    const auto blocks = emf.OfType(U_EMR_STRETCHDIBITS);
    ASSERT_EQ(blocks.size(), 2u);
    const auto block = emf.Get<U_EMRSTRETCHDIBITS>(blocks[1]);
    EXPECT_EQ(block.dwRop, 0x00CC0020u) << "a plain copy";
    EXPECT_GT(block.cDest.x, 0);
    EXPECT_GT(block.cDest.y, 0);
}

// ---------------------------------------------------------------------------------------
// Other programs open the file (optional: these programs are not part of the test setup)

namespace {

// Converts the file to PNG with a program, or says why it could not.
QImage Convert(const QString& program, const QStringList& args, const QString& png,
               std::string& why) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(240000) || p.exitCode() != 0 || !QFileInfo::exists(png)) {
        why = program.toStdString() + " failed: " + p.readAll().toStdString();
        return {};
    }
    return QImage(png).convertToFormat(QImage::Format_ARGB32);
}

} // namespace

TEST(MetafileOpens, InInkscapeAndLibreOffice) {
    InTempFolder folder;
    PixelsPerInchScope ppi(96);
    Painted t;
    RecordToFile(t, "offen", [&] {
        t.SetPenWidth(4);
        t.Forwd(3);
    });
    // The programs choose their reader by the name's ending; the content is EMF.
    const QString emf = folder.Path("offen.emf");
    ASSERT_TRUE(QFile::copy(folder.Path("offen.wmf"), emf));
    int opened = 0;
    std::string skipped;

    // Inkscape: the picture's true size, 400 pixels at 38 per cm (10.53 cm), on white,
    // exported at 96 pixels per inch.
    if (QStandardPaths::findExecutable("inkscape").isEmpty()) {
        skipped += "inkscape is not installed; ";
    } else {
        SCOPED_TRACE("inkscape");
        std::string why;
        const QString png = folder.Path("ink.png");
        const QImage image =
            Convert("inkscape", {"--export-type=png", "--export-filename=" + png, emf}, png, why);
        ASSERT_FALSE(image.isNull()) << why;
        ++opened;
        EXPECT_EQ(image.size(), QSize(398, 398));
        EXPECT_EQ(qGray(image.pixel(10, 10)), 255);
        // The line from the middle upwards, whose move follows the background fill.
        EXPECT_LT(qGray(image.pixel(200, 150)), 100);
    }

    // LibreOffice Draw places the picture on a page at its true size: 3 LE are 30 mm.
    if (QStandardPaths::findExecutable("soffice").isEmpty()) {
        skipped += "soffice (LibreOffice) is not installed; ";
    } else {
        SCOPED_TRACE("soffice");
        std::string why;
        const QImage image =
            Convert("soffice",
                    {"-env:UserInstallation=file://" + folder.Path("lo"), "--headless",
                     "--convert-to", "png", "--outdir", folder.Path("lo-out"), emf},
                    folder.Path("lo-out/offen.png"), why);
        ASSERT_FALSE(image.isNull()) << why;
        ++opened;
        int l = image.width(), r = -1, top = image.height(), b = -1;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qGray(image.pixel(x, y)) < 100 && qAlpha(image.pixel(x, y)) > 128) {
                    l = std::min(l, x);
                    r = std::max(r, x);
                    top = std::min(top, y);
                    b = std::max(b, y);
                }
        ASSERT_GE(r, 0) << "no line in the picture";
        const double pxPerMm = image.width() / 210.0; // an A4 page
        EXPECT_NEAR((b - top) / pxPerMm, 30, 1.0);
        EXPECT_LT(r - l, 0.1 * (b - top)) << "upright";
    }
    // The install script brings both programs, so where every skip counts as a failure
    // a missing one fails too.
    SKIP_OR_FAIL_IF(opened == 0 ? skipped + "the file was not opened elsewhere" : "");
    if (!skipped.empty() && RequireAll()) FAIL() << skipped;
}
