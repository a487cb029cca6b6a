#include "ScoreOptions.h"

#include "BmwWriter.h"
#include "NorlaFileVnt.h"
#include "PipeTuneQuantizer.h"
#include "WaveFile.h"

#include <QDateTime>
#include <QtEndian>

namespace {

// The version this tool writes into projects it saves.
constexpr int kAppVersion = 1;
const char kInstallId[] = "vantor-transcribe";

} // namespace

bool parseTimeSignature(const std::string& text, int& numerator, int& denominator)
{
    for (TimeSignature signature : {FourFour, ThreeFour, TwoFour, CutCommon, SixEight}) {
        int n = 4;
        int d = 4;
        timeSignatureComponents(signature, n, d);
        if (text == std::to_string(n) + "/" + std::to_string(d)) {
            numerator = n;
            denominator = d;
            return true;
        }
    }
    return false;
}

PipeTuneModel quantizeScore(const TranscriptionResult& result, const ScoreOptions& options)
{
    PipeTuneQuantizer quantizer;
    quantizer.setTimeSignature(options.timeSigNumerator, options.timeSigDenominator);
    quantizer.setCrotchetDuration_s(
        getCrotchetDuration_s(options.bpm, options.timeSigNumerator, options.timeSigDenominator));
    quantizer.setRounding(options.rounding);
    quantizer.setBarsPerRow(options.barsPerRow);
    quantizer.quantize(options.timeShift_s, result.melody, result.gracing);
    return quantizer.getModel();
}

std::string toBww(const TranscriptionResult& result, const ScoreOptions& options)
{
    BmwWriter writer;
    writer.setTuneName(options.tuneName);
    writer.setTuneType(options.tuneType);
    writer.setComposer(options.composer);
    return writer.write(quantizeScore(result, options));
}

QByteArray toPcmBytes(const std::vector<short>& samples)
{
    QByteArray bytes(static_cast<int>(samples.size() * 2), '\0');
    for (std::size_t i = 0; i < samples.size(); ++i)
        qToLittleEndian<qint16>(samples[i], reinterpret_cast<uchar*>(bytes.data() + 2 * i));
    return bytes;
}

std::vector<short> fromPcmBytes(const QByteArray& bytes)
{
    std::vector<short> samples(static_cast<std::size_t>(bytes.size() / 2));
    for (std::size_t i = 0; i < samples.size(); ++i)
        samples[i] = qFromLittleEndian<qint16>(reinterpret_cast<const uchar*>(bytes.constData() + 2 * i));
    return samples;
}

bool saveProject(const std::string& path, const AudioData& audio, const ScoreOptions& options,
                 const PipeTuning& tuning, std::string& error)
{
    NorlaFileVnt project;
    project.setAudioData(toPcmBytes(audio.samples));
    project.setRecordingFrequency_Hz(static_cast<int>(audio.samplingFrequency_Hz));
    project.setTuneName(QString::fromStdString(options.tuneName));
    project.setTuneType(QString::fromStdString(options.tuneType));
    project.setComposedBy(QString::fromStdString(options.composer));
    project.setTimeSigNumerator(options.timeSigNumerator);
    project.setTimeSigDenominator(options.timeSigDenominator);
    project.setBpm(options.bpm);
    project.setTimeShift_s(options.timeShift_s);
    std::map<std::string, float> calibration;
    for (const auto& [note, centre_Hz] : tuning.getNoteCentreFrequencies())
        calibration[toString(referenceNoteToNoteName(note))] = centre_Hz;
    project.setNoteFrequencies(calibration);
    const QString now = QDateTime::currentDateTimeUtc().toString(Qt::ISODate);
    project.setRecordedAppVersion(kAppVersion);
    project.setRecordedTime(now);
    project.setRecordedInstallId(kInstallId);
    project.setAppVersion(kAppVersion);
    project.setFileCreationInstallId(kInstallId);
    QString message;
    if (!project.save(QString::fromStdString(path), message)) {
        error = path + ": " + message.toStdString();
        return false;
    }
    return true;
}

bool openProject(const std::string& path, AudioData& audio, ScoreOptions& options, PipeTuning& tuning,
                 bool& calibrated, std::string& error)
{
    NorlaFileVnt project;
    QString message;
    if (!project.open(QString::fromStdString(path), message)) {
        error = path + ": " + message.toStdString();
        return false;
    }
    if (project.recordingFrequency_Hz() < 8000) {
        error = path + ": the sample rate of " + std::to_string(project.recordingFrequency_Hz()) +
                " Hz is below the 8000 Hz minimum";
        return false;
    }
    AudioData read;
    read.samples = fromPcmBytes(project.audioData());
    read.samplingFrequency_Hz = static_cast<float>(project.recordingFrequency_Hz());
    read.channels = 1;
    if (read.samples.empty()) {
        error = path + ": the file holds no audio";
        return false;
    }
    audio = std::move(read);
    options.tuneName = project.tuneName().toStdString();
    options.tuneType = project.tuneType().toStdString();
    options.composer = project.composedBy().toStdString();
    options.timeSigNumerator = project.timeSigNumerator();
    options.timeSigDenominator = project.timeSigDenominator();
    options.bpm = project.bpm();
    options.timeShift_s = project.timeShift_s();

    std::map<PipeTuning::ReferenceNote, float> frequencies;
    for (const auto& [key, frequency_Hz] : project.noteFrequencies()) {
        for (int index = 0; index < PipeTuning::kMelodyNoteCount; ++index) {
            const PipeTuning::ReferenceNote note = PipeTuning::noteIndexToReferenceNote(index);
            if (toString(referenceNoteToNoteName(note)) == key && frequency_Hz > 0.0f)
                frequencies[note] = frequency_Hz;
        }
    }
    calibrated = frequencies.count(PipeTuning::LowA) > 0;
    if (calibrated) {
        PipeTuning fromFile;
        fromFile.setTuningScheme(PipeTuning::Calibrated, frequencies);
        tuning = fromFile;
    }
    return true;
}

QByteArray toWave(const AudioData& audio)
{
    const std::vector<std::uint8_t> header = WaveFile::rawHeader(
        WaveFile::generateHeader(static_cast<int>(audio.samples.size()), static_cast<int>(audio.samplingFrequency_Hz)));
    QByteArray bytes(reinterpret_cast<const char*>(header.data()), static_cast<int>(header.size()));
    return bytes + toPcmBytes(audio.samples);
}
