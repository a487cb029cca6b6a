#include "VantorUtils.h"

#include <gtest/gtest.h>

namespace {

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

} // namespace
