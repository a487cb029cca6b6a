#include "AudioRecorderWrapper.h"

#include <QMetaObject>
#include <QThread>

AudioRecorderWrapper::~AudioRecorderWrapper() = default;

bool AudioRecorderWrapper::inOwnThread() const
{
    return QThread::currentThread() == thread();
}

void AudioRecorderWrapper::initialise()
{
    if (!inOwnThread()) {
        QMetaObject::invokeMethod(this, "initialise", Qt::AutoConnection);
        return;
    }
    if (mRecorder.load() == nullptr) {
        auto* recorder = new AudioRecorder(mInputFile, this);
        connect(recorder, &AudioRecorder::dataReceived, this, &AudioRecorderWrapper::dataReceived);
        connect(recorder, &AudioRecorder::firstDataReceived, this, &AudioRecorderWrapper::firstDataReceived);
        connect(recorder, &AudioRecorder::inputFailed, this, &AudioRecorderWrapper::inputFailed);
        mRecorder = recorder;
    }
    emit initialised();
}

void AudioRecorderWrapper::start(QString deviceName, int frequency_Hz, int numNotifySamples)
{
    if (!inOwnThread()) {
        QMetaObject::invokeMethod(this, "start", Qt::AutoConnection, Q_ARG(QString, deviceName),
                                  Q_ARG(int, frequency_Hz), Q_ARG(int, numNotifySamples));
        return;
    }
    if (AudioRecorder* recorder = mRecorder.load())
        recorder->restart(deviceName, frequency_Hz, numNotifySamples);
}

void AudioRecorderWrapper::stop()
{
    if (!inOwnThread()) {
        QMetaObject::invokeMethod(this, "stop", Qt::AutoConnection);
        return;
    }
    if (AudioRecorder* recorder = mRecorder.load())
        recorder->stop();
}

QByteArray AudioRecorderWrapper::recordedData() const
{
    AudioRecorder* recorder = mRecorder.load();
    return recorder != nullptr ? recorder->recordedData() : QByteArray();
}

void AudioRecorderWrapper::enableHistoricRecording(bool enable, qint64 leadIn_samples,
                                                   AudioRecorder::HistoricStart start)
{
    if (AudioRecorder* recorder = mRecorder.load())
        recorder->enableHistoricRecording(enable, leadIn_samples, start);
}

void AudioRecorderWrapper::markClick(int sound)
{
    if (AudioRecorder* recorder = mRecorder.load())
        recorder->markClick(sound);
}

float AudioRecorderWrapper::getElapsed_s() const
{
    AudioRecorder* recorder = mRecorder.load();
    return recorder != nullptr ? recorder->getElapsed_s() : 0.0f;
}

float AudioRecorderWrapper::getPosition_s() const
{
    AudioRecorder* recorder = mRecorder.load();
    return recorder != nullptr ? recorder->getPosition_s() : 0.0f;
}
