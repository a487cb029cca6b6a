#include "PitchFinder.h"

#include "PipeSnacPeakPicker.h"
#include "TestSignals.h"
#include "VantorUtils.h"
#include "utils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using testsignals::kRate_Hz;

float centsBetween(float reference_Hz, float measured_Hz)
{
    return static_cast<float>(1200.0 * std::log2(static_cast<double>(measured_Hz) / reference_Hz));
}

class PitchFinderTest : public ::testing::Test
{
protected:
    void configure(unsigned int windowSize, bool limitToBand = false, float low_Hz = 1.0f, float high_Hz = 44100.0f,
                   bool bandpass = false)
    {
        finder.setDataParams(PitchFinder::DataParams(windowSize, static_cast<std::uint32_t>(kRate_Hz)));
        PitchFinder::ProcessingParams params;
        params.limitSearchToBand = limitToBand;
        params.bandpassEnabled = bandpass;
        params.lowFrequency_Hz = low_Hz;
        params.highFrequency_Hz = high_Hz;
        finder.setProcessingParams(params);
    }

    // Analyses consecutive windows of a signal given in full-scale units.
    PitchFinder::AnalysisResults analyse(const std::vector<float>& signal, unsigned int windows = 1)
    {
        const std::vector<float> scaled = testsignals::pcmScaled(signal);
        const std::size_t n = finder.dataParams().windowSize;
        for (unsigned int w = 0; w < windows && (w + 1) * n <= scaled.size(); ++w) {
            finder.setData(scaled.data() + w * n);
            finder.calculatePitch();
        }
        return finder.analysisResults();
    }

    PitchFinder finder;
};

TEST_F(PitchFinderTest, PureToneGivesItsFrequencyWithHighQuality)
{
    configure(1024);
    const auto results = analyse(testsignals::sine(480.0f, 1024, 0.5f));
    EXPECT_NEAR(results.frequency_Hz, 480.0f, 0.3f);
    EXPECT_GT(results.quality, 0.99f);
    EXPECT_EQ(results.calibrationState, 0.0f);
    EXPECT_EQ(results.calibrationMultiplier, 1.0f);
}

TEST_F(PitchFinderTest, ShortSamplesAreReadUnscaled)
{
    configure(1024);
    const std::vector<short> pcm = testsignals::pcm(testsignals::sine(600.0f, 1024, 0.25f));
    finder.setData(pcm.data());
    finder.calculatePitch();
    const auto results = finder.analysisResults();
    EXPECT_NEAR(results.frequency_Hz, 600.0f, 0.5f);
    // A quarter-scale sine: 20 log10(0.25^2 / 2) dB = -30.1 dB.
    EXPECT_NEAR(results.volume_normalized, 1.0f - 30.103f / 120.0f, 0.001f);
}

TEST_F(PitchFinderTest, SilenceGivesNoPitchAndZeroVolume)
{
    configure(1024);
    const auto results = analyse(std::vector<float>(1024, 0.0f));
    EXPECT_EQ(results.frequency_Hz, 0.0f);
    EXPECT_EQ(results.volume_normalized, 0.0f);
    EXPECT_EQ(results.averageFrequency_Hz, 0.0f);
    EXPECT_EQ(results.quality, 0.0f);
}

TEST_F(PitchFinderTest, ConstantWindowIsSilentAfterDcRemoval)
{
    configure(512);
    const auto results = analyse(std::vector<float>(512, 0.3f));
    EXPECT_EQ(results.frequency_Hz, 0.0f);
    EXPECT_EQ(results.volume_normalized, 0.0f);
}

TEST_F(PitchFinderTest, VolumeIsPowerInDecibelsOver120)
{
    configure(1024);
    // 32 full periods of a full-scale square wave: 0 dB.
    EXPECT_NEAR(analyse(testsignals::square(32, 1024, 1.0f)).volume_normalized, 1.0f, 0.0001f);
    // A full-scale sine has half the power: -6.02 dB.
    EXPECT_NEAR(analyse(testsignals::sine(441.0f, 1024, 1.0f)).volume_normalized, 1.0f - 6.0206f / 120.0f, 0.0005f);
    // Very quiet noise sits at the floor.
    EXPECT_EQ(analyse(testsignals::noise(1024, 1e-7f, 3)).volume_normalized, 0.0f);
}

