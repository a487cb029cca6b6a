// One recording fed to a session as the processing thread feeds it: the
// wait for the Low A in the first seconds, and a result that does not
// depend on how the recording arrives.

#include "TranscriptionSession.h"

#include "Phrases.h"
#include "TestSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <tuple>

namespace {

constexpr float kLowA_Hz = 490.0f;

// The application's defaults, at a 0.5 s interval.
TranscriptionSession::Settings applicationSettings()
{
    return {.filterCorner_Hz = 2500.0f, .snacPeakThreshold = 0.97f, .transcriptionInterval_s = 0.5f};
}

// After the silence, a quick scale (its uneven steps tell the Low A within
// half a second), then a random walk.
std::vector<short> tune(float silence_s, float seconds)
{
    const PipeTuning tuning = testsignals::tuningAt(kLowA_Hz);
    std::vector<synth::Segment> played{{0.0f, silence_s}};
    for (const std::vector<synth::Segment>& part :
         {synth::scale(tuning, 0.15f), synth::randomWalk(tuning, seconds, 0.2f, 0.6f, 5)})
        played.insert(played.end(), part.begin(), part.end());
    return testsignals::chanterPcm(played);
}

// Feeds audio in blocks of blockSamples and finishes; returns the seconds
// recorded when the Low A became known (-1: only at the finish).
float feedAll(TranscriptionSession& session, const std::vector<short>& audio, std::size_t blockSamples)
{
    float knownAt_s = -1.0f;
    for (std::size_t start = 0; start < audio.size(); start += blockSamples) {
        const bool changed = session.feed(audio.data() + start, std::min(blockSamples, audio.size() - start));
        if (session.waitingForLowA()) {
            EXPECT_FALSE(changed);
            EXPECT_EQ(session.estimatedLowA_Hz(), 0.0f);
        } else if (knownAt_s < 0.0f) {
            knownAt_s = session.recorded_s();
        }
    }
    EXPECT_TRUE(session.finish());
    return knownAt_s;
}

TEST(TranscriptionSession, TheLowAIsEstimatedFromTheFirstSecondsOnceAChanterIsHeard)
{
    // Seconds of silence, then of playing; when the Low A is known, from
    // and by (-1: at the finish).
    const std::tuple<float, float, float, float> rows[] = {
        {0.0f, 6.0f, 3.0f, 3.05f},   // after the wait
        {3.5f, 4.0f, 4.0f, 4.05f},   // a second later while nothing is heard
        {0.0f, 1.0f, -1.0f, -1.0f},  // shorter than the wait: at the finish
    };
    for (const auto& [silence_s, played_s, knownFrom_s, knownBy_s] : rows) {
        TranscriptionSession session;
        session.setSettings(applicationSettings());
        session.setEstimateLowA(true);
        session.reset();
        const float knownAt_s = feedAll(session, tune(silence_s, played_s), 2048);
        const std::string where = "silence " + std::to_string(silence_s) + " s, known at " + std::to_string(knownAt_s);
        if (knownFrom_s < 0.0f) {
            EXPECT_LT(knownAt_s, 0.0f) << where;
        } else {
            EXPECT_GE(knownAt_s, knownFrom_s) << where;
            EXPECT_LE(knownAt_s, knownBy_s) << where;
        }
        EXPECT_NEAR(session.estimatedLowA_Hz(), kLowA_Hz, kLowA_Hz * 0.008f) << where;
        EXPECT_NEAR(session.result().reference.lowA_Hz(), kLowA_Hz, kLowA_Hz * 0.008f) << where;
        EXPECT_FALSE(session.result().melody.empty()) << where;
    }
}

TEST(TranscriptionSession, TheResultDoesNotDependOnTheBlocksTheRecordingArrivesIn)
{
    // Longer than the tracks the engine holds: a thread that falls behind
    // and fetches several windows at once gets the result of one window at
    // a time. With drones, found after seconds and taken out from the first
    // sample on, likewise.
    for (const bool drones : {false, true}) {
        const std::vector<short> audio = drones ? phrases::withDrones(tune(0.5f, 12.0f), phrases::Drones{}) : tune(0.5f, 12.0f);
        auto resultIn = [&](std::size_t block) {
            TranscriptionSession session;
            session.setSettings(applicationSettings());
            session.setReference(testsignals::tuningAt(kLowA_Hz));
            session.reset();
            feedAll(session, audio, block);
            return session.result();
        };
        const TranscriptionSession::Result expected = resultIn(2048);
        EXPECT_GE(expected.melody.size(), 15u);
        EXPECT_EQ(expected.drones.empty(), !drones);
        for (const std::size_t block : {std::size_t{1000}, std::size_t{6001}, audio.size()}) {
            const TranscriptionSession::Result result = resultIn(block);
            EXPECT_EQ(std::tie(result.melody, result.gracing, result.tuning, result.analysed_s, result.drones),
                      std::tie(expected.melody, expected.gracing, expected.tuning, expected.analysed_s, expected.drones))
                << block << (drones ? " with drones" : "");
        }
    }
}

} // namespace
