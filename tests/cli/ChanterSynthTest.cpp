#include "ChanterSynth.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

TEST(ChanterSynth, RendersTheRequestedLengthAndPeak)
{
    const auto signal = synth::renderSegments({{480.0f, 0.1f}, {0.0f, 0.05f}, {640.0f, 0.1f}}, 44100.0f,
                                              synth::chanterHarmonics(), 0.5f);
    EXPECT_EQ(signal.size(), 4410u + 2205u + 4410u);
    float peak = 0.0f;
    for (float value : signal)
        peak = std::max(peak, std::fabs(value));
    EXPECT_FLOAT_EQ(peak, 0.5f);
    // The silent segment is silent.
    EXPECT_EQ(signal[4410 + 1000], 0.0f);
    EXPECT_TRUE(synth::renderSegments({{480.0f, 0.1f}}, 0.0f, synth::chanterHarmonics(), 0.5f).empty());
}

TEST(ChanterSynth, HarmonicsAboveNyquistAreLeftOut)
{
    // At 8000 Hz only the first four harmonics of 960 Hz fit; the tone must
    // still be periodic at 960 Hz and not alias.
    const auto signal = synth::harmonicTone(960.0f, 0.05f, 8000.0f, synth::chanterHarmonics(), 1.0f);
    ASSERT_EQ(signal.size(), 400u);
    // 960 Hz at 8000 Hz repeats every 25 samples (3 periods).
    for (std::size_t i = 0; i + 25 < signal.size(); ++i)
        EXPECT_NEAR(signal[i], signal[i + 25], 1e-3f);
}

TEST(ChanterSynth, Pcm16ScalesAndClips)
{
    EXPECT_EQ(synth::toPcm16({0.0f, 0.5f, -0.5f, 1.0f, -1.0f, 2.0f, -2.0f}),
              (std::vector<short>{0, 16384, -16384, 32767, -32767, 32767, -32768}));
}

} // namespace
