// The kept picture at a million commands: the heap each kept command costs, the time to
// draw them all again after a resize, and how long the event loop waits meanwhile (a
// timer asks every 5 ms; the longest gap between its calls should stay within a frame,
// 16 ms). The commands are Forwd (0 to 299 pixels' worth) and Right(91), sprite hidden.
//   build/bench/bench_kept [--commands N (1000000)] [--reps N (3)]
#include <kritzelwerk/Turtle.h>

#include <QCoreApplication>
#include <QTimer>

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace kritzel;

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

} // namespace

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    long commands = 1000000;
    int reps = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        if (key == "--commands") commands = std::atol(argv[i + 1]);
        if (key == "--reps") reps = std::max(1, std::atoi(argv[i + 1]));
    }

    TForm form("Benchmark");
    TTurtle t(&form);
    int repaints = 0;
    t.SetOnStartPaint([&] { ++repaints; });
    form.Show();
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
    t.SetShowTurtle(false);
    t.SetKeepPicture(true);

    const std::size_t heapBefore = mallinfo2().uordblks;
    const double perLE = t.PixelPerLE();
    const auto keepStart = Clock::now();
    for (long i = 0; i < commands; i += 2) {
        t.Forwd(double(i / 2 % 300) / perLE);
        t.Right(91);
    }
    const double keepSeconds = Seconds(keepStart);
    const std::size_t heapAfter = mallinfo2().uordblks;
    std::printf("%ld commands given and kept in %.3f s; heap %.1f MiB more, %.1f bytes per "
                "kept command\n",
                commands, keepSeconds, double(heapAfter - heapBefore) / (1024.0 * 1024.0),
                double(heapAfter - heapBefore) / double(commands));

    // A resize asks for a repaint, which draws every kept command again; meanwhile a timer
    // measures how often the event loop comes round.
    double longestGap = 0;
    auto lastShot = Clock::now();
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        const auto now = Clock::now();
        longestGap = std::max(longestGap, std::chrono::duration<double>(now - lastShot).count());
        lastShot = now;
    });
    for (int r = 0; r < reps; ++r) {
        const int before = repaints;
        t.SetSize(r % 2 ? 400 : 420, 400);
        longestGap = 0;
        lastShot = Clock::now();
        timer.start(5);
        const auto start = Clock::now();
        while (repaints == before)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        const double redraw = Seconds(start);
        timer.stop();
        std::printf("resize %d: repainted with every kept command in %.3f s; longest wait of "
                    "the event loop %.1f ms\n",
                    r + 1, redraw, 1000 * longestGap);
    }

    // For comparison, the same commands drawn as a program draws them, not kept.
    t.SetKeepPicture(false);
    longestGap = 0;
    lastShot = Clock::now();
    timer.start(5);
    const auto start = Clock::now();
    for (long i = 0; i < commands; i += 2) {
        t.Forwd(double(i / 2 % 300) / perLE);
        t.Right(91);
    }
    const double drawn = Seconds(start);
    timer.stop();
    std::printf("the same drawn, not kept: %.3f s; longest wait of the event loop %.1f ms\n", drawn,
                1000 * longestGap);
    return 0;
}
