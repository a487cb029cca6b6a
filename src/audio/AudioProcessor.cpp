#include "AudioProcessor.h"

#include "utils.h"

#include <QDebug>
#include <QMetaObject>
#include <QThread>

#include <algorithm>
#include <exception>
#include <functional>

AudioProcessor::AudioProcessor(QObject* parent) : AudioProcessor(std::make_unique<TranscriptionSession>(), parent) {}

AudioProcessor::AudioProcessor(std::unique_ptr<TranscriptionSession> session, QObject* parent)
    : QObject(parent), mSession(std::move(session))
{
}

void AudioProcessor::setDataParams(PitchFinder::DataParams params)
{
    {
        std::unique_lock<std::mutex> lock(mSettingsMutex);
        mPendingDataParams = params;
        // The session takes the samples a pitch window at a time.
        mSessionSettings.samplingFrequency_Hz = static_cast<float>(params.samplingFrequency_Hz);
        mSessionSettings.pieceSamples = std::max<std::size_t>(1, params.windowSize);
    }
    mDataParamsPending = true;
    mSessionSettingsPending = true;
}

void AudioProcessor::setParams(PitchFinder::ProcessingParams params)
{
    {
        std::unique_lock<std::mutex> lock(mSettingsMutex);
        mPendingProcessingParams = params;
    }
    mProcessingParamsPending = true;
}

void AudioProcessor::changeSessionSettings(const std::function<void(TranscriptionSession::Settings&)>& change)
{
    {
        std::unique_lock<std::mutex> lock(mSettingsMutex);
        change(mSessionSettings);
    }
    mSessionSettingsPending = true;
}

void AudioProcessor::setTranscriptionParams(float filterCornerFrequency_Hz, float snacPeakThreshold,
                                            float minimumSnacPeak)
{
    changeSessionSettings([&](TranscriptionSession::Settings& settings) {
        settings.filterCorner_Hz = filterCornerFrequency_Hz;
        settings.snacPeakThreshold = snacPeakThreshold;
        settings.minimumSnacPeak = minimumSnacPeak;
    });
}

void AudioProcessor::setMinimumVolume_normalized(float volume_normalized)
{
    changeSessionSettings(
        [&](TranscriptionSession::Settings& settings) { settings.minimumVolume_normalized = volume_normalized; });
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
    changeSessionSettings(
        [&](TranscriptionSession::Settings& settings) { settings.transcriptionInterval_s = interval_s; });
}

void AudioProcessor::setSecondLook(bool enable)
{
    changeSessionSettings([&](TranscriptionSession::Settings& settings) { settings.secondLook = enable; });
}

void AudioProcessor::setFindDrones(bool enable)
{
    changeSessionSettings([&](TranscriptionSession::Settings& settings) { settings.findDrones = enable; });
}

TranscriptionSession::Settings AudioProcessor::sessionSettings()
{
    std::unique_lock<std::mutex> lock(mSettingsMutex);
    return mSessionSettings;
}

void AudioProcessor::setClickSounds(std::vector<ClickSuppressor::Sound> sounds)
{
    {
        std::unique_lock<std::mutex> lock(mSettingsMutex);
        mClickSounds = std::move(sounds);
    }
    mClickSoundsPending = true;
}

void AudioProcessor::setAudioRecorder(AudioRecorder* recorder)
{
    std::unique_lock<std::mutex> lock(mRecorderMutex);
    mRecorder = recorder;
    mHistoricBytesProcessed = 0;
    mLiveBytesProcessed = 0;
    mClicksFetched = 0;
}

void AudioProcessor::fetchClicks()
{
    if (mRecorder == nullptr)
        return;
    const std::vector<AudioRecorder::ClickMark> clicks = mRecorder->clicksSince(mClicksFetched);
    mClicksFetched += clicks.size();
    mNewClicks.insert(mNewClicks.end(), clicks.begin(), clicks.end());
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
            fetchClicks();
            processBlock(recent, true);
            mHistoricBytesProcessed += recent.size();
        }
        mLiveBytesProcessed = 0;
        return;
    }
    mClicksFetched = 0;
    mNewClicks.clear();
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
    const QByteArray rest = recording.mid(mBytesTranscribed);
    {
        std::unique_lock<std::mutex> lock(mRecorderMutex);
        fetchClicks();
    }
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
    if (mDataParamsPending.exchange(false))
        mPitchFinder.setDataParams(mPendingDataParams);
    if (mProcessingParamsPending.exchange(false))
        mPitchFinder.setProcessingParams(mPendingProcessingParams);
    // The session applies only what changed; it takes the second look at
    // its next reset and sets the interval again after it.
    if (mSessionSettingsPending.exchange(false))
        mSession->setSettings(mSessionSettings);
    // The click sounds are made for the recording's rate.
    const float rate_Hz = mSession->settings().samplingFrequency_Hz;
    if (mClickSoundsPending.exchange(false) || mClickSoundsRate_Hz != rate_Hz) {
        mSession->clickSuppressor().setSounds(mClickSounds, rate_Hz);
        mClickSoundsRate_Hz = rate_Hz;
    }
    if (mTuningPending.exchange(false))
        mSession->setReference(mPendingTuning);
    mSession->setEstimateLowA(mEstimateLowA);
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
            mLiveData += heardLive(block);
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

