#include "PipeSnacPeakPicker.h"

#include "PitchFinder.h"
#include "TestSignals.h"

#include <gtest/gtest.h>

namespace {

// At 44100 Hz with Low A 480 Hz the note periods are High G 52, C 73, D 68,
// Low G 105 and Low A 91 samples; the pattern tolerance is 18 samples and the
// confirmation tolerance 5.
class PipeSnacPeakPickerTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        picker.setParams(testsignals::tuningAt(480.0f), 44100.0f);
        // The finder's own SNAC array stays zero, so it reports the plain
        // lag of the chosen index: 44100 / (index + 1).
        finder.setDataParams(PitchFinder::DataParams(1024, 44100));
        snac.assign(512, -0.5f);
    }

    void addPeak(int index, float value)
    {
        snac[index - 1] = value * 0.5f;
        snac[index] = value;
        snac[index + 1] = value * 0.5f;
    }

    float pick(int first = 1, int last = 300)
    {
        return picker.pickSnacFreq(finder, snac.data(), static_cast<int>(snac.size()), first, last, 0.9f, 0.6f);
    }

    static float lagFrequency(int index) { return 44100.0f / static_cast<float>(index + 1); }

    PipeSnacPeakPicker picker;
    PitchFinder finder;
    std::vector<float> snac;
};

TEST_F(PipeSnacPeakPickerTest, AClearToneIsConfirmedByItsOctaveWithinAHalfOpenWindow)
{
    addPeak(91, 0.99f);
    addPeak(187, 0.9f); // 2 x 91 + 5: just outside
    EXPECT_EQ(pick(), 0.0f);
    snac.assign(512, -0.5f);
    addPeak(91, 0.99f);
    addPeak(177, 0.9f); // 2 x 91 - 5: just inside
    EXPECT_EQ(pick(), lagFrequency(91));
}

TEST_F(PipeSnacPeakPickerTest, HighGFourthPeriodRejectsOnlyAnUnclearWindow)
{
    // Below 0.8 the pattern check runs; with the first strong maximum at 20
    // only the High G lags apply, and a maximum at 4 x 52 rejects the window.
    addPeak(20, 0.7f);
    addPeak(40, 0.65f);
    EXPECT_EQ(pick(), lagFrequency(20));
    addPeak(208, 0.5f);
    EXPECT_EQ(pick(), 0.0f);
    // From 0.8 on the window is clear and the check is skipped.
    addPeak(20, 0.85f);
    addPeak(40, 0.85f);
    addPeak(208, 0.85f);
    EXPECT_EQ(pick(), lagFrequency(20));
}

} // namespace
