// The turtle's state, properties, repaint cycle and coordinate system.
#include "support.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QPushButton>

#include <cmath>
#include <limits>
#include <stdexcept>

using namespace kritzel;
using namespace kritzel::test;

namespace {

TPoint DevicePoint(TTurtle& t, double x, double y) {
    t.SetPosition(x, y);
    return t.Canvas()->PenPos();
}

void Drain() {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
        Application().ProcessMessages();
    }
}

} // namespace

TEST(TurtleState, ANewTurtleHasTheClassroomDefaultsAndDrawsNothing) {
    TTurtle t;
    EXPECT_EQ(t.Width(), 400);
    EXPECT_EQ(t.Height(), 400);
    EXPECT_EQ(t.BackColor(), clWhite);
    EXPECT_EQ(t.PenColor(), clBlack);
    EXPECT_EQ(t.PenWidth(), 1);
    EXPECT_EQ(t.TurtleColor(), clRed);
    EXPECT_EQ(t.TurtleSize(), 7);
    EXPECT_TRUE(t.Showing());
    EXPECT_EQ(t.PenState(), Down);
    EXPECT_EQ(t.Heading(), 90.0);
    EXPECT_EQ(t.Delay(), 0);
    EXPECT_EQ(t.Device(), tdScreen);
    EXPECT_EQ(t.FileName(), "");
    EXPECT_EQ(t.x(), 0.0);
    EXPECT_EQ(t.y(), 0.0);
    EXPECT_EQ(t.MaxX(), 0.0) << "no extent before the first repaint";
    EXPECT_EQ(t.MinY(), 0.0);
    EXPECT_EQ(CountColor(t.Picture(), clRed), 0);
}

TEST(TurtleState, TheFirstRepaintPutsTheTurtleInTheMiddlePointingUp) {
    TTurtle t;
    t.Repaint();
    EXPECT_DOUBLE_EQ(t.MaxX(), 5.2631578947368425);
    EXPECT_EQ(t.MaxX(), 5.2631578947368425);
    EXPECT_EQ(t.MinX(), -t.MaxX());
    EXPECT_EQ(t.MinY(), -t.MaxY());
    EXPECT_EQ(t.Canvas()->PenPos(), (TPoint{200, 200}));
    // The sprite: red above the centre (the tip), white below it.
    EXPECT_EQ(t.Canvas()->Pixels(200, 190), clRed);
    EXPECT_EQ(t.Canvas()->Pixels(200, 215), clWhite);
    EXPECT_EQ(t.Canvas()->Pixels(10, 10), clWhite);
}

TEST(TurtleState, PixelsPerLEFollowTheScreen) {
    const std::pair<int, int> cases[] = {{72, 28}, {96, 38}, {120, 47}, {144, 57}, {192, 76}};
    for (auto [ppi, perLE] : cases) {
        PixelsPerInchScope scope(ppi);
        TTurtle t;
        EXPECT_EQ(t.PixelPerLE(), perLE) << ppi << " ppi";
        t.Repaint();
        EXPECT_EQ(t.DevicePixelPerLE(), perLE);
        EXPECT_EQ(DevicePoint(t, 1, 0).x, 200 + perLE);
    }
}

TEST(TurtleState, AScreenOfNoResolutionStillHasAScale) {
    for (int ppi : {0, 1}) {
        PixelsPerInchScope scope(ppi);
        TTurtle t;
        EXPECT_EQ(t.PixelPerLE(), 1);
        t.Repaint();
        EXPECT_EQ(t.MaxX(), 200.0);
        t.Forwd(3);
        EXPECT_EQ(t.Canvas()->PenPos(), (TPoint{200, 197}));
    }
}

TEST(Coordinates, VirtualPointsMapToDevicePointsFromTheCentre) {
    Painted t;
    EXPECT_EQ(DevicePoint(t, 0, 0), (TPoint{200, 200}));
    EXPECT_EQ(DevicePoint(t, 5, 5), (TPoint{390, 10}));
    EXPECT_EQ(DevicePoint(t, -5, -5), (TPoint{10, 390}));
    EXPECT_EQ(DevicePoint(t, 1, 0), (TPoint{238, 200}));
    EXPECT_EQ(DevicePoint(t, 0, 1), (TPoint{200, 162}));
    EXPECT_EQ(DevicePoint(t, t.MinX(), t.MaxY()), (TPoint{0, 0}));
}

