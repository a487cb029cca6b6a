#include "Vantor.h"

#include "EngineProbe.h"
#include "TestSignals.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

PipeTuning standardAt(float lowA_Hz)
{
    PipeTuning tuning;
    tuning.setLowA_Hz(lowA_Hz);
    return tuning;
}

// A chanter melody rendered to PCM at 44100 Hz.
std::vector<short> melody(const std::vector<synth::Segment>& segments)
{
    return testsignals::pcm(synth::renderSegments(segments, 44100.0f, synth::chanterHarmonics(), 0.5f));
}

TEST(Vantor, StepFollowsTheSamplingFrequency)
{
    Vantor engine;
    EXPECT_EQ(engine.stepSize(), 20);
    engine.setSamplingFrequency_Hz(4000.0f);
    EXPECT_EQ(engine.samplingFrequency_Hz(), 8000.0f);
    EXPECT_EQ(engine.stepSize(), 4);
    engine.setSamplingFrequency_Hz(48000.0f);
    EXPECT_EQ(engine.stepSize(), 22);
    engine.setSamplingFrequency_Hz(44100.0f);
    EXPECT_EQ(engine.stepSize(), 20);
    engine.setSamplingFrequency_Hz(NAN);
    EXPECT_EQ(engine.samplingFrequency_Hz(), 8000.0f);
}

TEST(Vantor, BlocksYieldOneWindowPerWholeStep)
{
    VantorProbe engine;
    const std::vector<short> pcm = melody({{480.0f, 0.1f}});
    EXPECT_EQ(engine.calculateFrequencies(pcm.data(), 1023), 0u);
    EXPECT_TRUE(engine.mFrequencies.empty());
    EXPECT_EQ(engine.calculateFrequencies(pcm.data(), 1024), 20u);
    EXPECT_EQ(engine.mFrequencies.size(), 1u);
    EXPECT_EQ(engine.calculateFrequencies(pcm.data(), 1024 + 19), 20u);
    EXPECT_EQ(engine.calculateFrequencies(pcm.data(), 1044), 40u);
    EXPECT_EQ(engine.mFrequencies.size(), 4u);
    EXPECT_EQ(engine.mVolumes.size(), 4u);
    EXPECT_EQ(engine.mQualities.size(), 4u);
    EXPECT_EQ(engine.mPickedFrequencies.size(), 4u);
}

TEST(Vantor, FirstTenWindowsAreNeverGated)
{
    // A square wave whose period equals the step gives every window the same
    // volume; gate exactly at that volume.
    const std::vector<short> pcm = testsignals::pcm(testsignals::square(20, 1024 + 20 * 19, 0.8f));
    VantorProbe probe;
    probe.calculateFrequencies(pcm.data(), 1024);
    const float volume = probe.mVolumes[0];

    VantorProbe engine;
    engine.setMinimumVolume_normalized(volume);
    engine.calculateFrequencies(pcm.data(), static_cast<unsigned int>(pcm.size()));
    ASSERT_EQ(engine.mQualities.size(), 20u);
    for (std::size_t i = 0; i < 20; ++i) {
        EXPECT_EQ(engine.mVolumes[i], volume);
        if (i < 10)
            EXPECT_GT(engine.mQualities[i], 0.0f) << i;
        else
            EXPECT_EQ(engine.mQualities[i], 0.0f) << i;
    }
}

TEST(Vantor, NoteTracksClassifyEveryWindowUnderTheTuning)
{
    VantorProbe engine;
    engine.setTuning(standardAt(480.0f));
    engine.mFrequencies = std::vector<float>(20, 470.0f);
    engine.mPickedFrequencies = std::vector<float>(20, 640.0f);
    engine.mQualities = std::vector<float>(20, 1.0f);
    engine.mVolumes = std::vector<float>(20, 0.0f);
    engine.mVolumes[19] = 1.0f;
    engine.calculateNotes();
    ASSERT_EQ(engine.mNoteTrack.size(), 20u);
    // The silent ring leaves only the first ten windows classified.
    for (std::size_t i = 0; i < 20; ++i) {
        EXPECT_EQ(engine.mNoteTrack[i], i < 10 ? PipeTuning::LowA : PipeTuning::Unknown) << i;
        EXPECT_EQ(engine.mPickedNoteTrack[i], i < 10 ? PipeTuning::D : PipeTuning::Unknown) << i;
    }
    // 470 Hz is Low A against 480 Hz, but B against a Low A 40 cents flat
    // (469.1 Hz): it is read a note up on the flat track.
    EXPECT_EQ(engine.mFlatNoteTrack[0], PipeTuning::LowA);
    engine.mFrequencies[0] = 500.0f;
    engine.calculateNotes();
    EXPECT_EQ(engine.mNoteTrack[0], PipeTuning::LowA);
    EXPECT_EQ(engine.mFlatNoteTrack[0], PipeTuning::B);
}

