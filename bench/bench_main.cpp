// The benchmarks' main: Qt starts first (offscreen without a display), then Google Benchmark.
#include <kritzelwerk/Turtle.h>

#include <benchmark/benchmark.h>

int main(int argc, char** argv) {
    kritzel::TApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
