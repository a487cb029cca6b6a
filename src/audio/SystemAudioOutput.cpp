#include "SystemAudioOutput.h"

SystemAudioOutput::SystemAudioOutput(const QAudioDeviceInfo& device, const QAudioFormat& format, QObject* parent)
    : AudioOutputBackend(parent), mOutput(new QAudioOutput(device, format, this))
{
    connect(mOutput, &QAudioOutput::notify, this, &AudioOutputBackend::notify);
    connect(mOutput, &QAudioOutput::stateChanged, this, &AudioOutputBackend::stateChanged);
}
