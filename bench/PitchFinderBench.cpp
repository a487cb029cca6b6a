// Cost of the pitch analysis in the transcription's configuration: 1024-sample
// windows at 44100 Hz, band-limited period search, chanter-aware peak picker.
// The transcription analyses a window every 20 samples, 2205 windows per
// second of audio; "items_per_second" is windows per second here.

#include "BenchReport.h"
#include "ChanterSynth.h"
#include "utils.h"
#include "PipeSnacPeakPicker.h"
#include "PitchFinder.h"
#include "VantorUtils.h"

#include <benchmark/benchmark.h>

namespace {

constexpr float kRate_Hz = 44100.0f;
constexpr unsigned int kWindow = 1024;
constexpr unsigned int kHop = 20;

std::vector<short> chanterScale(float noteDuration_s)
{
    PipeTuning tuning;
    tuning.setLowA_Hz(480.0f);
    return utils::toPcm16(
        synth::renderSegments(synth::scale(tuning, noteDuration_s), kRate_Hz, synth::chanterHarmonics(), 0.5f));
}

// One window after another as the transcription's pitch track reads them
// (argument 1: each updated from the last, refreshed every
// PitchFinder::kRefreshInterval windows) or each window on its own through
// the transforms (argument 0), as before the track slid.
void BM_PitchFinderTranscriptionWindow(benchmark::State& state)
{
    const bool sliding = state.range(0) != 0;
    PipeTuning tuning;
    tuning.setLowA_Hz(480.0f);
    PitchFinder finder;
    finder.setDataParams(PitchFinder::DataParams(kWindow, static_cast<std::uint32_t>(kRate_Hz)));
    finder.setProcessingParams(chanterProcessingParams(tuning));
    finder.setCalibration(440.0f, tuning.lowA_Hz());
    PipeSnacPeakPicker picker;
    picker.setParams(tuning, kRate_Hz);
    bindPeakPicker(finder, picker);

    const std::vector<short> pcm = chanterScale(0.5f);
    const std::vector<float> audio(pcm.begin(), pcm.end());
    const std::size_t windows = (audio.size() - kWindow) / kHop;
    std::size_t index = 0;
    for (auto _ : state) {
        if (sliding)
            finder.setNextData(audio.data() + index * kHop, kHop, index % PitchFinder::kRefreshInterval == 0);
        else
            finder.setData(audio.data() + index * kHop);
        finder.calculatePitch();
        benchmark::DoNotOptimize(finder.analysisResults());
        index = (index + 1) % windows;
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
    // Each window advances the transcription's analysis by one hop.
    reportTimesRealtime(state, kHop / static_cast<double>(kRate_Hz));
}
BENCHMARK(BM_PitchFinderTranscriptionWindow)->ArgName("sliding")->Arg(0)->Arg(1);

void BM_CalculateTuningFromDataOneMinute(benchmark::State& state)
{
    const std::vector<short> scale = chanterScale(0.5f);
    std::vector<short> audio(static_cast<std::size_t>(60 * kRate_Hz));
    for (std::size_t i = 0; i < audio.size(); ++i)
        audio[i] = scale[i % scale.size()];
    for (auto _ : state) {
        benchmark::DoNotOptimize(calculateTuningFromData(audio.data(), static_cast<unsigned int>(audio.size()),
                                                         kRate_Hz, kWindow, 480.0f, 0.3f));
    }
    state.SetLabel("60 s of audio per iteration");
}
BENCHMARK(BM_CalculateTuningFromDataOneMinute)->Unit(benchmark::kMillisecond);

} // namespace
