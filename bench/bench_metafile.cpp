// Recording a large drawing into an enhanced metafile and saving it: one million lines,
// through the metafile canvas alone and through the turtle on tdWMF.
// Reports records per second (target: at least a million) and file bytes per line
// (target: at most 40). Rates are of wall-clock time, the file's writing included.
#include <kritzelwerk/Turtle.h>

#include <benchmark/benchmark.h>

#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdint>
#include <cstring>

using namespace kritzel;

namespace {

constexpr int Lines = 1'000'000;

std::uint32_t RecordsIn(const TMetafile& mf) {
    std::uint32_t n = 0;
    if (mf.Data().size() >= 56) std::memcpy(&n, mf.Data().data() + 52, 4); // header nRecords
    return n;
}

void Report(benchmark::State& state, double records, double bytes) {
    state.counters["records_per_s"] =
        benchmark::Counter(records * double(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["bytes_per_line"] = benchmark::Counter(bytes / Lines);
    state.SetItemsProcessed(state.iterations() * Lines);
}

// A million connected lines of a walk over a 400 x 400 picture, then the file.
void BM_CanvasRecordAndSave(benchmark::State& state) {
    QTemporaryDir dir;
    const std::string file = dir.filePath("linien.wmf").toStdString();
    double records = 0, bytes = 0;
    for (auto _ : state) {
        TMetafile mf;
        mf.SetEnhanced(true);
        mf.SetHeight(400);
        mf.SetWidth(400);
        {
            TMetafileCanvas canvas(mf);
            canvas.Pen().SetColor(clBlack);
            canvas.MoveTo(200, 200);
            std::uint32_t seed = 1;
            for (int i = 0; i < Lines; ++i) {
                seed = seed * 1664525u + 1013904223u;
                canvas.LineTo(int(seed >> 8) % 400, int(seed >> 20) % 400);
            }
        }
        mf.SaveToFile(file);
        records = RecordsIn(mf);
        bytes = double(QFileInfo(QString::fromStdString(file)).size());
    }
    Report(state, records, bytes);
}
BENCHMARK(BM_CanvasRecordAndSave)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

// The same through the turtle: a million Forwd with turns, recorded and saved on tdScreen.
void BM_TurtleRecordAndSave(benchmark::State& state) {
    QTemporaryDir dir;
    TTurtle t;
    t.Repaint();
    t.SetFilename(dir.filePath("turtle").toStdString());
    const QString file = dir.filePath("turtle.wmf");
    double bytes = 0;
    for (auto _ : state) {
        t.SetAusgabe(tdWMF);
        for (int i = 0; i < Lines; ++i) {
            t.Forwd(0.1 + (i % 50) * 0.05);
            t.Left(91);
        }
        t.SetAusgabe(tdScreen);
        bytes = double(QFileInfo(file).size());
    }
    // Each line is one record; the header, background and pen are a handful more.
    Report(state, double(Lines), bytes);
}
BENCHMARK(BM_TurtleRecordAndSave)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

} // namespace
