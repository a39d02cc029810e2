// The turtle commands: moving along the heading, turning, going home, clearing.
#include "support.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace kritzel;
using namespace kritzel::test;

TEST(Movement, ForwdFollowsTheHeading) {
    struct Case {
        double heading, x, y;
    };
    for (const Case c : {Case{0, 3, 0}, Case{90, 0, 3}, Case{180, -3, 0}, Case{270, 0, -3}}) {
        Painted t;
        t.SetHeading(c.heading);
        t.Forwd(3);
        EXPECT_NEAR(t.x(), c.x, 1e-15) << c.heading;
        EXPECT_NEAR(t.y(), c.y, 1e-15) << c.heading;
    }
    // Along the axis itself the result is exact.
    Painted t;
    t.SetHeading(0);
    t.Forwd(3);
    EXPECT_EQ(t.x(), 3.0);
    EXPECT_EQ(t.Canvas()->PenPos(), (TPoint{314, 200}));
}

TEST(Movement, BackIsForwdOfTheNegativeAndKeepsTheHeading) {
    Painted a, b;
    a.SetHeading(33);
    b.SetHeading(33);
    a.Back(2.5);
    b.Forwd(-2.5);
    EXPECT_EQ(a.x(), b.x());
    EXPECT_EQ(a.y(), b.y());
    EXPECT_EQ(a.Heading(), 33.0);
    EXPECT_EQ(DifferingPixels(a.Picture(), b.Picture()), 0) << "same line, same sprite";
}

TEST(Movement, TurnsAddUpWithoutReduction) {
    Painted t;
    t.Left(360);
    EXPECT_EQ(t.Heading(), 450.0);
    for (int i = 0; i < 4; ++i)
        t.Left(90);
    EXPECT_EQ(t.Heading(), 810.0);
    Painted a, b;
    a.Right(-30);
    b.Left(30);
    EXPECT_EQ(a.Heading(), b.Heading());
    a.Right(200);
    EXPECT_EQ(a.Heading(), -80.0);
}

TEST(Movement, ATurnIsRoundedOnceWhenTheHeadingIsStored) {
    // Just over half a unit in the last place of 2^24: a sum rounded to double at once
    // gives the next double up, one formed at extended precision rounds back to 2^24.
    const double bit = 0x1.001p-29;
    Painted t;
    t.SetHeading(16777216);
    t.Left(bit);
    EXPECT_EQ(t.Heading(), 16777216.0);
    t.Right(-bit);
    EXPECT_EQ(t.Heading(), 16777216.0);
}

TEST(Movement, LinesAreDrawnWithThePenDownOnly) {
    Painted t;
    t.SetShowTurtle(false);
    t.SetPenState(Up);
    t.Forwd(2);
    EXPECT_EQ(CountColor(t.Picture(), clBlack), 0);
    // The next line starts at the new point.
    t.SetPenState(Down);
    t.Left(90);
    t.Forwd(1);
    const TPoint from{200, 124}, to{162, 124};
    EXPECT_EQ(t.Canvas()->Pixels(from.x, from.y), clBlack);
    EXPECT_EQ(t.Canvas()->Pixels(to.x + 1, to.y), clBlack);
    EXPECT_EQ(t.Canvas()->Pixels(200, 160), clWhite) << "nothing drawn on the way up";
    EXPECT_EQ(CountColor(t.Picture(), clBlack), 38);
}

TEST(Movement, PenWidthAndColourChangeOnlyTheNextLine) {
    Painted t;
    t.SetShowTurtle(false);
    t.SetHeading(0);
    t.SetPosition(-4, 2);
    t.Forwd(3);
    t.SetPenColor(clRed);
    t.SetPenWidth(5);
    t.SetPosition(-4, -2);
    t.Forwd(3);
    const int upperY = 200 - 2 * 38, lowerY = 200 + 2 * 38;
    EXPECT_EQ(t.Canvas()->Pixels(100, upperY), clBlack);
    EXPECT_EQ(t.Canvas()->Pixels(100, upperY + 2), clWhite) << "the first line stays thin";
    EXPECT_EQ(t.Canvas()->Pixels(100, lowerY), clRed);
    EXPECT_EQ(t.Canvas()->Pixels(100, lowerY + 2), clRed);
    // The sprite's own pen never leaks into a line.
    t.SetShowTurtle(true);
    t.SetPenColor(clBlue);
    t.SetPenWidth(1);
    t.SetHeading(90);
    t.Forwd(1);
    t.SetShowTurtle(false);
    EXPECT_EQ(CountColor(t.Picture(), clBlue), 38);
}

