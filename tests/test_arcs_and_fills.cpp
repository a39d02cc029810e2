// Arcs, fills, stamps, aiming, clicks, keys and questions: the commands a lesson with
// Python's turtle or KTurtle uses beside lines and circles.
#include "metafile.h"
#include "support.h"

#include <gtest/gtest.h>

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QTemporaryDir>

#include <cmath>
#include <vector>

using namespace kritzel;
using namespace kritzel::test;

namespace {

// Headings compared on the circle: the turtle keeps them unreduced, Python does not.
double Turn(double a) {
    return std::fmod(std::fmod(a, 360.0) + 360.0, 360.0);
}

// Distance of a device point from the circle round (cx, cy) with radius r.
double OffCircle(double x, double y, double cx, double cy, double r) {
    return std::fabs(std::hypot(x - cx, y - cy) - r);
}

} // namespace

TEST(Arc, EndsWherePythonsCircleEndsForEverySign) {
    // Start pose (heading, x, y), radius, extent and where Python's
    // turtle.TNavigator().circle(radius, extent) leaves its turtle.
    struct Case {
        double h, x, y, radius, extent, endX, endY, endH;
    };
    const Case cases[] = {
        {90, 0, 0, 2, 90, -1.9999999999999996, 2.0, 180},
        {90, 0, 0, -2, 90, 1.9999999999999996, 2.0, 0},
        {90, 0, 0, 2, -90, -1.9999999999999996, -2.0, 0},
        {90, 0, 0, -2, -90, 1.9999999999999996, -2.0, 180},
        {30, 1, -1, 3, 360, 0.9999999999999978, -1.0000000000000013, 30},
        {10, 0.5, 0.25, 1.5, 135, 1.0998923880261737, 2.9559396959517996, 145},
        {200, -1, 2, -2.5, -250, -4.355050358314173, 4.349231551964771, 90},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "Arc(" << c.radius << ", " << c.extent << ") from "
                                        << c.x << ", " << c.y << " heading " << c.h);
        for (TPenState pen : {Down, Up}) {
            Painted t;
            t.SetPenState(pen);
            t.SetPosition(c.x, c.y);
            t.SetHeading(c.h);
            t.Arc(c.radius, c.extent);
            EXPECT_NEAR(t.x(), c.endX, 1e-9);
            EXPECT_NEAR(t.y(), c.endY, 1e-9);
            EXPECT_NEAR(Turn(t.Heading()), Turn(c.endH), 1e-9);
            // The heading turns by the extent, unreduced, as Left and Right turn it.
            EXPECT_NEAR(t.Heading(), c.h + (c.radius < 0 ? -c.extent : c.extent), 1e-9);
        }
    }
}

TEST(Arc, EveryPixelAndMetafilePointLiesWithinHalfAUnitOfTheCircle) {
    PixelsPerInchScope ppi(96);
    struct Case {
        double x, y, h, radius, extent;
    };
    // A full circle on whole device points, and arcs whose centre lies between them.
    for (const Case& c : {Case{0, 0, 90, 3, 360}, Case{0.13, -0.29, 17, 2.71, 250},
                          Case{-0.5, 0.7, 200, -2.05, -300}}) {
        SCOPED_TRACE(testing::Message() << "Arc(" << c.radius << ", " << c.extent << ")");
        const double k = 38; // pixels per LE at 96 pixels per inch
        const double h = c.h * 3.14159265358979323846 / 180;
        const double mx = c.x - c.radius * std::sin(h), my = c.y + c.radius * std::cos(h);
        const double cx = 200 + mx * k, cy = 200 - my * k, r = std::fabs(c.radius) * k;
        auto draw = [&](TTurtle& t) {
            t.SetPenState(Up);
            t.SetPosition(c.x, c.y);
            t.SetHeading(c.h);
            t.SetPenState(Down);
            t.SetPenColor(clBlue);
            t.Arc(c.radius, c.extent);
        };
        Painted t(Sprite::Hidden);
        draw(t);
        const double endX = 200 + t.x() * k, endY = 200 - t.y() * k;
        const double startX = 200 + c.x * k, startY = 200 - c.y * k;
        int pixels = 0;
        double worst = 0;
        for (int y = 0; y < 400; ++y)
            for (int x = 0; x < 400; ++x) {
                if (t.Canvas()->Pixels(x, y) != clBlue) continue;
                ++pixels;
                // The ends are the turtle's device points, rounded like every position.
                if (std::hypot(x - startX, y - startY) < 1 || std::hypot(x - endX, y - endY) < 1)
                    continue;
                worst = std::max(worst, OffCircle(x, y, cx, cy, r));
            }
        EXPECT_GT(pixels, r * 3) << "the arc is drawn";
        EXPECT_LE(worst, 0.5 + 1e-9);

        Painted m;
        QTemporaryDir dir;
        m.SetFilename(dir.filePath("bogen").toStdString());
        m.SetAusgabe(tdWMF);
        draw(m);
        m.SetAusgabe(tdScreen);
        const Emf emf(ReadFile(dir.filePath("bogen.wmf")));
        ASSERT_FALSE(HasFatalFailure());
        const auto lines = emf.OfType(U_EMR_LINETO);
        ASSERT_GT(lines.size(), size_t(r));
        double worstRecord = 0;
        for (size_t i = 0; i + 1 < lines.size(); ++i) {
            const auto p = emf.Get<U_POINTL>(lines[i], 8);
            worstRecord = std::max(worstRecord, OffCircle(p.x, p.y, cx, cy, r));
        }
        EXPECT_LE(worstRecord, 0.5 + 1e-9) << "the metafile's corners";
    }
}