TEST_F(PitchFinderTest, PrefersTheShorterPeriodWhenItIsNearlyAsClear)
{
    configure(2048);
    // A weak sub-octave makes the 240 Hz period the clearest one; the 480 Hz
    // period still reaches 90 % of it and wins.
    const auto tone = testsignals::sine(480.0f, 2048, 0.5f);
    EXPECT_NEAR(analyse(testsignals::mix(tone, testsignals::sine(240.0f, 2048, 0.05f))).frequency_Hz, 480.0f, 1.0f);

    // A strong sub-octave takes the pitch down an octave.
    EXPECT_NEAR(analyse(testsignals::mix(tone, testsignals::sine(240.0f, 2048, 0.5f))).frequency_Hz, 240.0f, 1.0f);
}

TEST_F(PitchFinderTest, MinimumPeakRejectsUnclearWindows)
{
    configure(1024);
    const auto noisy = analyse(testsignals::noise(1024, 0.5f, 7));
    EXPECT_EQ(noisy.frequency_Hz, 0.0f);
    EXPECT_LT(noisy.quality, 0.6f);

    // Even the highest maximum is refused when it is below the minimum.
    finder.minimumSnacPeak = 1.01f;
    const auto strict = analyse(testsignals::chanterTone(600.0f, 1024));
    EXPECT_EQ(strict.frequency_Hz, 0.0f);
    EXPECT_GT(strict.quality, 0.99f);
    finder.minimumSnacPeak = 0.6f;
    EXPECT_NEAR(analyse(testsignals::chanterTone(600.0f, 1024)).frequency_Hz, 600.0f, 1.0f);
}

TEST_F(PitchFinderTest, QualityIsKeptWhenAWindowHasNoMaximum)
{
    configure(1024);
    const float quality = analyse(testsignals::sine(480.0f, 1024, 0.5f)).quality;
    ASSERT_GT(quality, 0.99f);
    EXPECT_EQ(analyse(std::vector<float>(1024, 0.0f)).quality, quality);
}

TEST_F(PitchFinderTest, BandLimitExcludesPeriodsOutsideTheBand)
{
    configure(1024, true, 600.0f, 1200.0f);
    EXPECT_EQ(analyse(testsignals::sine(480.0f, 1024, 0.5f)).frequency_Hz, 0.0f);
    configure(1024, true, 400.0f, 1200.0f);
    EXPECT_NEAR(analyse(testsignals::sine(480.0f, 1024, 0.5f)).frequency_Hz, 480.0f, 0.3f);
}

TEST_F(PitchFinderTest, BandpassRemovesComponentsOutsideTheBand)
{
    configure(2048, false, 300.0f, 1000.0f, true);
    const auto signal = testsignals::mix(testsignals::sine(480.0f, 2048, 0.2f), testsignals::sine(3100.0f, 2048, 0.6f));
    EXPECT_NEAR(analyse(signal).frequency_Hz, 480.0f, 1.0f);
}

TEST_F(PitchFinderTest, BandpassEdgesAreCountedInWindowSizeBins)
{
    // The edges become bins with the window size N while the transform has
    // 1.5 N points, so the pass band lies at two thirds of the nominal edges:
    // a nominal 300..700 Hz band passes about 200..460 Hz.
    configure(2048, false, 300.0f, 700.0f, true);
    EXPECT_LT(analyse(testsignals::sine(480.0f, 2048, 0.5f)).volume_normalized, 0.8f);
    EXPECT_NEAR(analyse(testsignals::sine(420.0f, 2048, 0.5f)).frequency_Hz, 420.0f, 1.0f);
}

