#include "FileAudioInput.h"

#include "AudioFileReader.h"
#include "ProjectContents.h"
#include "utils.h"

#include <QDebug>

#include <algorithm>
#include <cstring>

// The device the recorder reads: bytes are queued by the timer and read
// away by the recorder; sequential, like an audio input's.
class FileAudioInput::Reader : public QIODevice
{
public:
    using QIODevice::QIODevice;
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return mQueued.size() + QIODevice::bytesAvailable(); }
    void queue(const QByteArray& bytes)
    {
        mQueued += bytes;
        emit readyRead();
    }

protected:
    qint64 readData(char* data, qint64 maxSize) override
    {
        const qint64 count = std::min<qint64>(maxSize, mQueued.size());
        std::memcpy(data, mQueued.constData(), static_cast<std::size_t>(count));
        mQueued.remove(0, static_cast<int>(count));
        return count;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    QByteArray mQueued;
};

FileAudioInput::FileAudioInput(std::vector<short> samples, int samplingFrequency_Hz, const QAudioFormat& format,
                               QObject* parent)
    : AudioInputBackend(parent), mSamplingFrequency_Hz(samplingFrequency_Hz), mFormat(format), mTimer(this)
{
    const std::vector<char> bytes = utils::encodePcm16(samples);
    mRecording = QByteArray(bytes.data(), static_cast<int>(bytes.size()));
    mTimer.setTimerType(Qt::PreciseTimer);
    connect(&mTimer, &QTimer::timeout, this, &FileAudioInput::deliverDue);
}

std::vector<short> FileAudioInput::readRecording(const std::string& path, int& samplingFrequency_Hz,
                                                 std::string& error)
{
    QByteArray bytes;
    if (!readInputFile(path, bytes, error))
        return {};
    if (bytes.startsWith("norla_vnt")) {
        ProjectContents project;
        if (!ProjectContents::fromBytes(bytes, path, project, error))
            return {};
        samplingFrequency_Hz = static_cast<int>(project.samplingFrequency_Hz);
        return project.samples;
    }
    AudioData audio;
    if (!decodeAudio(bytes, path, audio, error))
        return {};
    samplingFrequency_Hz = static_cast<int>(audio.samplingFrequency_Hz);
    return audio.samples;
}

QIODevice* FileAudioInput::start()
{
    stop();
    if (mFormat.sampleRate() != mSamplingFrequency_Hz || mFormat.channelCount() != 1 || mFormat.sampleSize() != 16) {
        qWarning() << "File input: the recording is" << mSamplingFrequency_Hz << "Hz mono 16-bit, the input wants"
                   << mFormat.sampleRate() << "Hz," << mFormat.channelCount() << "channels," << mFormat.sampleSize()
                   << "bits: it is not played";
        mError = QAudio::OpenError;
        setState(QAudio::StoppedState);
        return nullptr;
    }
    mError = QAudio::NoError;
    mPosition_B = -mLeadIn_B;
    mDelivered_B = 0;
    mReader = new Reader(this);
    mReader->open(QIODevice::ReadOnly);
    // Ticks a few times a period; the clock decides what is due, so the pace
    // is exact and a late tick delivers what it missed at once.
    const double period_ms = 1000.0 * mPeriodSamples / mSamplingFrequency_Hz / mSpeed;
    mTimer.start(std::max(1, static_cast<int>(period_ms / 4)));
    mClock.start();
    setState(QAudio::ActiveState);
    return mReader;
}

void FileAudioInput::stop()
{
    mTimer.stop();
    if (mReader != nullptr) {
        mReader->deleteLater();
        mReader = nullptr;
    }
    setState(QAudio::StoppedState);
}

void FileAudioInput::disconnectDevice()
{
    mTimer.stop();
    mError = QAudio::IOError;
    setState(QAudio::StoppedState);
}

void FileAudioInput::deliverDue()
{
    if (mReader == nullptr)
        return;
    const qint64 period_B = 2LL * mPeriodSamples;
    const double due_B = mClock.nsecsElapsed() * 1e-9 * mSamplingFrequency_Hz * mSpeed * 2.0;
    QByteArray due;
    while (static_cast<double>(mDelivered_B + period_B) <= due_B) {
        // Silence before the recording (the lead-in) and after it.
        const qint64 silence_B = std::clamp<qint64>(-mPosition_B, 0, period_B);
        QByteArray period(static_cast<int>(silence_B), '\0');
        period += mRecording.mid(static_cast<int>(std::min<qint64>(mPosition_B + silence_B, mRecording.size())),
                                 static_cast<int>(period_B - silence_B));
        period.append(QByteArray(static_cast<int>(period_B - period.size()), '\0'));
        due += period;
        mPosition_B += period_B;
        mDelivered_B += period_B;
    }
    if (!due.isEmpty())
        mReader->queue(due);
}

void FileAudioInput::setState(QAudio::State state)
{
    if (state == mState)
        return;
    mState = state;
    emit stateChanged(state);
}
