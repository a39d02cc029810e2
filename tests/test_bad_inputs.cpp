// Hostile arguments: each has a defined result, and the turtle keeps working after it.
#include "support.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTimer>

#include <cmath>
#include <limits>

using namespace kritzel;
using namespace kritzel::test;

namespace {

constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();
constexpr double infinity = std::numeric_limits<double>::infinity();

// The turtle still draws a line and its sprite in the middle.
void ExpectStillDrawing(TTurtle& t) {
    t.SetTurtleSize(7);
    t.SetShowTurtle(true);
    t.SetPenWidth(1);
    t.SetPenColor(clBlack);
    t.SetPenState(Down);
    t.Clear();
    EXPECT_EQ(t.Canvas()->Pixels(200, 190), clRed);
    t.SetHeading(0);
    t.Forwd(2);
    EXPECT_EQ(t.Canvas()->Pixels(250, 200), clBlack);
}

} // namespace

TEST(BadInputs, NotANumberAndInfinityAreStoredAndDrawNothingHarmful) {
    Painted t;
    for (double v : {notANumber, infinity, -infinity, 1e300, -1e300}) {
        t.SetPosition(v, v);
        EXPECT_TRUE(std::isnan(v) ? std::isnan(t.x()) : t.x() == v);
        t.SetHeading(v);
        t.Forwd(v);
        t.Back(v);
        t.Left(v);
        t.Right(v);
        t.DrawCircle(v);
        t.FillCircle(v, clGreen);
        t.FillRectangle(v, v, clYellow);
        t.Home();
        t.SetHeading(90);
        t.Forwd(v);
        t.FillRectangle(v, 1, clYellow);
        t.FillRectangle(1, v, clYellow);
        t.DrawStringPos(v, v, "Text", "Arial", 12, clBlue);
        t.DrawStringCent(v, "Text", "Arial", 12, clBlue);
    }
    ExpectStillDrawing(t);
}

TEST(BadInputs, HugeCirclesAndRectanglesAreClippedToTheArea) {
    Painted t(Sprite::Hidden);
    t.FillCircle(1e6, clGreen);
    EXPECT_EQ(CountColor(t.Picture(), clGreen), 400 * 400) << "the disc covers the area";
    t.SetHeading(0);
    t.FillRectangle(1e12, 1e12, clYellow);
    EXPECT_EQ(t.Canvas()->Pixels(300, 100), clYellow);
    EXPECT_EQ(t.x(), 0.0);
    ExpectStillDrawing(t);
}

TEST(BadInputs, ZeroNegativeAndHugeSizes) {
    TTurtle t;
    t.SetSize(0, 0);
    t.Repaint();
    EXPECT_EQ(t.MaxX(), 0.0);
    t.Forwd(1);
    t.SetSize(-5, -7);
    EXPECT_EQ(t.Width(), 0);
    t.Repaint();
    t.SetSize(1000000, 5);
    EXPECT_LE(t.Width(), 16384) << "no wider than a widget can be";
    t.Repaint();
    t.SetSize(400, 400);
    t.SetTurtleSize(65535);
    t.Repaint();
    t.Forwd(1);
    ExpectStillDrawing(t);
}

TEST(BadInputs, PenWidthsOfNothingLessAndTenThousand) {
    Painted t(Sprite::Hidden);
    t.SetHeading(0);
    for (int w : {0, -1, -1000, std::numeric_limits<int>::min()}) {
        t.Clear();
        t.SetHeading(0);
        t.SetPenWidth(w);
        t.Forwd(2);
        EXPECT_EQ(CountColor(t.Picture(), clBlack), 76) << "a hairline for width " << w;
    }
    t.Clear();
    t.SetHeading(0);
    t.SetPenWidth(10000);
    t.Forwd(0.5);
    EXPECT_EQ(CountColor(t.Picture(), clBlack), 400 * 400);
    t.SetPenWidth(std::numeric_limits<int>::max());
    t.Forwd(0.5);
    ExpectStillDrawing(t);
}

