// What each stage of a recording's transcription costs per minute of audio,
// on one thread (jobs:1) and on all cores (jobs:0), and the whole
// transcription against aubio's note tracker (aubionotes, its defaults) on
// the same file, run side by side. The audio: a minute of chanter played as
// a set of pipes sounds in a room, drones as loud as the chanter, a room of
// 0.5 s. "x_realtime" is the wall-clock time per second of audio (0.01:
// a minute in 0.6 s).

#include "ChanterFilter.h"
#include "ChanterSynth.h"
#include "GracedWalk.h"
#include "LowAEstimator.h"
#include "RecordingTranscriber.h"
#include "SecondLook.h"
#include "TestSignals.h"
#include "Vantor.h"
#include "VantorUtils.h"
#include "WaveFile.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

constexpr float kRate_Hz = 44100.0f;
constexpr float kLowA_Hz = 480.0f;
constexpr float kSeconds = 60.0f;

PipeTuning chanter()
{
    PipeTuning tuning;
    tuning.setLowA_Hz(kLowA_Hz);
    return tuning;
}

// The graced walk with drones and a room.
const std::vector<short>& pipesInARoom()
{
    static const std::vector<short> audio = [] {
        std::vector<float> sound =
            synth::renderSegments(gracedWalk(chanter(), kSeconds), kRate_Hz, synth::chanterHarmonics(), 0.4f);
        sound = testsignals::mix(sound, synth::drones(kLowA_Hz, synth::Drones(), sound.size(), kRate_Hz, 0.15f));
        return utils::toPcm16(testsignals::inRoom(sound, 0.5f, 6.0f, kRate_Hz));
    }();
    return audio;
}

const std::vector<short>& cleanedPipes()
{
    static const std::vector<short> audio = ChanterFilter::cleaned(pipesInARoom().data(), pipesInARoom().size(), kRate_Hz);
    return audio;
}

unsigned int jobsOf(const benchmark::State& state)
{
    return state.range(0) == 0 ? utils::availableCores() : static_cast<unsigned int>(state.range(0));
}

// Runs one transcription stage per iteration and reports "x_realtime", its
// wall-clock seconds per second of audio, and the threads it had.
template<typename Stage>
void measure(benchmark::State& state, Stage&& stage)
{
    double wall_s = 0.0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        stage();
        wall_s += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    state.counters["x_realtime"] = wall_s / (kSeconds * static_cast<double>(state.iterations()));
    state.counters["threads"] = jobsOf(state);
}

void BM_StageDronesAndRoom(benchmark::State& state)
{
    const std::vector<short>& audio = pipesInARoom();
    measure(state, [&] {
        ChanterFilter filter(kRate_Hz);
        filter.setJobs(jobsOf(state));
        filter.push(audio.data(), audio.size());
        filter.finish();
        std::vector<short> cleaned;
        filter.take(cleaned);
        benchmark::DoNotOptimize(cleaned.data());
    });
}

void BM_StageLowA(benchmark::State& state)
{
    const std::vector<short>& audio = cleanedPipes();
    measure(state, [&] { benchmark::DoNotOptimize(estimateLowA(audio, kRate_Hz, jobsOf(state)).lowA_Hz); });
}

void BM_StageEngineTuning(benchmark::State& state)
{
    const std::vector<short>& audio = cleanedPipes();
    measure(state, [&] {
        benchmark::DoNotOptimize(calculateTuningFromData(audio.data(), static_cast<unsigned int>(audio.size()), kRate_Hz,
                                                         1024, kLowA_Hz, 0.3f, jobsOf(state)));
    });
}

// An engine set up as a one-shot transcription sets it up.
void setUp(Vantor& engine, unsigned int jobs)
{
    const TranscriptionOptions options;
    engine.setSamplingFrequency_Hz(kRate_Hz);
    engine.setFilterCornerFrequency_Hz(options.filterCorner_Hz);
    engine.setSnacPeakThreshold(options.snacPeakThreshold);
    engine.setMinimumSnacPeak(options.minimumSnacPeak);
    engine.setJobs(jobs);
    engine.reset();
    engine.setTuning(chanter());
}

void BM_StagePitchTrack(benchmark::State& state)
{
    const std::vector<short>& audio = cleanedPipes();
    measure(state, [&] {
        Vantor engine;
        setUp(engine, jobsOf(state));
        benchmark::DoNotOptimize(engine.calculateFrequencies(audio.data(), static_cast<unsigned int>(audio.size())));
    });
}

