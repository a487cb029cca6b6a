#include "VantorUtils.h"

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

TEST(ChanterProcessingParams, SearchBandReachesJustBeyondTheCompass)
{
    const PitchFinder::ProcessingParams params = chanterProcessingParams(standardAt(480.0f));
    EXPECT_TRUE(params.limitSearchToBand);
    EXPECT_FALSE(params.bandpassEnabled);
    EXPECT_FLOAT_EQ(params.lowFrequency_Hz, 378.0f);
    EXPECT_FLOAT_EQ(params.highFrequency_Hz, 1056.0f);
}

TEST(CalculateTuningFromFrequencies, AveragesTheAcceptedWindowsOfEachNote)
{
    // Against the standard tuning at 480 Hz: five D windows (two counted)
    // and six E windows (three counted).
    const std::vector<float> frequencies = {645.0f, 645.0f, 645.0f, 644.0f, 646.0f,
                                            722.0f, 722.0f, 722.0f, 721.0f, 722.0f, 726.0f};
    const std::vector<float> qualities(frequencies.size(), 0.99f);
    const std::vector<float> volumes(frequencies.size(), 0.9f);
    const PipeTuning tuning = calculateTuningFromFrequencies(480.0f, 0.3f, frequencies, qualities, volumes);
    EXPECT_EQ(tuning.tuningScheme(), PipeTuning::Calibrated);
    EXPECT_EQ(tuning.lowA_Hz(), 480.0f);
    EXPECT_FLOAT_EQ(tuning.getReferenceNoteCentreFrequency_Hz(PipeTuning::D), 645.0f);
    EXPECT_FLOAT_EQ(tuning.getReferenceNoteCentreFrequency_Hz(PipeTuning::E), 723.0f);
    EXPECT_FLOAT_EQ(tuning.getReferenceNoteCentreFrequency_Hz(PipeTuning::F), 800.0f);
}

TEST(CalculateTuningFromData, EstimatesADetunedNoteFromAudio)
{
    PipeTuning played = standardAt(480.0f);
    std::vector<synth::Segment> segments = synth::scale(played, 0.5f);
    segments[4].frequency_Hz = 650.0f; // D sharp by 26 cents
    const std::vector<short> pcm = testsignals::pcm(
        synth::renderSegments(segments, 44100.0f, synth::chanterHarmonics(), 0.5f));

    const PipeTuning estimate =
        calculateTuningFromData(pcm.data(), static_cast<unsigned int>(pcm.size()), 44100.0f, 1024, 480.0f, 0.3f);
    EXPECT_EQ(estimate.tuningScheme(), PipeTuning::Calibrated);
    EXPECT_NEAR(estimate.lowA_Hz(), 480.0f, 0.2f);
    EXPECT_NEAR(estimate.getReferenceNoteCentreFrequency_Hz(PipeTuning::D), 650.0f, 0.3f);
    EXPECT_NEAR(estimate.getReferenceNoteCentreFrequency_Hz(PipeTuning::LowG), 420.0f, 0.2f);
    EXPECT_NEAR(estimate.getReferenceNoteCentreFrequency_Hz(PipeTuning::HighA), 960.0f, 0.4f);
}

TEST(CalcWindowAverage, NeedsMoreThanTheFractionOfNonZeroValues)
{
    const std::vector<float> values = {0.0f, 0.0f, 5.0f, 7.0f};
    EXPECT_EQ(calcWindowAverage(values, 0, 4, 0.5f), 0.0f); // 2 is not above 2
    EXPECT_EQ(calcWindowAverage(values, 0, 4, 0.4f), 6.0f);
    // The range is cut at the end of the series but the fraction is not.
    EXPECT_EQ(calcWindowAverage(values, 2, 4, 0.4f), 6.0f);
    EXPECT_EQ(calcWindowAverage(values, 2, 6, 0.4f), 0.0f);
}

} // namespace