TEST(Arc, AHugeArcFromBeyondTheEdgeIsDrawnWhereverItCrossesTheSurface) {
    PixelsPerInchScope ppi(96);
    Painted t(Sprite::Hidden);
    t.SetPenState(Up);
    t.SetPosition(-6, 0);
    t.SetHeading(East);
    t.SetPenState(Down);
    t.SetPenColor(clBlue);
    t.Arc(-1000, 0.8); // its centre 1000 LE below, from left of the surface to right of it
    const double cx = 200 - 6 * 38, cy = 200 + 1000 * 38, r = 1000 * 38;
    for (int x = 0; x < 400; ++x) {
        int found = 0;
        for (int y = 0; y < 400; ++y)
            if (t.Canvas()->Pixels(x, y) == clBlue) {
                ++found;
                EXPECT_LE(OffCircle(x, y, cx, cy, r), 0.5 + 1e-9) << x << ", " << y;
            }
        EXPECT_GE(found, 1) << "column " << x;
    }
}

TEST(Arc, DrawsTheSamePictureAtEachStepAndNothingWithThePenUp) {
    Painted up(Sprite::Hidden);
    up.SetPenState(Up);
    up.Arc(2, 180);
    EXPECT_EQ(CountColor(up.Picture(), clBlack), 0);
    // A slow turtle is seen to walk the arc, one delay per step.
    FakeClock clock(1000);
    CountingPump pump(&clock, 50);
    ServicesScope services(&clock, &pump);
    Painted t;
    t.SetDelay(10);
    const int before = pump.waits;
    t.Arc(2, 180);
    EXPECT_GT(pump.waits - before, 5);
}

