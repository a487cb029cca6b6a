#include "TranscriptionRunner.h"

#include "TestSignals.h"
#include "TranscriptionOutput.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace {

AudioData scaleRecording(float lowA_Hz)
{
    PipeTuning tuning;
    tuning.setLowA_Hz(lowA_Hz);
    AudioData audio;
    audio.samplingFrequency_Hz = 44100.0f;
    audio.channels = 1;
    audio.samples = testsignals::pcm(
        synth::renderSegments(synth::scale(tuning, 0.4f), 44100.0f, synth::chanterHarmonics(), 0.5f));
    return audio;
}

std::vector<PipeNoteName> names(const NoteMap& notes)
{
    std::vector<PipeNoteName> result;
    for (const auto& entry : notes)
        result.push_back(entry.second.noteName());
    return result;
}

const std::vector<PipeNoteName> kScale = {LG, LA, B, C, D, E, F, HG, HA};

TEST(TranscriptionRunner, BothModesFindTheScaleWithAnEstimatedLowA)
{
    const AudioData audio = scaleRecording(490.0f);
    for (TranscriptionMode mode : {TranscriptionMode::Progressive, TranscriptionMode::OneShot}) {
        TranscriptionOptions options;
        options.mode = mode;
        float lastProgress = 0.0f;
        const TranscriptionResult result = transcribeRecording(audio, options, [&](float p) {
            EXPECT_GE(p, lastProgress);
            lastProgress = p;
        });
        EXPECT_EQ(names(result.melody), kScale);
        EXPECT_NEAR(result.lowA_Hz, 490.0f, 490.0f * 0.008f);
        EXPECT_NEAR(result.audio_s, 3.6f, 0.01f);
        EXPECT_EQ(lastProgress, 1.0f);
    }
}

TEST(TranscriptionRunner, AWrongLowAShiftsEveryNote)
{
    // Read against 440 Hz, a 490 Hz chanter sounds a step higher.
    const AudioData audio = scaleRecording(490.0f);
    TranscriptionOptions options;
    options.mode = TranscriptionMode::Progressive;
    options.tuningSource = TuningSource::GivenLowA;
    options.lowA_Hz = 440.0f;
    const TranscriptionResult result = transcribeRecording(audio, options);
    ASSERT_FALSE(result.melody.empty());
    EXPECT_EQ(result.melody.begin()->second.noteName(), LA);
}

TEST(TranscriptionRunner, CalibratedTuningIsUsedAsGiven)
{
    const AudioData audio = scaleRecording(480.0f);
    TranscriptionOptions options;
    options.mode = TranscriptionMode::OneShot;
    options.tuningSource = TuningSource::Calibrated;
    std::string error;
    ASSERT_TRUE(parseTuning("LA=480,D=645", options.calibratedTuning, error)) << error;
    const TranscriptionResult result = transcribeRecording(audio, options);
    EXPECT_EQ(result.tuning, options.calibratedTuning);
    EXPECT_EQ(names(result.melody), kScale);
}

TEST(TranscriptionRunner, ParsesTuningsAndRefusesBadOnes)
{
    PipeTuning tuning;
    std::string error;
    ASSERT_TRUE(parseTuning("LG=421,LA=480.5,B=540,C=600,D=640,E=720,F=800,HG=840,HA=961", tuning, error));
    EXPECT_EQ(tuning.tuningScheme(), PipeTuning::Calibrated);
    EXPECT_EQ(tuning.lowA_Hz(), 480.5f);
    EXPECT_FLOAT_EQ(tuning.getReferenceNoteCentreFrequency_Hz(PipeTuning::HighA), 961.0f);

    const PipeTuning before = tuning;
    for (const char* bad : {"LG=420", "LA=abc", "LA=480,X=5", "LA", "LA=-3", "LA=480,D=", ""}) {
        error.clear();
        EXPECT_FALSE(parseTuning(bad, tuning, error)) << bad;
        EXPECT_FALSE(error.empty()) << bad;
        EXPECT_EQ(tuning, before);
    }
}

TEST(TranscriptionOutput, JsonHasThePipeNotesShape)
{
    TranscriptionResult result;
    result.melody.emplace(0.5f, PipeNote(D, 0.5f, 0.25f));
    PipeNote doubling(dbe, 1.0f, 0.1f);
    doubling.setMelodyNoteStartOffset_s(0.05f);
    result.gracing.emplace(1.0f, doubling);
    result.lowA_Hz = 480.0f;
    result.tuning.setLowA_Hz(480.0f);
    result.audio_s = 2.0f;
    result.wall_s = 0.1f;

    const QJsonObject json =
        QJsonDocument::fromJson(QByteArray::fromStdString(toPipeNotesJson(result, "take.wav", 44100.0f))).object();
    EXPECT_EQ(json["format"].toString(), "pipe-notes/1");
    EXPECT_EQ(json["source"].toString(), "take.wav");
    EXPECT_EQ(json["lowA_Hz"].toDouble(), 480.0);
    EXPECT_EQ(json["audio_s"].toDouble(), 2.0);
    EXPECT_TRUE(json.contains("wall_s"));
    const QJsonArray notes = json["notes"].toArray();
    ASSERT_EQ(notes.size(), 1);
    EXPECT_EQ(notes[0].toObject()["name"].toString(), "D");
    EXPECT_EQ(notes[0].toObject()["start_s"].toDouble(), 0.5);
    EXPECT_EQ(notes[0].toObject()["duration_s"].toDouble(), 0.25);
    const QJsonObject gracing = json["gracing"].toArray()[0].toObject();
    EXPECT_EQ(gracing["name"].toString(), "dbe");
    EXPECT_EQ(gracing["pitches"].toArray().size(), 3);
    EXPECT_EQ(gracing["melodyNoteStartOffset_s"].toDouble(), 0.05);
    const QJsonObject tuning = json["tuning"].toObject();
    EXPECT_EQ(tuning.size(), 9);
    EXPECT_EQ(tuning["LA"].toDouble(), 480.0);
    EXPECT_EQ(tuning["HA"].toDouble(), 960.0);

    const std::string text = toText(result);
    EXPECT_NE(text.find("melody   D"), std::string::npos) << text;
    EXPECT_NE(text.find("gracing  dbe"), std::string::npos) << text;
}

} // namespace