TEST(Movement, GoToWalksStraightThereDrawingWithThePenDownAndKeepsTheHeading) {
    Painted t(Sprite::Hidden);
    t.SetHeading(33);
    t.GoTo(1, 0);
    EXPECT_EQ(t.x(), 1.0);
    EXPECT_EQ(t.y(), 0.0);
    EXPECT_EQ(t.Heading(), 33.0);
    EXPECT_EQ(CountColor(t.Picture(), clBlack), 38);
    t.SetPenState(Up);
    t.GoTo(-2, 3);
    EXPECT_EQ(CountColor(t.Picture(), clBlack), 38) << "nothing with the pen up";
    // Its points join an open fill.
    t.BeginFill();
    t.GoTo(-2, -1);
    t.GoTo(1, -1);
    t.EndFill(clYellow);
    EXPECT_GT(CountColor(t.Picture(), clYellow), 100 * 100 / 2);
}

TEST(Movement, HomeNeverDrawsAndKeepsTheHeading) {
    Painted t;
    t.SetShowTurtle(false);
    t.SetPenState(Up);
    t.SetPosition(2, 2);
    t.SetPenState(Down);
    t.SetHeading(123);
    t.Home();
    EXPECT_EQ(t.x(), 0.0);
    EXPECT_EQ(t.y(), 0.0);
    EXPECT_EQ(t.Heading(), 123.0);
    EXPECT_EQ(t.PenState(), Down);
    EXPECT_EQ(CountColor(t.Picture(), clBlack), 0);
    EXPECT_EQ(t.Canvas()->PenPos(), (TPoint{200, 200}));
}

TEST(Movement, ClearWipesAndResetsThePoseButNothingElse) {
    Painted t;
    t.SetPenColor(clGreen);
    t.SetPenWidth(3);
    t.SetTurtleColor(clBlue);
    t.SetBackColor(clYellow);
    t.Forwd(2);
    t.Left(45);
    t.Forwd(1);
    t.SetPenState(Up);
    t.Clear();
    EXPECT_EQ(t.x(), 0.0);
    EXPECT_EQ(t.y(), 0.0);
    EXPECT_EQ(t.Heading(), 90.0);
    EXPECT_EQ(t.PenState(), Up);
    EXPECT_EQ(t.PenColor(), clGreen);
    EXPECT_EQ(t.PenWidth(), 3);
    EXPECT_EQ(t.TurtleColor(), clBlue);
    EXPECT_EQ(CountColor(t.Picture(), clGreen), 0);
    const int sprite = CountColor(t.Picture(), clBlue);
    EXPECT_GT(sprite, 20);
    EXPECT_EQ(CountColor(t.Picture(), clYellow) + sprite, 400 * 400);
}

TEST(Movement, SmallStepsAccumulateInDoublesNotInPixels) {
    Painted t;
    t.SetHeading(0);
    for (int i = 0; i < 10; ++i)
        t.Forwd(0.1);
    double sum = 0;
    for (int i = 0; i < 10; ++i)
        sum = double(static_cast<long double>(1.0) * 0.1 + sum);
    EXPECT_EQ(t.x(), sum);
    EXPECT_NE(t.x(), 1.0) << "the position is never snapped";
    EXPECT_EQ(t.Canvas()->PenPos().x, 238);
    // A step too small for a pixel still moves the turtle.
    Painted u;
    u.SetHeading(0);
    for (int i = 0; i < 100; ++i)
        u.Forwd(0.001);
    EXPECT_NEAR(u.x(), 0.1, 1e-12);
    EXPECT_EQ(u.Canvas()->PenPos().x, 204);
}

TEST(Movement, EachCommandWaitsOncePerSpriteDrawAndClearThreeTimes) {
    Painted t;
    FakeClock clock;
    CountingPump pump(&clock, 1000);
    ServicesScope scope(&clock, &pump);
    t.SetDelay(20);
    EXPECT_EQ(PacedWaits(t, clock, [&] { t.Forwd(1); }), 1u);
    EXPECT_EQ(PacedWaits(t, clock, [&] { t.Back(1); }), 1u);
    EXPECT_EQ(PacedWaits(t, clock, [&] { t.Left(10); }), 1u);
    EXPECT_EQ(PacedWaits(t, clock, [&] { t.Right(10); }), 1u);
    EXPECT_EQ(PacedWaits(t, clock, [&] { t.Home(); }), 1u);
    EXPECT_EQ(PacedWaits(t, clock, [&] { t.Clear(); }), 3u);
    t.SetShowTurtle(false);
    EXPECT_EQ(PacedWaits(t, clock, [&] { t.Forwd(1); }), 0u);
    EXPECT_EQ(PacedWaits(t, clock, [&] { t.Clear(); }), 0u);
}

TEST(Movement, AHandlerRunsBetweenTheLineAndTheNextStep) {
    Painted t;
    FakeClock clock;
    CountingPump pump(&clock);
    ServicesScope scope(&clock, &pump);
    std::vector<double> seen;
    pump.onProcess = [&] { seen.push_back(t.y()); };
    t.Forwd(1);
    // With the sprite shown the pump runs once, after the move.
    EXPECT_EQ(seen, std::vector<double>{1.0});
    seen.clear();
    t.SetShowTurtle(false);
    seen.clear();
    t.Forwd(1);
    // Hidden, it also runs before the move.
    EXPECT_EQ(seen, (std::vector<double>{1.0, 2.0}));
}
