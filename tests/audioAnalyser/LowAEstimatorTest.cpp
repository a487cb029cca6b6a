#include "LowAEstimator.h"

#include "TestSignals.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

double centsBetween(double a, double b) { return 1200.0 * std::log2(b / a); }

// A tune-like sequence over the chanter scale at lowA_Hz, with the notes a
// tune leans on (Low A, C, E) held longest.
std::vector<float> tune(float lowA_Hz, float rate_Hz)
{
    const auto centres = testsignals::tuningAt(lowA_Hz).getNoteCentreFrequencies();
    std::vector<synth::Segment> segments;
    const PipeTuning::ReferenceNote order[] = {PipeTuning::LowA, PipeTuning::C, PipeTuning::E, PipeTuning::HighA,
                                               PipeTuning::F, PipeTuning::E, PipeTuning::C, PipeTuning::B,
                                               PipeTuning::LowA, PipeTuning::LowG, PipeTuning::D, PipeTuning::HighG};
    for (int repeat = 0; repeat < 3; ++repeat)
        for (PipeTuning::ReferenceNote note : order)
            segments.push_back({centres.at(note), 0.3f});
    return synth::renderSegments(segments, rate_Hz, synth::chanterHarmonics(), 0.5f);
}

using LowAEstimation = ::testing::TestWithParam<float>;

TEST_P(LowAEstimation, LandsWithinFifteenCentsWithOrWithoutDrones)
{
    const float lowA_Hz = GetParam();
    const std::vector<float> signal = tune(lowA_Hz, 44100.0f);
    const LowAEstimate estimate = estimateLowA(testsignals::pcm(signal), 44100.0f);
    EXPECT_NEAR(centsBetween(lowA_Hz, estimate.lowA_Hz), 0.0, 15.0);
    EXPECT_GT(estimate.explainedCount, estimate.pitchCount * 8 / 10);
    const std::vector<float> bass = testsignals::chanterTone(lowA_Hz / 4, signal.size(), 0.15f);
    const std::vector<float> tenor = testsignals::chanterTone(lowA_Hz / 2, signal.size(), 0.2f);
    const std::vector<float> withDrones = testsignals::mix(testsignals::mix(signal, bass), tenor);
    EXPECT_NEAR(centsBetween(lowA_Hz, estimateLowA(testsignals::pcm(withDrones), 44100.0f).lowA_Hz), 0.0, 15.0);
}

INSTANTIATE_TEST_SUITE_P(LowAs, LowAEstimation, ::testing::Values(410.0f, 466.0f, 470.0f, 480.0f, 490.0f, 530.0f));

TEST(LowAEstimation, SilenceAndShortInputGiveNoEstimate)
{
    EXPECT_EQ(estimateLowA(std::vector<short>(44100, 0), 44100.0f).lowA_Hz, 0.0f);
    EXPECT_EQ(estimateLowA(std::vector<short>(100, 1000), 44100.0f).lowA_Hz, 0.0f);
    EXPECT_EQ(estimateLowA(testsignals::pcm(tune(480.0f, 44100.0f)), 0.0f).lowA_Hz, 0.0f);
}

} // namespace
