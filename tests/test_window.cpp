// What is drawn reaches a real window: run under a private X server.
#include "support.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>

#include <cstdlib>

using namespace kritzel;
using namespace kritzel::test;

namespace {

// Why the window tests cannot run here; empty on a real display.
std::string NoDisplay() {
    return Application().HasDisplay() ? "" : "no display: run through scripts/with-xvfb";
}

// What the X server shows of the control, in device pixels.
QImage OnScreen(TTurtle& t) {
    QScreen* screen = t.window()->windowHandle()->screen();
    const QPoint origin = t.mapTo(t.window(), QPoint(0, 0));
    return screen->grabWindow(t.window()->winId(), origin.x(), origin.y(), t.width(), t.height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

void Settle(int ms) {
    const auto t0 = MonotonicTicks();
    while (MonotonicTicks() - t0 < std::uint32_t(ms)) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

} // namespace

TEST(Window, TheFirstPaintShowsTheTurtleInTheWindow) {
    SKIP_OR_FAIL_IF(NoDisplay());
    TForm form("Fenster");
    TTurtle t(&form);
    form.Show();
    Settle(300);
    const QImage shown = OnScreen(t);
    ASSERT_EQ(shown.size(), QSize(400, 400));
    EXPECT_EQ(FromQRgb(shown.pixel(200, 190)), clRed);
    EXPECT_EQ(FromQRgb(shown.pixel(20, 20)), clWhite);
}

TEST(Window, ALongCommandLoopIsSeenWhileItRuns) {
    SKIP_OR_FAIL_IF(NoDisplay());
    TForm form("Schleife");
    TTurtle t(&form);
    form.Show();
    Settle(300);
    int seenDuring = -1;
    t.SetOnStartPaint([&] {
        t.SetPenWidth(3);
        t.SetHeading(0);
        t.SetPosition(-4, 0);
        for (int i = 0; i < 80; ++i)
            t.Forwd(0.05);
        // Half way: the pump has presented the line drawn so far.
        const auto t0 = MonotonicTicks();
        while (MonotonicTicks() - t0 < 40)
            Application().ProcessMessages();
        seenDuring = CountColor(OnScreen(t), clBlack);
        for (int i = 0; i < 80; ++i)
            t.Forwd(0.05);
    });
    t.Repaint();
    EXPECT_GT(seenDuring, 2 * 80);
    Settle(100);
    EXPECT_GT(CountColor(OnScreen(t), clBlack), seenDuring);
}

TEST(Window, DevicePixelsFollowTheScaleFactor) {
    SKIP_OR_FAIL_IF(NoDisplay());
    const QByteArray factor = qgetenv("QT_SCALE_FACTOR");
    if (factor.isEmpty()) GTEST_SKIP() << "runs with QT_SCALE_FACTOR set";
    const int expected = int(std::lround(96 * factor.toDouble()));
    EXPECT_EQ(Screen().PixelsPerInch(), expected);
    TForm form("Skaliert");
    TTurtle t(&form);
    form.Show();
    Settle(300);
    EXPECT_EQ(t.Width(), 400);
    EXPECT_EQ(t.Picture().width(), 400) << "the backing store has device resolution";
    EXPECT_EQ(t.width(), int(std::lround(400 / factor.toDouble())));
    t.Repaint();
    EXPECT_EQ(t.PixelPerLE(), int(std::lround(expected / 2.54)));
    t.Forwd(1);
    EXPECT_EQ(t.Canvas()->PenPos().y, 200 - t.PixelPerLE()) << "one LE is a centimetre";
}
