#include "PitchFinder.h"

#include "PipeSnacPeakPicker.h"
#include "TestSignals.h"
#include "VantorUtils.h"

#include <gtest/gtest.h>

#include <cmath>

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
struct ChanterCase {
    int noteIndex;
    float lowA_Hz;
    unsigned int windowSize;
};

using ChanterPitch = ::testing::TestWithParam<ChanterCase>;

TEST_P(ChanterPitch, FindsEveryNoteWithinACent)
{
    const ChanterCase c = GetParam();
    const PipeTuning tuning = testsignals::tuningAt(c.lowA_Hz);
    const float expected_Hz = tuning.getReferenceNoteCentreFrequency_Hz(PipeTuning::noteIndexToReferenceNote(c.noteIndex));

    PitchFinder finder;
    finder.setDataParams(PitchFinder::DataParams(c.windowSize, 44100));
    finder.setProcessingParams(chanterProcessingParams(tuning));
    PipeSnacPeakPicker picker;
    picker.setParams(tuning, 44100.0f);
    bindPeakPicker(finder, picker);

    const std::vector<float> signal = testsignals::pcmScaled(testsignals::chanterTone(expected_Hz, 4 * c.windowSize));
    for (unsigned int w = 0; w < 4; ++w) {
        finder.setData(signal.data() + w * c.windowSize);
        finder.calculatePitch();
        const auto results = finder.analysisResults();
        EXPECT_NEAR(centsBetween(expected_Hz, results.frequency_Hz), 0.0f, 1.0f);
        EXPECT_NEAR(centsBetween(expected_Hz, results.pickedFrequency_Hz), 0.0f, 1.0f);
        EXPECT_GT(results.quality, 0.95f);
    }
}

std::vector<ChanterCase> chanterCases()
{
    std::vector<ChanterCase> cases;
    for (unsigned int windowSize : {1024u, 2048u})
        for (float lowA_Hz : {440.0f, 480.0f, 493.0f})
            for (int note = 0; note < 9; ++note)
                cases.push_back({note, lowA_Hz, windowSize});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(NotesLowAsWindows, ChanterPitch, ::testing::ValuesIn(chanterCases()),
                         [](const ::testing::TestParamInfo<ChanterCase>& info) {
                             return "note" + std::to_string(info.param.noteIndex) + "_lowA" +
                                    std::to_string(static_cast<int>(info.param.lowA_Hz)) + "_N" +
                                    std::to_string(info.param.windowSize);
                         });

} // namespace
