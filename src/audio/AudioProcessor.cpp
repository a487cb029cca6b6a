#include "AudioProcessor.h"

#include "AudioRecorder.h"
#include "LowAEstimator.h"
#include "utils.h"

#include <QDebug>
#include <QMetaObject>
#include <mutex>
#include <QThread>

#include <algorithm>
#include <cmath>
#include <exception>

namespace {

constexpr float kMinimumInterval_s = 0.05f;
constexpr int kVolumeWindows = 10;
// Seconds of a recording the chanter's Low A is estimated from when no
// calibration is given.
constexpr float kLowAEstimateWindow_s = 3.0f;

} // namespace

AudioProcessor::AudioProcessor(QObject* parent) : QObject(parent) {}

void AudioProcessor::setDataParams(PitchFinder::DataParams params)
{
    {
        std::unique_lock<std::mutex> lock(mSettingsMutex);
        mPendingDataParams = params;
    }
    mDataParamsPending = true;
}

void AudioProcessor::setParams(PitchFinder::ProcessingParams params)
{
    {
        std::unique_lock<std::mutex> lock(mSettingsMutex);
        mPendingProcessingParams = params;
    }
    mProcessingParamsPending = true;
}

void AudioProcessor::setTranscriptionParams(float filterCornerFrequency_Hz, float snacPeakThreshold,
                                            float minimumSnacPeak)
{
    {
        std::unique_lock<std::mutex> lock(mSettingsMutex);
        mFilterCornerFrequency_Hz = filterCornerFrequency_Hz;
        mSnacPeakThreshold = snacPeakThreshold;
        mMinimumSnacPeak = minimumSnacPeak;
    }
    mTranscriptionParamsPending = true;
}

void AudioProcessor::setMinimumVolume_normalized(float volume_normalized)
{
    {
        std::unique_lock<std::mutex> lock(mSettingsMutex);
        if (volume_normalized == mMinimumVolume_normalized)
            return;
        mMinimumVolume_normalized = volume_normalized;
    }
    mMinimumVolumePending = true;
}

void AudioProcessor::setTuning(const PipeTuning& tuning)
{
    {
        std::unique_lock<std::mutex> lock(mSettingsMutex);
        mPendingTuning = tuning;
    }
    mTuningPending = true;
}

void AudioProcessor::setEstimateLowA(bool estimate)
{
    mEstimateLowA = estimate;
}

void AudioProcessor::setTranscribeInterval_s(float interval_s)
{
    {
        std::unique_lock<std::mutex> lock(mSettingsMutex);
        mTranscribeInterval_s = interval_s;
    }
    mIntervalPending = true;
}

void AudioProcessor::setAudioRecorder(AudioRecorder* recorder)
{
    std::unique_lock<std::mutex> lock(mRecorderMutex);
    mRecorder = recorder;
    mHistoricBytesProcessed = 0;
    mLiveBytesProcessed = 0;
}

void AudioProcessor::processData(qint64 totalDataSize_B, bool historicRecordingEnabled)
{
    if (mPlaybackActive)
        return;
    std::unique_lock<std::mutex> lock(mRecorderMutex);
    if (mRecorder == nullptr)
        return;
    // A signal of the other mode, queued while this thread was busy, is
    // skipped: a late historic signal must not be taken for a live chunk
    // (the newest "chunk" of a recording is all of it) nor start the count
    // of transcribed bytes again.
    // The mode is read once: the main window may switch it while a long
    // block is being transcribed here.
    const bool transcribing = mTranscriptionEnabled;
    if (historicRecordingEnabled != transcribing)
        return;
    // The totals make several queued signals collapse into one fetch.
    if (transcribing) {
        if (mHistoricBytesProcessed < totalDataSize_B) {
            const QByteArray recent = mRecorder->getRecentData(mHistoricBytesProcessed);
            processBlock(recent, true);
            mHistoricBytesProcessed += recent.size();
        }
        mLiveBytesProcessed = 0;
        return;
    }
    if (mLiveBytesProcessed < totalDataSize_B) {
        const QByteArray newest = mRecorder->getRecentData(0);
        mLiveBytesProcessed = mRecorder->getLiveBytesReceived();
        processBlock(newest, false);
    }
    mHistoricBytesProcessed = 0;
}

