// The processing thread's budget: time per 4096-byte block while recording
// (re-runs included: mean and worst), and the latency from the end of a note
// in the audio to the first result that holds it, measured through the
// file-backed input at real-time pace.

#include "AudioDevices.h"
#include "AudioMetaTypes.h"
#include "AudioProcessor.h"
#include "AudioRecorder.h"
#include "BenchReport.h"
#include "LiveTune.h"
#include "ChanterSynth.h"
#include "ProjectContents.h"
#include "RecordingTranscriber.h"
#include "utils.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <algorithm>

namespace {

using liveTune::heapInUse_MB;
using liveTune::kRate_Hz;

std::vector<synth::Segment> tune(float seconds)
{
    return liveTune::tune(seconds, 7);
}

void configure(AudioProcessor& processor)
{
    const TranscriptionOptions options;
    PipeTuning tuning;
    tuning.setLowA_Hz(480.0f);
    processor.setDataParams(PitchFinder::DataParams(2048, kRate_Hz));
    processor.setTranscriptionParams(options.filterCorner_Hz, options.snacPeakThreshold, options.minimumSnacPeak);
    processor.setMinimumVolume_normalized(options.minimumVolume_normalized);
    processor.setTuning(tuning);
    processor.setTranscribeInterval_s(options.transcriptionInterval_s);
    processor.resetTranscription();
    processor.enableTranscription(true);
}

void BM_ProcessingThreadBlock4096B(benchmark::State& state)
{
    const std::vector<short> audio = utils::toPcm16(synth::renderSegments(tune(60.0f), kRate_Hz,
                                                                        synth::chanterHarmonics(), 0.5f));
    const std::vector<char> bytes = utils::encodePcm16(audio);
    const QByteArray recording(bytes.data(), static_cast<int>(bytes.size()));
    double worst_ms = 0.0;
    double total_ms = 0.0;
    long blocks = 0;
    for (auto _ : state) {
        AudioProcessor processor;
        configure(processor);
        // One level per block: the time between two is one block's work.
        QElapsedTimer clock;
        QObject::connect(&processor, &AudioProcessor::transcriptionVolume, [&](float) {
            const double block_ms = clock.nsecsElapsed() * 1e-6;
            worst_ms = std::max(worst_ms, block_ms);
            total_ms += block_ms;
            ++blocks;
            clock.restart();
        });
        clock.start();
        processor.playbackData(recording, 4096);
    }
    const double block_s = 2048.0 / kRate_Hz;
    state.counters["mean_block_ms"] = total_ms / static_cast<double>(blocks);
    state.counters["worst_block_ms"] = worst_ms;
    state.counters["headroom_x"] = block_s * 1e3 / (total_ms / static_cast<double>(blocks));
    reportTimesRealtime(state, 60.0);
}
BENCHMARK(BM_ProcessingThreadBlock4096B)->Unit(benchmark::kMillisecond)->Iterations(1);

// A three-minute recording replayed through the processor as the live path
// feeds it: the heap in use at 10, 60 and 179 s, beside the recording the
// processor holds (two bytes a sample), and the block time at the end, where
// every re-run covers the longest recording.
void BM_ProcessingThreadOverThreeMinutes(benchmark::State& state)
{
    const std::vector<short> audio = utils::toPcm16(synth::renderSegments(tune(179.5f), kRate_Hz,
                                                                        synth::chanterHarmonics(), 0.5f));
    const std::vector<char> bytes = utils::encodePcm16(audio);
    const QByteArray recording(bytes.data(), static_cast<int>(bytes.size()));
    const double block_s = 2048.0 / kRate_Hz;
    for (auto _ : state) {
        const double heapBefore_MB = heapInUse_MB();
        AudioProcessor processor;
        configure(processor);
        long blocks = 0;
        double lastTen_ms = 0.0;
        long lastTenBlocks = 0;
        double worstLastTen_ms = 0.0;
        std::vector<double> marks_s{10.0, 60.0, 179.0};
        QElapsedTimer clock;
        QObject::connect(&processor, &AudioProcessor::transcriptionVolume, [&](float) {
            ++blocks;
            const double recorded_s = blocks * block_s;
            if (recorded_s > 169.0) {
                lastTen_ms += clock.nsecsElapsed() * 1e-6;
                worstLastTen_ms = std::max(worstLastTen_ms, clock.nsecsElapsed() * 1e-6);
                ++lastTenBlocks;
            }
            clock.restart();
            if (!marks_s.empty() && recorded_s >= marks_s.front()) {
                const std::string at = std::to_string(static_cast<int>(marks_s.front())) + "s";
                const double recording_MB = recorded_s * kRate_Hz * 2.0 / (1 << 20);
                state.counters["heap_MB_at_" + at] = heapInUse_MB() - heapBefore_MB;
                state.counters["heap_beside_recording_MB_at_" + at] = heapInUse_MB() - heapBefore_MB - recording_MB;
                marks_s.erase(marks_s.begin());
            }
        });
        clock.start();
        processor.playbackData(recording, 4096);
        state.counters["mean_block_ms_last_10s"] = lastTen_ms / static_cast<double>(lastTenBlocks);
        state.counters["worst_block_ms_last_10s"] = worstLastTen_ms;
        state.counters["headroom_x_last_10s"] = block_s * 1e3 * static_cast<double>(lastTenBlocks) / lastTen_ms;
    }
    reportTimesRealtime(state, 179.5);
}
BENCHMARK(BM_ProcessingThreadOverThreeMinutes)->Unit(benchmark::kMillisecond)->Iterations(1);

// Plays a 20 s tune through the file input at real time into the recorder
// and the processor, as the application records, and takes for every note
// the time from its end in the audio to the first result holding it.
void BM_NoteLatencyThroughTheLivePath(benchmark::State& state)
{
    const std::vector<synth::Segment> segments = liveTune::tune(20.0f, 7);
    QTemporaryDir dir;
    const audioDevices::InputFile input = liveTune::playIn(dir, segments);
    liveTune::NoteLatencies latencies(segments);
    for (auto _ : state) {
        AudioRecorder recorder(input);
        AudioProcessor processor;
        configure(processor);
        processor.setAudioRecorder(&recorder);
        QObject::connect(&recorder, &AudioRecorder::dataReceived, &processor, &AudioProcessor::processData);
        QElapsedTimer clock;
        QObject::connect(&processor, &AudioProcessor::transcriptionResult,
                         [&](float, const NoteMap& melody, const NoteMap&, const PipeTuning&, bool) {
                             latencies.observe(melody, clock.nsecsElapsed() * 1e-9);
                         });
        recorder.enableHistoricRecording(true);
        clock.start();
        recorder.restart(input.name(), kRate_Hz, 2048);
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(latencies.end_s() * 1000.0f) + 1500, &loop, &QEventLoop::quit);
        loop.exec();
        recorder.stop();
    }
    latencies.report(state);
}
BENCHMARK(BM_NoteLatencyThroughTheLivePath)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    registerAudioMetaTypes();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
