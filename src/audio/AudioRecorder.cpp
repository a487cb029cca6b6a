#include "AudioRecorder.h"

#include "AudioDevices.h"

#include <QDebug>

#include <algorithm>
#include <mutex>
#include <utility>

namespace {

QString stateText(QAudio::State state)
{
    switch (state) {
    case QAudio::ActiveState: return "Active";
    case QAudio::SuspendedState: return "Suspended";
    case QAudio::StoppedState: return "Stopped";
    case QAudio::IdleState: return "Idle";
    default: return "Unknown!";
    }
}

QString errorText(QAudio::Error error)
{
    switch (error) {
    case QAudio::NoError: return "";
    case QAudio::OpenError: return "An error opening the audio device";
    case QAudio::IOError: return "An error occurred during read/write of audio device";
    case QAudio::UnderrunError: return "Audio data is not being fed to the audio device at a fast enough rate";
    case QAudio::FatalError: return "A non-recoverable error has occurred, the audio device is not usable at this time";
    default: return "Unknown";
    }
}

} // namespace

AudioRecorder::AudioRecorder(audioDevices::InputFile file, QObject* parent)
    : QObject(parent), mInputFile(std::move(file))
{
    mFormat.setCodec("audio/pcm");
    mFormat.setByteOrder(QAudioFormat::LittleEndian);
    mFormat.setSampleSize(16);
    mFormat.setSampleType(QAudioFormat::SignedInt);
    mFormat.setChannelCount(1);
    mFormat.setSampleRate(44100);
    mDeviceName = audioDevices::chooseInput(QString(), mInputFile);
}

AudioRecorder::~AudioRecorder() = default;

bool AudioRecorder::initialise(int sampleRate_Hz, int numNotifySamples)
{
    qDebug() << QString("INITIALISE to %1 Hz").arg(sampleRate_Hz);
    if (mInput) {
        qWarning() << "INITIALISE called with existing audio input";
        stop();
        mInput.reset();
    }
    mFormat.setSampleRate(sampleRate_Hz);
    QString error;
    mInput = audioDevices::openInput(mDeviceName, mFormat, mInputFile, error);
    if (!mInput) {
        qWarning() << "No audio input:" << error;
        emit inputFailed(QString("The audio input \"%1\" cannot be opened: %2").arg(mDeviceName, error));
    } else {
        mInput->setParent(this);
    }
    mChunkSize_B = mFormat.channelCount() * numNotifySamples * mFormat.sampleSize() / 8;
    mPending.clear();
    std::unique_lock<std::mutex> lock(mMutex);
    if (mHistoricAtInputStart) {
        mHistoricAtInputStart = false;
        beginHistoric(true);
    }
    mRecorded.clear();
    mLiveBytesReceived = 0;
    mFirstDataSignalled = false;
    // A recording starts again with the input: its lead-in is whole again,
    // and a file played in waits it out.
    mLeadInLeft_B = mHistoricRecording ? mLeadIn_B : 0;
    if (mInput)
        mInput->setLeadIn_samples(mLeadInLeft_B / 2);
    return true;
}

void AudioRecorder::start()
{
    {
        std::unique_lock<std::mutex> lock(mMutex);
        mRecorded.clear();
        mLiveBytesReceived = 0;
    }
    if (!mInput)
        return;
    qDebug() << QString("STARTING (State is %1)").arg(static_cast<int>(mInput->state()));
    mRecording = true;
    connect(mInput.get(), &AudioInputBackend::stateChanged, this, &AudioRecorder::audioStateChanged,
            Qt::UniqueConnection);
    mInputDevice = mInput->start();
    if (mInputDevice != nullptr)
        connect(mInputDevice, &QIODevice::readyRead, this, &AudioRecorder::audioDataReady);
}

void AudioRecorder::stop()
{
    qDebug() << "Stopping audio recording";
    if (!mRecording) {
        qWarning() << "Stop called with mRecording false";
        return;
    }
    mRecording = false;
    if (mInputDevice != nullptr)
        disconnect(mInputDevice, &QIODevice::readyRead, this, &AudioRecorder::audioDataReady);
    if (mInput) {
        mInput->stop();
        mInput.reset();
    }
    mInputDevice = nullptr;
}

void AudioRecorder::restart(const QString& deviceName, int sampleRate_Hz, int numNotifySamples)
{
    if (mRecording)
        stop();
    setAudioDevice(deviceName);
    initialise(sampleRate_Hz, numNotifySamples);
    start();
}

void AudioRecorder::setAudioDevice(const QString& deviceName)
{
    if (audioDevices::inputNames(mInputFile).contains(deviceName))
        mDeviceName = deviceName;
}

void AudioRecorder::enableHistoricRecording(bool enable, qint64 leadIn_samples, HistoricStart start)
{
    std::unique_lock<std::mutex> lock(mMutex);
    mLeadIn_B = enable ? 2 * std::max<qint64>(leadIn_samples, 0) : 0;
    mHistoricAtInputStart = enable && start == HistoricStart::AtInputStart;
    if (mHistoricAtInputStart)
        return;
    beginHistoric(enable);
}

