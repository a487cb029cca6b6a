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

TEST(IIRFilterFirstOrder, BilinearCoefficients)
{
    IIRFilterFirstOrder filter;
    filter.initialise(2500.0, 44100.0, 1.0, IIRFilterFirstOrder::LowPass);
    const double k = std::tan(3.14159265358979323846 * 2500.0 / 44100.0);
    EXPECT_DOUBLE_EQ(filter.feedbackCoefficient(), (1.0 - k) / (1.0 + k));
    EXPECT_DOUBLE_EQ(filter.inputGain(), k / (1.0 + k));
    filter.initialise(2500.0, 44100.0, 1.0, IIRFilterFirstOrder::HighPass);
    EXPECT_DOUBLE_EQ(filter.inputGain(), 1.0 / (1.0 + k));
}

TEST(IIRFilterFirstOrder, LowPassFollowsTheRecurrence)
{
    IIRFilterFirstOrder filter;
    filter.initialise(1000.0, 8000.0, 2.0, IIRFilterFirstOrder::LowPass);
    const double a = filter.feedbackCoefficient();
    const double g = filter.inputGain();
    const std::vector<short> input = {1000, -2000, 3000, 0, 500};
    const float* output = filter.filter(input.data(), 5);
    double x1 = 0.0;
    double y1 = 0.0;
    for (std::size_t i = 0; i < input.size(); ++i) {
        const double y = a * y1 + g * (input[i] + x1);
        EXPECT_FLOAT_EQ(output[i], static_cast<float>(2.0 * y));
        x1 = input[i];
        y1 = y;
    }
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

TEST(IIRFilterFirstOrder, EmptyCallKeepsTheBufferAndTheState)
{
    IIRFilterFirstOrder filter;
    filter.initialise(2500.0, 44100.0, 1.0, IIRFilterFirstOrder::LowPass);
    const std::vector<short> input = {1000, 2000, 3000, 4000};
    const float* first = filter.filter(input.data(), 4);
    EXPECT_EQ(filter.filter(input.data(), 0), first);
    EXPECT_EQ(filter.filter(nullptr, 10), first);
    // A shorter call reuses the buffer and continues from the state.
    IIRFilterFirstOrder reference;
    reference.initialise(2500.0, 44100.0, 1.0, IIRFilterFirstOrder::LowPass);
    const std::vector<short> twice = {1000, 2000, 3000, 4000, 500};
    const float last = reference.filter(twice.data(), 5)[4];
    const std::vector<short> one = {500};
    EXPECT_EQ(filter.filter(one.data(), 1), first);
    EXPECT_EQ(first[0], last);
}

TEST(IIRFilterFirstOrder, ZeroCornerAndBadRatesGiveSilence)
{
    const std::vector<short> input = {1000, -1000, 32767, -32768};
    IIRFilterFirstOrder filter;
    filter.initialise(0.0, 44100.0, 1.0, IIRFilterFirstOrder::LowPass);
    EXPECT_EQ(filter.feedbackCoefficient(), 1.0);
    EXPECT_EQ(filter.inputGain(), 0.0);
    const float* output = filter.filter(input.data(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(output[i], 0.0f);

    filter.initialise(2500.0, 0.0, 1.0, IIRFilterFirstOrder::LowPass);
    output = filter.filter(input.data(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(output[i], 0.0f);
}

TEST(IIRFilterFirstOrder, ResetClearsEverything)
{
    IIRFilterFirstOrder filter;
    filter.initialise(2500.0, 44100.0, 1.0, IIRFilterFirstOrder::LowPass);
    const std::vector<short> input = {1000, 2000};
    filter.filter(input.data(), 2);
    filter.reset();
    EXPECT_EQ(filter.feedbackCoefficient(), 0.0);
    EXPECT_EQ(filter.inputGain(), 0.0);
    EXPECT_EQ(filter.filter(input.data(), 0), nullptr);
}

} // namespace
