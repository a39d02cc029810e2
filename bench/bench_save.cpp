// Saving the demo's lesson drawings in one step: the time SaveToFile takes for all of
// them, in each format, and the files' sizes; and the chord error of arcs on each
// surface's resolution.
// Reports bytes per lesson (the mean file size) beside the time of one round of lessons.
#include "Lessons.h"

#include <kritzelwerk/Turtle.h>

#include <benchmark/benchmark.h>

#include <QFileInfo>
#include <QTemporaryDir>

using namespace kritzel;

namespace {

void BM_SaveLessons(benchmark::State& state, const char* ending) {
    QTemporaryDir dir;
    TTurtle t;
    t.SetSize(480, 480);
    const lessons::Lesson* current = nullptr;
    t.SetOnStartPaint([&] {
        t.SetHeading(North);
        t.SetPenColor(clBlack);
        t.SetPenWidth(1);
        t.SetPenState(Down);
        if (current) lessons::Run(*current, t);
    });
    t.Repaint();
    double bytes = 0;
    for (auto _ : state) {
        bytes = 0;
        for (const lessons::Lesson& lesson : lessons::All()) {
            current = &lesson;
            const QString file = dir.filePath(QString::fromStdString(lesson.file) + ending);
            t.SaveToFile(file.toStdString());
            bytes += double(QFileInfo(file).size());
        }
    }
    state.counters["lessons"] = double(lessons::All().size());
    state.counters["bytes_per_lesson"] = bytes / double(lessons::All().size());
}
BENCHMARK_CAPTURE(BM_SaveLessons, png, ".png")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_SaveLessons, svg, ".svg")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_SaveLessons, pdf, ".pdf")->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_SaveLessons, emf, ".emf")->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