TEST(BadInputs, ALongDelayIsCutShortByEscapeAndThePressIsKept) {
    TForm form("Warten");
    TTurtle t(&form);
    form.Show();
    t.Repaint();
    t.EscPressed();
    t.SetDelay(65535);
    QTimer::singleShot(100, &t, [&] {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(&t, &press);
        QKeyEvent release(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier);
        QCoreApplication::sendEvent(&t, &release);
    });
    const auto t0 = MonotonicTicks();
    t.Forwd(1);
    const auto waited = MonotonicTicks() - t0;
    EXPECT_GE(waited, 90u);
    EXPECT_LT(waited, 2000u);
    EXPECT_TRUE(t.EscPressed()) << "the pupil's loop still sees the press";
    EXPECT_FALSE(t.EscPressed());
    t.SetDelay(0);
}

TEST(BadInputs, TextEmptyHugeAndBeyondTheBasicPlane) {
    Painted t(Sprite::Hidden);
    t.DrawStringPos(0, 0, "", "Arial", 12, clBlue);
    t.DrawStringCent(0, "", "Arial", 12, clBlue);
    EXPECT_EQ(CountColor(t.Picture(), clBlue), 0);
    t.DrawStringPos(-5, 0, "\xF0\x9F\x90\xA2\xF0\x9D\x84\x9E", "Arial", 30, clBlue);
    EXPECT_GT(CountColor(t.Picture(), clBlue), 0);
    const TString huge(1 << 20, 'W');
    t.DrawStringPos(-5, 2, huge, "Arial", 12, clGreen);
    t.DrawStringCent(-2, huge, "Arial", 12, clGreen);
    EXPECT_GT(CountColor(t.Picture(), clGreen), 400) << "both lines are drawn across the area";
    t.DrawStringPos(0, 0, "x", "NoSuchFontAnywhere", 12, clRed);
    t.DrawStringPos(0, 0, "x", "", 12, clRed);
    t.DrawStringPos(0, 0, "x", "Arial", std::numeric_limits<int>::max(), clRed);
    t.DrawStringPos(0, 0, "x", "Arial", std::numeric_limits<int>::min(), clRed);
    ExpectStillDrawing(t);
}

TEST(BadInputs, FileNamesThatCannotBeWrittenNameTheFileAndLeaveTheScreenWorking) {
    QTemporaryDir dir;
    const std::string longName = dir.path().toStdString() + "/" + std::string(5000, 'k');
    const std::string missing = dir.path().toStdString() + "/kein/ordner/bild";
    const std::string folder = dir.path().toStdString() + "/ordner";
    QDir().mkpath(QString::fromStdString(folder + ".wmf"));
    for (const std::string& name : {longName, missing, folder, std::string("/proc/kritzel")}) {
        Painted t;
        t.SetFilename(name);
        t.SetAusgabe(tdWMF);
        t.Forwd(1);
        try {
            t.SetAusgabe(tdScreen);
            ADD_FAILURE() << "saving to " << name.substr(0, 80) << " should fail";
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(name + ".wmf"), std::string::npos) << e.what();
        }
        EXPECT_EQ(t.Device(), tdScreen);
        EXPECT_EQ(t.PenState(), Down);
        EXPECT_TRUE(t.Showing());
        ExpectStillDrawing(t);
    }
}

TEST(BadInputs, APrinterThatIsNotThereIsAClearErrorAndNothingChanges) {
    Painted t;
    Printer().SetFileName("");
    Printer().SetPrinterName("kein-drucker-hier");
    try {
        t.SetAusgabe(tdPrinter);
        ADD_FAILURE() << "printing without a printer should fail";
    } catch (const std::runtime_error& e) {
        EXPECT_NE(std::string(e.what()).find("kein-drucker-hier"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(Printer().Printing());
    EXPECT_EQ(t.Device(), tdScreen) << "the device keeps its old value";
    Printer().SetPrinterName("");
    t.SetAusgabe(tdScreen);
    ExpectStillDrawing(t);
}
