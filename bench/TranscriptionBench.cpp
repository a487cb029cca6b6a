// Cost of transcription: whole recordings one-shot and progressive (as the
// application runs it while recording), one progressive re-run over the
// five seconds of tracks it holds, and the heap of a 180-second progressive
// run, with the speed reported as "times_realtime".

#include "BenchReport.h"
#include "ChanterSynth.h"
#include "utils.h"
#include "ProgressiveVantor.h"
#include "Vantor.h"

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <map>
#include <random>

namespace {

constexpr float kRate_Hz = 44100.0f;
constexpr float kLowA_Hz = 480.0f;
constexpr unsigned int kBlockSamples = 2048; // the recorder's 4096-byte chunks

// A seeded random walk over the chanter scale, notes of 0.15 to 0.6 s.
std::vector<short> chanterRecording(float seconds)
{
    PipeTuning tuning;
    tuning.setLowA_Hz(kLowA_Hz);
    const auto centres = tuning.getNoteCentreFrequencies();
    std::mt19937 random(42);
    std::uniform_int_distribution<int> note(0, 8);
    std::uniform_real_distribution<float> length(0.15f, 0.6f);
    std::vector<synth::Segment> segments;
    for (float total = 0.0f; total < seconds;) {
        const float duration = std::min(length(random), seconds - total);
        segments.push_back({centres.at(PipeTuning::noteIndexToReferenceNote(note(random))), duration});
        total += duration;
    }
    return utils::toPcm16(synth::renderSegments(segments, kRate_Hz, synth::chanterHarmonics(), 0.5f));
}

template <typename Engine>
void configure(Engine& engine)
{
    engine.setSamplingFrequency_Hz(kRate_Hz);
    engine.setFilterCornerFrequency_Hz(2500.0f);
    engine.setSnacPeakThreshold(0.97f);
    engine.setMinimumSnacPeak(0.3f);
    engine.setMinimumVolume_normalized(0.3f);
}

void startProgressive(ProgressiveVantor& engine, float interval_s)
{
    configure(engine);
    engine.reset();
    PipeTuning tuning;
    tuning.setLowA_Hz(kLowA_Hz);
    HistoricPipeTuning historic = engine.historicTuning();
    historic.setCalibratedTuning(tuning, true);
    engine.setHistoricalTuning(historic);
    engine.setTranscriptionInterval_s(interval_s);
}

void feed(ProgressiveVantor& engine, const std::vector<short>& audio, std::size_t& peakHeap_B)
{
    for (std::size_t start = 0; start < audio.size(); start += kBlockSamples) {
        const auto count = static_cast<unsigned int>(std::min<std::size_t>(kBlockSamples, audio.size() - start));
        engine.progressiveTranscribe(audio.data() + start, count, false);
        peakHeap_B = std::max(peakHeap_B, mallinfo2().uordblks);
    }
    engine.progressiveTranscribe(nullptr, 0, true);
}

void BM_OneShotTranscription60s(benchmark::State& state)
{
    const std::vector<short> audio = chanterRecording(60.0f);
    for (auto _ : state) {
        Vantor engine;
        configure(engine);
        engine.setLowA_Hz(kLowA_Hz);
        engine.transcribe(audio.data(), static_cast<unsigned int>(audio.size()));
        benchmark::DoNotOptimize(engine.notes().size());
    }
    reportTimesRealtime(state, 60.0);
}
BENCHMARK(BM_OneShotTranscription60s)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_ProgressiveTranscription60s(benchmark::State& state)
{
    const std::vector<short> audio = chanterRecording(60.0f);
    std::size_t peakHeap_B = 0;
    for (auto _ : state) {
        ProgressiveVantor engine;
        startProgressive(engine, 0.5f);
        feed(engine, audio, peakHeap_B);
        benchmark::DoNotOptimize(engine.notes().size());
    }
    reportTimesRealtime(state, 60.0);
}
BENCHMARK(BM_ProgressiveTranscription60s)->Unit(benchmark::kMillisecond)->Iterations(2);

void BM_ProgressiveRerunOver5s(benchmark::State& state)
{
    const std::vector<short> audio = chanterRecording(5.0f);
    ProgressiveVantor engine;
    startProgressive(engine, 1000.0f);
    std::size_t peakHeap_B = 0;
    feed(engine, audio, peakHeap_B);
    for (auto _ : state)
        benchmark::DoNotOptimize(engine.progressiveTranscribe(nullptr, 0, true));
}
BENCHMARK(BM_ProgressiveRerunOver5s)->Unit(benchmark::kMillisecond);

// Heap in use while a 180-second recording is transcribed progressively,
// the PCM itself excluded: after the first seconds it must stay flat.
void BM_ProgressiveHeap180s(benchmark::State& state)
{
    const std::vector<short> audio = chanterRecording(180.0f);
    std::map<int, double> heapAt_MB;
    double peak_MB = 0.0;
    for (auto _ : state) {
        const double base_B = static_cast<double>(mallinfo2().uordblks);
        ProgressiveVantor engine;
        startProgressive(engine, 0.5f);
        for (std::size_t start = 0; start < audio.size(); start += kBlockSamples) {
            const auto count = static_cast<unsigned int>(std::min<std::size_t>(kBlockSamples, audio.size() - start));
            engine.progressiveTranscribe(audio.data() + start, count, false);
            const double heap_MB = (static_cast<double>(mallinfo2().uordblks) - base_B) / 1e6;
            peak_MB = std::max(peak_MB, heap_MB);
            const int second = static_cast<int>(static_cast<float>(start + count) / kRate_Hz);
            if (second == 10 || second == 60 || second == 179)
                heapAt_MB[second] = heap_MB;
        }
        benchmark::DoNotOptimize(engine.notes().size());
    }
    state.counters["heap_at_10s_MB"] = heapAt_MB[10];
    state.counters["heap_at_60s_MB"] = heapAt_MB[60];
    state.counters["heap_at_179s_MB"] = heapAt_MB[179];
    state.counters["peak_heap_MB"] = peak_MB;
}
BENCHMARK(BM_ProgressiveHeap180s)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
