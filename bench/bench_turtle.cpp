// Throughput of the turtle's commands and of the message pump, with delay 0.
// Run on the offscreen platform (the default without a display) and under Xvfb
// (scripts/with-xvfb build/bench/bench_turtle) to compare.
#include <kritzelwerk/Turtle.h>

#include <benchmark/benchmark.h>

#include <QCoreApplication>

#include <memory>

using namespace kritzel;

namespace {

// One window with a turtle for all benchmarks, painted once.
struct Stage {
    Stage() : form("Benchmark"), turtle(&form) {
        form.Show();
        for (int i = 0; i < 10; ++i)
            QCoreApplication::processEvents();
        turtle.Repaint();
    }
    TForm form;
    TTurtle turtle;
};

Stage& TheStage() {
    static Stage* stage = new Stage;
    return *stage;
}

void ShowSprite(benchmark::State& state) {
    TTurtle& t = TheStage().turtle;
    t.SetShowTurtle(state.range(0) != 0);
    t.SetPosition(0, 0);
    t.SetHeading(90);
}

void BM_SetPosition(benchmark::State& state) {
    TTurtle& t = TheStage().turtle;
    ShowSprite(state);
    double x = 0;
    for (auto _ : state) {
        t.SetPosition(x, 1.0);
        x = x > 4 ? -4 : x + 0.01;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_SetPosition)->Arg(1)->Arg(0)->ArgName("shown");

void BM_ForwdShortSteps(benchmark::State& state) {
    TTurtle& t = TheStage().turtle;
    ShowSprite(state);
    for (auto _ : state) {
        t.Forwd(0.05);
        t.Left(7);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ForwdShortSteps)->Arg(1)->Arg(0)->ArgName("shown");

void BM_ForwdLongLines(benchmark::State& state) {
    TTurtle& t = TheStage().turtle;
    ShowSprite(state);
    // Lines of 0 to 300 pixels' worth, turning a little more than a right angle.
    const double perLE = t.PixelPerLE();
    int i = 0;
    for (auto _ : state) {
        t.Forwd((i % 301) / perLE);
        t.Right(91);
        if (++i % 1024 == 0) t.SetPosition(0, 0);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ForwdLongLines)->Arg(0)->Arg(1)->ArgName("shown");

void BM_FillRectangle(benchmark::State& state) {
    TTurtle& t = TheStage().turtle;
    ShowSprite(state);
    for (auto _ : state)
        t.FillRectangle(1.5, 1.0, clYellow);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FillRectangle)->Arg(0)->ArgName("shown");

void BM_DrawCircle(benchmark::State& state) {
    TTurtle& t = TheStage().turtle;
    ShowSprite(state);
    for (auto _ : state)
        t.DrawCircle(2.0);
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DrawCircle)->Arg(0)->ArgName("shown");

void BM_ProcessMessagesIdle(benchmark::State& state) {
    TheStage();
    for (auto _ : state)
        Application().ProcessMessages();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ProcessMessagesIdle);

void BM_QtProcessEventsIdle(benchmark::State& state) {
    TheStage();
    for (auto _ : state)
        QCoreApplication::processEvents();
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_QtProcessEventsIdle);

} // namespace