void AudioRecorder::beginHistoric(bool enable)
{
    mLeadInLeft_B = mLeadIn_B;
    if (enable) {
        mRecorded.clear();
        mClicks.clear();
        mRead_B = -mLeadIn_B;
        mLastRead.invalidate();
        mFirstDataSignalled = false;
    }
    mLiveBytesReceived = 0;
    mHistoricRecording = enable;
}

QByteArray AudioRecorder::recordedData() const
{
    std::unique_lock<std::mutex> lock(mMutex);
    return mRecorded;
}

qint64 AudioRecorder::getLiveBytesReceived() const
{
    std::unique_lock<std::mutex> lock(mMutex);
    return mLiveBytesReceived;
}

QByteArray AudioRecorder::getRecentData(qint64 fromByte) const
{
    std::unique_lock<std::mutex> lock(mMutex);
    if (mRecorded.size() <= fromByte)
        return QByteArray();
    return mRecorded.mid(static_cast<int>(fromByte));
}

float AudioRecorder::getElapsed_s() const
{
    const int rate_Hz = mFormat.sampleRate();
    if (rate_Hz == 0)
        return 0.0f;
    std::unique_lock<std::mutex> lock(mMutex);
    return static_cast<float>(static_cast<double>(mRecorded.size() - mLeadInLeft_B) / (2.0 * rate_Hz));
}

qint64 AudioRecorder::position_samples() const
{
    qint64 position = (mRecorded.size() - mLeadInLeft_B) / 2;
    if (mLastRead.isValid()) {
        const qint64 since_ms = std::min(mLastRead.elapsed(), kLongestReadGap_ms);
        position = std::max(position, mRead_B / 2 + since_ms * mFormat.sampleRate() / 1000);
    }
    return position;
}

float AudioRecorder::getPosition_s() const
{
    const int rate_Hz = mFormat.sampleRate();
    if (rate_Hz == 0)
        return 0.0f;
    std::unique_lock<std::mutex> lock(mMutex);
    return static_cast<float>(static_cast<double>(position_samples()) / rate_Hz);
}

void AudioRecorder::markClick(int sound)
{
    std::unique_lock<std::mutex> lock(mMutex);
    if (!mHistoricRecording)
        return;
    mClicks.push_back({static_cast<std::size_t>(std::max<qint64>(position_samples(), 0)), sound});
}

std::vector<AudioRecorder::ClickMark> AudioRecorder::clicksSince(std::size_t from) const
{
    std::unique_lock<std::mutex> lock(mMutex);
    if (from >= mClicks.size())
        return {};
    return std::vector<ClickMark>(mClicks.begin() + static_cast<long>(from), mClicks.end());
}

void AudioRecorder::audioStateChanged(QAudio::State state)
{
    qDebug() << QString("Audio state changed to: %1").arg(stateText(state));
    if (state != QAudio::StoppedState)
        return;
    qDebug() << QString("Audio stopped. Error was: %1")
                    .arg(mInput ? errorText(mInput->error()) : QString("Unknown (Null mAudioInput)"));
    if (mRecording && mInput && mInput->error() != QAudio::NoError) {
        const QString message = QString("The audio input \"%1\" stopped: %2").arg(mDeviceName, errorText(mInput->error()));
        qWarning().noquote() << message << QString("(%1 s recorded are kept)").arg(getElapsed_s(), 0, 'f', 1);
        emit inputFailed(message);
    }
}

void AudioRecorder::audioDataReady()
{
    if (!mInput || mInputDevice == nullptr)
        return;
    mPending += mInputDevice->readAll();
    {
        std::unique_lock<std::mutex> lock(mMutex);
        if (mHistoricRecording) {
            mRead_B = mRecorded.size() + mPending.size() - mLeadInLeft_B;
            mLastRead.start();
        }
        if (!mPending.isEmpty() && !mFirstDataSignalled && mHistoricRecording) {
            mFirstDataSignalled = true;
            lock.unlock();
            emit firstDataReceived();
        }
    }
    if (mPending.size() < mChunkSize_B)
        return;
    int offset = 0;
    for (; mPending.size() - offset >= mChunkSize_B; offset += mChunkSize_B) {
        const QByteArray chunk = mPending.mid(offset, mChunkSize_B);
        qint64 total = 0;
        const bool historic = mHistoricRecording;
        {
            std::unique_lock<std::mutex> lock(mMutex);
            if (historic) {
                // The lead-in ends within a chunk as often as not.
                const int leadIn_B = static_cast<int>(std::min<qint64>(mLeadInLeft_B, chunk.size()));
                mLeadInLeft_B -= leadIn_B;
                mRecorded.append(chunk.constData() + leadIn_B, chunk.size() - leadIn_B);
                total = mRecorded.size();
            } else {
                mRecorded = chunk;
                mLiveBytesReceived += mChunkSize_B;
                total = mLiveBytesReceived;
            }
        }
        emit dataReceived(total, historic);
    }
    mPending.remove(0, offset);
}