TEST(Vantor, TranscribesTheMelodyOfAChanterRecording)
{
    const std::vector<short> pcm = melody({{420.0f, 0.5f}, {480.0f, 0.4f}, {640.0f, 0.6f}, {960.0f, 0.5f}});
    Vantor engine;
    engine.setFilterCornerFrequency_Hz(2500.0f);
    engine.setSnacPeakThreshold(0.97f);
    engine.setLowA_Hz(480.0f);
    EXPECT_TRUE(engine.transcribe(pcm.data(), static_cast<unsigned int>(pcm.size())));
    EXPECT_NEAR(engine.tuning().lowA_Hz(), 480.0f, 0.5f);
    std::vector<PipeNoteName> names;
    for (const auto& entry : engine.notes())
        names.push_back(entry.second.noteName());
    ASSERT_EQ(names, (std::vector<PipeNoteName>{LG, LA, D, HA}));
    const float starts[] = {0.0f, 0.5f, 0.9f, 1.5f};
    int k = 0;
    for (const auto& entry : engine.notes())
        EXPECT_NEAR(entry.second.start_s(), starts[k++], 0.03f);
    EXPECT_TRUE(engine.graceNotes().empty());
}

TEST(Vantor, SetLowAMakesTheNextTranscriptionEstimateAgain)
{
    const std::vector<short> pcm = melody({{466.0f * 1.5f, 1.0f}, {466.0f, 1.0f}});
    VantorProbe engine;
    const PipeTuning given = standardAt(500.0f);
    engine.setTuning(given);
    EXPECT_EQ(engine.mLowA_Hz, 500.0f);
    engine.transcribe(pcm.data(), static_cast<unsigned int>(pcm.size()));
    EXPECT_EQ(engine.tuning(), given);

    engine.reset();
    EXPECT_EQ(engine.mLowA_Hz, 440.0f);
    EXPECT_EQ(engine.tuning(), given); // kept by reset
    engine.setTuning(given);
    engine.setLowA_Hz(466.0f);
    engine.transcribe(pcm.data(), static_cast<unsigned int>(pcm.size()));
    EXPECT_NEAR(engine.tuning().lowA_Hz(), 466.0f, 0.5f);
    EXPECT_EQ(engine.tuning().tuningScheme(), PipeTuning::Calibrated);
}

TEST(Vantor, ResetEmptiesTracksAndResultsButKeepsParameters)
{
    const std::vector<short> pcm = melody({{480.0f, 0.6f}});
    VantorProbe engine;
    engine.setFilterCornerFrequency_Hz(2500.0f);
    engine.setLowA_Hz(480.0f);
    engine.transcribe(pcm.data(), static_cast<unsigned int>(pcm.size()));
    ASSERT_FALSE(engine.notes().empty());
    engine.reset();
    EXPECT_TRUE(engine.notes().empty());
    EXPECT_TRUE(engine.mFrequencies.empty());
    EXPECT_TRUE(engine.mNoteTrack.empty());
    EXPECT_FALSE(engine.mTuningSet);
    EXPECT_EQ(engine.mFilterCornerFrequency_Hz, 2500.0f);
}

TEST(Vantor, InputFilterIsUsedForAnyNonZeroCorner)
{
    const std::vector<short> pcm = melody({{960.0f, 0.1f}});
    VantorProbe raw;
    raw.calculateFrequencies(pcm.data(), static_cast<unsigned int>(pcm.size()));
    VantorProbe filtered;
    filtered.setFilterCornerFrequency_Hz(100.0f);
    filtered.calculateFrequencies(pcm.data(), static_cast<unsigned int>(pcm.size()));
    VantorProbe negative;
    negative.setFilterCornerFrequency_Hz(-100.0f);
    negative.calculateFrequencies(pcm.data(), static_cast<unsigned int>(pcm.size()));
    EXPECT_LT(filtered.mVolumes.back(), raw.mVolumes.back() - 0.05f);
    EXPECT_NE(negative.mVolumes.back(), raw.mVolumes.back());
}

TEST(Vantor, BadRecordingsGiveEmptyOrSensibleMaps)
{
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
