// An arc inside an open fill, on each of the four devices: the time of BeginFill, the arc
// and EndFill (target: under 50 ms for any radius), the bytes of the metafile it makes,
// and the process's peak resident memory once every case has run (target: a few MiB
// above the start, which is printed first).
//   build/bench/bench_arcs
#include <kritzelwerk/Turtle.h>

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <chrono>
#include <cstdio>

using namespace kritzel;

namespace {

double PeakResidentMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

struct Case {
    double radius, extent;
};
constexpr Case Cases[] = {{1e4, 360}, {1e6, 360}, {1e9, 180}, {-1e9, 180}};

// The device of the range's second argument: the screen, the printer (into a PDF file),
// a metafile file or the clipboard.
void BM_ArcInAFill(benchmark::State& state) {
    const Case c = Cases[state.range(0)];
    const auto device = static_cast<TTurtleDevice>(state.range(1));
    QTemporaryDir dir;
    Printer().SetFileName(dir.filePath("seite.pdf").toStdString());
    TForm form("Benchmark");
    TTurtle t(&form);
    form.Show();
    QCoreApplication::processEvents();
    t.Repaint();
    t.SetFilename(dir.filePath("bogen").toStdString());
    double bytes = 0;
    for (auto _ : state) {
        t.SetAusgabe(device);
        const auto start = std::chrono::steady_clock::now();
        t.BeginFill();
        t.Arc(c.radius, c.extent);
        t.EndFill(clYellow);
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        t.SetAusgabe(tdScreen);
        if (device == tdWMF) bytes = double(QFileInfo(dir.filePath("bogen.wmf")).size());
    }
    state.SetLabel("Arc(" + std::to_string(c.radius) + ", " + std::to_string(c.extent) + ")");
    if (device == tdWMF) state.counters["metafile_bytes"] = bytes;
    state.counters["peak_rss_MiB"] = PeakResidentMiB();
}
BENCHMARK(BM_ArcInAFill)
    ->ArgsProduct({{0, 1, 2, 3}, {tdScreen, tdPrinter, tdWMF, tdClipb}})
    ->ArgNames({"arc", "device"})
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    TApplication app(argc, argv);
    {
        // What a window with a turtle costs before any arc.
        TForm form("Benchmark");
        TTurtle t(&form);
        form.Show();
        QCoreApplication::processEvents();
        t.Repaint();
    }
    std::printf("peak resident memory before the arcs: %.1f MiB\n", PeakResidentMiB());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
