// Cost of taking the metronome's click out of a live recording: a minute of
// chanter with a click every half second mixed in (the beat's sound, the
// bar's every fourth), fed in blocks as the processing thread feeds them.
// Clicks heard whole, and clicks heard up to 10 ms short of their onset as
// a sound server that starts them late plays them. Reported in seconds per
// click and as "times_realtime".

#include "BenchReport.h"
#include "ChanterSynth.h"
#include "ClickSuppressor.h"
#include "TestSignals.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

constexpr float kRate_Hz = 44100.0f;
constexpr float kLength_s = 60.0f;
constexpr float kClickInterval_s = 0.5f;
constexpr std::size_t kBlock = 2048;

void BM_ClickSuppressorMinute(benchmark::State& state)
{
    const bool cut = state.range(0) != 0;
    PipeTuning tuning;
    tuning.setLowA_Hz(480.0f);
    const std::vector<float> chanter = synth::renderSegments(synth::randomWalk(tuning, kLength_s, 0.1f, 0.4f, 1),
                                                             kRate_Hz, synth::chanterHarmonics(), 0.5f);
    std::vector<short> recording(chanter.size());
    std::transform(chanter.begin(), chanter.end(), recording.begin(),
                   [](float value) { return static_cast<short>(std::lround(std::clamp(value, -1.0f, 1.0f) * 16000.0f)); });
    const std::vector<ClickSuppressor::Sound> sounds = testsignals::clickSounds();
    std::mt19937 random(5);
    std::uniform_int_distribution<long> delay(0, static_cast<long>(0.03f * kRate_Hz));
    std::uniform_int_distribution<std::size_t> cutOff(0, cut ? static_cast<std::size_t>(0.01f * kRate_Hz) : 0);
    std::vector<std::pair<std::size_t, int>> told;
    for (std::size_t k = 0;; ++k) {
        const auto position = static_cast<std::size_t>((0.2f + kClickInterval_s * static_cast<float>(k)) * kRate_Hz);
        const int sound = k % 4 == 0 ? 1 : 0;
        const std::vector<short>& samples = sounds[static_cast<std::size_t>(sound)].samples;
        const std::size_t heard = position + static_cast<std::size_t>(0.1f * kRate_Hz + static_cast<float>(delay(random)));
        if (heard + samples.size() >= recording.size())
            break;
        for (std::size_t n = cutOff(random); n < samples.size(); ++n)
            recording[heard + n] = static_cast<short>(std::clamp(recording[heard + n] + samples[n], -32768, 32767));
        told.emplace_back(position, sound);
    }
    for (auto _ : state) {
        ClickSuppressor suppressor;
        suppressor.setSounds(sounds, kRate_Hz);
        auto next = told.begin();
        for (std::size_t start = 0; start < recording.size(); start += kBlock) {
            for (; next != told.end() && next->first < start + kBlock; ++next)
                suppressor.addClick(next->first, next->second);
            benchmark::DoNotOptimize(suppressor.pass(recording.data() + start, std::min(kBlock, recording.size() - start)));
        }
        benchmark::DoNotOptimize(suppressor.drain());
    }
    state.counters["s_per_click"] = benchmark::Counter(
        static_cast<double>(told.size()) * static_cast<double>(state.iterations()),
        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    reportTimesRealtime(state, kLength_s);
}
BENCHMARK(BM_ClickSuppressorMinute)->ArgName("cut")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace
