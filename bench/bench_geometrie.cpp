// Two drawings of 100,000 segments each compared as geometry (target: under 1 s): the same
// random walk drawn back to front, two different walks, and a spiral against its mirror.
//   build/bench/bench_geometrie
#include "geometrie/Compare.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

using namespace kritzel::vergleich;

namespace {

constexpr std::size_t Segments = 100000;

// A turtle's random walk of short steps in a 20 x 15 LE picture, turning back at its edges,
// its points rounded to the pixels of a 38 px/cm screen.
Drawing Walk(unsigned seed) {
    Drawing d{20, 15, 38, {}, {}, {}, {}, {}};
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> step(0.05, 0.3), turn(-40, 40);
    Point at;
    double heading = 0;
    const auto px = [](double v) { return std::round(v * 38) / 38; };
    for (std::size_t i = 0; i < Segments; ++i) {
        heading += turn(random);
        const double a = heading * std::numbers::pi / 180, s = step(random);
        Point next{at.x + s * std::cos(a), at.y + s * std::sin(a)};
        if (std::fabs(next.x) > 9.5 || std::fabs(next.y) > 7) {
            heading += 180;
            next = at;
        }
        d.lines.push_back({{px(at.x), px(at.y)}, {px(next.x), px(next.y)}, 0, 1.0 / 38});
        at = next;
    }
    return d;
}

Drawing BackToFront(Drawing d) {
    std::reverse(d.lines.begin(), d.lines.end());
    for (Line& l : d.lines)
        std::swap(l.a, l.b);
    return d;
}

void BM_SameWalkBackToFront(benchmark::State& state) {
    const Drawing a = Walk(1), b = BackToFront(a);
    for (auto _ : state) {
        const Comparison c = Compare(a, b);
        benchmark::DoNotOptimize(c.score);
        state.counters["score"] = c.score;
    }
}
BENCHMARK(BM_SameWalkBackToFront)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TwoWalks(benchmark::State& state) {
    const Drawing a = Walk(1), b = Walk(2);
    for (auto _ : state) {
        const Comparison c = Compare(a, b);
        benchmark::DoNotOptimize(c.score);
        state.counters["score"] = c.score;
        state.counters["differences"] = double(c.differences.size());
    }
}
BENCHMARK(BM_TwoWalks)->Unit(benchmark::kMillisecond)->UseRealTime();

// A spiral of thirty turns in 100,000 pieces against its mirror image: nearly all of both
// differ, so the runs and their messages cost most.
Drawing Spiral(double sense) {
    Drawing d{20, 15, 38, {}, {}, {}, {}, {}};
    Point at{0.5, 0};
    for (std::size_t i = 1; i <= Segments; ++i) {
        const double f = double(i) / Segments, a = sense * 30 * 2 * std::numbers::pi * f;
        const double r = 0.5 + 6.5 * f;
        const Point next{r * std::cos(a), r * std::sin(a)};
        d.lines.push_back({at, next, 0, 1.0 / 38});
        at = next;
    }
    return d;
}

void BM_SpiralAgainstItsMirror(benchmark::State& state) {
    const Drawing a = Spiral(1), b = Spiral(-1);
    for (auto _ : state) {
        const Comparison c = Compare(a, b);
        benchmark::DoNotOptimize(c.score);
        state.counters["score"] = c.score;
        state.counters["differences"] = double(c.differences.size());
    }
}
BENCHMARK(BM_SpiralAgainstItsMirror)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
