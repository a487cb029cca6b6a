#include "AudioDevices.h"

#include "FileAudioInput.h"
#include "SilentAudioOutput.h"
#include "SystemAudioOutput.h"
#include "SystemAudioInput.h"

#include <QAudioDeviceInfo>

#include <algorithm>
#include <QFileInfo>

namespace audioDevices {

namespace {

double silentSpeed = 1.0;

// The system's devices that can be named: a sound server that cannot be
// reached leaves a nameless stand-in in the list, which opens nothing.
QList<QAudioDeviceInfo> systemDevices(QAudio::Mode mode)
{
    QList<QAudioDeviceInfo> devices = QAudioDeviceInfo::availableDevices(mode);
    devices.erase(std::remove_if(devices.begin(), devices.end(),
                                 [](const QAudioDeviceInfo& device) { return device.deviceName().isEmpty(); }),
                  devices.end());
    return devices;
}

} // namespace

QString InputFile::name() const
{
    return isSet() ? "File input: " + QFileInfo(path).fileName() : QString();
}

QString inputFileProblem(const QString& path)
{
    const QFileInfo info(path);
    if (!info.exists())
        return "does not exist";
    if (info.isDir())
        return "is a folder, not a recording";
    if (!info.isFile() || !info.isReadable())
        return "cannot be read";
    return QString();
}

QStringList inputNames(const InputFile& file)
{
    QStringList names;
    for (const QAudioDeviceInfo& device : systemDevices(QAudio::AudioInput))
        names << device.deviceName();
    if (file.isSet())
        names << file.name();
    return names;
}

QString chooseInput(const QString& name, const InputFile& file)
{
    if (file.chosen && file.isSet())
        return file.name();
    const QStringList names = inputNames(file);
    if (!name.isEmpty() && names.contains(name))
        return name;
    const QAudioDeviceInfo preferred = QAudioDeviceInfo::defaultInputDevice();
    if (!preferred.isNull() && !preferred.deviceName().isEmpty())
        return preferred.deviceName();
    return file.name();
}

QList<int> inputSampleRates(const QString& name, const InputFile& file)
{
    if (file.isSet() && name == file.name()) {
        int rate_Hz = 0;
        std::string message;
        if (FileAudioInput::readRecording(file.path.toStdString(), rate_Hz, message).empty())
            return {};
        return {rate_Hz};
    }
    for (const QAudioDeviceInfo& device : systemDevices(QAudio::AudioInput)) {
        if (device.deviceName() == name) {
            QList<int> rates = device.supportedSampleRates();
            std::sort(rates.begin(), rates.end());
            rates.erase(std::unique(rates.begin(), rates.end()), rates.end());
            return rates;
        }
    }
    return {};
}

std::unique_ptr<AudioInputBackend> openInput(const QString& name, const QAudioFormat& format, const InputFile& file,
                                             QString& error)
{
    if (file.isSet() && name == file.name()) {
        int rate_Hz = 0;
        std::string message;
        std::vector<short> samples = FileAudioInput::readRecording(file.path.toStdString(), rate_Hz, message);
        if (samples.empty()) {
            error = QString::fromStdString(message);
            return nullptr;
        }
        if (rate_Hz != format.sampleRate()) {
            error = file.path + " is recorded at " + QString::number(rate_Hz)
                    + " Hz; the input runs at " + QString::number(format.sampleRate())
                    + " Hz (set the recording frequency to match)";
            return nullptr;
        }
        auto input = std::make_unique<FileAudioInput>(std::move(samples), rate_Hz, format);
        input->setSpeed(file.speed);
        input->setPeriodSamples(file.periodSamples);
        return input;
    }
    for (const QAudioDeviceInfo& device : systemDevices(QAudio::AudioInput)) {
        if (device.deviceName() == name) {
            if (!device.isFormatSupported(format)) {
                error = name + " does not record 16-bit mono at " + QString::number(format.sampleRate()) + " Hz";
                return nullptr;
            }
            return std::make_unique<SystemAudioInput>(device, format);
        }
    }
    error = name.isEmpty() ? QString("There is no audio input") : "There is no audio input named " + name;
    return nullptr;
}

QString chooseOutput(const QString& name)
{
    const QStringList names = outputNames();
    return names.contains(name) ? name : names.constFirst();
}

QStringList outputNames()
{
    QStringList names;
    for (const QAudioDeviceInfo& device : systemDevices(QAudio::AudioOutput))
        names << device.deviceName();
    names << kSilentOutputName;
    return names;
}

void setSilentOutputSpeed(double speed)
{
    silentSpeed = speed;
}

std::unique_ptr<AudioOutputBackend> openOutput(const QString& name, const QAudioFormat& format, QString& error)
{
    const QList<QAudioDeviceInfo> devices = systemDevices(QAudio::AudioOutput);
    if (name == kSilentOutputName || devices.isEmpty())
        return std::make_unique<SilentAudioOutput>(format.sampleRate(), silentSpeed);
    for (const QAudioDeviceInfo& device : devices) {
        if (device.deviceName() == name) {
            if (!device.isFormatSupported(format)) {
                error = "raw audio format not supported by backend, cannot play audio. Device is " + name;
                return nullptr;
            }
            return std::make_unique<SystemAudioOutput>(device, format);
        }
    }
    error = "There is no audio output named " + name;
    return nullptr;
}

} // namespace audioDevices
