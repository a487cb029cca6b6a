// Cost of the room's reverberation per frame, as the chanter filter runs it
// at 44100 Hz: 2048-sample frames, hop 512, a frame's power in and its late
// reverberation out; "times_realtime" as everywhere.

#include "BenchReport.h"
#include "ChanterSynth.h"
#include "PowerSpectra.h"
#include "RoomReverberation.h"

#include <benchmark/benchmark.h>

namespace {

constexpr float kRate_Hz = 44100.0f;

void BM_RoomReverberationFrame(benchmark::State& state)
{
    PipeTuning tuning;
    tuning.setLowA_Hz(480.0f);
    const std::vector<float> audio = synth::renderSegments(synth::randomWalk(tuning, 10.0f, 0.1f, 0.4f, 1), kRate_Hz,
                                                           synth::chanterHarmonics(), 0.5f);
    std::vector<std::vector<float>> frames;
    powerspectra::forEachFrame(audio, kRate_Hz, [&](const std::vector<float>& power) { frames.push_back(power); });
    const std::size_t length = powerspectra::frameLength(kRate_Hz);
    RoomReverberation room(kRate_Hz, length, length / 4);
    std::vector<float> late(room.binCount());
    std::size_t index = 0;
    for (auto _ : state) {
        room.addFrame(frames[index].data());
        room.latePower(late.data());
        benchmark::DoNotOptimize(late.data());
        index = (index + 1) % frames.size();
    }
    reportTimesRealtime(state, static_cast<double>(length / 4) / kRate_Hz);
}
BENCHMARK(BM_RoomReverberationFrame);

} // namespace
