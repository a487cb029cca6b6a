// Whole recordings through the one road from samples to notes, fed in
// blocks or in one shot: the tuning they start from, the progress they
// report, long notes across the places the engine cuts its tracks, and the
// same notes on any number of threads.

#include "RecordingTranscriber.h"

#include "Phrases.h"
#include "TestSignals.h"
#include "TranscriptionSession.h"

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

// A tune played as a set of pipes sounds in a room: drones as loud as the
// chanter, a room of half a second.
std::vector<short> pipesInARoom(float seconds)
{
    const PipeTuning tuning = testsignals::tuningAt(480.0f);
    const std::vector<float> dry = synth::renderSegments(synth::randomWalk(tuning, seconds, 0.1f, 0.5f, 9),
                                                         testsignals::kRate_Hz, synth::chanterHarmonics(), 0.4f);
    return testsignals::pcm(testsignals::inRoom(
        testsignals::mix(dry, synth::drones(480.0f, synth::Drones(), dry.size(), testsignals::kRate_Hz, 0.15f)), 0.5f,
        6.0f));
}

void expectSameTranscription(const TranscriptionResult& a, const TranscriptionResult& b)
{
    EXPECT_EQ(a.melody, b.melody);
    EXPECT_EQ(a.gracing, b.gracing);
    EXPECT_EQ(a.tuning, b.tuning);
    EXPECT_EQ(a.reference, b.reference);
    EXPECT_EQ(a.drones.drones.size(), b.drones.drones.size());
}

TEST(RecordingTranscriber, AnyNumberOfThreadsGivesTheOneThreadsTranscription)
{
    // Long enough for the pitch track to be cut into stretches, and for the
    // second look to read many spans.
    const std::vector<short> audio = pipesInARoom(10.0f);
    for (TranscriptionMode mode : {TranscriptionMode::OneShot, TranscriptionMode::Progressive}) {
        TranscriptionOptions options;
        options.mode = mode;
        options.jobs = 1;
        const TranscriptionResult alone = transcribeRecording(audio, testsignals::kRate_Hz, options);
        ASSERT_GT(alone.melody.size(), 20u);
        ASSERT_FALSE(alone.drones.drones.empty());
        for (unsigned int jobs : {2u, 5u}) {
            SCOPED_TRACE(testing::Message() << "mode " << static_cast<int>(mode) << ", " << jobs << " threads");
            options.jobs = jobs;
            expectSameTranscription(transcribeRecording(audio, testsignals::kRate_Hz, options), alone);
        }
    }
}

// A whole recording in progressive mode is cleaned of its drones and room
// once, before it is fed: the same as a session cleaning it as it comes.
TEST(RecordingTranscriber, CleaningTheWholeRecordingFirstGivesTheLiveSessionsNotes)
{
    const std::vector<short> audio = pipesInARoom(8.0f);
    const TranscriptionOptions options;
    TranscriptionSession session;
    session.setSettings({.samplingFrequency_Hz = testsignals::kRate_Hz, .filterCorner_Hz = options.filterCorner_Hz,
                         .snacPeakThreshold = options.snacPeakThreshold, .minimumSnacPeak = options.minimumSnacPeak,
                         .minimumVolume_normalized = options.minimumVolume_normalized,
                         .transcriptionInterval_s = options.transcriptionInterval_s,
                         .pieceSamples = options.blockSize_B / 2});
    session.reset();
    session.estimateReference(audio.data(), audio.size());
    for (std::size_t start = 0; start < audio.size(); start += 2048)
        session.feed(audio.data() + start, std::min<std::size_t>(2048, audio.size() - start));
    session.finish();
    const TranscriptionResult whole = transcribeRecording(audio, testsignals::kRate_Hz, options);
    ASSERT_GT(whole.melody.size(), 10u);
    EXPECT_EQ(whole.melody, session.result().melody);
    EXPECT_EQ(whole.gracing, session.result().gracing);
    EXPECT_EQ(whole.tuning, session.result().tuning);
    EXPECT_EQ(whole.drones.drones.size(), session.result().drones.drones.size());
}