TEST(Fill, FillsEveryPositionPassedWithTheLinesOnTopAndOneRuleEverywhere) {
    auto star = [](TTurtle& t) {
        t.SetPenColor(clNavy);
        t.SetPosition(-3, 1);
        t.SetHeading(0);
        t.BeginFill();
        for (int i = 0; i < 5; ++i) {
            t.Forwd(6);
            t.Right(144);
        }
        t.EndFill(clYellow);
    };
    Painted outline(Sprite::Hidden);
    outline.SetPenColor(clNavy);
    outline.SetPosition(-3, 1);
    outline.SetHeading(0);
    for (int i = 0; i < 5; ++i) {
        outline.Forwd(6);
        outline.Right(144);
    }
    Painted t(Sprite::Hidden);
    star(t);
    const QImage& p = t.Picture();
    // Odd-even: the star's points are filled, its middle pentagon crossed twice is not.
    EXPECT_EQ(FromQRgb(p.pixel(200 + 2 * 38, 200 - 38 * 3 / 4)), clYellow) << "a point";
    EXPECT_EQ(FromQRgb(p.pixel(200, 200 - 19)), clWhite) << "the middle";
    int covered = 0;
    for (int y = 0; y < 400; ++y)
        for (int x = 0; x < 400; ++x)
            covered +=
                outline.Canvas()->Pixels(x, y) == clNavy && t.Canvas()->Pixels(x, y) != clNavy;
    EXPECT_EQ(covered, 0) << "the outline stays on top";
    EXPECT_GT(CountColor(p, clNavy), 500);

    // A concave shape with a pen-up side and an arc; the same on the recorded metafile.
    auto concave = [](TTurtle& u) {
        u.SetPenColor(clBlack);
        u.SetPenWidth(2);
        u.SetPosition(-2, -2);
        u.SetHeading(0);
        u.BeginFill();
        u.Forwd(4);
        u.Left(90);
        u.Forwd(4);
        u.Left(90);
        u.Forwd(1);
        u.Left(90);
        u.Arc(-1, 180); // a bite out of the top side
        u.Left(90);
        u.Forwd(1);
        u.SetPenState(Up);
        u.Left(90);
        u.Forwd(4);
        u.SetPenState(Down);
        u.EndFill(clLime);
    };
    Painted c(Sprite::Hidden);
    concave(c);
    EXPECT_EQ(c.Canvas()->Pixels(200 + 38, 200 + 38), clLime);
    EXPECT_EQ(c.Canvas()->Pixels(200, 200 - 38 * 3 / 2), clWhite) << "inside the bite";
    EXPECT_EQ(c.Canvas()->Pixels(200, 200 - 38 / 2), clLime) << "below the bite";
    EXPECT_NE(c.Canvas()->Pixels(200 - 2 * 38, 200), clBlack) << "the pen-up side";
    EXPECT_EQ(c.Canvas()->Pixels(200 + 2 * 38, 200), clBlack) << "a pen-down side";
    Painted m;
    m.SetAusgabe(tdClipb);
    concave(m);
    star(m);
    m.SetAusgabe(tdScreen);
    Painted both(Sprite::Hidden);
    concave(both);
    star(both);
    const QImage recorded =
        qvariant_cast<QImage>(QGuiApplication::clipboard()->mimeData()->imageData());
    EXPECT_EQ(DifferingPixels(recorded.convertToFormat(QImage::Format_RGB32),
                              both.Picture().convertToFormat(QImage::Format_RGB32)),
              0);
}

TEST(Fill, AnArcFillsTheSamePixelsWhetherItNotesEveryPointOrFewBeyondTheEdges) {
    // A pen as wide as this, though up, keeps every point of an arc within its reach of
    // the surface, so the fill gets every point the arc passes, as it did before an arc
    // left out what lies far beyond the edges.
    constexpr int Everything = 100000000;
    PixelsPerInchScope ppi(96);
    struct Case {
        double x, y, h, radius, extent;
    };
    // A circle round the surface, arcs through it, past a corner and so large that only a
    // sliver of them crosses it.
    for (const Case& c :
         {Case{0, -20, 0, 20, 360}, Case{-30, 3, 0, -300, 10}, Case{-5.2, 5.2, 45, 134.1, 40},
          Case{-5.2, 5.2, 45, -134.1, -40}, Case{-6, 1, 0, -1e7, 1e-4}}) {
        SCOPED_TRACE(testing::Message() << "Arc(" << c.radius << ", " << c.extent << ")");
        auto fill = [&](int penWidth) {
            Painted t(Sprite::Hidden);
            t.SetPenState(Up);
            t.SetPenWidth(penWidth);
            t.SetPosition(c.x, c.y);
            t.SetHeading(c.h);
            t.BeginFill();
            t.Arc(c.radius, c.extent);
            t.Left(30);
            t.Forwd(2);
            t.EndFill(clYellow);
            return t.Picture().copy();
        };
        const QImage all = fill(Everything);
        EXPECT_GT(CountColor(all, clYellow), 0);
        EXPECT_EQ(DifferingPixels(fill(1), all), 0);
    }
    // However far the arc reaches, the fill notes few of its points.
    Painted m;
    QTemporaryDir dir;
    m.SetFilename(dir.filePath("weit").toStdString());
    m.SetAusgabe(tdWMF);
    m.BeginFill();
    m.Arc(1e4, 360);
    m.EndFill(clYellow);
    m.SetAusgabe(tdScreen);
    EXPECT_LT(ReadFile(dir.filePath("weit.wmf")).size(), 100000);
}

TEST(Fill, WithoutBeginOrAfterHomeClearOrRepaintNothingIsFilled) {
    Painted t(Sprite::Hidden);
    const QImage blank = t.Picture().copy();
    t.EndFill(clRed);
    EXPECT_EQ(DifferingPixels(t.Picture(), blank), 0);
    auto square = [](TTurtle& u) {
        u.SetPenState(Up);
        for (int i = 0; i < 4; ++i) {
            u.Forwd(2);
            u.Left(90);
        }
    };
    t.BeginFill();
    square(t);
    t.Home();
    t.EndFill(clRed);
    t.BeginFill();
    square(t);
    t.Clear();
    t.EndFill(clRed);
    t.BeginFill();
    square(t);
    t.Repaint();
    t.EndFill(clRed);
    EXPECT_EQ(CountColor(t.Picture(), clRed), 0);
    // Qt's colours are taken too.
    t.BeginFill();
    square(t);
    t.EndFill(Qt::red);
    EXPECT_GT(CountColor(t.Picture(), clRed), 70 * 70);
}

