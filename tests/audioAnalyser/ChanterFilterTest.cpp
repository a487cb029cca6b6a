// The chanter heard over its drones: phrases played over a set of pipes'
// drones come out as played, the drones are found to a fraction of a cent,
// and what has no drones reaches the engine exactly as recorded.

#include "ChanterFilter.h"

#include "Phrases.h"
#include "TestSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <tuple>
#include <string>

namespace {

float cents(float a_Hz, float b_Hz)
{
    return 1200.0f * std::log2(a_Hz / b_Hz);
}

TEST(ChanterFilter, PhrasesOverDronesComeOutAsPlayed)
{
    struct Row {
        const char* what;
        const char* played;
        const char* expected;
        phrases::Drones drones;
    };
    const std::vector<Row> rows = {
        {"Low A and High A on the drones' lines, a doubling",
         "LA:700 HG E F E:600 LA:600 HA:700 LA:700 E:500", "LA dbe E LA HA LA E", {}},
        {"a grip and a throw, drones sharp and louder than the chanter",
         "D:600 LG D LG LA:600 LG D:35 C D:600 HA:600 E:700", "D grp LA thrd D HA E", {9.0f, 11.0f, 0.6f, 3.0f, 1.0f}},
        {"strikes on E and Low A, drones flat, struck in with the chanter",
         "E:900 LA:22 E:600 C:700 LG:22 LA:600 E:600 C:700", "E strla E C strlg LA E C", {-10.0f, -12.0f, 0.3f, 0.0f, 0.0f}},
        {"gracenotes between notes on the lines, tenors in tune with each other",
         "E:600 HG LA:600 D C:600 E LA:600 HA:700 LA:700", "E gg LA dg C eg LA HA LA", {2.0f, 3.0f, 0.0f, 0.0f, 1.5f}},
    };
    for (const Row& row : rows) {
        const std::vector<short> pcm = phrases::withDrones(phrases::render(row.played), row.drones);
        EXPECT_EQ(phrases::names(phrases::transcribe(pcm, TranscriptionMode::Progressive)), row.expected) << row.what;
    }
}

TEST(ChanterFilter, FindsTheDronesToAFractionOfACent)
{
    const phrases::Drones played{-6.0f, 8.0f, 0.4f, 0.0f, 1.0f};
    const std::vector<float> truth_Hz = phrases::droneFrequencies_Hz(played);
    const TranscriptionResult result = phrases::transcribe(
        phrases::withDrones(phrases::render("LA:800 HG E:700 HG D:600 E C:600 HG LA:800 HG F:600 HG HA:900 LA:900"), played),
        TranscriptionMode::Progressive);
    ASSERT_EQ(result.drones.drones.size(), 3u);
    EXPECT_EQ(result.drones.drones[0].kind, DroneSet::Drone::Kind::Bass);
    for (std::size_t k = 0; k < 3; ++k)
        EXPECT_NEAR(cents(result.drones.drones[k].frequency_Hz, truth_Hz[k]), 0.0f, 1.0f) << k;
    EXPECT_NEAR(result.drones.tenorBeat_Hz, played.tenorBeat_Hz, 0.05f);
}

TEST(ChanterFilter, WhatHasNoDronesReachesTheEngineAsRecorded)
{
    const std::vector<short> phrase = phrases::render("LA:3000 HG E F E:800 LA:800 D:700");
    const std::size_t count = phrase.size();
    // A 50 Hz hum with its harmonics: steady lines, but under no drone.
    std::vector<float> hum(count, 0.0f);
    for (int h = 1; h <= 12; ++h) {
        const std::vector<float> line = testsignals::sine(50.0f * static_cast<float>(h), count, 0.02f / static_cast<float>(h));
        hum = testsignals::mix(hum, line);
    }
    std::vector<float> chanter(count);
    std::transform(phrase.begin(), phrase.end(), chanter.begin(), [](short s) { return static_cast<float>(s) / 32768.0f; });
    const std::vector<std::pair<const char*, std::vector<short>>> rows = {
        {"a chanter alone, a long Low A first", phrase},
        {"with noise", testsignals::pcm(testsignals::mix(chanter, testsignals::noise(count, 0.01f, 3)))},
        {"with mains hum", testsignals::pcm(testsignals::mix(chanter, hum))},
    };
    for (const auto& [what, pcm] : rows) {
        ChanterFilter filter;
        filter.push(pcm.data(), pcm.size());
        filter.finish();
        EXPECT_FALSE(filter.cleaning()) << what;
        EXPECT_TRUE(filter.drones().empty()) << what;
        EXPECT_EQ(ChanterFilter::cleaned(pcm.data(), pcm.size(), testsignals::kRate_Hz), pcm) << what;
        const TranscriptionResult heard = phrases::transcribe(pcm, TranscriptionMode::Progressive);
        const TranscriptionResult asRecorded =
            phrases::transcribe(pcm, TranscriptionMode::Progressive, true, testsignals::kRate_Hz, 0.3f, false);
        EXPECT_EQ(std::tie(heard.melody, heard.gracing, heard.tuning),
                  std::tie(asRecorded.melody, asRecorded.gracing, asRecorded.tuning)) << what;
    }
}

} // namespace
