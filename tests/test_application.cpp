// The host's services: paint requests, presentation, the message pump, the clock and the
// keyboard, exceptions at the event loop, and the questions to the pupil.
#include "support.h"

#include <gtest/gtest.h>

#include <QCloseEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QResizeEvent>
#include <QTimer>

#include <functional>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

using namespace kritzel;
using namespace kritzel::test;

namespace {

// Counts its paint cycles and what reaches the screen. It is shown, as only a control
// that is shown is asked to paint.
class CountingBox : public TPaintBox {
public:
    explicit CountingBox(TWinControl* owner = nullptr) : TPaintBox(owner) { show(); }
    int paints = 0;
    int presented = 0;
    std::function<void()> onPaint;

protected:
    void Paint() override {
        ++paints;
        if (onPaint) onPaint();
    }
    void paintEvent(QPaintEvent* e) override {
        ++presented;
        TPaintBox::paintEvent(e);
    }
};

void Drain() {
    for (int i = 0; i < 5; ++i) {
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents();
    }
}

} // namespace

TEST(PaintRequests, AreCoalescedAndDeliveredFromTheLoopOrTheRunningCommand) {
    CountingBox box;
    Drain();
    box.paints = 0;
    box.Invalidate();
    box.Invalidate();
    box.Invalidate();
    EXPECT_EQ(box.paints, 0) << "a posted request must not paint at once";
    Drain();
    EXPECT_EQ(box.paints, 1);
    // A request made while a command runs is delivered by the command's next pump.
    box.Invalidate();
    Application().ProcessMessages();
    EXPECT_EQ(box.paints, 2);
    Drain();
    EXPECT_EQ(box.paints, 2);
    // Repaint runs the cycle at once.
    box.Repaint();
    EXPECT_EQ(box.paints, 3);
}

TEST(PaintRequests, ARequestFromInsideAPaintCycleIsDeliveredAfterIt) {
    CountingBox box;
    Drain();
    box.paints = 0;
    int depth = 0, deepest = 0;
    box.onPaint = [&] {
        ++depth;
        deepest = std::max(deepest, depth);
        if (box.paints == 1) {
            box.Invalidate();
            Application().ProcessMessages();
        }
        --depth;
    };
    box.Repaint();
    Drain();
    EXPECT_EQ(box.paints, 2);
    // The base control nests; the turtle's own guard is tested with the turtle.
    EXPECT_EQ(deepest, 2);
}

TEST(PaintRequests, ExceptionsAreReportedAtTheLoopAndReachDirectCallers) {
    CountingBox box;
    Drain();
    std::string reported;
    Application().SetOnException([&](const std::exception& e) { reported = e.what(); });
    box.onPaint = [] { throw std::runtime_error("printer on fire"); };
    box.Invalidate();
    EXPECT_NO_THROW(Drain());
    EXPECT_EQ(reported, "printer on fire");
    EXPECT_THROW(box.Repaint(), std::runtime_error);
    Application().SetOnException(nullptr);
}

TEST(Presentation, IsThrottledToAboutOneFrameWhileACommandRuns) {
    TForm form("present");
    CountingBox box(&form);
    form.Show();
    Drain();
    box.presented = 0;
    const auto start = MonotonicTicks();
    int steps = 0;
    while (MonotonicTicks() - start < 200) {
        box.Canvas()->Pen().SetColor(RGB(std::uint8_t(steps), 0, 0));
        box.Canvas()->MoveTo(steps % 100, 0);
        box.Canvas()->LineTo(steps % 100, 50);
        Application().ProcessMessages();
        ++steps;
    }
    EXPECT_GT(steps, 1000);
    // 200 ms at one frame per 16 ms: about a dozen presentations, never one per step.
    EXPECT_GE(box.presented, 5);
    EXPECT_LE(box.presented, 20);
    // A paced wait presents before it sleeps.
    box.Canvas()->LineTo(5, 5);
    const int before = box.presented;
    Application().WaitMessage(1);
    EXPECT_EQ(box.presented, before + 1);
}

TEST(Presentation, ResizingKeepsPixelsAndAsksForAPaint) {
    CountingBox box;
    box.SetSize(30, 30);
    Drain();
    box.Canvas()->Brush().SetColor(clRed);
    box.Canvas()->FillRect(Rect(0, 0, 30, 30));
    box.paints = 0;
    box.SetSize(50, 20);
    EXPECT_EQ(box.Width(), 50);
    EXPECT_EQ(box.Height(), 20);
    EXPECT_EQ(box.Canvas()->Pixels(29, 19), clRed);
    EXPECT_NE(box.Canvas()->Pixels(40, 10), clRed);
    Drain();
    EXPECT_EQ(box.paints, 1);
}