TEST_F(PitchFinderTest, ProcessingParamsClampTheBand)
{
    PitchFinder::ProcessingParams params;
    params.lowFrequency_Hz = 0.5f;
    params.highFrequency_Hz = 0.2f;
    finder.setProcessingParams(params);
    EXPECT_EQ(finder.processingParams().lowFrequency_Hz, 1.0f);
    EXPECT_EQ(finder.processingParams().highFrequency_Hz, 1.0f);

    params.lowFrequency_Hz = 50000.0f;
    params.highFrequency_Hz = 60000.0f;
    finder.setProcessingParams(params);
    EXPECT_EQ(finder.processingParams().lowFrequency_Hz, 44100.0f);
    EXPECT_EQ(finder.processingParams().highFrequency_Hz, 44100.0f);

    params.lowFrequency_Hz = 300.0f;
    params.highFrequency_Hz = 200.0f;
    finder.setProcessingParams(params);
    EXPECT_EQ(finder.processingParams().highFrequency_Hz, 300.0f);
}

TEST_F(PitchFinderTest, UnchangedDataParamsKeepTheAveragerHistory)
{
    configure(1024);
    analyse(testsignals::sine(480.0f, 1024 * 8, 0.5f), 8);
    finder.setDataParams(PitchFinder::DataParams(1024, 44100));
    // The silent window adds a 0; the average still spans the earlier note.
    EXPECT_NEAR(analyse(std::vector<float>(1024, 0.0f)).averageFrequency_Hz, 480.0f, 0.5f);

    // A new sampling rate starts a new history.
    finder.setDataParams(PitchFinder::DataParams(1024, 48000));
    EXPECT_EQ(analyse(std::vector<float>(1024, 0.0f)).averageFrequency_Hz, 0.0f);
}

TEST_F(PitchFinderTest, CalibrationPutsTheChantersLowAOnTheAGrid)
{
    // 475 Hz and 485 Hz lie on different notes of the A440 grid but both on
    // Low A once 480 Hz is declared to be A.
    std::vector<float> signal;
    for (int w = 0; w < 10; ++w) {
        const auto window = testsignals::sine(w % 2 ? 485.0f : 475.0f, 1024, 0.5f);
        signal.insert(signal.end(), window.begin(), window.end());
    }
    configure(1024);
    // On the A440 grid only the 475 Hz windows share the first note heard.
    EXPECT_NEAR(analyse(signal, 10).averageFrequency_Hz, 475.0f, 0.5f);

    PitchFinder calibrated;
    calibrated.setDataParams(PitchFinder::DataParams(1024, 44100));
    calibrated.setCalibration(440.0f, 480.0f);
    const std::vector<float> scaled = testsignals::pcmScaled(signal);
    for (int w = 0; w < 10; ++w) {
        calibrated.setData(scaled.data() + w * 1024);
        calibrated.calculatePitch();
    }
    const auto results = calibrated.analysisResults();
    EXPECT_NEAR(results.averageFrequency_Hz, 480.0f, 0.5f);
    EXPECT_EQ(results.calibrationState, 2.0f);
    EXPECT_EQ(results.calibratedFrequency_Hz, 480.0f);
    EXPECT_FLOAT_EQ(results.calibrationMultiplier, 440.0f / 480.0f);
}

TEST_F(PitchFinderTest, CalibratorMeasuresAPlayedReferenceNote)
{
    configure(1024);
    finder.calibrator().initialise(6, 440.0f);
    const auto results = analyse(testsignals::chanterTone(470.0f, 1024 * 6), 6);
    EXPECT_EQ(results.calibrationState, 2.0f);
    EXPECT_NEAR(results.calibratedFrequency_Hz, 470.0f, 0.5f);
    EXPECT_NEAR(results.calibrationMultiplier, 440.0f / 470.0f, 0.001f);
}

