#pragma once

// The system's audio input device through QAudioInput.

#include "AudioInputBackend.h"

#include <QAudioDeviceInfo>
#include <QAudioInput>

class SystemAudioInput : public AudioInputBackend
{
    Q_OBJECT
public:
    SystemAudioInput(const QAudioDeviceInfo& device, const QAudioFormat& format, QObject* parent = nullptr);

    QIODevice* start() override;
    void stop() override;
    QAudio::State state() const override { return mInput->state(); }
    QAudio::Error error() const override { return mInput->error(); }

private:
    QAudioInput* mInput; // a child
};
