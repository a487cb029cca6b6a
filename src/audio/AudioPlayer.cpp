#include "AudioPlayer.h"

#include "AudioDevices.h"

#include <QDebug>
#include <QFile>
#include <QMetaObject>

#include <algorithm>

AudioPlayer::AudioPlayer() : mBuffer(this), mDeviceName(audioDevices::outputNames().constFirst())
{
    mThread.start(QThread::InheritPriority);
    moveToThread(&mThread);
}

AudioPlayer::~AudioPlayer()
{
    if (mThread.isRunning()) {
        mThread.quit();
        mThread.wait();
    }
}

void AudioPlayer::setAudioData(QByteArray data)
{
    if (!inOwnThread()) {
        QMetaObject::invokeMethod(this, "setAudioData", Qt::QueuedConnection, Q_ARG(QByteArray, data));
        return;
    }
    stop();
    mAudioData = data;
    mBuffer.close();
    mBuffer.setBuffer(&mAudioData);
    mBuffer.open(QIODevice::ReadOnly);
    start();
}

void AudioPlayer::start()
{
    if (!inOwnThread()) {
        QMetaObject::invokeMethod(this, "start", Qt::QueuedConnection);
        return;
    }
    if (mAudioData.isEmpty())
        return;
    stop();
    mFormat.setSampleRate(mSampleRate_Hz);
    mFormat.setChannelCount(1);
    mFormat.setSampleSize(16);
    mFormat.setCodec("audio/pcm");
    mFormat.setByteOrder(QAudioFormat::LittleEndian);
    mFormat.setSampleType(QAudioFormat::SignedInt);
    QString error;
    mOutput = audioDevices::openOutput(mDeviceName, mFormat, error);
    if (!mOutput) {
        qWarning() << error;
        emit playbackFailed(mDeviceName, error);
        return;
    }
    mOutput->setParent(this);
    if (!mBuffer.isOpen()) {
        mBuffer.setBuffer(&mAudioData);
        mBuffer.open(QIODevice::ReadOnly);
    }
    mOutput->setNotifyInterval(kNotifyInterval_ms);
    connect(mOutput.get(), &AudioOutputBackend::notify, this, &AudioPlayer::audioNotify);
    connect(mOutput.get(), &AudioOutputBackend::stateChanged, this, &AudioPlayer::audioStateChanged);
    mSeeked = false;
    mOutput->start(&mBuffer);
}

void AudioPlayer::stop()
{
    if (!inOwnThread()) {
        QMetaObject::invokeMethod(this, "stop", Qt::QueuedConnection);
        return;
    }
    if (mOutput) {
        mOutput->disconnect(this);
        mOutput->suspend();
        mOutput->stop();
        mOutput.reset();
    }
    mBuffer.close();
}

void AudioPlayer::pause()
{
    if (!inOwnThread()) {
        QMetaObject::invokeMethod(this, "pause", Qt::QueuedConnection);
        return;
    }
    if (!mOutput)
        return;
    if (mOutput->state() == QAudio::SuspendedState)
        mOutput->resume();
    else
        mOutput->suspend();
}

void AudioPlayer::seek(float seconds)
{
    if (!inOwnThread()) {
        QMetaObject::invokeMethod(this, "seek", Qt::QueuedConnection, Q_ARG(float, seconds));
        return;
    }
    if (!mOutput)
        return;
    mSeeked = true;
    mBuffer.seek(static_cast<qint64>(static_cast<int>(static_cast<float>(mSampleRate_Hz) * seconds)) * 2);
}

void AudioPlayer::loadFile(QString path, bool stereo)
{
    if (!inOwnThread()) {
        QMetaObject::invokeMethod(this, "loadFile", Qt::QueuedConnection, Q_ARG(QString, path), Q_ARG(bool, stereo));
        return;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        emit fileOpened(path, false, 0);
        return;
    }
    QByteArray data = file.readAll();
    if (stereo) {
        QByteArray left;
        for (int i = 0; i + 1 < data.size(); i += 4)
            left.append(data.mid(i, 2));
        data = left;
    }
    setAudioData(data);
    emit fileOpened(path, !data.isEmpty(), data.size());
}

void AudioPlayer::setAudioDevice(QString name)
{
    if (!inOwnThread()) {
        QMetaObject::invokeMethod(this, "setAudioDevice", Qt::QueuedConnection, Q_ARG(QString, name));
        return;
    }
    if (audioDevices::outputNames().contains(name))
        mDeviceName = name;
}

void AudioPlayer::quit()
{
    if (!inOwnThread()) {
        QMetaObject::invokeMethod(this, "quit", Qt::QueuedConnection);
        return;
    }
    stop();
    mThread.quit();
}

void AudioPlayer::finish()
{
    mThread.quit();
}

float AudioPlayer::time_s()
{
    return mSampleRate_Hz > 0 ? static_cast<float>(mAudioData.size() / 2) / static_cast<float>(mSampleRate_Hz) : 0.0f;
}

QByteArray AudioPlayer::bufferSubset(float from_s, float to_s)
{
    const int from = static_cast<int>(from_s * static_cast<float>(mSampleRate_Hz) * 2.0f);
    const int to = static_cast<int>(to_s * static_cast<float>(mSampleRate_Hz) * 2.0f);
    return to > from ? mAudioData.mid(from, to - from) : QByteArray();
}

void AudioPlayer::audioNotify()
{
    // The output reads ahead of what is heard: the position is held back by
    // that much, except at the very end.
    const qint64 position =
        mBuffer.atEnd() ? mBuffer.pos() : std::max<qint64>(0, mBuffer.pos() - kReadAhead_B);
    emit dataPlayed(mAudioData.constData(), position, mSeeked);
    mSeeked = false;
}

void AudioPlayer::audioStateChanged(QAudio::State state)
{
    if (state == QAudio::IdleState)
        emit audioFinished();
}