void AudioProcessor::finishTranscription(QByteArray recording)
{
    if (QThread::currentThread() != thread()) {
        QMetaObject::invokeMethod(this, "finishTranscription", Qt::AutoConnection, Q_ARG(QByteArray, recording));
        return;
    }
    // The recorder may be back in live mode by now, so the rest comes from
    // the recording the main window took at Stop.
    const QByteArray rest = recording.mid(mTranscriptionData.size());
    try {
        applyPendingSettings();
        transcribeBlock(rest, true);
    } catch (const std::exception& exception) {
        qDebug() << "STD EXCEPTION! :" << exception.what();
    } catch (...) {
        qDebug() << "UNKNOWN EXCEPTION!";
    }
}

void AudioProcessor::applyPendingSettings()
{
    std::unique_lock<std::mutex> lock(mSettingsMutex);
    if (mDataParamsPending.exchange(false)) {
        mPitchFinder.setDataParams(mPendingDataParams);
        mTranscriber.setSamplingFrequency_Hz(static_cast<float>(mPendingDataParams.samplingFrequency_Hz));
        mSecondLook.setSamplingFrequency_Hz(static_cast<float>(mPendingDataParams.samplingFrequency_Hz));
    }
    if (mProcessingParamsPending.exchange(false))
        mPitchFinder.setProcessingParams(mPendingProcessingParams);
    if (mTranscriptionParamsPending.exchange(false)) {
        mTranscriber.setFilterCornerFrequency_Hz(mFilterCornerFrequency_Hz);
        mTranscriber.setSnacPeakThreshold(mSnacPeakThreshold);
        mTranscriber.setMinimumSnacPeak(mMinimumSnacPeak);
    }
    if (mMinimumVolumePending.exchange(false)) {
        mTranscriber.setMinimumVolume_normalized(mMinimumVolume_normalized);
        mSecondLook.setMinimumVolume_normalized(mMinimumVolume_normalized);
        HistoricPipeTuning historic = mTranscriber.historicTuning();
        historic.setMinimumVolume_normalized(mMinimumVolume_normalized);
        mTranscriber.setHistoricalTuning(historic);
    }
    if (mTuningPending.exchange(false)) {
        mReference = mPendingTuning;
        HistoricPipeTuning historic = mTranscriber.historicTuning();
        historic.setCalibratedTuning(mPendingTuning, true);
        mTranscriber.setHistoricalTuning(historic);
    }
    // The interval is applied with the reset, after it (which would set it
    // back to its default), in transcribeBlock.
}

void AudioProcessor::processBlock(const QByteArray& block, bool transcribing)
{
    if (block.isEmpty()) {
        qDebug() << "No data";
        return;
    }
    try {
        applyPendingSettings();
        if (!transcribing) {
            mLiveData += block;
            const int window_B = static_cast<int>(mPitchFinder.dataParams().dataSize_B());
            if (window_B > 0 && mLiveData.size() >= window_B) {
                const std::vector<short> window =
                    utils::decodePcm16(mLiveData.constData(), static_cast<std::size_t>(window_B));
                mPitchFinder.setData(window.data());
                mPitchFinder.calculatePitch();
                emit dataProcessed(mPitchFinder.analysisResults());
                mLiveData.clear();
            }
            return;
        }
        transcribeBlock(block, false);
    } catch (const std::exception& exception) {
        qDebug() << "STD EXCEPTION! :" << exception.what();
    } catch (...) {
        qDebug() << "UNKNOWN EXCEPTION!";
    }
}

