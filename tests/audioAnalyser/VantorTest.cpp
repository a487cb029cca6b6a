// The transcription driver: windows and tracks, volume gating, the note
// tracks, the tuning it works under, and bad recordings.

#include "EngineProbe.h"
#include "ProgressiveVantor.h"
#include "TestSignals.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using testsignals::chanterPcm;

TEST(Vantor, StepFollowsTheSamplingFrequencyFrom8000Hz)
{
    Vantor engine;
    for (const auto& [rate_Hz, used_Hz, step] : std::vector<std::tuple<float, float, int>>{
             {44100.0f, 44100.0f, 20}, {48000.0f, 48000.0f, 22}, {4000.0f, 8000.0f, 4}, {NAN, 8000.0f, 4}}) {
        engine.setSamplingFrequency_Hz(rate_Hz);
        EXPECT_EQ(engine.samplingFrequency_Hz(), used_Hz);
        EXPECT_EQ(engine.stepSize(), step);
    }
}

TEST(Vantor, BlocksYieldOneWindowPerWholeStepAndTheFirstTenAreNeverGated)
{
    VantorProbe engine;
    const std::vector<short> pcm = chanterPcm({{480.0f, 0.1f}});
    EXPECT_EQ(engine.calculateFrequencies(pcm.data(), 1023), 0u);
    EXPECT_EQ(engine.calculateFrequencies(pcm.data(), 1024), 20u);
    EXPECT_EQ(engine.calculateFrequencies(pcm.data(), 1024 + 19), 20u);
    EXPECT_EQ(engine.calculateFrequencies(pcm.data(), 1044), 40u);
    for (auto* track : {&engine.frequencies(), &engine.qualities(), &engine.volumes(), &engine.pickedFrequencies()})
        EXPECT_EQ(track->size(), 4u);

    // A square wave whose period is the step gives every window the same
    // volume; gated exactly at it, only the first ten windows keep a pitch.
    const std::vector<short> square = testsignals::pcm(testsignals::square(20, 1024 + 20 * 19, 0.8f));
    VantorProbe probe;
    probe.calculateFrequencies(square.data(), 1024);
    VantorProbe gated;
    gated.setMinimumVolume_normalized(probe.volumes()[0]);
    gated.calculateFrequencies(square.data(), static_cast<unsigned int>(square.size()));
    ASSERT_EQ(gated.qualities().size(), 20u);
    for (std::size_t i = 0; i < 20; ++i)
        EXPECT_EQ(gated.qualities()[i] > 0.0f, i < 10) << i;
}

TEST(Vantor, NoteTracksClassifyEveryWindowUnderTheTuning)
{
    VantorProbe engine;
    engine.setTracks(20, 470.0f, 1.0f);
    engine.pickedFrequencies().assign(20, 640.0f);
    engine.volumes().assign(20, 0.0f);
    engine.calculateNotes();
    // The silent volume ring leaves only the first ten windows classified.
    for (std::size_t i = 0; i < 20; ++i) {
        EXPECT_EQ(engine.noteTrack()[i], i < 10 ? PipeTuning::LowA : PipeTuning::Unknown) << i;
        EXPECT_EQ(engine.pickedNoteTrack()[i], i < 10 ? PipeTuning::D : PipeTuning::Unknown) << i;
    }
    // 500 Hz is Low A against 480 Hz, but B against a Low A 40 cents flat.
    engine.frequencies()[0] = 500.0f;
    engine.calculateNotes();
    EXPECT_EQ(engine.noteTrack()[0], PipeTuning::LowA);
    EXPECT_EQ(engine.flatNoteTrack()[0], PipeTuning::B);
}

// A tuning set is used as it is, through a reset; a Low A set afterwards
// makes the next transcription estimate again.
TEST(Vantor, ASetTuningIsUsedAsItIsAndAGivenLowAIsEstimatedFrom)
{
    const std::vector<short> fifth = chanterPcm({{466.0f * 1.5f, 1.0f}, {466.0f, 1.0f}});
    Vantor engine;
    engine.setFilterCornerFrequency_Hz(2500.0f);
    engine.setSnacPeakThreshold(0.97f);
    const PipeTuning given = testsignals::tuningAt(500.0f);
    engine.setTuning(given);
    EXPECT_TRUE(engine.transcribe(fifth.data(), static_cast<unsigned int>(fifth.size())));
    EXPECT_EQ(engine.tuning(), given);
    engine.reset();
    EXPECT_EQ(engine.tuning(), given); // a reset keeps it, but it is estimated again
    engine.setLowA_Hz(466.0f);
    engine.transcribe(fifth.data(), static_cast<unsigned int>(fifth.size()));
    EXPECT_NEAR(engine.tuning().lowA_Hz(), 466.0f, 0.5f);
    std::string names;
    for (const auto& entry : engine.notes())
        names += toString(entry.second.noteName()) + " ";
    EXPECT_EQ(names, "E LA ");
}

TEST(Vantor, BadRecordingsGiveEmptyOrSensibleMaps)
{
    // Above about 2.26 MHz a step is longer than a window: a block is never
    // reported as more than it held, and the progressive engine stays within
    // its pending samples.
    const std::vector<short> tone = chanterPcm({{480.0f, 0.1f}});
    VantorProbe fast;
    fast.setSamplingFrequency_Hz(3.0e6f);
    EXPECT_EQ(fast.calculateFrequencies(tone.data(), 1024), 1024u);
    ProgressiveVantor progressive;
    progressive.setSamplingFrequency_Hz(3.0e6f);
    progressive.reset();
    for (std::size_t start = 0; start + 1024 <= tone.size(); start += 1024)
        progressive.progressiveTranscribe(tone.data() + start, 1024, false);
    EXPECT_TRUE(progressive.progressiveTranscribe(nullptr, 0, true));

    Vantor engine;
    const std::vector<short> shortBlock(500, 1000);
    EXPECT_TRUE(engine.transcribe(shortBlock.data(), 500));
    EXPECT_TRUE(engine.notes().empty());
    EXPECT_TRUE(engine.transcribe(nullptr, 0));
    engine.reset();
    const std::vector<short> silence(44100, 0);
    engine.transcribe(silence.data(), static_cast<unsigned int>(silence.size()));
    EXPECT_TRUE(engine.notes().empty());
    engine.reset();
    std::vector<short> noise = testsignals::pcm(testsignals::noise(44100, 1.0f, 5));
    for (short& sample : noise)
        sample = sample >= 0 ? 32767 : -32768;
    engine.transcribe(noise.data(), static_cast<unsigned int>(noise.size()));
    for (const auto& entry : engine.notes())
        EXPECT_TRUE(isMelodyNote(entry.second.noteName()));
}

} // namespace
