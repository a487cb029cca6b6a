// The processing thread's budget: time per 4096-byte block while recording
// (re-runs included: mean and worst), and the latency from the end of a note
// in the audio to the first result that holds it, measured through the
// file-backed input at real-time pace.

#include "AudioProcessor.h"
#include "AudioRecorder.h"
#include "BenchReport.h"
#include "LiveTune.h"
#include "RecordingTranscriber.h"

#include <QCoreApplication>

#include <string>

namespace {

using namespace liveTune;

void configure(AudioProcessor& processor)
{
    const TranscriptionOptions options;
    processor.setDataParams(PitchFinder::DataParams(2048, kRate_Hz));
    processor.setTranscriptionParams(options.filterCorner_Hz, options.snacPeakThreshold, options.minimumSnacPeak);
    processor.setMinimumVolume_normalized(options.minimumVolume_normalized);
    processor.setTuning(chanter());
    processor.setTranscribeInterval_s(options.transcriptionInterval_s);
    processor.resetTranscription();
    processor.enableTranscription(true);
}

// A recording of seconds replayed through the processor as the live path
// feeds it: the mean and worst time of the blocks after timedFrom_s and the
// headroom (a block's audio over its mean time), their names ending in
// suffix. With heap, also the heap in use at 10, 60 and 179 s, and beside
// the recording the processor holds (two bytes a sample).
void processingThread(benchmark::State& state, float seconds, double timedFrom_s, const std::string& suffix,
                      bool heap)
{
    const QByteArray recording = pcmBytes(render(tune(seconds, 7)));
    for (auto _ : state) {
        const double heapBefore_MB = heapInUse_MB();
        AudioProcessor processor;
        configure(processor);
        long blocks = 0;
        long timedBlocks = 0;
        double total_ms = 0.0;
        double worst_ms = 0.0;
        std::vector<int> marks_s{10, 60, 179};
        // One level per block: the time between two is one block's work.
        QElapsedTimer clock;
        QObject::connect(&processor, &AudioProcessor::transcriptionVolume, [&](float) {
            const double block_ms = clock.nsecsElapsed() * 1e-6;
            const double recorded_s = static_cast<double>(++blocks) * kBlock_s;
            if (recorded_s > timedFrom_s) {
                total_ms += block_ms;
                worst_ms = std::max(worst_ms, block_ms);
                ++timedBlocks;
            }
            if (heap && !marks_s.empty() && recorded_s >= marks_s.front()) {
                const std::string at = std::to_string(marks_s.front()) + "s";
                const double heap_MB = heapInUse_MB() - heapBefore_MB;
                state.counters["heap_MB_at_" + at] = heap_MB;
                state.counters["heap_beside_recording_MB_at_" + at] = heap_MB - recorded_s * kRate_Hz * 2.0 / (1 << 20);
                marks_s.erase(marks_s.begin());
            }
            clock.restart();
        });
        clock.start();
        processor.playbackData(recording, 4096);
        state.counters["mean_block_ms" + suffix] = total_ms / static_cast<double>(timedBlocks);
        state.counters["worst_block_ms" + suffix] = worst_ms;
        state.counters["headroom_x" + suffix] = kBlock_s * 1e3 * static_cast<double>(timedBlocks) / total_ms;
    }
    reportTimesRealtime(state, seconds);
}

// Plays a 20 s tune through the file input at real time into the recorder
// and the processor, as the application records, and takes for every note
// the time from its end in the audio to the first result holding it.
void noteLatencyThroughTheLivePath(benchmark::State& state)
{
    PlayedTune played(7);
    for (auto _ : state) {
        AudioRecorder recorder(played.input());
        AudioProcessor processor;
        configure(processor);
        processor.setAudioRecorder(&recorder);
        QObject::connect(&recorder, &AudioRecorder::dataReceived, &processor, &AudioProcessor::processData);
        QObject::connect(&processor, &AudioProcessor::transcriptionResult,
                         [&](float, const NoteMap& melody, const NoteMap&, const PipeTuning&, const DroneSet&, bool) {
                             played.observe(melody);
                         });
        recorder.enableHistoricRecording(true);
        played.start();
        recorder.restart(played.input().name(), kRate_Hz, 2048);
        played.playOut(1500);
        recorder.stop();
    }
    played.report(state);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    // The block time over a minute; then at the end of three minutes, where
    // every re-run covers the longest recording, with the heap along the way.
    for (benchmark::internal::Benchmark* registered :
         {benchmark::RegisterBenchmark("BM_ProcessingThreadBlock4096B", processingThread, 60.0f, 0.0, "", false),
          benchmark::RegisterBenchmark("BM_ProcessingThreadOverThreeMinutes", processingThread, 179.5f, 169.0,
                                       "_last_10s", true),
          benchmark::RegisterBenchmark("BM_NoteLatencyThroughTheLivePath", noteLatencyThroughTheLivePath)})
        registered->Unit(benchmark::kMillisecond)->Iterations(1);
    return liveTune::runBenchmarks(argc, argv);
}