TEST(KeyTracker, ReportsHeldKeysAndPressesSinceTheLastQuery) {
    TKeyTracker keys;
    EXPECT_EQ(keys.AsyncKeyState(VK_ESCAPE), 0);
    keys.KeyDown(VK_ESCAPE);
    EXPECT_EQ(std::uint16_t(keys.AsyncKeyState(VK_ESCAPE)), 0x8001);
    EXPECT_EQ(std::uint16_t(keys.AsyncKeyState(VK_ESCAPE)), 0x8000) << "the press was reported";
    keys.KeyUp(VK_ESCAPE);
    EXPECT_EQ(keys.AsyncKeyState(VK_ESCAPE), 0);
    // A press and release between two queries is still seen once.
    keys.KeyDown(VK_PAUSE);
    keys.KeyUp(VK_PAUSE);
    EXPECT_EQ(keys.AsyncKeyState(VK_PAUSE), 1);
    EXPECT_EQ(keys.AsyncKeyState(VK_PAUSE), 0);
    // Each key has its own bit; out-of-range codes are ignored.
    keys.KeyDown('A');
    EXPECT_EQ(keys.AsyncKeyState('B'), 0);
    keys.KeyDown(999);
    EXPECT_EQ(keys.AsyncKeyState(999), 0);
}

TEST(KeyTracker, IsFedFromTheKeyEventsOfEveryWindow) {
    TForm form("keys");
    TPaintBox box(&form);
    form.Show();
    KeyTracker().AsyncKeyState(VK_ESCAPE);
    QKeyEvent press(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(&box, &press);
    EXPECT_EQ(std::uint16_t(GetAsyncKeyState(VK_ESCAPE)), 0x8001);
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Escape, Qt::NoModifier);
    QCoreApplication::sendEvent(&box, &release);
    EXPECT_EQ(GetAsyncKeyState(VK_ESCAPE), 0);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Pause), VK_PAUSE);
    EXPECT_EQ(VirtualKeyFromQt(Qt::Key_Q), 'Q');
}

TEST(Clock, TheApplicationClockCanBeReplacedAndWraps) {
    FakeClock clock(0xFFFFFFF0u);
    {
        ServicesScope scope(&clock, nullptr);
        const std::uint32_t t0 = GetTickCount();
        clock.now += 0x20;
        EXPECT_EQ(GetTickCount() - t0, 0x20u) << "differences are taken modulo 2^32";
        EXPECT_LT(GetTickCount(), t0);
    }
    const std::uint32_t a = GetTickCount();
    EXPECT_LT(std::uint32_t(MonotonicTicks() - a), 1000u);
}

TEST(MessagePump, WaitSleepsUntilTheDeadlineOrAnEvent) {
    CountingBox box;
    Drain();
    const auto t0 = MonotonicTicks();
    Application().WaitMessage(30);
    const auto slept = MonotonicTicks() - t0;
    EXPECT_GE(slept, 25u);
    EXPECT_LT(slept, 500u);
    // A posted paint request cuts the sleep short and is delivered on the next pump.
    box.paints = 0;
    box.Invalidate();
    const auto t1 = MonotonicTicks();
    Application().WaitMessage(2000);
    Application().ProcessMessages();
    EXPECT_LT(MonotonicTicks() - t1, 1000u);
    EXPECT_EQ(box.paints, 1);
}

TEST(MessagePump, ARunningCommandLetsResizeAndCloseThrough) {
    // A command that pumps without ever waiting still hands the window system's events
    // to the controls: between two looks at the queue the pump reads only a flag, and
    // the next look comes half a millisecond later.
    CountingBox box;
    struct Window : QWidget {
        bool closed = false;
        void closeEvent(QCloseEvent* e) override {
            closed = true;
            e->ignore();
        }
    } window;
    window.show();
    Drain();
    auto spinUntil = [&](const std::function<bool()>& done) {
        const auto t0 = MonotonicTicks();
        while (!done() && MonotonicTicks() - t0 < 2000) {
            box.Canvas()->MoveTo(1, 1);
            box.Canvas()->LineTo(9, 9);
            Application().ProcessMessages();
        }
        return done();
    };
    box.paints = 0;
    const QSize size = box.size();
    QCoreApplication::postEvent(&box, new QResizeEvent(size + QSize(40, 30), size));
    EXPECT_TRUE(spinUntil([&] { return box.paints > 0; })) << "the resize's paint";
    EXPECT_EQ(box.Width(), size.width() + 40);
    QCoreApplication::postEvent(&window, new QCloseEvent);
    EXPECT_TRUE(spinUntil([&] { return window.closed; })) << "the close";
}

