// The same thin lines drawn four ways in one run, with the turtle's speed as a share of
// the others: the turtle itself (sprite hidden), QPainter::drawLine, QPainter::drawPolyline
// and a plain Bresenham loop that writes 32-bit pixels and checks the bounds per pixel.
// Then short steps with the sprite shown: Forwd(0.05) + Left(7) pairs.
//
// The machine may be busy with other work, so every figure is the median of several
// repetitions. For a steady figure beside the times, count instructions of one way:
//   valgrind --tool=callgrind build/bench/bench_lines --only turtle --lines 20000 --reps 1
// and subtract the run with --lines 0; for the pairs with the sprite shown, likewise
//   valgrind --tool=callgrind --dump-instr=no build/bench/bench_lines --only pairs
//       --pairs 20000 --reps 1   (one command line)
// minus the run with --pairs 0, divided by 20000.
//
// Options: --lines N (200000), --pairs N (200000), --reps N (5),
//          --only turtle|drawline|polyline|plain|pairs|paced.
#include <kritzelwerk/Turtle.h>

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <string>
#include <vector>

using namespace kritzel;

namespace {

using Clock = std::chrono::steady_clock;

struct Options {
    long lines = 200000;
    long pairs = 200000;
    int reps = 5;
    std::string only;
};

Options Parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i];
        const char* value = argv[i + 1];
        if (key == "--lines")
            o.lines = std::atol(value);
        else if (key == "--pairs")
            o.pairs = std::atol(value);
        else if (key == "--reps")
            o.reps = std::max(1, std::atoi(value));
        else if (key == "--only")
            o.only = value;
    }
    return o;
}

// The turtle's walk: lines of 0 to 299 pixels' worth, each turning 91 degrees from the
// last, back to the middle every 1024 lines.
void Walk(TTurtle& t, long lines) {
    const double perLE = t.PixelPerLE();
    for (long i = 0; i < lines; ++i) {
        if (i % 1024 == 0) t.SetPosition(0, 0);
        t.Forwd(double(i % 300) / perLE);
        t.Right(91);
    }
}

// The device points of the walk, as the turtle's surface saw them: one polyline per
// stretch between two jumps back to the middle.
std::vector<std::vector<QPoint>> Record(TTurtle& t, long lines) {
    std::vector<std::vector<QPoint>> runs;
    const double perLE = t.PixelPerLE();
    for (long i = 0; i < lines; ++i) {
        if (i % 1024 == 0) {
            t.SetPosition(0, 0);
            const TPoint p = t.Canvas()->PenPos();
            runs.push_back({QPoint(p.x, p.y)});
        }
        t.Forwd(double(i % 300) / perLE);
        t.Right(91);
        const TPoint p = t.Canvas()->PenPos();
        runs.back().push_back(QPoint(p.x, p.y));
    }
    return runs;
}

