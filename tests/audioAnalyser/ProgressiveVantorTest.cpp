// The progressive engine as the processing thread drives it: pending
// samples, re-runs as the analysed time passes the due time, bounded tracks
// with absolute note times, and the frozen history.

#include "ProgressiveVantor.h"
#include "TestSignals.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

class ProgressiveProbe : public ProgressiveVantor
{
public:
    using ProgressiveVantor::appendToHistory;
    std::size_t pendingSamples() const { return mPendingData.size(); }
    std::size_t windows() const { return mFrequencies.size(); }
    float nextDue_s() const { return mNextTranscribeTime_s; }
    float trimmed_s() const { return mTrimmedTime_s; }
};

using testsignals::chanterPcm;

TEST(ProgressiveVantor, PendingSamplesWaitForAWholeWindowAndRerunsFollowTheDueTime)
{
    ProgressiveProbe engine;
    const std::vector<short> pcm = chanterPcm({{480.0f, 4.0f}});
    EXPECT_FALSE(engine.progressiveTranscribe(pcm.data(), 512, false));
    EXPECT_EQ(engine.pendingSamples(), 512u);
    EXPECT_FALSE(engine.progressiveTranscribe(pcm.data() + 512, 512, false));
    EXPECT_EQ(engine.windows(), 1u);
    EXPECT_EQ(engine.pendingSamples(), 1004u);
    EXPECT_FLOAT_EQ(engine.lastTranscribeTime_s(), 20.0f / 44100.0f);

    // The default interval is 0.1 s; each re-run comes in the first block
    // that passes the due time, and sets the next one an interval later.
    std::size_t fed = 1024;
    float due_s = 0.1f;
    for (int reruns = 0; reruns < 3; fed += 2048) {
        if (!engine.progressiveTranscribe(pcm.data() + fed, 2048, false))
            continue;
        const float ran_s = engine.lastTranscribeTime_s();
        EXPECT_GE(ran_s, due_s) << reruns;
        EXPECT_LT(ran_s - 2048.0f / 44100.0f, due_s) << reruns;
        due_s = ran_s + 0.1f;
        EXPECT_FLOAT_EQ(engine.nextDue_s(), due_s) << reruns;
        ++reruns;
    }
    engine.setTranscriptionInterval_s(0.5f);
    while (!engine.progressiveTranscribe(pcm.data() + fed, 2048, false))
        fed += 2048;
    EXPECT_FLOAT_EQ(engine.nextDue_s(), engine.lastTranscribeTime_s() + 0.5f);
    EXPECT_TRUE(engine.progressiveTranscribe(nullptr, 0, true)); // forced, without new audio
}

TEST(ProgressiveVantor, LongRecordingsKeepFiveSecondsOfTracksAndAbsoluteTimes)
{
    const std::vector<short> pcm = chanterPcm(synth::scale(testsignals::tuningAt(480.0f), 0.8f));
    // As the application sets it up: its defaults, a reference tuning, and
    // re-runs every half second.
    ProgressiveProbe engine;
    engine.setFilterCornerFrequency_Hz(2500.0f);
    engine.setSnacPeakThreshold(0.97f);
    HistoricPipeTuning historic = engine.historicTuning();
    historic.setCalibratedTuning(testsignals::tuningAt(480.0f), true);
    engine.setHistoricalTuning(historic);
    engine.setTranscriptionInterval_s(0.5f);
    std::size_t maxTrack = 0;
    for (std::size_t start = 0; start < pcm.size(); start += 2048) {
        const std::size_t count = std::min<std::size_t>(2048, pcm.size() - start);
        engine.progressiveTranscribe(pcm.data() + start, static_cast<unsigned int>(count), false);
        maxTrack = std::max(maxTrack, engine.windows());
    }
    engine.progressiveTranscribe(nullptr, 0, true);
    EXPECT_GE(engine.trimmed_s(), 2.0f);
    // At most five seconds, one interval and one block of windows are held.
    EXPECT_LE(maxTrack, static_cast<std::size_t>((5.0 + 0.5) * 2205 + 2048 / 20 + 1));
    // The scale, the notes after the cuts at their times in the recording.
    ASSERT_EQ(engine.notes().size(), 9u);
    EXPECT_EQ(engine.notes().begin()->second.noteName(), LG);
    EXPECT_EQ(engine.notes().rbegin()->second.noteName(), HA);
    EXPECT_NEAR(engine.notes().rbegin()->second.start_s(), 6.4f, 0.03f);
}

TEST(ProgressiveVantor, HistoryMergeSkipsWhatTheHistoryCovers)
{
    const std::vector<PipeNote> history = {PipeNote(D, 1.0f, 0.5f), PipeNote(gg, 2.0f, 0.02f)};
    // With a trim of 1 s the cutoff lies 10 ms before the last frozen start.
    const std::vector<PipeNote> fresh = {PipeNote(gg, 0.995f, 0.02f), PipeNote(E, 1.005f, 0.4f),
                                         PipeNote(F, 1.5f, 0.5f)};
    std::vector<PipeNote> merged = ProgressiveProbe::appendToHistory(history, fresh, 1.0f);
    ASSERT_EQ(merged.size(), 4u);
    EXPECT_EQ(merged[2].noteName(), E); // a melody note after a frozen gracenote
    EXPECT_FLOAT_EQ(merged[2].start_s(), 2.005f);
    // After a frozen melody note the same melody note is not appended again.
    EXPECT_EQ(ProgressiveProbe::appendToHistory({PipeNote(D, 2.0f, 0.5f)}, {PipeNote(D, 2.005f, 0.5f)}, 0.0f).size(), 1u);
}

} // namespace
