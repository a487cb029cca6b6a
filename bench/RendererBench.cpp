// Cost of drawing: one row and all rows of a three-minute tune, as sheet music
// and as the timing view.

#include "PipeTuneQuantizer.h"
#include "PipeTuneRenderer.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>

#include <random>

namespace {

// Three minutes of melody notes of 0.15 to 0.6 s, each led in by gracing.
void tune(NoteMap& melody, NoteMap& grace)
{
    std::mt19937 random(7);
    std::uniform_int_distribution<int> note(LG, HA);
    std::uniform_int_distribution<int> gracing(dblg, tbr);
    std::uniform_real_distribution<float> length(0.15f, 0.6f);
    for (float t = 0.0f; t < 180.0f;) {
        const float duration = length(random);
        melody.emplace(t, PipeNote(static_cast<PipeNoteName>(note(random)), t, duration));
        if (t > 0.05f)
            grace.emplace(t - 0.05f, PipeNote(static_cast<PipeNoteName>(gracing(random)), t - 0.05f, 0.05f));
        t += duration;
    }
}

PipeTuneModel model()
{
    NoteMap melody;
    NoteMap grace;
    tune(melody, grace);
    PipeTuneQuantizer quantizer;
    quantizer.setTimeSignature(4, 4);
    quantizer.setCrotchetDuration_s(60.0f / 72.0f);
    quantizer.setBarsPerRow(4);
    quantizer.quantize(0.0f, melody, grace);
    return quantizer.getModel();
}

void BM_ScoreOneRow(benchmark::State& state)
{
    const PipeTuneModel tuneModel = model();
    PipeTuneRenderer renderer;
    for (auto _ : state)
        benchmark::DoNotOptimize(renderer.render(tuneModel, 3));
    state.counters["rows"] = renderer.numRows();
}
BENCHMARK(BM_ScoreOneRow)->Unit(benchmark::kMillisecond);

void BM_ScoreAllRowsThreeMinutes(benchmark::State& state)
{
    const PipeTuneModel tuneModel = model();
    PipeTuneRenderer renderer;
    for (auto _ : state)
        benchmark::DoNotOptimize(renderer.render(tuneModel, -1));
    state.counters["rows"] = renderer.numRows();
}
BENCHMARK(BM_ScoreAllRowsThreeMinutes)->Unit(benchmark::kMillisecond);

void BM_TimingOneRow(benchmark::State& state)
{
    NoteMap melody;
    NoteMap grace;
    tune(melody, grace);
    PipeTuneRenderer renderer;
    for (auto _ : state)
        benchmark::DoNotOptimize(renderer.render(melody, grace, 0.0f, 60.0f / 72.0f, 4, 5.0f, 10));
}
BENCHMARK(BM_TimingOneRow)->Unit(benchmark::kMillisecond);

void BM_TimingAllRowsThreeMinutes(benchmark::State& state)
{
    NoteMap melody;
    NoteMap grace;
    tune(melody, grace);
    PipeTuneRenderer renderer;
    for (auto _ : state)
        benchmark::DoNotOptimize(renderer.render(melody, grace, 0.0f, 60.0f / 72.0f, 4, 5.0f, -1));
    state.counters["rows"] = renderer.numRows();
}
BENCHMARK(BM_TimingAllRowsThreeMinutes)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