TEST(Coordinates, OddWidthsRoundAtExtendedPrecisionHalvesToEven) {
    struct Case {
        int ppi, width, expected;
    };
    // 403 at 38 per LE lies just below 201.5 at extended precision; plain doubles give 202.
    for (const Case c : {Case{96, 403, 201}, Case{96, 401, 200}, Case{94, 401, 201}}) {
        PixelsPerInchScope scope(c.ppi);
        TTurtle t;
        t.SetWidth(c.width);
        t.Repaint();
        EXPECT_EQ(DevicePoint(t, 0, 0).x, c.expected) << c.width << " at " << t.PixelPerLE();
    }
    PixelsPerInchScope scope(96);
    TTurtle t;
    t.SetWidth(403);
    t.Repaint();
    EXPECT_EQ(t.MaxX(), 5.302631578947368);
}

TEST(Coordinates, PointsBeyondTheDeviceRangeSaturateAndNotANumberIsFarTopLeft) {
    Painted t;
    constexpr auto big = std::numeric_limits<std::int32_t>::max();
    constexpr auto small = std::numeric_limits<std::int32_t>::min();
    EXPECT_EQ(DevicePoint(t, 1e300, -1e300), (TPoint{big, big}));
    EXPECT_EQ(DevicePoint(t, -INFINITY, INFINITY), (TPoint{small, small}));
    EXPECT_EQ(DevicePoint(t, NAN, 0), (TPoint{small, 200}));
    EXPECT_EQ(DevicePoint(t, 0, NAN), (TPoint{200, small}));
    // The turtle keeps working afterwards.
    t.SetPosition(0, 0);
    t.Forwd(1);
    EXPECT_EQ(t.Canvas()->PenPos(), (TPoint{200, 162}));
}

TEST(Coordinates, ResizingTakesEffectAtTheNextRepaint) {
    Painted t;
    t.SetSize(200, 100);
    EXPECT_EQ(t.MaxX(), 5.2631578947368425);
    t.Repaint();
    EXPECT_DOUBLE_EQ(t.MaxX(), 200.0 / 76);
    EXPECT_DOUBLE_EQ(t.MaxY(), 100.0 / 76);
}

TEST(RepaintCycle, EveryRepaintStartsAgainFromTheOriginKeepingTheTurtlesLook) {
    TTurtle t;
    int calls = 0;
    t.SetOnStartPaint([&] { ++calls; });
    t.Repaint();
    EXPECT_EQ(calls, 1);
    t.SetHeading(33);
    t.SetPenColor(clBlue);
    t.SetPenWidth(4);
    t.SetPenState(Up);
    t.SetTurtleColor(clGreen);
    t.SetPosition(2, 3);
    t.Repaint();
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(t.x(), 0.0);
    EXPECT_EQ(t.y(), 0.0);
    EXPECT_EQ(t.Heading(), 33.0);
    EXPECT_EQ(t.PenColor(), clBlue);
    EXPECT_EQ(t.PenWidth(), 4);
    EXPECT_EQ(t.PenState(), Up);
    EXPECT_EQ(t.TurtleColor(), clGreen);
}

TEST(RepaintCycle, ARepaintRequestedDuringTheHandlerOnlyPaintsTheBase) {
    TTurtle t;
    QCoreApplication::processEvents();
    int calls = 0;
    t.SetOnStartPaint([&] {
        ++calls;
        t.Repaint();
        t.Invalidate();
        for (int i = 0; i < 3; ++i) {
            QCoreApplication::processEvents();
            Application().ProcessMessages();
        }
    });
    t.Repaint();
    EXPECT_EQ(calls, 1);
}

TEST(RepaintCycle, TheSignalFollowsTheHandler) {
    TTurtle t;
    std::string order;
    t.SetOnStartPaint([&] { order += "handler "; });
    QObject::connect(&t, &TTurtle::StartPaint, [&] { order += "signal"; });
    t.Repaint();
    EXPECT_EQ(order, "handler signal");
}

TEST(RepaintCycle, AnExceptionFromTheHandlerLeavesTheControlAbleToRepaint) {
    TTurtle t;
    int calls = 0;
    t.SetOnStartPaint([&] {
        ++calls;
        if (calls == 1) throw std::runtime_error("pupil's mistake");
    });
    EXPECT_THROW(t.Repaint(), std::runtime_error);
    t.Repaint();
    EXPECT_EQ(calls, 2);
}