// Bresenham's line without its last point, each pixel checked against the bounds.
void PlainLine(QImage& image, QPoint a, QPoint b, QRgb c) {
    const int w = image.width(), h = image.height();
    uchar* bits = image.bits();
    const std::ptrdiff_t stride = image.bytesPerLine();
    int x0 = a.x(), y0 = a.y();
    const int x1 = b.x(), y1 = b.y();
    const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    while (x0 != x1 || y0 != y1) {
        if (x0 >= 0 && y0 >= 0 && x0 < w && y0 < h)
            reinterpret_cast<QRgb*>(bits + y0 * stride)[x0] = c;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Items per second of one run.
double Rate(long items, const std::function<void()>& run) {
    const auto start = Clock::now();
    run();
    const double s = std::chrono::duration<double>(Clock::now() - start).count();
    return s > 0 ? double(items) / s : 0;
}

bool Wanted(const Options& o, const char* way) {
    return o.only.empty() || o.only == way;
}

} // namespace

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    const Options o = Parse(argc, argv);

    TForm form("Benchmark");
    TTurtle turtle(&form);
    form.Show();
    for (int i = 0; i < 10; ++i)
        QCoreApplication::processEvents();
    turtle.Repaint();
    turtle.SetShowTurtle(false);
    turtle.SetHeading(90);

    // Only the other ways need the walk's points; a count of the turtle's instructions
    // alone must not include the recording.
    const bool others = Wanted(o, "drawline") || Wanted(o, "polyline") || Wanted(o, "plain");
    const auto runs = others ? Record(turtle, o.lines) : std::vector<std::vector<QPoint>>{};
    QImage image(turtle.Width(), turtle.Height(), QImage::Format_RGB32);
    image.fill(Qt::white);
    QPen pen(QBrush(Qt::black), 1, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin);

    std::printf("%ld lines of 0-299 px turning 91 degrees, %d rounds of every way, median "
                "lines/s\n",
                o.lines, o.reps);
    // The ways take turns within each round, so that a machine busy with other work
    // slows them alike and their ratios stay fair.
    struct Way {
        const char* name;
        const char* label;
        std::function<void()> run;
        std::vector<double> rates;
    };
    const QRgb black = qRgb(0, 0, 0);
    std::vector<Way> ways = {
        {"turtle",
         "turtle, sprite hidden",
         [&] {
             turtle.SetHeading(90);
             Walk(turtle, o.lines);
         },
         {}},
        {"drawline",
         "QPainter::drawLine",
         [&] {
             QPainter p(&image);
             p.setPen(pen);
             for (const auto& run : runs)
                 for (std::size_t i = 1; i < run.size(); ++i)
                     p.drawLine(run[i - 1], run[i]);
         },
         {}},
        {"polyline",
         "QPainter::drawPolyline",
         [&] {
             QPainter p(&image);
             p.setPen(pen);
             for (const auto& run : runs)
                 p.drawPolyline(run.data(), int(run.size()));
         },
         {}},
        {"plain",
         "plain Bresenham loop",
         [&] {
             for (const auto& run : runs)
                 for (std::size_t i = 1; i < run.size(); ++i)
                     PlainLine(image, run[i - 1], run[i], black);
         },
         {}},
    };
    for (int r = 0; r < o.reps; ++r)
        for (Way& way : ways)
            if (Wanted(o, way.name)) way.rates.push_back(Rate(o.lines, way.run));
    double rate[4] = {};
    for (std::size_t i = 0; i < ways.size(); ++i) {
        if (ways[i].rates.empty()) continue;
        rate[i] = Median(ways[i].rates);
        std::printf("  %-24s %10.0f\n", ways[i].label, rate[i]);
    }
    if (rate[0] > 0 && rate[1] > 0 && rate[2] > 0 && rate[3] > 0)
        std::printf("  turtle / plain %.2f   turtle / drawLine %.2f   turtle / drawPolyline %.2f\n",
                    rate[0] / rate[3], rate[0] / rate[1], rate[0] / rate[2]);

    if (Wanted(o, "pairs")) {
        turtle.SetShowTurtle(true);
        turtle.SetPosition(0, 0);
        std::vector<double> rates;
        for (int r = 0; r < o.reps; ++r)
            rates.push_back(Rate(o.pairs, [&] {
                for (long i = 0; i < o.pairs; ++i) {
                    turtle.Forwd(0.05);
                    turtle.Left(7);
                }
            }));
        const double pairRate = Median(rates);
        std::printf("%ld Forwd(0.05) + Left(7) pairs, sprite shown, median pairs/s\n  %10.0f\n",
                    o.pairs, pairRate);
    }
    if (Wanted(o, "paced")) {
        // A paced drawing must sleep through its delays, not spin.
        turtle.SetShowTurtle(true);
        turtle.SetDelay(10);
        const std::clock_t cpu0 = std::clock();
        const auto start = Clock::now();
        for (int i = 0; i < 100; ++i)
            turtle.Left(1);
        const double wall = std::chrono::duration<double>(Clock::now() - start).count();
        const double cpu = double(std::clock() - cpu0) / CLOCKS_PER_SEC;
        turtle.SetDelay(0);
        std::printf("100 turns with a delay of 10 ms: %.2f s, CPU %.1f %%\n", wall,
                    wall > 0 ? 100 * cpu / wall : 0);
    }
    return 0;
}