void AudioProcessor::transcribeBlock(const QByteArray& block, bool forceRerun)
{
    if (mResetPending.exchange(false)) {
        mTranscriptionData.clear();
        // The running tuning estimate carries over from one recording to the next.
        const HistoricPipeTuning historic = mTranscriber.historicTuning();
        mTranscriber.reset();
        mTranscriber.setHistoricalTuning(historic);
        mSamplesTranscribed = 0;
        mIntervalPending = true;
        mLowAKnown = false;
        mNextEstimateAt_s = kLowAEstimateWindow_s;
        mRecordedSamples.clear();
        mLastMelody.clear();
        mLastGracing.clear();
        mSecondLook.reset();
        mSecondLookActive = mSecondLookEnabled;
    }
    if (mIntervalPending.exchange(false)) {
        std::unique_lock<std::mutex> lock(mSettingsMutex);
        mTranscriber.setTranscriptionInterval_s(std::max(mTranscribeInterval_s, kMinimumInterval_s));
    }
    if (mTranscriptionDisabled)
        return;
    mTranscriptionData += block;
    const int total = mTranscriptionData.size() / 2;
    try {
        const std::vector<short> fresh =
            utils::decodePcm16(mTranscriptionData.constData() + 2 * static_cast<std::size_t>(mSamplesTranscribed),
                               2 * static_cast<std::size_t>(total - mSamplesTranscribed));
        if (mEstimateLowA && !mLowAKnown && !estimateLowA(forceRerun)) {
            // Nothing is transcribed until the chanter's Low A is known.
            emit transcriptionVolume(levelOf(fresh.data(), fresh.size()));
            return;
        }
        // Fed a chunk at a time, as the recorder delivers them: the result
        // does not depend on how far behind this thread has fallen (a burst,
        // the wait for the Low A), and re-runs still come once an interval.
        const std::size_t piece = std::max<std::size_t>(1, mPitchFinder.dataParams().windowSize);
        bool changed = false;
        for (std::size_t start = 0; start < fresh.size(); start += piece) {
            const std::size_t count = std::min(piece, fresh.size() - start);
            changed = advanceTranscriber(fresh.data() + start, static_cast<unsigned int>(count), false) || changed;
            // What the transcriber took is not handed to it again after a failure.
            mSamplesTranscribed += static_cast<int>(count);
            mRecordedSamples.insert(mRecordedSamples.end(), fresh.begin() + static_cast<long>(start),
                                    fresh.begin() + static_cast<long>(start + count));
        }
        if (forceRerun)
            changed = advanceTranscriber(nullptr, 0, true);
        emit transcriptionVolume(mTranscriber.getLastRmsAverage_normalized(kVolumeWindows));
        if (changed)
            emitResult();
    } catch (const std::exception& exception) {
        qDebug() << "Proc thread STD EXCEPTION! :" << exception.what();
        reportFailedRun();
    } catch (...) {
        qDebug() << "Proc thread UNKNOWN EXCEPTION!";
        reportFailedRun();
    }
}

void AudioProcessor::emitResult()
{
    NoteMap melody = mTranscriber.notes();
    NoteMap gracing = mTranscriber.graceNotes();
    if (mSecondLookActive) {
        mSecondLook.setTuning(mReference);
        mSecondLook.revise(mRecordedSamples.data(), mRecordedSamples.size(), melody, gracing);
    }
    mLastMelody = melody;
    mLastGracing = gracing;
    emit transcriptionResult(mTranscriber.lastTranscribeTime_s(), melody, gracing, mTranscriber.tuning(), false);
}

void AudioProcessor::reportFailedRun()
{
    // The last good results, flagged, so the main window learns of the failure.
    emit transcriptionResult(mTranscriber.lastTranscribeTime_s(), mLastMelody, mLastGracing, mTranscriber.tuning(),
                             true);
}

