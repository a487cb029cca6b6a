#include "RecordingTranscriber.h"

#include "ChanterFilter.h"
#include "SecondLook.h"
#include "TranscriptionSession.h"
#include "Vantor.h"

#include <algorithm>
#include <chrono>

namespace {

PipeTuning referenceTuning(const std::vector<short>& samples, float samplingFrequency_Hz,
                           const TranscriptionOptions& options)
{
    switch (options.tuningSource) {
    case TuningSource::Calibrated:
        return options.calibratedTuning;
    case TuningSource::GivenLowA: {
        PipeTuning tuning;
        tuning.setLowA_Hz(options.lowA_Hz);
        return tuning;
    }
    case TuningSource::EstimatedLowA:
        break;
    }
    return TranscriptionSession::wholeRecordingReference(samples.data(), samples.size(), samplingFrequency_Hz,
                                                         options.jobs);
}

TranscriptionSession::Settings sessionSettings(float samplingFrequency_Hz, const TranscriptionOptions& options)
{
    TranscriptionSession::Settings settings;
    settings.samplingFrequency_Hz = samplingFrequency_Hz;
    settings.filterCorner_Hz = options.filterCorner_Hz;
    settings.snacPeakThreshold = options.snacPeakThreshold;
    settings.minimumSnacPeak = options.minimumSnacPeak;
    settings.minimumVolume_normalized = options.minimumVolume_normalized;
    settings.transcriptionInterval_s = options.transcriptionInterval_s;
    settings.pieceSamples = std::max<std::size_t>(1, options.blockSize_B / 2);
    settings.secondLook = options.secondLook;
    settings.findDrones = options.findDrones;
    settings.jobs = options.jobs;
    return settings;
}

void runProgressive(const std::vector<short>& recording, float samplingFrequency_Hz,
                    const TranscriptionOptions& options, const ProgressCallback& progress,
                    const std::atomic<bool>* cancel, TranscriptionResult& result)
{
    TranscriptionSession session;
    TranscriptionSession::Settings settings = sessionSettings(samplingFrequency_Hz, options);
    // The whole recording is at hand: with no clicks to take out before
    // them, the drones and the room are taken out of all of it once, for the
    // Low A and for the engine alike. The engine hears the same pieces of
    // the same cleaned samples as when the session cleans them as they come
    // (and starts again from the first when it finds the drones).
    std::vector<short> cleaned;
    const bool precleaned = settings.findDrones && options.clicks.empty();
    if (precleaned) {
        ChanterFilter filter(samplingFrequency_Hz);
        filter.setJobs(options.jobs);
        filter.push(recording.data(), recording.size());
        filter.finish();
        if (filter.cleaning())
            filter.take(cleaned);
        result.drones = filter.drones();
        settings.findDrones = false;
    }
    const std::vector<short>& samples = precleaned && !cleaned.empty() ? cleaned : recording;
    session.setSettings(settings);
    session.reset();
    // Its Low A is estimated from all of it rather than from its first
    // seconds.
    if (options.tuningSource == TuningSource::EstimatedLowA)
        session.estimateReference(samples.data(), samples.size());
    else
        session.setReference(referenceTuning(samples, samplingFrequency_Hz, options));
    if (!options.clicks.empty()) {
        session.clickSuppressor().setSounds(options.clickSounds, samplingFrequency_Hz);
        for (const TranscriptionOptions::Click& click : options.clicks)
            session.clickSuppressor().addClick(click.position, click.sound);
    }
    const std::size_t count = samples.size();
    for (std::size_t start = 0; start < count; start += settings.pieceSamples) {
        if (cancel != nullptr && cancel->load()) {
            result.cancelled = true;
            return;
        }
        const std::size_t block = std::min(settings.pieceSamples, count - start);
        session.feed(samples.data() + start, block);
        if (progress)
            progress(static_cast<float>(start + block) / static_cast<float>(count));
    }
    session.finish();
    const TranscriptionSession::Result& transcription = session.result();
    result.melody = transcription.melody;
    result.gracing = transcription.gracing;
    result.tuning = transcription.tuning;
    result.reference = transcription.reference;
    if (!precleaned)
        result.drones = transcription.drones;
}

void runOneShot(const std::vector<short>& recording, float samplingFrequency_Hz, const TranscriptionOptions& options,
                const ProgressCallback& progress, TranscriptionResult& result)
{
    ChanterFilter filter(samplingFrequency_Hz);
    filter.setJobs(options.jobs);
    std::vector<short> cleaned;
    if (options.findDrones) {
        filter.push(recording.data(), recording.size());
        filter.finish();
        filter.take(cleaned);
        result.drones = filter.drones();
    }
    const std::vector<short>& samples = filter.cleaning() ? cleaned : recording;
    const PipeTuning reference = referenceTuning(samples, samplingFrequency_Hz, options);
    Vantor engine;
    engine.setSamplingFrequency_Hz(samplingFrequency_Hz);
    engine.setFilterCornerFrequency_Hz(options.filterCorner_Hz);
    engine.setSnacPeakThreshold(options.snacPeakThreshold);
    engine.setMinimumSnacPeak(options.minimumSnacPeak);
    engine.setMinimumVolume_normalized(options.minimumVolume_normalized);
    engine.setJobs(options.jobs);
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
    result.reference = reference;
    if (options.secondLook) {
        SecondLook look;
        look.setJobs(options.jobs);
        look.setSamplingFrequency_Hz(samplingFrequency_Hz);
        look.setTuning(reference);
        look.setMinimumVolume_normalized(options.minimumVolume_normalized);
        look.revise(samples.data(), samples.size(), result.melody, result.gracing);
    }
}

} // namespace

TranscriptionResult transcribeRecording(const std::vector<short>& samples, float samplingFrequency_Hz,
                                        const TranscriptionOptions& options, const ProgressCallback& progress,
                                        const std::atomic<bool>* cancel)
{
    const auto started = std::chrono::steady_clock::now();
    TranscriptionResult result;
    result.audio_s = samplingFrequency_Hz > 0.0f ? static_cast<float>(samples.size()) / samplingFrequency_Hz : 0.0f;
    if (options.mode == TranscriptionMode::Progressive)
        runProgressive(samples, samplingFrequency_Hz, options, progress, cancel, result);
    else
        runOneShot(samples, samplingFrequency_Hz, options, progress, result);
    result.lowA_Hz = result.reference.getReferenceNoteCentreFrequency_Hz(PipeTuning::LowA);
    result.wall_s = std::chrono::duration<float>(std::chrono::steady_clock::now() - started).count();
    return result;
}
