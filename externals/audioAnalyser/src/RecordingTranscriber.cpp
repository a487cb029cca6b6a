#include "RecordingTranscriber.h"

#include "HistoricPipeTuning.h"
#include "LowAEstimator.h"
#include "ProgressiveVantor.h"
#include "SecondLook.h"
#include "Vantor.h"

#include <algorithm>
#include <chrono>
#include <cmath>

namespace {

// What the engine assumes when nothing better is known.
constexpr float kDefaultLowA_Hz = 440.0f;
constexpr float kMinimumInterval_s = 0.05f;

PipeTuning standardTuningAt(float lowA_Hz)
{
    PipeTuning tuning;
    tuning.setLowA_Hz(lowA_Hz);
    return tuning;
}

PipeTuning referenceTuning(const std::vector<short>& samples, float samplingFrequency_Hz,
                           const TranscriptionOptions& options)
{
    switch (options.tuningSource) {
    case TuningSource::Calibrated:
        return options.calibratedTuning;
    case TuningSource::GivenLowA:
        return standardTuningAt(options.lowA_Hz);
    case TuningSource::EstimatedLowA:
        break;
    }
    const LowAEstimate estimate = estimateLowA(samples, samplingFrequency_Hz);
    return standardTuningAt(estimate.lowA_Hz > 0.0f ? estimate.lowA_Hz : kDefaultLowA_Hz);
}

void applyParameters(Vantor& engine, float samplingFrequency_Hz, const TranscriptionOptions& options)
{
    engine.setSamplingFrequency_Hz(samplingFrequency_Hz);
    engine.setFilterCornerFrequency_Hz(options.filterCorner_Hz);
    engine.setSnacPeakThreshold(options.snacPeakThreshold);
    engine.setMinimumSnacPeak(options.minimumSnacPeak);
    engine.setMinimumVolume_normalized(options.minimumVolume_normalized);
}

void runProgressive(const std::vector<short>& samples, float samplingFrequency_Hz,
                    const TranscriptionOptions& options, const PipeTuning& reference,
                    const ProgressCallback& progress, TranscriptionResult& result)
{
    ProgressiveVantor engine;
    prepareProgressiveEngine(engine, samplingFrequency_Hz, options, reference);
    feedRecording(engine, samples.data(), samples.size(), std::max<std::size_t>(1, options.blockSize_B / 2),
                  progress);
    result.melody = engine.notes();
    result.gracing = engine.graceNotes();
    result.tuning = engine.tuning();
}

void runOneShot(const std::vector<short>& samples, float samplingFrequency_Hz, const TranscriptionOptions& options,
                const PipeTuning& reference, const ProgressCallback& progress, TranscriptionResult& result)
{
    Vantor engine;
    applyParameters(engine, samplingFrequency_Hz, options);
    engine.reset();
    if (options.tuningSource == TuningSource::Calibrated)
        engine.setTuning(reference);
    else
        engine.setLowA_Hz(reference.lowA_Hz());
    engine.transcribe(samples.data(), static_cast<unsigned int>(samples.size()));
    if (progress)
        progress(1.0f);
    result.melody = engine.notes();
    result.gracing = engine.graceNotes();
    result.tuning = engine.tuning();
}

} // namespace

void prepareProgressiveEngine(ProgressiveVantor& engine, float samplingFrequency_Hz,
                              const TranscriptionOptions& options, const PipeTuning& reference)
{
    applyParameters(engine, samplingFrequency_Hz, options);
    engine.reset();
    // As the processing thread does with a calibration: the running estimate
    // starts from the reference tuning, seeded into its history. The interval
    // is set after the reset, which restores its default.
    HistoricPipeTuning historic = engine.historicTuning();
    historic.setMinimumVolume_normalized(options.minimumVolume_normalized);
    historic.setCalibratedTuning(reference, true);
    engine.setHistoricalTuning(historic);
    engine.setTranscriptionInterval_s(std::max(options.transcriptionInterval_s, kMinimumInterval_s));
}

void feedRecording(ProgressiveVantor& engine, const short* samples, std::size_t count, std::size_t blockSamples,
                   const ProgressCallback& progress)
{
    blockSamples = std::max<std::size_t>(1, blockSamples);
    for (std::size_t start = 0; start < count; start += blockSamples) {
        const std::size_t block = std::min(blockSamples, count - start);
        engine.progressiveTranscribe(samples + start, static_cast<unsigned int>(block), false);
        if (progress)
            progress(static_cast<float>(start + block) / static_cast<float>(count));
    }
    engine.progressiveTranscribe(nullptr, 0, true);
}

void takeSecondLook(const std::vector<short>& samples, float samplingFrequency_Hz, const PipeTuning& reference,
                    float minimumVolume_normalized, NoteMap& melody, NoteMap& gracing)
{
    SecondLook look;
    look.setSamplingFrequency_Hz(samplingFrequency_Hz);
    look.setTuning(reference);
    look.setMinimumVolume_normalized(minimumVolume_normalized);
    look.revise(samples.data(), samples.size(), melody, gracing);
}

TranscriptionResult transcribeRecording(const std::vector<short>& samples, float samplingFrequency_Hz,
                                        const TranscriptionOptions& options, const ProgressCallback& progress)
{
    const auto started = std::chrono::steady_clock::now();
    TranscriptionResult result;
    result.audio_s = samplingFrequency_Hz > 0.0f ? static_cast<float>(samples.size()) / samplingFrequency_Hz : 0.0f;
    const PipeTuning reference = referenceTuning(samples, samplingFrequency_Hz, options);
    result.reference = reference;
    result.lowA_Hz = reference.getReferenceNoteCentreFrequency_Hz(PipeTuning::LowA);
    if (options.mode == TranscriptionMode::Progressive)
        runProgressive(samples, samplingFrequency_Hz, options, reference, progress, result);
    else
        runOneShot(samples, samplingFrequency_Hz, options, reference, progress, result);
    if (options.secondLook)
        takeSecondLook(samples, samplingFrequency_Hz, reference, options.minimumVolume_normalized, result.melody,
                       result.gracing);
    result.wall_s = std::chrono::duration<float>(std::chrono::steady_clock::now() - started).count();
    return result;
}