QByteArray AudioProcessor::heardLive(const QByteArray& block)
{
    const TranscriptionSession::Settings& settings = mSession->settings();
    if (!settings.findDrones)
        return block;
    if (mLiveFilter.samplingFrequency_Hz() != settings.samplingFrequency_Hz)
        mLiveFilter.reset(settings.samplingFrequency_Hz);
    // Listening goes on while no drones sound, so that drones struck in
    // later are found; drones that stop are listened for again, unless the
    // filter is cleaning a room.
    if (mLiveFilter.state() == ChanterFilter::State::Passing ||
        (mLiveFilter.cleaning() && !mLiveFilter.hearsDrones() && mLiveFilter.reverberationTime_s() <= 0.0f))
        mLiveFilter.reset();
    const std::vector<short> samples = utils::decodePcm16(block.constData(), static_cast<std::size_t>(block.size()));
    mLiveFilter.push(samples.data(), samples.size());
    if (!mLiveFilter.cleaning())
        return block;
    std::vector<short> cleaned;
    mLiveFilter.take(cleaned);
    // When the drones are first found the seconds listened to come cleaned
    // at once: the pitch shown is the newest.
    if (cleaned.size() > samples.size())
        cleaned.erase(cleaned.begin(), cleaned.end() - static_cast<long>(samples.size()));
    const std::vector<char> bytes = utils::encodePcm16(cleaned);
    return QByteArray(bytes.data(), static_cast<int>(bytes.size()));
}

void AudioProcessor::transcribeBlock(const QByteArray& block, bool finishing)
{
    if (mResetPending.exchange(false)) {
        mSession->reset();
        mBytesTranscribed = 0;
        mSplitSample.clear();
        mLowAReported = false;
    }
    if (mTranscriptionDisabled)
        return;
    // Told before the samples they may sound in.
    for (const AudioRecorder::ClickMark& click : mNewClicks)
        mSession->clickSuppressor().addClick(click.position, click.sound);
    mNewClicks.clear();
    mBytesTranscribed += block.size();
    mSplitSample += block;
    const std::size_t whole_B = static_cast<std::size_t>(mSplitSample.size()) / 2 * 2;
    const std::vector<short> samples = utils::decodePcm16(mSplitSample.constData(), whole_B);
    mSplitSample.remove(0, static_cast<int>(whole_B));
    try {
        bool changed = mSession->feed(samples.data(), samples.size());
        if (finishing)
            changed = mSession->finish();
        reportEstimatedLowA();
        emit transcriptionVolume(mSession->level_normalized());
        if (changed)
            emitResult(false);
    } catch (const std::exception& exception) {
        qDebug() << "Proc thread STD EXCEPTION! :" << exception.what();
        reportEstimatedLowA();
        emitResult(true);
    } catch (...) {
        qDebug() << "Proc thread UNKNOWN EXCEPTION!";
        reportEstimatedLowA();
        emitResult(true);
    }
}

void AudioProcessor::emitResult(bool error)
{
    // After a failure, the last good results, flagged, so the main window
    // learns of it.
    const TranscriptionSession::Result& result = mSession->result();
    emit transcriptionResult(result.analysed_s, result.melody, result.gracing, result.tuning, result.drones, error);
}

void AudioProcessor::reportEstimatedLowA()
{
    const float lowA_Hz = mSession->estimatedLowA_Hz();
    if (mLowAReported || !(lowA_Hz > 0.0f))
        return;
    mLowAReported = true;
    qDebug().noquote() << QString("Low A estimated from the first %1 s: %2 Hz")
                              .arg(static_cast<double>(mSession->recorded_s()), 0, 'f', 1)
                              .arg(static_cast<double>(lowA_Hz), 0, 'f', 1);
    emit lowAEstimated(lowA_Hz);
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

int AudioProcessor::transcribeRecording(QByteArray recording, float rate_Hz, TranscriptionOptions options)
{
    const int job = ++mRequestedJobs;
    QMetaObject::invokeMethod(this, "_transcribeRecording", Qt::QueuedConnection, Q_ARG(int, job),
                              Q_ARG(QByteArray, recording), Q_ARG(float, rate_Hz),
                              Q_ARG(TranscriptionOptions, options));
    return job;
}

void AudioProcessor::_transcribeRecording(int job, QByteArray recording, float rate_Hz, TranscriptionOptions options)
{
    std::atomic<bool> cancel{job <= mCancelledJobs};
    int shown_percent = -1;
    auto progress = [&](float fraction) {
        if (job <= mCancelledJobs)
            cancel = true;
        const int percent = static_cast<int>(fraction * 100.0f);
        if (percent != shown_percent)
            emit recordingProgress(job, static_cast<float>(percent) / 100.0f);
        shown_percent = percent;
    };
    TranscriptionResult result;
    bool error = false;
    try {
        if (cancel)
            result.cancelled = true;
        else
            result = ::transcribeRecording(
                utils::decodePcm16(recording.constData(), static_cast<std::size_t>(recording.size())), rate_Hz,
                options, progress, &cancel);
    } catch (const std::exception& exception) {
        qWarning() << "Transcribing a recording failed:" << exception.what();
        error = true;
    } catch (...) {
        qWarning() << "Transcribing a recording failed";
        error = true;
    }
    emit recordingTranscribed(job, result, error);
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
