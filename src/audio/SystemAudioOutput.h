#pragma once

// The system's audio output device through QAudioOutput.

#include "AudioOutputBackend.h"

#include <QAudioDeviceInfo>
#include <QAudioOutput>

class SystemAudioOutput : public AudioOutputBackend
{
    Q_OBJECT
public:
    SystemAudioOutput(const QAudioDeviceInfo& device, const QAudioFormat& format, QObject* parent = nullptr);

    void setNotifyInterval(int ms) override { mOutput->setNotifyInterval(ms); }
    void start(QIODevice* source) override { mOutput->start(source); }
    void stop() override { mOutput->stop(); }
    void suspend() override { mOutput->suspend(); }
    void resume() override { mOutput->resume(); }
    QAudio::State state() const override { return mOutput->state(); }

private:
    QAudioOutput* mOutput; // a child
};