TEST(Stamp, StaysWhenTheTurtleMovesOnAndIsRecorded) {
    Painted t;
    t.SetTurtleColor(clGreen);
    t.Stamp();
    const int stamped = CountColor(t.Picture(), clGreen);
    EXPECT_GT(stamped, 30);
    t.SetPenState(Up);
    t.Forwd(3);
    t.Left(90);
    // The sprite moved away; the stamp stayed where it was.
    EXPECT_EQ(t.Canvas()->Pixels(203, 200), clGreen);
    EXPECT_GE(CountColor(t.Picture(), clGreen), stamped + 30) << "stamp and sprite";
    t.SetShowTurtle(false);
    EXPECT_GE(CountColor(t.Picture(), clGreen), stamped - 1);

    // Recorded, as large as on the screen, although no sprite is recorded.
    Painted m;
    m.SetTurtleColor(clGreen);
    m.SetAusgabe(tdClipb);
    m.Stamp();
    m.SetAusgabe(tdScreen);
    const QImage recorded =
        qvariant_cast<QImage>(QGuiApplication::clipboard()->mimeData()->imageData());
    EXPECT_NEAR(CountColor(recorded.convertToFormat(QImage::Format_RGB32), clGreen), stamped, 2);
}

TEST(Aiming, TowardsAndDistanceFromTheTurtle) {
    Painted t;
    t.SetPosition(1, 1);
    EXPECT_DOUBLE_EQ(t.Towards(2, 1), 0);
    EXPECT_DOUBLE_EQ(t.Towards(1, 3), 90);
    EXPECT_DOUBLE_EQ(t.Towards(0, 0), 225);
    EXPECT_DOUBLE_EQ(t.Towards(2, 0), 315);
    EXPECT_DOUBLE_EQ(t.Towards(1, 1), 0);
    EXPECT_LT(t.Towards(2, 1 - 1e-300), 360) << "never 360";
    EXPECT_DOUBLE_EQ(t.Distance(4, 5), 5);
    EXPECT_DOUBLE_EQ(t.Distance(1, 1), 0);
    // Aim and go: the turtle arrives.
    t.SetHeading(t.Towards(-2, 3));
    t.Forwd(t.Distance(-2, 3));
    EXPECT_NEAR(t.x(), -2, 1e-12);
    EXPECT_NEAR(t.y(), 3, 1e-12);
}

TEST(Events, AClickArrivesInLeAndAKeyWithoutDisturbingEscPressed) {
    PixelsPerInchScope ppi(96);
    Painted t;
    double cx = 99, cy = 99;
    int clicks = 0, emitted = 0;
    t.SetOnClick([&](double x, double y) {
        cx = x;
        cy = y;
        ++clicks;
    });
    QObject::connect(&t, &TTurtle::Click, [&](double, double) { ++emitted; });
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(238, 124), QPointF(238, 124),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&t, &press);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(emitted, 1);
    EXPECT_DOUBLE_EQ(cx, 1);
    EXPECT_DOUBLE_EQ(cy, 2);
    QMouseEvent right(QEvent::MouseButtonPress, QPointF(10, 10), QPointF(10, 10), Qt::RightButton,
                      Qt::RightButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&t, &right);
    EXPECT_EQ(clicks, 1) << "only the left button clicks";

    std::vector<int> keys;
    int keySignals = 0;
    t.SetOnKeyPress([&](int key) { keys.push_back(key); });
    QObject::connect(&t, &TTurtle::KeyPress, [&](int) { ++keySignals; });
    EXPECT_FALSE(t.EscPressed());
    for (int key : {int(Qt::Key_Left), int(Qt::Key_Escape)}) {
        QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(&t, &down);
        QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier);
        QCoreApplication::sendEvent(&t, &up);
    }
    EXPECT_EQ(keys, (std::vector<int>{Qt::Key_Left, Qt::Key_Escape}));
    EXPECT_EQ(keySignals, 2);
    EXPECT_TRUE(t.EscPressed()) << "Escape still reaches EscPressed";
    EXPECT_FALSE(t.EscPressed());
}
