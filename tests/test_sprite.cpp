// The turtle sprite, its save-under, the pacing delay and the Escape poll.
#include "support.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

using namespace kritzel;
using namespace kritzel::test;

namespace {

class ScriptedKeyboard : public TKeyboard {
public:
    std::int16_t AsyncKeyState(int vk) override {
        asked.push_back(vk);
        if (vk == VK_ESCAPE) return esc;
        if (vk == VK_PAUSE) return pause;
        return 0;
    }
    std::int16_t esc = 0, pause = 0;
    std::vector<int> asked;
};

// A picture with something under the turtle, so that save-under has work to do.
void DrawBackground(TTurtle& t) {
    t.SetShowTurtle(false);
    for (int i = 0; i < 36; ++i) {
        t.SetPenColor(RGB(std::uint8_t(i * 7), std::uint8_t(255 - i * 7), 90));
        t.Forwd(0.5);
        t.Left(100);
    }
    t.SetPosition(0, 0);
}

} // namespace

TEST(Sprite, ShowingAndHidingLeavesThePictureExactlyAsItWas) {
    Painted t;
    DrawBackground(t);
    const QImage bare = t.Picture();
    t.SetShowTurtle(true);
    EXPECT_GT(DifferingPixels(bare, t.Picture()), 30) << "the sprite is drawn";
    const QImage shown = t.Picture();
    t.SetShowTurtle(true);
    EXPECT_EQ(DifferingPixels(shown, t.Picture()), 0) << "showing a shown sprite redraws it";
    t.SetHeading(17);
    t.SetTurtleSize(20);
    t.SetTurtleColor(clBlue);
    t.SetShowTurtle(false);
    EXPECT_EQ(DifferingPixels(bare, t.Picture()), 0);
    t.SetShowTurtle(false);
    EXPECT_EQ(DifferingPixels(bare, t.Picture()), 0) << "hiding a hidden sprite draws nothing";
}

TEST(Sprite, PartlyOffTheSurfaceItStillRestoresExactly) {
    Painted t;
    DrawBackground(t);
    const QImage bare = t.Picture();
    for (auto [x, y] : {std::pair{t.MaxX(), 0.0}, {t.MinX(), t.MinY()}, {0.0, t.MaxY() + 0.1}}) {
        t.SetShowTurtle(false);
        t.SetPosition(x, y);
        t.SetShowTurtle(true);
        t.SetShowTurtle(false);
        EXPECT_EQ(DifferingPixels(bare, t.Picture()), 0) << x << ", " << y;
    }
}

TEST(Sprite, PointsAlongTheHeadingAndRepeatsEvery360Degrees) {
    Painted t;
    t.SetHeading(0);
    // The tip lies 17.5 pixels along the heading, the back corners 7 pixels behind.
    EXPECT_EQ(t.Canvas()->Pixels(215, 200), clRed);
    EXPECT_EQ(t.Canvas()->Pixels(185, 200), clWhite);
    const QImage east = t.Picture();
    t.SetHeading(360);
    EXPECT_EQ(DifferingPixels(east, t.Picture()), 0);
    t.SetHeading(-360);
    EXPECT_EQ(DifferingPixels(east, t.Picture()), 0);
    t.SetHeading(90);
    const QImage north = t.Picture();
    EXPECT_EQ(t.Canvas()->Pixels(200, 185), clRed);
    t.SetHeading(450);
    EXPECT_EQ(DifferingPixels(north, t.Picture()), 0);
}

namespace {

// Background pixels that cannot be reached from the picture's border without crossing
// another colour: the holes of a shape drawn on that background.
int EnclosedBackground(const QImage& image, QRgb background) {
    const int w = image.width(), h = image.height();
    std::vector<char> seen(std::size_t(w) * std::size_t(h), 0);
    std::vector<std::pair<int, int>> todo;
    auto visit = [&](int x, int y) {
        if (x < 0 || y < 0 || x >= w || y >= h) return;
        char& s = seen[std::size_t(y) * std::size_t(w) + std::size_t(x)];
        if (s || image.pixel(x, y) != background) return;
        s = 1;
        todo.emplace_back(x, y);
    };
    for (int x = 0; x < w; ++x) {
        visit(x, 0);
        visit(x, h - 1);
    }
    for (int y = 0; y < h; ++y) {
        visit(0, y);
        visit(w - 1, y);
    }
    while (!todo.empty()) {
        const auto [x, y] = todo.back();
        todo.pop_back();
        visit(x + 1, y);
        visit(x - 1, y);
        visit(x, y + 1);
        visit(x, y - 1);
    }
    int holes = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            holes += image.pixel(x, y) == background &&
                     !seen[std::size_t(y) * std::size_t(w) + std::size_t(x)];
    return holes;
}

} // namespace

