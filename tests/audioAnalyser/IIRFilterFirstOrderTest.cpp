#include "IIRFilterFirstOrder.h"

#include "TestSignals.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

double rms(const float* values, std::size_t from, std::size_t to)
{
    double sum = 0.0;
    for (std::size_t i = from; i < to; ++i)
        sum += static_cast<double>(values[i]) * values[i];
    return std::sqrt(sum / static_cast<double>(to - from));
}

TEST(IIRFilterFirstOrder, PassesLowAndDampsHighFrequencies)
{
    IIRFilterFirstOrder lowPass;
    lowPass.initialise(2500.0, 44100.0, 1.0, IIRFilterFirstOrder::LowPass);
    const std::vector<short> low = testsignals::pcm(testsignals::sine(480.0f, 4410, 0.5f));
    const std::vector<short> high = testsignals::pcm(testsignals::sine(10000.0f, 4410, 0.5f));
    const double lowIn = 0.5 * 32767 / std::sqrt(2.0);
    EXPECT_NEAR(rms(lowPass.filter(low.data(), 4410), 441, 4410) / lowIn, 1.0, 0.02);
    lowPass.initialise(2500.0, 44100.0, 1.0, IIRFilterFirstOrder::LowPass);
    EXPECT_LT(rms(lowPass.filter(high.data(), 4410), 441, 4410) / lowIn, 0.3);

    IIRFilterFirstOrder highPass;
    highPass.initialise(2500.0, 44100.0, 1.0, IIRFilterFirstOrder::HighPass);
    EXPECT_LT(rms(highPass.filter(low.data(), 4410), 441, 4410) / lowIn, 0.25);
    const std::vector<short> constant(100, 1000);
    highPass.initialise(2500.0, 44100.0, 1.0, IIRFilterFirstOrder::HighPass);
    EXPECT_NEAR(highPass.filter(constant.data(), 100)[99], 0.0f, 1.0f);
}

TEST(IIRFilterFirstOrder, FilteringInPiecesEqualsFilteringAtOnce)
{
    const std::vector<short> input = testsignals::pcm(testsignals::noise(1000, 0.5f, 11));
    IIRFilterFirstOrder whole;
    whole.initialise(2500.0, 44100.0, 1.0, IIRFilterFirstOrder::LowPass);
    const float* all = whole.filter(input.data(), 1000);
    const std::vector<float> expected(all, all + 1000);

    IIRFilterFirstOrder pieces;
    pieces.initialise(2500.0, 44100.0, 1.0, IIRFilterFirstOrder::LowPass);
    std::vector<float> joined;
    for (std::size_t start = 0; start < 1000; start += 300) {
        const unsigned int count = static_cast<unsigned int>(std::min<std::size_t>(300, 1000 - start));
        const float* part = pieces.filter(input.data() + start, count);
        joined.insert(joined.end(), part, part + count);
    }
    EXPECT_EQ(joined, expected);
}

} // namespace