TEST(EventLoop, ExceptionsFromTimerAndKeyHandlersAreReportedAndTheLoopGoesOn) {
    std::vector<std::string> reported;
    Application().SetOnException([&](const std::exception& e) { reported.push_back(e.what()); });
    QTimer::singleShot(0, [] { throw std::runtime_error("timer handler failed"); });
    bool later = false;
    QTimer::singleShot(5, [&] { later = true; });
    const auto t0 = MonotonicTicks();
    while (!later && MonotonicTicks() - t0 < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_TRUE(later) << "the loop went on after the exception";
    EXPECT_EQ(reported, std::vector<std::string>{"timer handler failed"});
    Application().SetOnException(nullptr);
}

TEST(HostFailures, AreKritzelwerkErrorsThatRuntimeErrorHandlersStillCatch) {
    static_assert(std::is_base_of_v<std::runtime_error, EKritzelwerk>);
    static_assert(std::is_base_of_v<EKritzelwerk, EAbort>);
    // Raised inside the library and caught here by the library's own type.
    int argc = 1;
    char name[] = "second";
    char* argv[] = {name, nullptr};
    EXPECT_THROW(TApplication second(argc, argv), EKritzelwerk);
    TMetafile metafile;
    EXPECT_THROW(metafile.SaveToFile(""), EKritzelwerk);
}

TEST(Questions, AnswerTheirDefaultAtOnceWithoutADisplay) {
    ASSERT_FALSE(Application().HasDisplay());
    EXPECT_EQ(AskNumber("Wie gross?", 2.5), 2.5);
    EXPECT_EQ(AskText("Wie heisst du?", "Kim"), "Kim");
    // As OK, with the start moved into the bounds.
    EXPECT_EQ(AskNumber("Wie weit?", 50, 0, 10), 10);
    double v = -4;
    EXPECT_TRUE(QueryNumber("Wie weit?", v, 0, 10));
    EXPECT_EQ(v, 0);
    TString name = "Kim";
    EXPECT_TRUE(QueryText("Wie heisst du?", name));
    EXPECT_EQ(name, "Kim");
}

TEST(Questions, WithoutADisplayTakeTheAnswersGivenOneForEachQuestionAndThenTheirStart) {
    ASSERT_FALSE(Application().HasDisplay());
    qputenv("KRITZEL_ANSWERS", "7\nAnna\r\n2,5\nzwoelf\n20\nvier\n");
    EXPECT_EQ(AskNumber("Wie viele Ecken?", 5, 3, 12), 7);
    EXPECT_EQ(AskText("Wie heisst du?", "Kim"), "Anna");
    // Asked again, as a drawing asks on every repaint: the same answer, none used up.
    EXPECT_EQ(AskNumber("Wie viele Ecken?", 5, 3, 12), 7);
    double v = 1;
    EXPECT_TRUE(QueryNumber("Wie gross?", v));
    EXPECT_EQ(v, 2.5);
    // An answer that is no number, or lies outside the bounds, is used up and says so.
    testing::internal::CaptureStderr();
    EXPECT_EQ(AskNumber("Wie weit?", 1, 0, 10), 1);
    EXPECT_EQ(AskNumber("Wie hoch?", 1, 0, 10), 1);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("\"zwoelf\" to \"Wie weit?\" is not a number"), std::string::npos) << said;
    EXPECT_NE(said.find("\"20\" to \"Wie hoch?\" lies outside 0 to 10"), std::string::npos) << said;
    // The same prompt asking for a text is another question.
    TString name = "fuenf";
    EXPECT_TRUE(QueryText("Wie viele Ecken?", name));
    EXPECT_EQ(name, "vier");
    // Run out: a new question keeps its start, one asked before its answer.
    EXPECT_EQ(AskText("Lieblingsfarbe?", "rot"), "rot");
    EXPECT_EQ(AskText("Wie heisst du?", "Kim"), "Anna");
    qunsetenv("KRITZEL_ANSWERS");
    EXPECT_EQ(AskNumber("Wie viele Ecken?", 5, 3, 12), 5);
}
