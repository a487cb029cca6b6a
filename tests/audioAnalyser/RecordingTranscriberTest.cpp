#include "RecordingTranscriber.h"

#include "Phrases.h"
#include "TestSignals.h"

#include <string>

#include <gtest/gtest.h>

namespace {

std::vector<short> scaleRecording(float lowA_Hz)
{
    PipeTuning tuning;
    tuning.setLowA_Hz(lowA_Hz);
    return testsignals::pcm(
        synth::renderSegments(synth::scale(tuning, 0.4f), 44100.0f, synth::chanterHarmonics(), 0.5f));
}

std::vector<PipeNoteName> names(const NoteMap& notes)
{
    std::vector<PipeNoteName> result;
    for (const auto& entry : notes)
        result.push_back(entry.second.noteName());
    return result;
}

const std::vector<PipeNoteName> kScale = {LG, LA, B, C, D, E, F, HG, HA};

TEST(RecordingTranscriber, BothModesFindTheScaleWithAnEstimatedLowA)
{
    const std::vector<short> audio = scaleRecording(490.0f);
    for (TranscriptionMode mode : {TranscriptionMode::Progressive, TranscriptionMode::OneShot}) {
        TranscriptionOptions options;
        options.mode = mode;
        float lastProgress = 0.0f;
        const TranscriptionResult result = transcribeRecording(audio, 44100.0f, options, [&](float p) {
            EXPECT_GE(p, lastProgress);
            lastProgress = p;
        });
        EXPECT_EQ(names(result.melody), kScale);
        EXPECT_NEAR(result.lowA_Hz, 490.0f, 490.0f * 0.008f);
        EXPECT_NEAR(result.audio_s, 3.6f, 0.01f);
        EXPECT_EQ(lastProgress, 1.0f);
    }
}

TEST(RecordingTranscriber, CalibratedTuningIsUsedAsGiven)
{
    const std::vector<short> audio = scaleRecording(480.0f);
    TranscriptionOptions options;
    options.mode = TranscriptionMode::OneShot;
    options.tuningSource = TuningSource::Calibrated;
    options.calibratedTuning.setTuningScheme(PipeTuning::Calibrated, {{PipeTuning::LowA, 480.0f}, {PipeTuning::D, 645.0f}});
    const TranscriptionResult result = transcribeRecording(audio, 44100.0f, options);
    EXPECT_EQ(result.tuning, options.calibratedTuning);
    EXPECT_EQ(names(result.melody), kScale);
}

TEST(RecordingTranscriber, ALongNoteInAPhraseIsOneNoteFromItsStartToItsEnd)
{
    // Longer than the few seconds the progressive engine holds (cut once,
    // then many times), and longer than half a minute in one shot.
    const std::vector<std::pair<TranscriptionMode, int>> rows = {{TranscriptionMode::Progressive, 3000},
                                                                 {TranscriptionMode::Progressive, 8000},
                                                                 {TranscriptionMode::Progressive, 20000},
                                                                 {TranscriptionMode::OneShot, 40000}};
    for (const auto& [mode, held_ms] : rows) {
        const std::string played = "LA:500 B:500 C:500 HG D:" + std::to_string(held_ms) + " E:500 F:500";
        const TranscriptionResult result = phrases::transcribe(phrases::render(played), mode);
        const std::string where = (mode == TranscriptionMode::OneShot ? "one-shot, " : "progressive, ")
                                  + std::to_string(held_ms) + " ms";
        EXPECT_EQ(phrases::names(result), "LA B C gg D E F") << where;
        for (const auto& entry : result.melody) {
            if (entry.second.noteName() != D)
                continue;
            EXPECT_NEAR(entry.second.start_s(), 1.525f, 0.03f) << where;
            EXPECT_NEAR(entry.second.getEnd_s(), 1.525f + held_ms / 1000.0f, 0.03f) << where;
        }
    }
}

} // namespace