TEST(Sprite, IsFilledWithoutHolesAtEveryWholeDegree) {
    // The outline is traced 8-connected, so background that only diagonal steps could
    // reach from outside lies inside it.
    const QRgb white = qRgb(255, 255, 255);
    for (const std::uint16_t size : {std::uint16_t(7), std::uint16_t(23)}) {
        Painted t;
        t.SetTurtleSize(size);
        for (const double x : {0.0, 0.0123}) {
            t.SetPosition(x, -x);
            for (int degrees = 0; degrees < 360; ++degrees) {
                t.SetHeading(degrees);
                // The sprite reaches 2.5 sizes from the middle, (200, 200).
                const int half = 3 * size + 4;
                const QImage sprite = t.Picture().copy(200 - half, 200 - half, 2 * half, 2 * half);
                ASSERT_EQ(EnclosedBackground(sprite, white), 0)
                    << "size " << size << " at " << x << ", heading " << degrees;
            }
        }
    }
}

TEST(Sprite, SizeZeroIsATinyMarkAndHugeSizesDoNotBreakAnything) {
    Painted t;
    t.SetTurtleSize(0);
    EXPECT_LE(CountColor(t.Picture(), clRed), 1);
    t.SetTurtleSize(30);
    EXPECT_GT(CountColor(t.Picture(), clRed), 300);
    t.SetTurtleSize(65535);
    t.SetTurtleSize(7);
    t.SetShowTurtle(false);
    t.SetShowTurtle(true);
    EXPECT_EQ(t.Canvas()->Pixels(200, 190), clRed);
}

TEST(Sprite, OfAnySizeItComesOffAgainExactly) {
    // From 1364 on the save-under area is larger than any bitmap held whole.
    for (std::uint16_t size : {std::uint16_t(1364), std::uint16_t(65535)}) {
        Painted t;
        DrawBackground(t);
        const QImage bare = t.Picture();
        t.SetTurtleSize(size);
        t.SetHeading(33);
        t.SetShowTurtle(true);
        EXPECT_GT(CountColor(t.Picture(), clRed), 100000) << size;
        t.SetPosition(1, -2);
        t.SetShowTurtle(false);
        EXPECT_EQ(DifferingPixels(bare, t.Picture()), 0) << size;
    }
}

TEST(Sprite, LinesDrawnRightAfterShowKeepTheirCorners) {
    // The first repaint comes in the first command's wait, while that command has drawn
    // the sprite but not yet its line.
    TForm form("square");
    TTurtle t(&form);
    form.Show();
    for (int i = 0; i < 4; ++i) {
        t.Forwd(3);
        t.Left(90);
    }
    EXPECT_GT(CountColor(t.Picture(), clRed), 30) << "the sprite rests where the square ends";
    t.SetShowTurtle(false);
    EXPECT_EQ(CountColor(t.Picture(), clBlack), 4 * 114) << "four whole sides of 3 LE";
}

TEST(Pacing, WithoutDelayEachSpriteDrawPumpsOnceAndNeverReadsTheClock) {
    Painted t;
    FakeClock clock;
    CountingPump pump(&clock);
    ServicesScope scope(&clock, &pump);
    t.SetHeading(10);
    EXPECT_EQ(pump.processed, 1);
    EXPECT_EQ(clock.reads, 0);
    // Removing a shown sprite pumps nothing; a hidden sprite pumps once a call.
    t.SetShowTurtle(false);
    EXPECT_EQ(pump.processed, 2);
    t.SetHeading(20);
    EXPECT_EQ(pump.processed, 4);
    EXPECT_EQ(pump.waits, 0);
}

TEST(Pacing, ADelayedSpriteDrawReturnsOnlyAfterMoreThanTheDelay) {
    Painted t;
    FakeClock clock(0xFFFFFFF0u); // the wait runs over the 32-bit wrap
    CountingPump pump(&clock);
    ServicesScope scope(&clock, &pump);
    t.SetDelay(50);
    const std::uint32_t start = clock.now;
    t.SetHeading(45);
    EXPECT_EQ(std::uint32_t(clock.now - start), 51u);
    EXPECT_GE(pump.processed, 2) << "messages are handled on every pass";
    EXPECT_EQ(pump.processed, pump.waits + 1);
    EXPECT_GE(pump.waits, 10) << "the wait sleeps in steps, pumping between them";
    // A handler that shortens the delay during the wait shortens that very wait.
    pump.onProcess = [&] {
        if (std::uint32_t(clock.now - start) > 60) t.SetDelay(1);
    };
    const std::uint32_t second = clock.now;
    t.SetHeading(50);
    EXPECT_LT(std::uint32_t(clock.now - second), 51u);
}

TEST(Pacing, EverySetterThatRedrawsTheSpriteWaitsOnceAndHiddenOnesNever) {
    Painted t;
    FakeClock clock;
    CountingPump pump(&clock);
    ServicesScope scope(&clock, &pump);
    t.SetDelay(10);
    EXPECT_EQ(PacedWaits(t, clock, [&] { t.SetHeading(1); }), 1u);
    EXPECT_EQ(PacedWaits(t, clock, [&] { t.SetTurtleColor(clBlue); }), 1u);
    EXPECT_EQ(PacedWaits(t, clock, [&] { t.SetTurtleSize(9); }), 1u);
    EXPECT_EQ(PacedWaits(t, clock, [&] { t.SetPosition(1, 1); }), 1u);
    EXPECT_EQ(PacedWaits(t, clock, [&] { t.SetBackColor(clWhite); }), 1u);
    EXPECT_EQ(PacedWaits(t, clock, [&] { t.SetShowTurtle(false); }), 0u);
    EXPECT_EQ(PacedWaits(t, clock, [&] { t.SetHeading(2); }), 0u);
}

