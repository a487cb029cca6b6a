// The transcription of the bundled example, end to end, against golden
// files: the notes in both modes and the BWW score. Any change to what the
// engine hears or the score writes shows here as a diff to review. The
// engine's own output (without the second look) has golden files of its own,
// which a change to the second look must leave alone.

#include "AudioFileReader.h"
#include "Golden.h"
#include "RecordingTranscriber.h"
#include "ScoreSettings.h"
#include "TranscriptionOutput.h"

#include <gtest/gtest.h>

namespace {

TEST(Golden, BundledExampleInBothModesWithAndWithoutTheSecondLook)
{
    AudioData example;
    std::string error;
    ASSERT_TRUE(readAudioFile(std::string(VANTOR_EXAMPLES_DIR) + "/scotland_the_brave.wav", example, error)) << error;
    const auto transcribe = [&example](TranscriptionMode mode, bool secondLook) {
        TranscriptionOptions options;
        options.mode = mode;
        options.secondLook = secondLook;
        TranscriptionResult result = transcribeRecording(example.samples, example.samplingFrequency_Hz, options);
        result.wall_s = 0.0f; // the only figure that varies from run to run
        return result;
    };
    const TranscriptionResult result = transcribe(TranscriptionMode::Progressive, true);
    expectMatchesGolden("scotland_the_brave.progressive.txt", toText(result));
    ScoreSettings score;
    score.tuneName = "Scotland the Brave";
    score.composer = "Trad.";
    expectMatchesGolden("scotland_the_brave.bww", scoreBww(result.melody, result.gracing, score));
    expectMatchesGolden("scotland_the_brave.oneshot.txt", toText(transcribe(TranscriptionMode::OneShot, true)));
    expectMatchesGolden("scotland_the_brave.progressive.engine.txt",
                        toText(transcribe(TranscriptionMode::Progressive, false)));
    expectMatchesGolden("scotland_the_brave.oneshot.engine.txt", toText(transcribe(TranscriptionMode::OneShot, false)));
}

} // namespace