bool AudioProcessor::estimateLowA(bool lastChance)
{
    const float rate_Hz = static_cast<float>(mPitchFinder.dataParams().samplingFrequency_Hz);
    const float recorded_s = rate_Hz > 0.0f ? static_cast<float>(mTranscriptionData.size() / 2) / rate_Hz : 0.0f;
    if (recorded_s < mNextEstimateAt_s && !lastChance)
        return false;
    // The newest seconds only: a piper who waits before playing costs no
    // more than one who starts at once.
    const int window_B = 2 * static_cast<int>(2.0f * kLowAEstimateWindow_s * rate_Hz);
    const QByteArray recent = mTranscriptionData.right(window_B);
    const std::vector<short> samples =
        utils::decodePcm16(recent.constData(), static_cast<std::size_t>(recent.size()));
    const LowAEstimate estimate = ::estimateLowA(samples, rate_Hz);
    if (!(estimate.lowA_Hz > 0.0f) && !lastChance) {
        // No chanter heard yet: try again a second later.
        mNextEstimateAt_s = recorded_s + 1.0f;
        return false;
    }
    // Without any pitch the running estimate starts from where it is.
    if (estimate.lowA_Hz > 0.0f) {
        PipeTuning reference;
        reference.setLowA_Hz(estimate.lowA_Hz);
        mReference = reference;
        HistoricPipeTuning historic = mTranscriber.historicTuning();
        historic.setCalibratedTuning(reference, true);
        mTranscriber.setHistoricalTuning(historic);
        qDebug().noquote() << QString("Low A estimated from the first %1 s: %2 Hz")
                                  .arg(static_cast<double>(recorded_s), 0, 'f', 1)
                                  .arg(static_cast<double>(estimate.lowA_Hz), 0, 'f', 1);
        emit lowAEstimated(estimate.lowA_Hz);
    }
    mLowAKnown = true;
    return true;
}

float AudioProcessor::levelOf(const short* samples, std::size_t count)
{
    // As the transcriber reports it: 0 at -120 dB or below, 1 at full scale.
    if (count == 0)
        return 0.0f;
    double sum = 0.0;
    for (std::size_t k = 0; k < count; ++k)
        sum += static_cast<double>(samples[k]) * samples[k];
    const double rms = std::sqrt(sum / static_cast<double>(count)) / 32768.0;
    const double dB = rms > 0.0 ? 20.0 * std::log10(rms) : -120.0;
    return static_cast<float>(std::clamp((dB + 120.0) / 120.0, 0.0, 1.0));
}

bool AudioProcessor::advanceTranscriber(const short* samples, unsigned int count, bool forceRerun)
{
    bool changed = false;
    if (count > 0)
        changed = mTranscriber.progressiveTranscribe(samples, count, false);
    if (forceRerun)
        changed = mTranscriber.progressiveTranscribe(nullptr, 0, true);
    return changed;
}

void AudioProcessor::playbackData(QByteArray data, int chunkSize)
{
    if (mPlaybackActive.exchange(true))
        return;
    if (QThread::currentThread() == thread())
        _playbackData(data, chunkSize);
    else
        QMetaObject::invokeMethod(this, "_playbackData", Qt::QueuedConnection, Q_ARG(QByteArray, data),
                                  Q_ARG(int, chunkSize));
}

void AudioProcessor::_playbackData(QByteArray data, int chunkSize)
{
    const int step = std::max(chunkSize, 2);
    for (int offset = 0; offset < data.size() && mPlaybackActive; offset += step)
        processBlock(data.mid(offset, step), mTranscriptionEnabled);
    // The end of a replayed recording is transcribed too.
    if (!data.isEmpty() && mTranscriptionEnabled && !mTranscriptionDisabled) {
        try {
            transcribeBlock(QByteArray(), true);
        } catch (...) {
            qDebug() << "UNKNOWN EXCEPTION!";
        }
    }
    mPlaybackActive = false;
    emit playbackFinised();
}
