#include "TranscriptionRunner.h"

#include "HistoricPipeTuning.h"
#include "LowAEstimator.h"
#include "ProgressiveVantor.h"
#include "Vantor.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>
#include <cstdlib>
#include <sstream>

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

PipeTuning referenceTuning(const AudioData& audio, const TranscriptionOptions& options)
{
    switch (options.tuningSource) {
    case TuningSource::Calibrated:
        return options.calibratedTuning;
    case TuningSource::GivenLowA:
        return standardTuningAt(options.lowA_Hz);
    case TuningSource::EstimatedLowA:
        break;
    }
    const LowAEstimate estimate = estimateLowA(audio.samples, audio.samplingFrequency_Hz);
    return standardTuningAt(estimate.lowA_Hz > 0.0f ? estimate.lowA_Hz : kDefaultLowA_Hz);
}

template <typename Engine>
void applyParameters(Engine& engine, const AudioData& audio, const TranscriptionOptions& options)
{
    engine.setSamplingFrequency_Hz(audio.samplingFrequency_Hz);
    engine.setFilterCornerFrequency_Hz(options.filterCorner_Hz);
    engine.setSnacPeakThreshold(options.snacPeakThreshold);
    engine.setMinimumSnacPeak(options.minimumSnacPeak);
    engine.setMinimumVolume_normalized(options.minimumVolume_normalized);
}

void runProgressive(const AudioData& audio, const TranscriptionOptions& options, const PipeTuning& reference,
                    const ProgressCallback& progress, TranscriptionResult& result)
{
    ProgressiveVantor engine;
    applyParameters(engine, audio, options);
    engine.reset();
    // As the processing thread does with a calibration: the running estimate
    // starts from the reference tuning, seeded into its history.
    HistoricPipeTuning historic = engine.historicTuning();
    historic.setMinimumVolume_normalized(options.minimumVolume_normalized);
    historic.setCalibratedTuning(reference, true);
    engine.setHistoricalTuning(historic);
    engine.setTranscriptionInterval_s(std::max(options.transcriptionInterval_s, kMinimumInterval_s));

    const std::size_t blockSamples = std::max<std::size_t>(1, options.blockSize_B / 2);
    const std::size_t total = audio.samples.size();
    for (std::size_t start = 0; start < total; start += blockSamples) {
        const std::size_t count = std::min(blockSamples, total - start);
        engine.progressiveTranscribe(audio.samples.data() + start, static_cast<unsigned int>(count), false);
        if (progress)
            progress(static_cast<float>(start + count) / static_cast<float>(total));
    }
    engine.progressiveTranscribe(nullptr, 0, true);
    result.melody = engine.notes();
    result.gracing = engine.graceNotes();
    result.tuning = engine.tuning();
}

void runOneShot(const AudioData& audio, const TranscriptionOptions& options, const PipeTuning& reference,
                const ProgressCallback& progress, TranscriptionResult& result)
{
    Vantor engine;
    applyParameters(engine, audio, options);
    engine.reset();
    if (options.tuningSource == TuningSource::Calibrated)
        engine.setTuning(reference);
    else
        engine.setLowA_Hz(reference.lowA_Hz());
    engine.transcribe(audio.samples.data(), static_cast<unsigned int>(audio.samples.size()));
    if (progress)
        progress(1.0f);
    result.melody = engine.notes();
    result.gracing = engine.graceNotes();
    result.tuning = engine.tuning();
}

} // namespace

TranscriptionResult transcribeRecording(const AudioData& audio, const TranscriptionOptions& options,
                                        const ProgressCallback& progress)
{
    const auto started = std::chrono::steady_clock::now();
    TranscriptionResult result;
    result.audio_s = audio.samplingFrequency_Hz > 0.0f
                         ? static_cast<float>(audio.samples.size()) / audio.samplingFrequency_Hz
                         : 0.0f;
    const PipeTuning reference = referenceTuning(audio, options);
    result.reference = reference;
    result.lowA_Hz = reference.getReferenceNoteCentreFrequency_Hz(PipeTuning::LowA);
    if (options.mode == TranscriptionMode::Progressive)
        runProgressive(audio, options, reference, progress, result);
    else
        runOneShot(audio, options, reference, progress, result);
    result.wall_s = std::chrono::duration<float>(std::chrono::steady_clock::now() - started).count();
    return result;
}

bool parseTuning(const std::string& text, PipeTuning& tuning, std::string& error)
{
    std::map<PipeTuning::ReferenceNote, float> frequencies;
    std::istringstream stream(text);
    std::string item;
    while (std::getline(stream, item, ',')) {
        const std::size_t equals = item.find('=');
        if (equals == std::string::npos) {
            error = "expected NOTE=HZ in the tuning, got \"" + item + "\"";
            return false;
        }
        const std::string name = item.substr(0, equals);
        const std::string value = item.substr(equals + 1);
        PipeTuning::ReferenceNote note = PipeTuning::Unknown;
        for (int index = 0; index < PipeTuning::kMelodyNoteCount; ++index) {
            if (toString(referenceNoteToNoteName(PipeTuning::noteIndexToReferenceNote(index))) == name)
                note = PipeTuning::noteIndexToReferenceNote(index);
        }
        if (note == PipeTuning::Unknown) {
            error = "unknown note \"" + name + "\" in the tuning (use LG LA B C D E F HG HA)";
            return false;
        }
        char* end = nullptr;
        const float frequency_Hz = std::strtof(value.c_str(), &end);
        if (value.empty() || *end != '\0' || !(frequency_Hz > 0.0f) || !std::isfinite(frequency_Hz)) {
            error = "expected a frequency in Hz for " + name + ", got \"" + value + "\"";
            return false;
        }
        frequencies[note] = frequency_Hz;
    }
    if (frequencies.count(PipeTuning::LowA) == 0) {
        error = "the tuning must give LA";
        return false;
    }
    PipeTuning parsed;
    parsed.setTuningScheme(PipeTuning::Calibrated, frequencies);
    tuning = parsed;
    return true;
}
