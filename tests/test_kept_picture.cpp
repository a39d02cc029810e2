// The kept picture: commands given outside the repaint handler, drawn again whenever the
// control repaints, on every surface.
#include "support.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QPainter>
#include <QSvgRenderer>
#include <QTemporaryDir>

#include <cmath>

using namespace kritzel;
using namespace kritzel::test;

namespace {

// A little of everything that draws or changes the turtle, commands that give others
// (FillRectangle's Forwd, Clear's Home) and a change of background on the way.
void Draw(TTurtle& t) {
    t.SetPenColor(clBlue);
    t.SetPenWidth(3);
    t.Forwd(2);
    t.Left(60);
    t.FillRectangle(1.5, 1, clYellow);
    t.SetPenState(Up);
    t.SetPosition(-3, -2);
    t.SetPenState(Down);
    t.BeginFill();
    t.Arc(1.5, 270);
    t.Right(45);
    t.Back(1);
    t.EndFill(clLime);
    t.SetTurtleColor(clRed);
    t.SetTurtleSize(9);
    t.Stamp();
    t.SetBackColor(clSilver);
    t.FillCircle(0.5, clFuchsia);
    t.DrawStringPos(-4, 4, "Kritzel", "DejaVu Sans", 12, clBlack);
    t.SetHeading(200);
    t.SetxPosition(2);
    t.Forwd(1);
    t.GoTo(3, -3);
    t.Dot(0.6, clTeal);
    t.Dot(0.3);
}

// The turtle's pose and pen, to see that a replay leaves it where the commands did.
struct Pose {
    double x, y, heading;
    TColor pen;
    std::int32_t width;
    TPenState state;
    bool operator==(const Pose&) const = default;
};
Pose PoseOf(const TTurtle& t) {
    return {t.x(), t.y(), t.Heading(), t.PenColor(), t.PenWidth(), t.PenState()};
}

void Drain() {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
        Application().ProcessMessages();
    }
}

} // namespace

TEST(KeptPicture, OffByDefaultARepaintWipesWhatWasDrawnOutsideTheHandler) {
    Painted t(Sprite::Hidden);
    EXPECT_FALSE(t.KeepPicture());
    const QImage blank = t.Picture().copy();
    t.Forwd(3);
    t.Repaint();
    EXPECT_EQ(DifferingPixels(t.Picture(), blank), 0);
    EXPECT_EQ(t.y(), 0.0) << "the turtle starts in the middle again";
}

TEST(KeptPicture, ARepaintDrawsTheSamePixelsAndLeavesTheTurtleWhereTheCommandsDid) {
    Painted t(Sprite::Hidden);
    t.SetKeepPicture(true);
    Draw(t);
    const QImage first = t.Picture().copy();
    const Pose pose = PoseOf(t);
    t.Repaint();
    EXPECT_EQ(DifferingPixels(t.Picture(), first), 0);
    EXPECT_EQ(PoseOf(t), pose);
    EXPECT_EQ(t.BackColor(), clSilver);
    // The sprite comes back where the turtle stands, and the kept commands do not wait.
    FakeClock clock(1000);
    CountingPump pump(&clock);
    ServicesScope services(&clock, &pump);
    t.SetDelay(50);
    t.SetShowTurtle(true);
    const QImage withSprite = t.Picture().copy();
    Painted plain;
    plain.SetDelay(50);
    EXPECT_EQ(PacedWaits(t, clock, [&] { t.Repaint(); }),
              PacedWaits(plain, clock, [&] { plain.Repaint(); }));
    EXPECT_EQ(DifferingPixels(t.Picture(), withSprite), 0);
    EXPECT_EQ(t.Delay(), 50);
}

TEST(KeptPicture, AResizeKeepsTheDrawingAndAHandlerDrawsBeforeIt) {
    // As a program that draws from a button: a handler and commands kept beside it.
    auto start = [](TTurtle& t) {
        t.SetKeepPicture(true);
        t.SetOnStartPaint([&t] {
            t.SetHeading(North);
            t.SetPenColor(clRed);
            t.Forwd(3); // not kept: the handler draws it again itself
        });
    };
    TForm form("Kept");
    TTurtle t(&form);
    start(t);
    form.Show();
    Drain();
    t.SetShowTurtle(false);
    Draw(t);
    t.SetSize(500, 300);
    Drain();

    // The same drawn at that size from the start.
    TTurtle fresh;
    fresh.SetSize(500, 300);
    start(fresh);
    fresh.Repaint();
    fresh.SetShowTurtle(false);
    Draw(fresh);
    EXPECT_EQ(DifferingPixels(t.Picture(), fresh.Picture()), 0);
    EXPECT_EQ(PoseOf(t), PoseOf(fresh));
}

TEST(KeptPicture, ClearForgetsTheKeptCommands) {
    Painted t(Sprite::Hidden);
    t.SetKeepPicture(true);
    Draw(t);
    t.Clear();
    t.SetPenColor(clNavy);
    t.Forwd(2);
    const QImage after = t.Picture().copy();
    t.Repaint();
    EXPECT_EQ(DifferingPixels(t.Picture(), after), 0);
    EXPECT_EQ(CountColor(t.Picture(), clBlue), 0) << "nothing of before the clear";
    EXPECT_EQ(t.y(), 2.0);
}

TEST(KeptPicture, SavedAsSvgItIsDrawnAtTrueSize) {
    PixelsPerInchScope ppi(96);
    QTemporaryDir dir;
    Painted t(Sprite::Hidden);
    t.SetKeepPicture(true);
    t.SetPenColor(clBlue);
    t.SetPenWidth(2);
    t.SetPosition(-4, 0);
    t.SetHeading(East);
    t.Forwd(8);
    const QString svg = dir.filePath("kept.svg");
    t.SaveToFile(svg.toStdString());
    EXPECT_TRUE(ReadFile(svg).contains("width=\"105.26mm\"")) << "400 pixels at 38 to the cm";
    // Drawn at 10 pixels to the millimetre, the 8 LE line is 80 mm long.
    QSvgRenderer renderer(svg);
    ASSERT_TRUE(renderer.isValid());
    QImage image(1053, 1053, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    renderer.render(&p, QRectF(0, 0, 1052.6, 1052.6));
    p.end();
    int left = image.width(), right = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (FromQRgb(image.pixel(x, y)) == clBlue) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    EXPECT_NEAR(right + 1 - left, 800, 6);
    EXPECT_EQ(t.x(), 4.0) << "the turtle stands where the commands left it";
}
