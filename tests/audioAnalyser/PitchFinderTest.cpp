#include "PitchFinder.h"

#include "PipeSnacPeakPicker.h"
#include "TestSignals.h"
#include "VantorUtils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

namespace {

using testsignals::kRate_Hz;

float centsBetween(float reference_Hz, float measured_Hz)
{
    return static_cast<float>(1200.0 * std::log2(static_cast<double>(measured_Hz) / reference_Hz));
}

// One 1024-sample window, in full-scale units, through a fresh finder with
// the default processing (the whole band, no filter).
PitchFinder::AnalysisResults analyse(const std::vector<float>& signal)
{
    PitchFinder finder;
    finder.setDataParams(PitchFinder::DataParams(1024, static_cast<std::uint32_t>(kRate_Hz)));
    finder.setProcessingParams(PitchFinder::ProcessingParams());
    const std::vector<float> scaled = testsignals::pcmScaled(signal);
    finder.setData(scaled.data());
    finder.calculatePitch();
    return finder.analysisResults();
}

TEST(PitchFinder, PureToneGivesItsFrequencyAndSilenceNoPitchAtAll)
{
    const auto tone = analyse(testsignals::sine(480.0f, 1024, 0.5f));
    EXPECT_NEAR(tone.frequency_Hz, 480.0f, 0.3f);
    EXPECT_GT(tone.quality, 0.99f);
    EXPECT_EQ(tone.calibrationState, 0.0f);
    EXPECT_EQ(tone.calibrationMultiplier, 1.0f);
    const auto silence = analyse(std::vector<float>(1024, 0.0f));
    EXPECT_EQ(silence.frequency_Hz, 0.0f);
    EXPECT_EQ(silence.volume_normalized, 0.0f);
    EXPECT_EQ(silence.averageFrequency_Hz, 0.0f);
    EXPECT_EQ(silence.quality, 0.0f);
}

// The transcription's configuration: chanter tones at every note under
// several Low As and window sizes, band-limited and with the peak picker.
using ChanterPitch = ::testing::TestWithParam<std::tuple<int, float, unsigned int>>;

TEST_P(ChanterPitch, FindsEveryNoteWithinACent)
{
    const auto [noteIndex, lowA_Hz, windowSize] = GetParam();
    const PipeTuning tuning = testsignals::tuningAt(lowA_Hz);
    const float expected_Hz = tuning.getReferenceNoteCentreFrequency_Hz(PipeTuning::noteIndexToReferenceNote(noteIndex));

    PitchFinder finder;
    finder.setDataParams(PitchFinder::DataParams(windowSize, 44100));
    finder.setProcessingParams(chanterProcessingParams(tuning));
    PipeSnacPeakPicker picker;
    picker.setParams(tuning, 44100.0f);
    bindPeakPicker(finder, picker);

    const std::vector<float> signal = testsignals::pcmScaled(testsignals::chanterTone(expected_Hz, 4 * windowSize));
    for (unsigned int w = 0; w < 4; ++w) {
        finder.setData(signal.data() + w * windowSize);
        finder.calculatePitch();
        const auto results = finder.analysisResults();
        EXPECT_NEAR(centsBetween(expected_Hz, results.frequency_Hz), 0.0f, 1.0f);
        EXPECT_NEAR(centsBetween(expected_Hz, results.pickedFrequency_Hz), 0.0f, 1.0f);
        EXPECT_GT(results.quality, 0.95f);
    }
}

INSTANTIATE_TEST_SUITE_P(NotesLowAsWindows, ChanterPitch,
                         ::testing::Combine(::testing::Range(0, 9), ::testing::Values(440.0f, 480.0f, 493.0f),
                                            ::testing::Values(1024u, 2048u)),
                         [](const ::testing::TestParamInfo<ChanterPitch::ParamType>& info) {
                             return "note" + std::to_string(std::get<0>(info.param)) + "_lowA" +
                                    std::to_string(static_cast<int>(std::get<1>(info.param))) + "_N" +
                                    std::to_string(std::get<2>(info.param));
                         });

} // namespace
