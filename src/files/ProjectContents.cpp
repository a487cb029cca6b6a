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

const QString kCalibrated = "calibrated";
const QString kEstimated = "estimated";

// The table a program without a calibration wrote in the past: Low A at
// 440 Hz in the standard ratios, a tuning nobody played.
bool isUncalibratedDefault(const std::map<PipeTuning::ReferenceNote, float>& frequencies)
{
    constexpr float kWrittenPrecision_Hz = 0.01f;
    const std::map<PipeTuning::ReferenceNote, float> defaults = PipeTuning().getNoteCentreFrequencies();
    if (frequencies.size() != defaults.size())
        return false;
    for (const auto& [note, frequency_Hz] : defaults) {
        const auto found = frequencies.find(note);
        if (found == frequencies.end() || std::abs(found->second - frequency_Hz) > kWrittenPrecision_Hz)
            return false;
    }
    return true;
}

} // namespace

ScoreSettings ProjectContents::scoreSettings() const
{
    ScoreSettings settings;
    settings.tuneName = tuneName;
    settings.tuneType = tuneType;
    settings.composer = composer;
    settings.timeSigNumerator = timeSigNumerator;
    settings.timeSigDenominator = timeSigDenominator;
    settings.bpm = bpm;
    settings.timeShift_s = timeShift_s;
    return settings;
}

void ProjectContents::setScoreSettings(const ScoreSettings& settings)
{
    tuneName = settings.tuneName;
    tuneType = settings.tuneType;
    composer = settings.composer;
    timeSigNumerator = settings.timeSigNumerator;
    timeSigDenominator = settings.timeSigDenominator;
    bpm = settings.bpm;
    timeShift_s = settings.timeShift_s;
}

QByteArray pcmBytes(const std::vector<short>& samples)
{
    const std::vector<char> bytes = utils::encodePcm16(samples);
    return QByteArray(bytes.data(), static_cast<int>(bytes.size()));
}

QByteArray waveFileBytes(const std::vector<short>& samples, float samplingFrequency_Hz)
{
    return waveFileBytes(pcmBytes(samples), samplingFrequency_Hz);
}

QByteArray waveFileBytes(const QByteArray& pcm, float samplingFrequency_Hz)
{
    const std::vector<std::uint8_t> header = WaveFile::rawHeader(
        WaveFile::generateHeader(static_cast<int>(pcm.size() / 2), static_cast<int>(samplingFrequency_Hz)));
    return QByteArray(reinterpret_cast<const char*>(header.data()), static_cast<int>(header.size())) + pcm;
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
    const QString source = project.calibrationSource();
    if (source.isEmpty() && isUncalibratedDefault(frequencies)) {
        read.warnings.push_back("the tuning is the uncalibrated default (Low A 440 Hz); the Low A is estimated "
                                "from the recording");
    } else if (frequencies.count(PipeTuning::LowA) > 0) {
        PipeTuning tuning;
        tuning.setTuningScheme(PipeTuning::Calibrated, frequencies);
        std::string reason;
        if (!bounds::isPlayableTuning(tuning, reason))
            read.warnings.push_back("the chanter calibration is ignored: " + reason);
        else if (source == kEstimated)
            read.estimatedTuning = tuning;
        else
            read.calibration = tuning;
    }
    // Clicks that cannot be read are left out all together: a part of them
    // would take out some and leave others in.
    for (const QString& mark : project.clickMarks().split(' ', Qt::SkipEmptyParts)) {
        const QStringList parts = mark.split(':');
        bool positionRead = false;
        bool soundRead = false;
        const qulonglong position = parts.value(0).toULongLong(&positionRead);
        const int sound = parts.value(1).toInt(&soundRead);
        if (parts.size() != 2 || !positionRead || !soundRead || sound < 0 || position >= read.samples.size()) {
            read.warnings.push_back("the metronome's clicks could not be read; the recording is transcribed with "
                                    "them in it");
            read.clicks.clear();
            break;
        }
        read.clicks.push_back(Click{static_cast<std::size_t>(position), sound});
    }
    for (const QString& text : project.scoreEdits()) {
        if (std::optional<ScoreEdit> edit = ScoreEdit::fromText(text.toStdString()))
            read.scoreEdits.push_back(std::move(*edit));
        else
            read.warnings.push_back("a correction to the score could not be read and is left out");
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
    const std::optional<PipeTuning>& tuning = calibration ? calibration : estimatedTuning;
    if (tuning) {
        for (const auto& [note, centre_Hz] : tuning->getNoteCentreFrequencies())
            frequencies[toString(referenceNoteToNoteName(note))] = centre_Hz;
        project.setCalibrationSource(calibration ? kCalibrated : kEstimated);
    }
    project.setNoteFrequencies(frequencies);
    QStringList marks;
    for (const Click& click : clicks)
        marks << QString("%1:%2").arg(static_cast<qulonglong>(click.position)).arg(click.sound);
    project.setClickMarks(marks.join(' '));
    std::vector<QString> edits;
    for (const ScoreEdit& edit : scoreEdits)
        edits.push_back(toQString(edit.toText()));
    project.setScoreEdits(std::move(edits));
    const bool stamped = !recordedTime.empty();
    project.setRecordedAppVersion(stamped ? recordedAppVersion : appVersion);
    project.setRecordedTime(stamped ? toQString(recordedTime)
                                    : QDateTime::currentDateTimeUtc().toString(Qt::ISODate));
    project.setRecordedInstallId(stamped ? toQString(recordedInstallId) : toQString(installId));
    project.setAppVersion(appVersion);
    project.setFileCreationInstallId(toQString(installId));
    QString message;
    // A failed save names the file itself.
    if (!project.save(toQString(path), message)) {
        error = message.toStdString();
        return false;
    }
    return true;
}
