// Cost of transcription: whole recordings one-shot and progressive (the
// road the application records on), one progressive re-run over the five
// seconds of tracks it holds, and the heap of a 180-second progressive run,
// with the speed reported as "times_realtime"; and the tempo, metre and
// pick-up of a three-minute tune's notes.

#include "BenchReport.h"
#include "ChanterSynth.h"
#include "GracedWalk.h"
#include "MetreEstimator.h"
#include "utils.h"
#include "ProgressiveVantor.h"
#include "RecordingTranscriber.h"
#include "TranscriptionSession.h"

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <cmath>
#include <string>

namespace {

constexpr float kRate_Hz = 44100.0f;
constexpr float kLowA_Hz = 480.0f;
constexpr unsigned int kBlockSamples = 2048; // the recorder's 4096-byte chunks

PipeTuning chanter()
{
    PipeTuning tuning;
    tuning.setLowA_Hz(kLowA_Hz);
    return tuning;
}

std::vector<short> chanterRecording(float seconds)
{
    return utils::toPcm16(
        synth::renderSegments(gracedWalk(chanter(), seconds), kRate_Hz, synth::chanterHarmonics(), 0.5f));
}

// The recording with a set of pipes' drones as loud as the chanter.
std::vector<short> withDrones(const std::vector<short>& chanter)
{
    double power = 0.0;
    for (short sample : chanter)
        power += static_cast<double>(sample) * sample;
    const float rms = static_cast<float>(std::sqrt(power / static_cast<double>(chanter.size())) / 32768.0);
    std::vector<float> sum = synth::drones(kLowA_Hz, synth::Drones(), chanter.size(), kRate_Hz, rms);
    for (std::size_t n = 0; n < sum.size(); ++n)
        sum[n] += static_cast<float>(chanter[n]) / 32768.0f;
    return utils::toPcm16(sum);
}

// The whole transcription of a recording as the command line runs it, one
// shot or progressive; the arguments: without (0) or with (1) the second
// look; no drones (0), drones heard as recorded (1, --drones off) or taken
// out (2).
void BM_Transcription60s(benchmark::State& state, TranscriptionMode mode)
{
    const std::vector<short> audio =
        state.range(1) == 0 ? chanterRecording(60.0f) : withDrones(chanterRecording(60.0f));
    for (auto _ : state) {
        TranscriptionOptions options;
        options.mode = mode;
        options.tuningSource = TuningSource::GivenLowA;
        options.lowA_Hz = kLowA_Hz;
        options.secondLook = state.range(0) != 0;
        options.findDrones = state.range(1) != 1;
        benchmark::DoNotOptimize(transcribeRecording(audio, kRate_Hz, options).melody.size());
    }
    reportTimesRealtime(state, 60.0);
}
BENCHMARK_CAPTURE(BM_Transcription60s, OneShot, TranscriptionMode::OneShot)
    ->ArgsProduct({{0, 1}, {0}})->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK_CAPTURE(BM_Transcription60s, Progressive, TranscriptionMode::Progressive)
    ->ArgsProduct({{0, 1}, {0, 1, 2}})->Unit(benchmark::kMillisecond)->Iterations(2);

// A session set up as the application sets one up (without the second
// look), fed five seconds in the recorder's blocks without a re-run; then
// each finish re-runs over all of it.
void BM_ProgressiveRerunOver5s(benchmark::State& state)
{
    const std::vector<short> audio = chanterRecording(5.0f);
    TranscriptionSession session;
    session.setSettings({.filterCorner_Hz = TranscriptionOptions().filterCorner_Hz,
                         .snacPeakThreshold = TranscriptionOptions().snacPeakThreshold,
                         .transcriptionInterval_s = 1000.0f, .pieceSamples = kBlockSamples, .secondLook = false});
    session.setReference(chanter());
    session.reset();
    for (std::size_t start = 0; start < audio.size(); start += kBlockSamples)
        session.feed(audio.data() + start, std::min<std::size_t>(kBlockSamples, audio.size() - start));
    for (auto _ : state)
        benchmark::DoNotOptimize(session.finish());
}
BENCHMARK(BM_ProgressiveRerunOver5s)->Unit(benchmark::kMillisecond);

// Heap in use while a 180-second recording is transcribed progressively,
// the PCM itself excluded (so the engine alone, set up as a session sets it
// up): after the first seconds it must stay flat.
void BM_ProgressiveHeap180s(benchmark::State& state)
{
    const std::vector<short> audio = chanterRecording(180.0f);
    std::vector<double> heapAt_MB(static_cast<std::size_t>(static_cast<float>(audio.size()) / kRate_Hz) + 1);
    double peak_MB = 0.0;
    for (auto _ : state) {
        const double base_B = static_cast<double>(mallinfo2().uordblks);
        ProgressiveVantor engine;
        engine.setFilterCornerFrequency_Hz(TranscriptionOptions().filterCorner_Hz);
        engine.setSnacPeakThreshold(TranscriptionOptions().snacPeakThreshold);
        HistoricPipeTuning historic = engine.historicTuning();
        historic.setCalibratedTuning(chanter(), true);
        engine.setHistoricalTuning(historic);
        engine.setTranscriptionInterval_s(0.5f);
        for (std::size_t start = 0; start < audio.size(); start += kBlockSamples) {
            const std::size_t count = std::min<std::size_t>(kBlockSamples, audio.size() - start);
            engine.progressiveTranscribe(audio.data() + start, static_cast<unsigned int>(count), false);
            const double heap_MB = (static_cast<double>(mallinfo2().uordblks) - base_B) / 1e6;
            peak_MB = std::max(peak_MB, heap_MB);
            const int second = static_cast<int>(static_cast<float>(start + count) / kRate_Hz);
            heapAt_MB[second] = heap_MB;
        }
        benchmark::DoNotOptimize(engine.notes().size());
    }
    for (const int second : {10, 60, 179})
        state.counters["heap_at_" + std::to_string(second) + "s_MB"] = heapAt_MB[second];
    state.counters["peak_heap_MB"] = peak_MB;
}
BENCHMARK(BM_ProgressiveHeap180s)->Unit(benchmark::kMillisecond)->Iterations(1);

// A 2/4 march's notes for three minutes at 80 BPM (a dotted quaver and
// semiquaver, two quavers; a crotchet, two quavers), every beat's note
// graced, the tempo drifting 4 %.
void BM_MetreOfAThreeMinuteTune(benchmark::State& state)
{
    const float lengths_beats[] = {0.75f, 0.25f, 0.5f, 0.5f, 1.0f, 0.5f, 0.5f};
    NoteMap melody;
    NoteMap gracenotes;
    float position = 0.0f;
    for (std::size_t k = 0; position < 240.0f; ++k) {
        const float length = lengths_beats[k % 7];
        const float start_s = 0.75f * position * (1.0f + 0.04f * position / 240.0f);
        melody.emplace(start_s, PipeNote(static_cast<PipeNoteName>(LG + static_cast<int>(k % 9)), start_s, 0.75f * length));
        if (std::fmod(position, 1.0f) == 0.0f)
            gracenotes.emplace(start_s - 0.025f, PipeNote(gg, start_s - 0.025f, 0.025f));
        position += length;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(estimateMetre(melody, gracenotes).bpm);
    state.counters["notes"] = static_cast<double>(melody.size());
}
BENCHMARK(BM_MetreOfAThreeMinuteTune)->Unit(benchmark::kMillisecond);

} // namespace
