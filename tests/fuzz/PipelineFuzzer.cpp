// libFuzzer target: arbitrary bytes as the input of vantor-transcribe, a
// project file or an audio file, taken the whole way: reading, at most a few
// seconds of progressive transcription, the quantizer, the BWW and MusicXML
// writers and both renderers. Every input must be refused with a message or
// come out as a score, without crashing and without unbounded work or memory.

#include "AudioFileReader.h"
#include "ProjectContents.h"
#include "RecordingTranscriber.h"
#include "ScoreImages.h"
#include "ScoreSettings.h"

#include <QGuiApplication>

#include <cstddef>
#include <cstdint>

namespace {

constexpr float kMostAudio_s = 2.0f;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The readers' log lines would only slow the fuzzer down.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    static QGuiApplication application(*argc, *argv);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<int>(size));
    std::string error;
    ProjectContents contents;
    if (bytes.startsWith("norla_vnt")) {
        if (!ProjectContents::fromBytes(bytes, "fuzz.vnt", contents, error))
            return error.empty() ? (__builtin_trap(), 0) : 0;
    } else {
        AudioData audio;
        if (!decodeAudio(bytes, "fuzz.wav", audio, error))
            return error.empty() ? (__builtin_trap(), 0) : 0;
        contents.samples = std::move(audio.samples);
        contents.samplingFrequency_Hz = audio.samplingFrequency_Hz;
    }
    const auto most = static_cast<std::size_t>(kMostAudio_s * contents.samplingFrequency_Hz);
    if (contents.samples.size() > most)
        contents.samples.resize(most);

    TranscriptionOptions options;
    if (contents.calibration) {
        options.tuningSource = TuningSource::Calibrated;
        options.calibratedTuning = *contents.calibration;
    }
    const TranscriptionResult result = transcribeRecording(contents.samples, contents.samplingFrequency_Hz, options);

    const ScoreSettings score = contents.scoreSettings();
    const PipeTuneModel model = scoreModel(result.melody, result.gracing, score);
    if (scoreBww(model, score).empty())
        __builtin_trap();
    if (scoreMusicXml(model, score).find("</score-partwise>") == std::string::npos)
        __builtin_trap();
    std::string why;
    scoreImage(model, score, why);
    timingImage(result, score, 5.0f, why);
    return 0;
}
