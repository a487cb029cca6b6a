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

// The score drawn as sheet music (4/4 at 72 BPM, four bars a row), or as the
// timing view (five seconds a row): one row, or every row (-1).
void drawRows(benchmark::State& state, bool sheetMusic, int row)
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
    for (auto _ : state) {
        benchmark::DoNotOptimize(sheetMusic ? renderer.render(tuneModel, row)
                                            : renderer.render(melody, grace, 0.0f, 60.0f / 72.0f, 4, 5.0f, row));
    }
    // A single row of the timing view leaves the row count unknown.
    if (sheetMusic || row < 0)
        state.counters["rows"] = renderer.numRows();
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    benchmark::RegisterBenchmark("BM_ScoreOneRow", drawRows, true, 3)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_ScoreAllRowsThreeMinutes", drawRows, true, -1)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_TimingOneRow", drawRows, false, 10)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_TimingAllRowsThreeMinutes", drawRows, false, -1)->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
