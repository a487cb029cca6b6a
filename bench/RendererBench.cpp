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

// The score drawn as sheet music: row 3, or every row (-1).
void scoreRows(benchmark::State& state, int row)
{
    NoteMap melody;
    NoteMap grace;
    tune(melody, grace);
    PipeTuneQuantizer quantizer;
    quantizer.setTimeSignature(4, 4);
    quantizer.setCrotchetDuration_s(60.0f / 72.0f);
    quantizer.setBarsPerRow(4);
    quantizer.quantize(0.0f, melody, grace);
    const PipeTuneModel tuneModel = quantizer.getModel();
    PipeTuneRenderer renderer;
    for (auto _ : state)
        benchmark::DoNotOptimize(renderer.render(tuneModel, row));
    state.counters["rows"] = renderer.numRows();
}

// The timing view, five seconds a row: row 10, or every row (-1).
void timingRows(benchmark::State& state, int row)
{
    NoteMap melody;
    NoteMap grace;
    tune(melody, grace);
    PipeTuneRenderer renderer;
    for (auto _ : state)
        benchmark::DoNotOptimize(renderer.render(melody, grace, 0.0f, 60.0f / 72.0f, 4, 5.0f, row));
    if (row < 0)
        state.counters["rows"] = renderer.numRows();
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    benchmark::RegisterBenchmark("BM_ScoreOneRow", scoreRows, 3)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_ScoreAllRowsThreeMinutes", scoreRows, -1)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_TimingOneRow", timingRows, 10)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_TimingAllRowsThreeMinutes", timingRows, -1)->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
