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

QString registeredFile;
// Asked for (command line, environment, tests): it comes before any device.
bool fileChosen = false;
double fileSpeed = 1.0;
int filePeriodSamples = 2048;
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

void setInputFile(const QString& path, double speed, int periodSamples, bool chosen)
{
    registeredFile = path;
    fileChosen = chosen;
    fileSpeed = speed;
    filePeriodSamples = periodSamples;
}

QString inputFile()
{
    return registeredFile;
}

bool inputFileChosen()
{
    return fileChosen;
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

QString fileInputName()
{
    return registeredFile.isEmpty() ? QString() : "File input: " + QFileInfo(registeredFile).fileName();
}

QStringList inputNames()
{
    QStringList names;
    for (const QAudioDeviceInfo& device : systemDevices(QAudio::AudioInput))
        names << device.deviceName();
    if (!registeredFile.isEmpty())
        names << fileInputName();
    return names;
}

QString chooseInput(const QString& name)
{
    if (fileChosen && !registeredFile.isEmpty())
        return fileInputName();
    const QStringList names = inputNames();
    if (!name.isEmpty() && names.contains(name))
        return name;
    const QAudioDeviceInfo preferred = QAudioDeviceInfo::defaultInputDevice();
    if (!preferred.isNull() && !preferred.deviceName().isEmpty())
        return preferred.deviceName();
    return fileInputName();
}

QList<int> inputSampleRates(const QString& name)
{
    if (!registeredFile.isEmpty() && name == fileInputName()) {
        int rate_Hz = 0;
        std::string message;
        if (FileAudioInput::readRecording(registeredFile.toStdString(), rate_Hz, message).empty())
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

std::unique_ptr<AudioInputBackend> openInput(const QString& name, const QAudioFormat& format, QString& error)
{
    if (!registeredFile.isEmpty() && name == fileInputName()) {
        int rate_Hz = 0;
        std::string message;
        std::vector<short> samples = FileAudioInput::readRecording(registeredFile.toStdString(), rate_Hz, message);
        if (samples.empty()) {
            error = QString::fromStdString(message);
            return nullptr;
        }
        if (rate_Hz != format.sampleRate()) {
            error = QString::fromStdString(registeredFile.toStdString()) + " is recorded at " + QString::number(rate_Hz)
                    + " Hz; the input runs at " + QString::number(format.sampleRate())
                    + " Hz (set the recording frequency to match)";
            return nullptr;
        }
        auto input = std::make_unique<FileAudioInput>(std::move(samples), rate_Hz, format);
        input->setSpeed(fileSpeed);
        input->setPeriodSamples(filePeriodSamples);
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
