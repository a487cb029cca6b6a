#include "ProjectContents.h"

#include "NorlaFileVnt.h"
#include "WaveFile.h"
#include "utils.h"

#include <QDateTime>

namespace {

constexpr int kMinimumSamplingFrequency_Hz = 8000;

QString toQString(const std::string& text) { return QString::fromStdString(text); }

} // namespace

QByteArray pcmBytes(const std::vector<short>& samples)
{
    const std::vector<char> bytes = utils::encodePcm16(samples);
    return QByteArray(bytes.data(), static_cast<int>(bytes.size()));
}

QByteArray waveFileBytes(const std::vector<short>& samples, float samplingFrequency_Hz)
{
    const std::vector<std::uint8_t> header = WaveFile::rawHeader(
        WaveFile::generateHeader(static_cast<int>(samples.size()), static_cast<int>(samplingFrequency_Hz)));
    return QByteArray(reinterpret_cast<const char*>(header.data()), static_cast<int>(header.size()))
           + pcmBytes(samples);
}

bool ProjectContents::read(const std::string& path, ProjectContents& contents, std::string& error)
{
    NorlaFileVnt project;
    QString message;
    if (!project.open(toQString(path), message)) {
        error = path + ": " + message.toStdString();
        return false;
    }
    if (project.recordingFrequency_Hz() < kMinimumSamplingFrequency_Hz) {
        error = path + ": the sample rate of " + std::to_string(project.recordingFrequency_Hz())
                + " Hz is below the 8000 Hz minimum";
        return false;
    }
    ProjectContents read;
    const QByteArray audio = project.audioData();
    read.samples = utils::decodePcm16(audio.constData(), static_cast<std::size_t>(audio.size()));
    if (read.samples.empty()) {
        error = path + ": the file holds no audio";
        return false;
    }
    read.samplingFrequency_Hz = static_cast<float>(project.recordingFrequency_Hz());
    read.tuneName = project.tuneName().toStdString();
    read.tuneType = project.tuneType().toStdString();
    read.composer = project.composedBy().toStdString();
    read.timeSigNumerator = project.timeSigNumerator();
    read.timeSigDenominator = project.timeSigDenominator();
    read.bpm = project.bpm();
    read.timeShift_s = project.timeShift_s();
    read.recordedAppVersion = project.recordedAppVersion();
    read.recordedTime = project.recordedTime().toStdString();
    read.recordedInstallId = project.recordedInstallId().toStdString();

    std::map<PipeTuning::ReferenceNote, float> frequencies;
    for (const auto& [key, frequency_Hz] : project.noteFrequencies()) {
        for (int index = 0; index < PipeTuning::kMelodyNoteCount; ++index) {
            const PipeTuning::ReferenceNote note = PipeTuning::noteIndexToReferenceNote(index);
            if (toString(referenceNoteToNoteName(note)) == key && frequency_Hz > 0.0f)
                frequencies[note] = frequency_Hz;
        }
    }
    if (frequencies.count(PipeTuning::LowA) > 0) {
        PipeTuning calibration;
        calibration.setTuningScheme(PipeTuning::Calibrated, frequencies);
        read.calibration = calibration;
    }
    contents = std::move(read);
    return true;
}

bool ProjectContents::write(const std::string& path, int appVersion, const std::string& installId,
                            std::string& error) const
{
    NorlaFileVnt project;
    project.setAudioData(pcmBytes(samples));
    project.setRecordingFrequency_Hz(static_cast<int>(samplingFrequency_Hz));
    project.setTuneName(toQString(tuneName));
    project.setTuneType(toQString(tuneType));
    project.setComposedBy(toQString(composer));
    project.setTimeSigNumerator(timeSigNumerator);
    project.setTimeSigDenominator(timeSigDenominator);
    project.setBpm(bpm);
    project.setTimeShift_s(timeShift_s);
    std::map<std::string, float> frequencies;
    if (calibration) {
        for (const auto& [note, centre_Hz] : calibration->getNoteCentreFrequencies())
            frequencies[toString(referenceNoteToNoteName(note))] = centre_Hz;
    }
    project.setNoteFrequencies(frequencies);
    const bool stamped = !recordedTime.empty();
    project.setRecordedAppVersion(stamped ? recordedAppVersion : appVersion);
    project.setRecordedTime(stamped ? toQString(recordedTime)
                                    : QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
    project.setRecordedInstallId(stamped ? toQString(recordedInstallId) : toQString(installId));
    project.setAppVersion(appVersion);
    project.setFileCreationInstallId(toQString(installId));
    QString message;
    if (!project.save(toQString(path), message)) {
        error = path + ": " + message.toStdString();
        return false;
    }
    return true;
}
