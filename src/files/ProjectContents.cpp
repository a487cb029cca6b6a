#include "ProjectContents.h"

#include "InputBounds.h"
#include "NorlaFileVnt.h"
#include "WaveFile.h"
#include "utils.h"

#include <QDateTime>
#include <QFile>

#include <cmath>
#include <sstream>

namespace {

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
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly)) {
        error = path + ": " + file.errorString().toStdString();
        return false;
    }
    return fromBytes(file.readAll(), path, contents, error);
}

bool ProjectContents::fromBytes(const QByteArray& bytes, const std::string& name, ProjectContents& contents,
                                std::string& error)
{
    NorlaFileVnt project;
    QString message;
    if (!project.fromBytes(bytes, message)) {
        error = name + ": " + message.toStdString();
        return false;
    }
    if (!bounds::kSamplingFrequency_Hz.contains(project.recordingFrequency_Hz())) {
        error = name + ": the sample rate of " + std::to_string(project.recordingFrequency_Hz()) + " Hz is outside "
                + bounds::kSamplingFrequency_Hz.text() + " Hz";
        return false;
    }
    ProjectContents read;
    const QByteArray audio = project.audioData();
    read.samples = utils::decodePcm16(audio.constData(), static_cast<std::size_t>(audio.size()));
    if (read.samples.empty()) {
        error = name + ": the file holds no audio";
        return false;
    }
    read.samplingFrequency_Hz = static_cast<float>(project.recordingFrequency_Hz());
    read.tuneName = project.tuneName().toStdString();
    read.tuneType = project.tuneType().toStdString();
    read.composer = project.composedBy().toStdString();
    read.recordedAppVersion = project.recordedAppVersion();
    read.recordedTime = project.recordedTime().toStdString();
    read.recordedInstallId = project.recordedInstallId().toStdString();

    // A value outside its range is clamped; one that is no number at all
    // takes the default.
    auto clamped = [&read](const char* field, double value, const bounds::Range& range, double fallback) {
        if (range.contains(value))
            return value;
        const double used = std::isnan(value) ? fallback : range.clamp(value);
        std::ostringstream warning;
        warning << "the " << field << " of " << value << " is outside " << range.text() << "; using " << used;
        read.warnings.push_back(warning.str());
        return used;
    };
    read.bpm = static_cast<float>(clamped("tempo (bpm)", project.bpm(), bounds::kBpm, read.bpm));
    read.timeShift_s =
        static_cast<float>(clamped("time shift (s)", project.timeShift_s(), bounds::kTimeShift_s, read.timeShift_s));
    if (bounds::isOfferedTimeSignature(project.timeSigNumerator(), project.timeSigDenominator())) {
        read.timeSigNumerator = project.timeSigNumerator();
        read.timeSigDenominator = project.timeSigDenominator();
    } else {
        read.warnings.push_back("the time signature " + std::to_string(project.timeSigNumerator()) + "/"
                                + std::to_string(project.timeSigDenominator()) + " is not one of 4/4, 3/4, 2/4, 2/2 "
                                "and 6/8; using 4/4");
    }

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
        std::string reason;
        if (bounds::isPlayableTuning(calibration, reason))
            read.calibration = calibration;
        else
            read.warnings.push_back("the chanter calibration is ignored: " + reason);
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
