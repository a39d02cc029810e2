// What the safety checks cost and what the limits hold:
// - BM_GuiThreadCheck: the thread check that every command makes, alone (ns per check);
//   compare with BM_ForwdShortSteps in bench_turtle for a whole command.
// - BM_MetafileAtTheLimit: a recording driven to the 4 GiB limit of the format; reports
//   the file's bytes and the process's peak resident memory (target: near the file's size,
//   not the 6 GiB a doubling buffer needed). Needs about 4.2 GiB of free memory.
#include "host/internal/EmfWriter.h"

#include <kritzelwerk/Turtle.h>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cstdint>
#include <vector>

using namespace kritzel;

namespace {

double PeakResidentMiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
}

void BM_GuiThreadCheck(benchmark::State& state) {
    for (auto _ : state)
        CheckGuiThread();
}
BENCHMARK(BM_GuiThreadCheck);

void BM_MetafileAtTheLimit(benchmark::State& state) {
    constexpr int side = 4096;
    const std::vector<std::uint32_t> pixels(std::size_t(side) * side, 0x00336699u);
    for (auto _ : state) {
        EmfWriter writer(side, side, 96);
        std::size_t blocks = 0;
        try {
            for (;; ++blocks)
                writer.BitBlt(0, 0, side, side, pixels.data(), side);
        } catch (const EKritzelwerk&) {
        }
        const EmfWriter::Bytes bytes = writer.FinishBytes();
        state.counters["file_MiB"] = double(bytes.size) / (1024.0 * 1024.0);
        state.counters["blocks"] = double(blocks);
    }
    state.counters["peak_rss_MiB"] = PeakResidentMiB();
}
BENCHMARK(BM_MetafileAtTheLimit)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace
