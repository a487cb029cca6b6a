#include "TranscriptionSession.h"

#include "HistoricPipeTuning.h"
#include "LowAEstimator.h"

#include <algorithm>
#include <cmath>

namespace {

// The engine's windows the level is the mean of.
constexpr int kLevelWindows = 10;
// How long after a failed estimate the next one is tried.
constexpr float kLowARetry_s = 1.0f;

PipeTuning standardTuningAt(float lowA_Hz)
{
    PipeTuning tuning;
    tuning.setLowA_Hz(lowA_Hz);
    return tuning;
}

} // namespace

void TranscriptionSession::setSettings(const Settings& settings)
{
    const bool rateChanged = settings.samplingFrequency_Hz != mSettings.samplingFrequency_Hz;
    if (rateChanged) {
        // The running estimate averages a number of windows derived from the
        // rate: it starts again, from the reference when there is one.
        mEngine.setSamplingFrequency_Hz(settings.samplingFrequency_Hz);
        mEngine.reset();
        if (mReferenceGiven)
            setReference(mReference);
        mSecondLook.setSamplingFrequency_Hz(settings.samplingFrequency_Hz);
    }
    if (settings.filterCorner_Hz != mSettings.filterCorner_Hz)
        mEngine.setFilterCornerFrequency_Hz(settings.filterCorner_Hz);
    mEngine.setSnacPeakThreshold(settings.snacPeakThreshold);
    mEngine.setMinimumSnacPeak(settings.minimumSnacPeak);
    mEngine.setJobs(settings.jobs);
    mSecondLook.setJobs(settings.jobs);
    if (settings.minimumVolume_normalized != mSettings.minimumVolume_normalized || rateChanged) {
        mEngine.setMinimumVolume_normalized(settings.minimumVolume_normalized);
        mSecondLook.setMinimumVolume_normalized(settings.minimumVolume_normalized);
        HistoricPipeTuning historic = mEngine.historicTuning();
        historic.setMinimumVolume_normalized(settings.minimumVolume_normalized);
        mEngine.setHistoricalTuning(historic);
    }
    const bool intervalChanged = settings.transcriptionInterval_s != mSettings.transcriptionInterval_s;
    mSettings = settings;
    if (intervalChanged || rateChanged)
        applyInterval();
}

void TranscriptionSession::applyInterval()
{
    mEngine.setTranscriptionInterval_s(std::max(mSettings.transcriptionInterval_s, kMinimumInterval_s));
}

void TranscriptionSession::reset()
{
    // The running tuning estimate carries over from one recording to the
    // next; the reset would start it again from the standard tuning.
    const HistoricPipeTuning historic = mEngine.historicTuning();
    mEngine.reset();
    mEngine.setHistoricalTuning(historic);
    applyInterval();
    mSecondLook.reset();
    mClickSuppressor.reset();
    mSecondLookActive = mSettings.secondLook;
    mHistoricAtStart = historic;
    mFilterOn = mSettings.findDrones;
    mFilter.reset(mSettings.samplingFrequency_Hz);
    mCleaned.clear();
    mSamples.clear();
    mFed = 0;
    mLowAKnown = false;
    mNextEstimateAt_s = kLowAWait_s;
    mEstimatedLowA_Hz = 0.0f;
    mBlockLevel_normalized = 0.0f;
    mResult = Result();
    mResult.reference = mReference;
    mResultStale = false;
}

void TranscriptionSession::setReference(const PipeTuning& reference)
{
    mReference = reference;
    mReferenceGiven = true;
    mResult.reference = reference;
    HistoricPipeTuning historic = mEngine.historicTuning();
    historic.setCalibratedTuning(reference, true);
    mEngine.setHistoricalTuning(historic);
}

PipeTuning TranscriptionSession::wholeRecordingReference(const short* samples, std::size_t count,
                                                         float samplingFrequency_Hz, unsigned int jobs)
{
    const LowAEstimate estimate =
        estimateLowA(std::vector<short>(samples, samples + count), samplingFrequency_Hz, jobs);
    return standardTuningAt(estimate.lowA_Hz > 0.0f ? estimate.lowA_Hz : kDefaultLowA_Hz);
}

void TranscriptionSession::estimateReference(const short* samples, std::size_t count)
{
    // The chanter's Low A, not the drones'.
    const std::vector<short> heard = mSettings.findDrones
                                         ? ChanterFilter::cleaned(samples, count, mSettings.samplingFrequency_Hz)
                                         : std::vector<short>(samples, samples + count);
    setReference(wholeRecordingReference(heard.data(), heard.size(), mSettings.samplingFrequency_Hz, mSettings.jobs));
    mEstimatedLowA_Hz = mReference.lowA_Hz();
    mLowAKnown = true;
}

float TranscriptionSession::recorded_s() const
{
    const float rate_Hz = mSettings.samplingFrequency_Hz;
    return rate_Hz > 0.0f ? static_cast<float>(mSamples.size()) / rate_Hz : 0.0f;
}

bool TranscriptionSession::lowAReady(bool lastChance)
{
    if (!waitingForLowA())
        return true;
    const float recorded = recorded_s();
    if (recorded < mNextEstimateAt_s && !lastChance)
        return false;
    // The newest seconds only: a piper who waits before playing costs no
    // more than one who starts at once.
    const std::size_t window = static_cast<std::size_t>(
        static_cast<int>(kLowAEstimate_s * mSettings.samplingFrequency_Hz));
    const std::vector<short>& heard = this->heard();
    const std::size_t first = heard.size() - std::min(window, heard.size());
    const LowAEstimate estimate = estimateLowA(std::vector<short>(heard.begin() + static_cast<long>(first),
                                                                  heard.end()),
                                               mSettings.samplingFrequency_Hz);
    if (!(estimate.lowA_Hz > 0.0f) && !lastChance) {
        mNextEstimateAt_s = recorded + kLowARetry_s;
        return false;
    }
    // Without any pitch the running estimate starts from where it is.
    if (estimate.lowA_Hz > 0.0f) {
        setReference(standardTuningAt(estimate.lowA_Hz));
        mEstimatedLowA_Hz = estimate.lowA_Hz;
    }
    mLowAKnown = true;
    return true;
}

bool TranscriptionSession::feed(const short* samples, std::size_t count)
{
    const ClickSuppressor::Span heard = mClickSuppressor.pass(samples, count);
    return feedHeard(heard.samples, heard.count);
}

bool TranscriptionSession::feedHeard(const short* samples, std::size_t count)
{
    if (count > 0) {
        mSamples.insert(mSamples.end(), samples, samples + count);
        filterInput(samples, count, false);
        // The meter's level comes from the engine once it runs.
        if (waitingForLowA())
            mBlockLevel_normalized = levelOf(samples, count);
    }
    if (!lowAReady(false))
        return false;
    return advance(false);
}

void TranscriptionSession::filterInput(const short* samples, std::size_t count, bool last)
{
    if (!mFilterOn || mFilter.state() == ChanterFilter::State::Passing)
        return;
    const bool listening = mFilter.state() == ChanterFilter::State::Listening;
    if (last)
        mFilter.finish();
    else
        mFilter.push(samples, count);
    if (!mFilter.cleaning())
        return;
    mFilter.take(mCleaned);
    if (!listening)
        return;
    // Drones or a room were just found: what the engine heard so far had
    // them in it.
    mEngine.reset();
    mEngine.setHistoricalTuning(mHistoricAtStart);
    applyInterval();
    if (mReferenceGiven)
        setReference(mReference);
    mSecondLook.reset();
    mFed = 0;
    mResult = Result();
    mResult.reference = mReference;
    mResultStale = false;
}

bool TranscriptionSession::finish()
{
    // What waited for a click comes out, the click found in what there is.
    const ClickSuppressor::Span rest = mClickSuppressor.drain();
    const bool changed = rest.count > 0 && feedHeard(rest.samples, rest.count);
    filterInput(nullptr, 0, true);
    lowAReady(true);
    return advance(true) || changed;
}

bool TranscriptionSession::advance(bool forceRerun)
{
    // Whole pieces only, counted from the recording's first sample, until
    // the end: the engine sees the same pieces however the blocks came.
    const std::size_t piece = std::max<std::size_t>(1, mSettings.pieceSamples);
    const std::vector<short>& heard = this->heard();
    const std::size_t end = forceRerun ? heard.size() : mFed + (heard.size() - mFed) / piece * piece;
    bool changed = false;
    try {
        while (mFed < end) {
            const std::size_t count = std::min(piece, end - mFed);
            changed = advanceEngine(heard.data() + mFed, static_cast<unsigned int>(count), false) || changed;
            // What the engine took is not handed to it again after a failure.
            mFed += count;
        }
        if (forceRerun)
            changed = advanceEngine(nullptr, 0, true);
    } catch (...) {
        // The engine's state after a failure is no result to report.
        mResultStale = false;
        throw;
    }
    mResultStale = mResultStale || changed;
    return changed;
}

bool TranscriptionSession::advanceEngine(const short* samples, unsigned int count, bool forceRerun)
{
    bool changed = false;
    if (count > 0)
        changed = mEngine.progressiveTranscribe(samples, count, false);
    if (forceRerun)
        changed = mEngine.progressiveTranscribe(nullptr, 0, true);
    return changed;
}

const TranscriptionSession::Result& TranscriptionSession::result()
{
    if (!mResultStale)
        return mResult;
    Result fresh;
    fresh.melody = mEngine.notes();
    fresh.gracing = mEngine.graceNotes();
    if (mSecondLookActive) {
        try {
            mSecondLook.setTuning(mReference);
            mSecondLook.revise(heard().data(), heard().size(), fresh.melody, fresh.gracing);
        } catch (...) {
            // The last good result stays the one to report.
            mResultStale = false;
            throw;
        }
    }
    fresh.tuning = mEngine.tuning();
    fresh.reference = mReference;
    if (mFilterOn)
        fresh.drones = mFilter.drones();
    fresh.analysed_s = mEngine.lastTranscribeTime_s();
    mResult = std::move(fresh);
    mResultStale = false;
    return mResult;
}

float TranscriptionSession::level_normalized() const
{
    if (waitingForLowA())
        return mBlockLevel_normalized;
    return mEngine.getLastRmsAverage_normalized(kLevelWindows);
}

float TranscriptionSession::levelOf(const short* samples, std::size_t count)
{
    // As the engine reports its windows' volume.
    if (count == 0)
        return 0.0f;
    double sum = 0.0;
    for (std::size_t k = 0; k < count; ++k)
        sum += static_cast<double>(samples[k]) * samples[k];
    const double rms = std::sqrt(sum / static_cast<double>(count)) / 32768.0;
    const double dB = rms > 0.0 ? 20.0 * std::log10(rms) : -120.0;
    return static_cast<float>(std::clamp((dB + 120.0) / 120.0, 0.0, 1.0));
}
