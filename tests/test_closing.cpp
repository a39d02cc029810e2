// Closing the application: waits end at once and a running drawing is broken off.
// These tests end the application, so they run in a program of their own, in order.
#include "support.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QTimer>

#include <chrono>

using namespace kritzel;
using namespace kritzel::test;

namespace {
std::uint32_t Since(std::uint32_t t0) {
    return MonotonicTicks() - t0;
}
} // namespace

TEST(Closing, ClosingTheMainWindowDuringADelayedDrawingEndsItAtOnce) {
    TForm form("Lange Zeichnung");
    TTurtle t(&form);
    form.Show();
    int steps = 0;
    bool finished = false;
    t.SetOnStartPaint([&] {
        t.SetDelay(500);
        for (int i = 0; i < 100000; ++i) {
            t.Forwd(0.1);
            ++steps;
            t.Left(1);
        }
        finished = true;
    });
    std::uint32_t closedAt = 0;
    QTimer::singleShot(700, [&] {
        closedAt = MonotonicTicks();
        form.close();
    });
    const auto t0 = MonotonicTicks();
    QCoreApplication::exec();
    const std::uint32_t afterClose = Since(closedAt);
    EXPECT_TRUE(Application().Terminated());
    EXPECT_FALSE(finished) << "the drawing was broken off";
    EXPECT_GE(steps, 1);
    EXPECT_LE(steps, 2) << "each command waits half a second";
    EXPECT_LT(afterClose, 100u) << "the program ends within 100 ms of the close";
    EXPECT_LT(Since(t0), 2000u);
}

TEST(Closing, OnceClosingWaitsEndAtOnceAndCommandsStillWork) {
    ASSERT_TRUE(Application().Terminated());
    Painted t;
    t.SetDelay(2000);
    const auto t0 = MonotonicTicks();
    t.Forwd(1);
    t.Left(90);
    EXPECT_LT(Since(t0), 100u);
    EXPECT_EQ(t.y(), 1.0);
    // Outside a paint request from the loop nothing is broken off.
    EXPECT_NO_THROW(Application().ProcessMessages());
    EXPECT_EQ(Application().Run(), 0) << "a closed application does not start its loop again";
}

// Runs in a program of its own (the test_closing_repaint run): it closes the application.
TEST(ClosingRepaint, ADrawingStartedByRepaintFromAButtonEndsWhenTheApplicationCloses) {
    TForm form("Knopf");
    TTurtle t(&form);
    form.Show();
    int afterClose = 0;
    bool closed = false;
    bool runaway = false;
    // The pupil's loop stops only on Escape, or (for this test) after three seconds.
    QTimer::singleShot(0, &form, [&] {
        t.SetOnStartPaint([&] {
            t.SetDelay(20);
            const auto t0 = MonotonicTicks();
            while (!t.EscPressed()) {
                t.Forwd(0.1);
                t.Left(1);
                if (closed) ++afterClose;
                if (Since(t0) > 3000) {
                    runaway = true;
                    break;
                }
            }
        });
        t.Repaint();
    });
    QTimer::singleShot(200, [&] {
        closed = true;
        form.close();
    });
    const auto t0 = MonotonicTicks();
    QCoreApplication::exec();
    EXPECT_FALSE(runaway) << "the drawing went on after closing";
    EXPECT_LE(afterClose, 1);
    EXPECT_LT(Since(t0), 1000u) << "the program ends promptly";
    // Nothing the drawing held stays changed: the turtle still draws.
    t.SetOnStartPaint(nullptr);
    t.Repaint();
    t.SetShowTurtle(false);
    const QImage before = t.Picture();
    t.Clear();
    t.Forwd(1);
    EXPECT_GT(DifferingPixels(t.Picture(), before), 0);
}
