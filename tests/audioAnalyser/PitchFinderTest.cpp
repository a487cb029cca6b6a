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

// The track's sliding windows against each window through the transforms,
// window by window, over every chanter note and gracenote-length note, the
// drones, noise, a room, a fade into silence, a constant offset and digital
// silence: the same pitch, clarity and volume to within float rounding.
TEST(PitchFinder, SlidingWindowsGiveTheTransformsResultsWindowByWindow)
{
    constexpr unsigned int kWindow = 1024;
    constexpr unsigned int kHop = 20;
    const PipeTuning tuning = testsignals::tuningAt(480.0f);
    std::vector<synth::Segment> played = synth::scale(tuning, 0.12f);
    for (const synth::Segment& note : synth::scale(tuning, 0.12f))
        played.push_back({note.frequency_Hz, 0.025f});
    const std::vector<float> dry = synth::renderSegments(played, kRate_Hz, synth::chanterHarmonics(), 0.5f);
    std::vector<float> signal = testsignals::inRoom(
        testsignals::mix(dry, synth::drones(480.0f, synth::Drones(), dry.size(), kRate_Hz, 0.2f)), 0.5f, 6.0f);
    const std::vector<float> hiss = testsignals::noise(8000, 0.2f, 3);
    signal.insert(signal.end(), hiss.begin(), hiss.end());
    const std::vector<float> fading = testsignals::chanterTone(600.0f, 8000);
    for (std::size_t i = 0; i < fading.size(); ++i)
        signal.push_back(fading[i] * std::pow(1e-4f, static_cast<float>(i) / fading.size()));
    signal.insert(signal.end(), 4000, 0.0f);
    signal.insert(signal.end(), 4000, 0.25f);
    const std::vector<float> samples = testsignals::pcmScaled(signal);

    auto makeFinder = [&](PitchFinder& finder, PipeSnacPeakPicker& picker) {
        finder.setDataParams(PitchFinder::DataParams(kWindow, static_cast<std::uint32_t>(kRate_Hz)));
        PitchFinder::ProcessingParams params = chanterProcessingParams(tuning);
        params.peakPickerEnabled = true;
        finder.setProcessingParams(params);
        picker.setParams(tuning, kRate_Hz);
        bindPeakPicker(finder, picker);
    };
    PitchFinder sliding, transformed;
    PipeSnacPeakPicker slidingPicker, transformedPicker;
    makeFinder(sliding, slidingPicker);
    makeFinder(transformed, transformedPicker);

    const std::size_t windows = (samples.size() - kWindow) / kHop + 1;
    std::size_t voiced = 0, differentVoicing = 0;
    for (std::size_t w = 0; w < windows; ++w) {
        sliding.setNextData(samples.data() + w * kHop, kHop, w % PitchFinder::kRefreshInterval == 0);
        sliding.calculatePitch();
        transformed.setData(samples.data() + w * kHop);
        transformed.calculatePitch();
        const auto a = sliding.analysisResults();
        const auto b = transformed.analysisResults();
        SCOPED_TRACE("window " + std::to_string(w));
        ASSERT_NEAR(a.volume_normalized, b.volume_normalized, 1e-5f);
        ASSERT_NEAR(a.quality, b.quality, 1e-4f);
        for (const auto& [x_Hz, y_Hz] : {std::pair(a.frequency_Hz, b.frequency_Hz),
                                         std::pair(a.pickedFrequency_Hz, b.pickedFrequency_Hz)}) {
            if ((x_Hz > 0.0f) != (y_Hz > 0.0f)) {
                ++differentVoicing;
                continue;
            }
            if (x_Hz > 0.0f) {
                ++voiced;
                ASSERT_NEAR(centsBetween(y_Hz, x_Hz), 0.0f, 0.01f);
            }
        }
    }
    EXPECT_GT(voiced, windows / 2); // pitches were found and compared
    EXPECT_EQ(differentVoicing, 0u);
}
