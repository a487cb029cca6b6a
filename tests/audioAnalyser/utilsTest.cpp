#include "utils.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>
#include <stdexcept>
#include <vector>

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

// Every element is worked on once, by stretches cut on the caller's grain
// (counted from its offset) and none shorter than a grain; a failure in any
// stretch reaches the caller after all have ended.
TEST(Utils, RunInStretchesCoversEachElementOnceCutOnTheGrain)
{
    struct Case {
        std::size_t count, offset, grain;
        unsigned int jobs;
        std::size_t stretches;
    };
    for (const Case& c : {Case{0, 0, 1, 4, 0}, Case{10, 0, 1, 1, 1}, Case{10, 0, 1, 3, 3}, Case{1000, 0, 256, 2, 2},
                          Case{1000, 100, 256, 4, 3}, Case{300, 0, 256, 8, 1}, Case{511, 0, 256, 2, 1},
                          Case{7, 0, 1, 64, 7}}) {
        SCOPED_TRACE(testing::Message() << c.count << " from " << c.offset << " on " << c.grain << ", " << c.jobs
                                        << " jobs");
        std::vector<int> visits(c.count, 0);
        std::vector<std::pair<std::size_t, std::size_t>> stretches;
        std::mutex lock;
        utils::runInStretches(c.count, c.offset, c.grain, c.jobs, [&](std::size_t first, std::size_t last) {
            for (std::size_t i = first; i < last; ++i)
                ++visits[i];
            const std::lock_guard<std::mutex> guard(lock);
            stretches.emplace_back(first, last);
        });
        EXPECT_EQ(std::count(visits.begin(), visits.end(), 1), static_cast<long>(c.count));
        EXPECT_EQ(stretches.size(), c.stretches);
        for (const auto& [first, last] : stretches) {
            EXPECT_GE(last - first, std::min(c.grain, c.count));
            if (first > 0) {
                EXPECT_EQ((c.offset + first) % c.grain, 0u);
            }
        }
    }
    EXPECT_THROW(utils::runInStretches(100, 0, 1, 4,
                                       [](std::size_t first, std::size_t) {
                                           if (first == 0)
                                               throw std::runtime_error("first stretch");
                                       }),
                 std::runtime_error);
}
