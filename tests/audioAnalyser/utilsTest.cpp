#include "utils.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST(Utils, FreqRatioToCentsUsesTheHouseConstant)
{
    EXPECT_NEAR(utils::freqRatioToCents(440.0f, 880.0f), 1200.0398f, 1e-3);
    EXPECT_NEAR(utils::freqRatioToCents(880.0f, 440.0f), -1200.0398f, 1e-3);
    EXPECT_EQ(utils::freqRatioToCents(500.0f, 500.0f), 0.0f);
}

TEST(Utils, TruncateToIntSaturatesAndMapsNaNToZero)
{
    EXPECT_EQ(utils::truncateToInt(2.9), 2);
    EXPECT_EQ(utils::truncateToInt(-2.9), -2);
    EXPECT_EQ(utils::truncateToInt(NAN), 0);
    EXPECT_EQ(utils::truncateToInt(1e30), std::numeric_limits<int>::max());
    EXPECT_EQ(utils::truncateToInt(-INFINITY), std::numeric_limits<int>::min());
}

class SnacMaxima : public ::testing::Test
{
protected:
    int find(int first, int last)
    {
        return utils::findSnacMaxima(snac.data(), static_cast<int>(snac.size()), first, last, maxima);
    }
    std::vector<float> snac;
    std::vector<int> maxima;
};

TEST_F(SnacMaxima, TakesTheFirstHighestMaximumOfEachPositiveLobe)
{
    //         0     1     2     3      4     5     6     7      8     9    10    11
    snac = {0.9f, 0.5f, -0.2f, 0.3f, 0.7f, 0.5f, 0.7f, -0.1f, 0.4f, 0.95f, 0.2f, 0.0f};
    EXPECT_EQ(find(0, 11), 9);
    // Index 4 opens the second lobe; 6 is only equal, so 4 stays its key maximum.
    EXPECT_EQ(maxima, (std::vector<int>{4, 9}));
}

TEST_F(SnacMaxima, SubMaximumPrefersTheShortestPeriodAboveTheThreshold)
{
    snac = {1.0f, -0.1f, 0.5f, 0.88f, 0.5f, -0.1f, 0.5f, 0.97f, 0.5f, -0.1f, 0.0f};
    int best = -1;
    // 0.88 reaches 0.9 x 0.97 = 0.873: the earlier maximum wins.
    EXPECT_EQ(utils::findSnacSubMaximum(snac.data(), 11, 0, 10, 0.9f, 0.6f, best, maxima), 3);
    EXPECT_EQ(best, 7);
    // With a stricter threshold only the highest maximum qualifies.
    EXPECT_EQ(utils::findSnacSubMaximum(snac.data(), 11, 0, 10, 0.95f, 0.6f, best, maxima), 7);
    // Nothing reaches the minimum peak.
    EXPECT_EQ(utils::findSnacSubMaximum(snac.data(), 11, 0, 10, 0.9f, 0.98f, best, maxima), 0);
    EXPECT_EQ(best, 7);
    // The minimum peak itself is reached; no positive lobe finds nothing.
    snac = {1.0f, -0.1f, 0.5f, 0.6f, 0.5f, -0.1f, 0.0f};
    EXPECT_EQ(utils::findSnacSubMaximum(snac.data(), 7, 0, 6, 0.9f, 0.6f, best, maxima), 3);
    snac = std::vector<float>(8, -1.0f);
    best = 0;
    EXPECT_EQ(utils::findSnacSubMaximum(snac.data(), 8, 0, 7, 0.9f, 0.6f, best, maxima), 0);
    EXPECT_EQ(best, 0);
}

} // namespace
