// Whole recordings through the one road from samples to notes, fed in
// blocks or in one shot: the tuning they start from, the progress they
// report, and long notes across the places the engine cuts its tracks.

#include "RecordingTranscriber.h"

#include "Phrases.h"
#include "TestSignals.h"

#include <algorithm>
#include <string>
#include <tuple>

#include <gtest/gtest.h>

namespace {

TEST(RecordingTranscriber, BothModesFindTheScaleWithAnEstimatedOrACalibratedTuning)
{
    const std::vector<short> audio = testsignals::chanterPcm(synth::scale(testsignals::tuningAt(490.0f), 0.4f));
    PipeTuning calibrated;
    calibrated.setTuningScheme(PipeTuning::Calibrated, {{PipeTuning::LowA, 490.0f}, {PipeTuning::D, 658.0f}});
    for (const auto& [mode, source] : {std::pair(TranscriptionMode::Progressive, TuningSource::EstimatedLowA),
                                       std::pair(TranscriptionMode::OneShot, TuningSource::EstimatedLowA),
                                       std::pair(TranscriptionMode::OneShot, TuningSource::Calibrated)}) {
        TranscriptionOptions options;
        options.mode = mode;
        options.tuningSource = source;
        options.calibratedTuning = calibrated;
        float lastProgress = 0.0f;
        const TranscriptionResult result = transcribeRecording(audio, 44100.0f, options, [&](float p) {
            EXPECT_GE(p, lastProgress);
            lastProgress = p;
        });
        SCOPED_TRACE(testing::Message() << "mode " << static_cast<int>(mode) << ", source " << static_cast<int>(source));
        EXPECT_EQ(phrases::names(result), "LG LA B C D E F HG HA");
        EXPECT_NEAR(result.lowA_Hz, 490.0f, 490.0f * 0.008f);
        if (source == TuningSource::Calibrated) {
            EXPECT_EQ(result.tuning, calibrated); // used as given
        }
        EXPECT_NEAR(result.audio_s, 3.6f, 0.01f);
        EXPECT_EQ(lastProgress, 1.0f);
    }
}

TEST(RecordingTranscriber, ALongNoteInAPhraseIsOneNoteFromItsStartToItsEnd)
{
    // Longer than the few seconds the progressive engine holds (cut once,
    // then many times), and longer than half a minute in one shot; and long
    // notes on whole seconds, where the engine cuts its tracks.
    // How, what is played, what is heard, and where the longest note starts
    // and how long it lasts.
    const std::string phrase = "LA:500 B:500 C:500 HG D:";
    const std::vector<std::tuple<TranscriptionMode, std::string, const char*, float, float>> rows = {
        {TranscriptionMode::Progressive, phrase + "3000 E:500 F:500", "LA B C gg D E F", 1.525f, 3.0f},
        {TranscriptionMode::Progressive, phrase + "8000 E:500 F:500", "LA B C gg D E F", 1.525f, 8.0f},
        {TranscriptionMode::Progressive, phrase + "20000 E:500 F:500", "LA B C gg D E F", 1.525f, 20.0f},
        {TranscriptionMode::OneShot, phrase + "40000 E:500 F:500", "LA B C gg D E F", 1.525f, 40.0f},
        {TranscriptionMode::Progressive, "D:2000 E:1000 F:1000 LA:3000 B:1000", "D E F LA B", 4.0f, 3.0f},
    };
    for (const auto& [mode, played, expected, heldStart_s, held_s] : rows) {
        const TranscriptionResult result = phrases::transcribe(phrases::render(played), mode);
        const std::string where = (mode == TranscriptionMode::OneShot ? "one-shot: " : "progressive: ") + played;
        EXPECT_EQ(phrases::names(result), expected) << where;
        const auto held = std::max_element(result.melody.begin(), result.melody.end(), [](const auto& a, const auto& b) {
            return a.second.duration_s() < b.second.duration_s();
        });
        ASSERT_NE(held, result.melody.end()) << where;
        EXPECT_NEAR(held->second.start_s(), heldStart_s, 0.03f) << where;
        EXPECT_NEAR(held->second.getEnd_s(), heldStart_s + held_s, 0.03f) << where;
    }
}

} // namespace