TEST(Pacing, InTheDesignerTheSpriteIsDrawnButNothingWaitsOrPumps) {
    TTurtle t;
    t.SetDesigning(true);
    FakeClock clock;
    CountingPump pump(&clock);
    ServicesScope scope(&clock, &pump);
    t.SetDelay(500);
    t.Repaint();
    t.SetHeading(0);
    EXPECT_EQ(pump.processed, 0);
    EXPECT_EQ(clock.reads, 0);
    EXPECT_EQ(t.Canvas()->Pixels(215, 200), clRed);
    t.SetShowTurtle(false);
    t.SetHeading(5);
    EXPECT_EQ(pump.processed, 0);
}

TEST(Pacing, TheRealWaitSleepsInsteadOfSpinning) {
    Painted t;
    t.SetDelay(20);
    std::clock_t cpu0 = std::clock();
    const std::uint32_t t0 = MonotonicTicks();
    for (int i = 0; i < 10; ++i)
        t.Left(36);
    const std::uint32_t wall = MonotonicTicks() - t0;
    const double cpuMs = 1000.0 * double(std::clock() - cpu0) / CLOCKS_PER_SEC;
    EXPECT_GE(wall, 210u);
    EXPECT_LT(cpuMs, 0.25 * wall) << "cpu " << cpuMs << " ms over " << wall << " ms";
}

TEST(EscPressed, AsksEscapeFirstAndPauseOnlyWhenEscapeSaysNo) {
    TTurtle t;
    ScriptedKeyboard keys;
    ServicesScope scope(nullptr, nullptr, &keys);
    EXPECT_FALSE(t.EscPressed());
    EXPECT_EQ(keys.asked, (std::vector<int>{VK_ESCAPE, VK_PAUSE}));
    keys.asked.clear();
    keys.esc = std::int16_t(0x8000);
    EXPECT_TRUE(t.EscPressed());
    EXPECT_EQ(keys.asked, (std::vector<int>{VK_ESCAPE}));
    keys.esc = 1;
    EXPECT_TRUE(t.EscPressed());
    keys.esc = 0x4000; // other bits do not count
    EXPECT_FALSE(t.EscPressed());
    keys.pause = 1;
    EXPECT_TRUE(t.EscPressed());
}

TEST(EscPressed, APressFromBeforeTheDrawingIsForgottenOneDuringItCounts) {
    TTurtle t;
    TKeyTracker& keys = KeyTracker();
    keys.AsyncKeyState(VK_ESCAPE);
    keys.AsyncKeyState(VK_PAUSE);
    std::vector<bool> seen;
    t.SetOnStartPaint([&] {
        seen.push_back(t.EscPressed());
        keys.KeyDown(VK_ESCAPE);
        keys.KeyUp(VK_ESCAPE);
        seen.push_back(t.EscPressed());
    });
    // Escape closed a dialog, Pause was tapped: both before the drawing began.
    keys.KeyDown(VK_ESCAPE);
    keys.KeyUp(VK_ESCAPE);
    keys.KeyDown(VK_PAUSE);
    keys.KeyUp(VK_PAUSE);
    t.Repaint();
    EXPECT_EQ(seen, (std::vector<bool>{false, true}));
}

TEST(EscPressed, APressCountsForTheDrawingsBegunBeforeItWhicheverControlRepaintsInside) {
    TKeyTracker& keys = KeyTracker();
    auto press = [&] {
        keys.KeyDown(VK_ESCAPE);
        keys.KeyUp(VK_ESCAPE);
    };
    // Both orders: A's drawing with B repainting inside it, and B's with A inside.
    for (bool aOutside : {true, false}) {
        SCOPED_TRACE(aOutside ? "A outside" : "B outside");
        TForm form("zwei");
        TTurtle a(&form), b(&form);
        TTurtle& outer = aOutside ? a : b;
        TTurtle& inner = aOutside ? b : a;
        std::vector<bool> innerSaw, outerSaw;
        bool pressDuringInner = false;
        inner.SetOnStartPaint([&] {
            innerSaw.push_back(inner.EscPressed());
            if (pressDuringInner) press();
            innerSaw.push_back(inner.EscPressed());
        });
        outer.SetOnStartPaint([&] {
            press(); // meant for this drawing, made before the other control repaints
            inner.Repaint();
            outerSaw.push_back(outer.EscPressed());
            outerSaw.push_back(outer.EscPressed());
            pressDuringInner = true; // made while both drawings run: both see it
            inner.Repaint();
            outerSaw.push_back(outer.EscPressed());
        });
        outer.Repaint();
        EXPECT_EQ(innerSaw, (std::vector<bool>{false, false, false, true}));
        EXPECT_EQ(outerSaw, (std::vector<bool>{true, false, true}));
    }
}