TEST(Setters, BackColorWipesThePictureAndLeavesOnlyTheSprite) {
    Painted t;
    t.Forwd(3);
    t.SetBackColor(clYellow);
    const int red = CountColor(t.Picture(), clRed);
    EXPECT_GT(red, 20);
    EXPECT_EQ(CountColor(t.Picture(), clYellow) + red, 400 * 400);
}

TEST(Setters, SetPositionNeverDrawsAndKeepsThePenState) {
    Painted t(Sprite::Hidden);
    t.SetPosition(3, 3);
    t.SetxPosition(-2);
    EXPECT_EQ(t.y(), 3.0);
    t.SetYPosition(1);
    EXPECT_EQ(t.x(), -2.0);
    EXPECT_EQ(t.PenState(), Down);
    EXPECT_EQ(CountColor(t.Picture(), clWhite), 400 * 400);
}

TEST(Setters, HeadingIsStoredUnreduced) {
    TTurtle t;
    t.SetHeading(450);
    EXPECT_EQ(t.Heading(), 450.0);
    t.SetHeading(-30);
    EXPECT_EQ(t.Heading(), -30.0);
}

TEST(Setters, DirectPropertiesChangeNothingUntilTheNextLine) {
    Painted t;
    const QImage before = t.Picture();
    t.SetPenColor(clBlue);
    t.SetPenWidth(9);
    t.SetPenState(Up);
    EXPECT_EQ(DifferingPixels(before, t.Picture()), 0);
}

TEST(RepaintCycle, AControlThatIsNotShownIsNotPainted) {
    TForm form("not shown");
    TTurtle t(&form);
    int calls = 0;
    t.SetOnStartPaint([&] { ++calls; });
    // The setter pumps messages; the request that construction made must wait for Show.
    t.SetTurtleColor(clBlue);
    Drain();
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(t.MaxX(), 0.0);
    EXPECT_EQ(DevicePoint(t, 1, -1), (TPoint{38, 38})) << "unpainted, (0, 0) is the corner";
    form.Show();
    Drain();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(t.MaxX(), 5.2631578947368425);
}

TEST(RepaintCycle, AResizeDuringTheDrawingIsPaintedOnceWhenItEnds) {
    TForm form("resized");
    TTurtle t(&form);
    form.Show();
    Drain();
    int calls = 0;
    double maxX = 0;
    t.SetOnStartPaint([&] {
        if (++calls == 1) {
            // The window system resizes the control twice while it draws.
            t.resize(500, 600);
            t.Forwd(1);
            t.resize(600, 600);
            t.Forwd(1);
        }
        maxX = t.MaxX();
        // The handler's own request stays ignored, so it does not loop.
        t.Invalidate();
    });
    t.Repaint();
    EXPECT_EQ(calls, 1);
    Drain();
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(maxX, static_cast<double>(600.0L / 38 / 2));
    EXPECT_EQ(t.Canvas()->PenPos(), (TPoint{300, 300}));
}

TEST(RepaintCycle, TheProgramsOwnSetSizeDuringTheDrawingIsPaintedOnceWhenItEnds) {
    TForm form("größer");
    TTurtle t(&form);
    form.Show();
    Drain();
    int calls = 0;
    double maxX = 0;
    t.SetOnStartPaint([&] {
        if (++calls == 1) {
            t.Forwd(1);
            t.SetSize(600, 600); // a button "größer" pressed while the drawing runs
            t.Forwd(1);
        }
        maxX = t.MaxX();
        // The handler's own requests stay answered by the running cycle.
        t.Invalidate();
    });
    t.Repaint();
    Drain();
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(maxX, static_cast<double>(600.0L / 38 / 2));
}

TEST(TurtleState, InALayoutTheControlAsksForTheSizeItWasGiven) {
    QWidget window;
    auto* layout = new QHBoxLayout(&window);
    auto* t = new TTurtle;
    layout->addWidget(t);
    layout->addWidget(new QPushButton("Zeichnen"));
    EXPECT_EQ(t->sizeHint(), QSize(400, 400));
    window.show();
    Drain();
    EXPECT_GE(t->Width(), 400);
    EXPECT_GE(t->Height(), 400);
    // Given more room, it takes it; the size set last stays what it asks for.
    window.resize(900, 700);
    Drain();
    EXPECT_GT(t->Width(), 700);
    EXPECT_GT(t->Height(), 600);
    EXPECT_EQ(t->sizeHint(), QSize(400, 400));
    t->SetSize(300, 200);
    EXPECT_EQ(t->sizeHint(), QSize(300, 200));
    EXPECT_LT(t->minimumSizeHint().width(), 100);
}