TEST_F(PitchFinderTest, PeakPickerIsCalledWithTheSearchArguments)
{
    configure(1024, true, 400.0f, 1000.0f);
    PitchFinder::ProcessingParams params = finder.processingParams();
    params.peakPickerEnabled = true;
    finder.setProcessingParams(params);
    finder.snacPeakThreshold = 0.85f;

    EXPECT_EQ(analyse(testsignals::sine(500.0f, 1024, 0.5f)).pickedFrequency_Hz, 0.0f);

    int calls = 0;
    finder.snacPeakPicker = [&](PitchFinder& self, float* snac, int count, int first, int last, float threshold,
                                float minimumPeak) {
        ++calls;
        EXPECT_EQ(&self, &finder);
        EXPECT_NE(snac, nullptr);
        EXPECT_EQ(count, 512);
        EXPECT_EQ(first, 44);  // 44100 / 1000
        EXPECT_EQ(last, 110);  // 44100 / 400
        EXPECT_EQ(threshold, 0.85f);
        EXPECT_EQ(minimumPeak, 0.6f);
        return 123.0f;
    };
    EXPECT_EQ(analyse(testsignals::sine(500.0f, 1024, 0.5f)).pickedFrequency_Hz, 123.0f);
    EXPECT_EQ(calls, 1);

    // Disabled: the picker is not called and its last answer stays.
    params.peakPickerEnabled = false;
    finder.setProcessingParams(params);
    EXPECT_EQ(analyse(testsignals::sine(500.0f, 1024, 0.5f)).pickedFrequency_Hz, 123.0f);
    EXPECT_EQ(calls, 1);
}

TEST_F(PitchFinderTest, SnacFrequencyInterpolatesAroundTheMaximum)
{
    configure(1024);
    const float frequency_Hz = analyse(testsignals::sine(480.0f, 1024, 0.5f)).frequency_Hz;
    // 480 Hz is a lag of 91.875 samples: index 91 is the maximum.
    EXPECT_EQ(finder.getSnacFrequency_Hz(91), frequency_Hz);
    EXPECT_EQ(finder.getSnacFrequency_Hz(0), 0.0f);
    EXPECT_EQ(finder.getSnacFrequency_Hz(-3), 0.0f);
    EXPECT_EQ(finder.getSnacFrequency_Hz(512), 0.0f);
}

TEST_F(PitchFinderTest, UnconfiguredFinderDoesNothing)
{
    finder.calculatePitch();
    const auto results = finder.analysisResults();
    EXPECT_EQ(results.frequency_Hz, 0.0f);
    EXPECT_EQ(results.volume_normalized, 0.0f);
    EXPECT_EQ(finder.getSnacFrequency_Hz(5), 0.0f);
}

TEST_F(PitchFinderTest, NonFiniteSamplesYieldNoPitch)
{
    configure(1024);
    for (float bad : {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity()}) {
        std::vector<float> window = testsignals::pcmScaled(testsignals::sine(480.0f, 1024, 0.5f));
        window[100] = bad;
        finder.setData(window.data());
        finder.calculatePitch();
        EXPECT_EQ(finder.analysisResults().frequency_Hz, 0.0f);
    }
    // The finder recovers with the next clean window.
    EXPECT_NEAR(analyse(testsignals::sine(480.0f, 1024, 0.5f)).frequency_Hz, 480.0f, 0.3f);
}

TEST_F(PitchFinderTest, WindowSizeCanChangeAndBeOdd)
{
    for (unsigned int size : {1023u, 2048u, 777u, 1024u}) {
        configure(size);
        EXPECT_NEAR(analyse(testsignals::sine(700.0f, size, 0.5f)).frequency_Hz, 700.0f, 1.0f) << size;
    }
    for (unsigned int size : {1u, 2u, 3u}) {
        configure(size);
        EXPECT_EQ(analyse(std::vector<float>(size, 0.25f)).frequency_Hz, 0.0f) << size;
    }
}

// The transcription's configuration: chanter tones at every note under
// several Low As and window sizes, band-limited and with the peak picker.
struct ChanterCase {
    int noteIndex;
    float lowA_Hz;
    unsigned int windowSize;
};

class ChanterPitch : public ::testing::TestWithParam<ChanterCase>
{
};

TEST_P(ChanterPitch, FindsEveryNoteWithinACent)
{
    const ChanterCase c = GetParam();
    PipeTuning tuning;
    tuning.setLowA_Hz(c.lowA_Hz);
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