// The note tracks and the stages that turn them into notes and gracings.
void BM_StageNotes(benchmark::State& state)
{
    const std::vector<short>& audio = cleanedPipes();
    Vantor engine;
    setUp(engine, 0);
    engine.calculateFrequencies(audio.data(), static_cast<unsigned int>(audio.size()));
    measure(state, [&] {
        engine.calculateNotes();
        engine.transcribe();
        benchmark::DoNotOptimize(engine.notes().size());
    });
}

void BM_StageSecondLook(benchmark::State& state)
{
    const std::vector<short>& audio = cleanedPipes();
    Vantor engine;
    setUp(engine, 0);
    engine.transcribe(audio.data(), static_cast<unsigned int>(audio.size()));
    measure(state, [&] {
        NoteMap melody = engine.notes();
        NoteMap gracing = engine.graceNotes();
        SecondLook look;
        look.setJobs(jobsOf(state));
        look.setSamplingFrequency_Hz(kRate_Hz);
        look.setTuning(chanter());
        look.revise(audio.data(), audio.size(), melody, gracing);
        benchmark::DoNotOptimize(melody.size());
    });
}

// The whole transcription as vantor-transcribe runs it: Low A estimated,
// drones and room found and taken out, the second look on.
void BM_Whole(benchmark::State& state, TranscriptionMode mode)
{
    TranscriptionOptions options;
    options.mode = mode;
    options.jobs = jobsOf(state);
    const std::vector<short>& audio = pipesInARoom();
    measure(state, [&] { benchmark::DoNotOptimize(transcribeRecording(audio, kRate_Hz, options).melody.size()); });
}

// The same file through aubionotes and through Vantor (one-shot, one
// thread, everything on), alternately, each timed on the wall clock:
// "vantor_x_realtime", "aubionotes_x_realtime" and their ratio.
void BM_AgainstAubionotes(benchmark::State& state)
{
    const std::string path = "/tmp/vantor-bench-" + std::to_string(::getpid()) + ".wav";
    {
        const std::vector<short>& audio = pipesInARoom();
        const std::vector<std::uint8_t> header =
            WaveFile::rawHeader(WaveFile::generateHeader(static_cast<int>(audio.size()), static_cast<int>(kRate_Hz)));
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size()));
        out.write(reinterpret_cast<const char*>(audio.data()), static_cast<std::streamsize>(audio.size() * 2));
    }
    const std::string aubionotes = "aubionotes -i " + path + " > /dev/null 2>&1";
    if (std::system("command -v aubionotes > /dev/null") != 0) {
        std::remove(path.c_str());
        state.SkipWithError("aubionotes is not installed (Debian: aubio-tools)");
        return;
    }
    TranscriptionOptions options;
    options.mode = TranscriptionMode::OneShot;
    options.jobs = static_cast<unsigned int>(state.range(0));
    double vantor_s = 0.0;
    double aubio_s = 0.0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(transcribeRecording(pipesInARoom(), kRate_Hz, options).melody.size());
        vantor_s += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        start = std::chrono::steady_clock::now();
        if (std::system(aubionotes.c_str()) != 0)
            state.SkipWithError("aubionotes failed");
        aubio_s += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    }
    std::remove(path.c_str());
    const double audio_s = kSeconds * static_cast<double>(state.iterations());
    state.counters["vantor_x_realtime"] = vantor_s / audio_s;
    state.counters["aubionotes_x_realtime"] = aubio_s / audio_s;
    state.counters["vantor_over_aubionotes"] = vantor_s / aubio_s;
}

void jobsArgs(benchmark::internal::Benchmark* bench)
{
    bench->ArgName("jobs")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(BM_StageDronesAndRoom)->Apply(jobsArgs)->Iterations(3);
BENCHMARK(BM_StageLowA)->Apply(jobsArgs)->Iterations(3);
BENCHMARK(BM_StageEngineTuning)->Apply(jobsArgs)->Iterations(3);
BENCHMARK(BM_StagePitchTrack)->Apply(jobsArgs)->Iterations(3);
BENCHMARK(BM_StageNotes)->ArgName("jobs")->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_StageSecondLook)->Apply(jobsArgs)->Iterations(3);
BENCHMARK_CAPTURE(BM_Whole, OneShot, TranscriptionMode::OneShot)->Apply(jobsArgs)->Iterations(3);
BENCHMARK_CAPTURE(BM_Whole, Progressive, TranscriptionMode::Progressive)->Apply(jobsArgs)->Iterations(3);
BENCHMARK(BM_AgainstAubionotes)->ArgName("jobs")->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

} // namespace
