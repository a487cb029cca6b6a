#include "SystemAudioInput.h"

SystemAudioInput::SystemAudioInput(const QAudioDeviceInfo& device, const QAudioFormat& format, QObject* parent)
    : AudioInputBackend(parent), mInput(new QAudioInput(device, format, this))
{
    connect(mInput, &QAudioInput::stateChanged, this, &AudioInputBackend::stateChanged);
}

QIODevice* SystemAudioInput::start()
{
    return mInput->start();
}

void SystemAudioInput::stop()
{
    mInput->stop();
}
