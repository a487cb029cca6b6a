#include "ProgressiveVantor.h"

#include "EngineProbe.h"
#include "TestSignals.h"

#include <gtest/gtest.h>

namespace {

std::vector<short> melody(const std::vector<synth::Segment>& segments)
{
    return testsignals::pcm(synth::renderSegments(segments, 44100.0f, synth::chanterHarmonics(), 0.5f));
}

PipeTuning standardAt(float lowA_Hz)
{
    PipeTuning tuning;
    tuning.setLowA_Hz(lowA_Hz);
    return tuning;
}

void seedTuning(ProgressiveVantor& engine, float lowA_Hz)
{
    HistoricPipeTuning historic = engine.historicTuning();
    historic.setCalibratedTuning(standardAt(lowA_Hz), true);
    engine.setHistoricalTuning(historic);
}

TEST(ProgressiveVantor, PendingSamplesWaitForAWholeWindow)
{
    ProgressiveVantorProbe engine;
    const std::vector<short> pcm = melody({{480.0f, 0.1f}});
    EXPECT_FALSE(engine.progressiveTranscribe(pcm.data(), 512, false));
    EXPECT_EQ(engine.mPendingData.size(), 512u);
    EXPECT_TRUE(engine.mFrequencies.empty());
    EXPECT_FALSE(engine.progressiveTranscribe(pcm.data() + 512, 512, false));
    EXPECT_EQ(engine.mFrequencies.size(), 1u);
    EXPECT_EQ(engine.mProcessedSamples, 20);
    EXPECT_EQ(engine.mPendingData.size(), 1004u);
    EXPECT_FLOAT_EQ(engine.lastTranscribeTime_s(), 20.0f / 44100.0f);
}

TEST(ProgressiveVantor, RerunsWhenTheAnalysedTimePassesTheNextDueTime)
{
    ProgressiveVantorProbe engine;
    const std::vector<short> pcm = melody({{480.0f, 1.0f}});
    std::size_t fed = 0;
    int reruns = 0;
    float firstRerun_s = 0.0f;
    while (fed + 2048 <= pcm.size() && reruns < 2) {
        const bool rerun = engine.progressiveTranscribe(pcm.data() + fed, 2048, false);
        fed += 2048;
        if (!rerun)
            continue;
        ++reruns;
        if (reruns == 1) {
            firstRerun_s = engine.lastTranscribeTime_s();
            EXPECT_GT(engine.mProcessedSamples, 4410);
            EXPECT_LE(engine.mProcessedSamples - 2048, 4410);
            EXPECT_FLOAT_EQ(engine.mNextTranscribeTime_s, firstRerun_s + 0.1f);
        } else {
            EXPECT_GT(engine.lastTranscribeTime_s(), firstRerun_s + 0.1f);
            EXPECT_LE(engine.lastTranscribeTime_s() - 2048.0f / 44100.0f, firstRerun_s + 0.1f);
        }
    }
    EXPECT_EQ(reruns, 2);
    // A forced call always re-runs, even without new audio.
    EXPECT_TRUE(engine.progressiveTranscribe(nullptr, 0, true));
}

TEST(ProgressiveVantor, IntervalChangeMidRecording)
{
    ProgressiveVantorProbe engine;
    const std::vector<short> pcm = melody({{480.0f, 4.0f}});
    std::size_t fed = 0;
    while (engine.lastTranscribeTime_s() < 3.0f) {
        engine.progressiveTranscribe(pcm.data() + fed, 2048, false);
        fed += 2048;
    }
    engine.setTranscriptionInterval_s(0.5f);
    EXPECT_TRUE(engine.progressiveTranscribe(pcm.data() + fed, 2048, false));
    EXPECT_FLOAT_EQ(engine.mNextTranscribeTime_s, engine.lastTranscribeTime_s() + 0.5f);
}

TEST(ProgressiveVantor, LongRecordingsKeepFiveSecondsOfTracksAndAbsoluteTimes)
{
    std::vector<synth::Segment> segments;
    const float notes[] = {420.0f, 480.0f, 540.0f, 600.0f, 640.0f, 720.0f, 800.0f, 840.0f, 960.0f};
    for (int k = 0; k < 9; ++k)
        segments.push_back({notes[k], 0.8f});
    const std::vector<short> pcm = melody(segments);

    ProgressiveVantorProbe engine;
    engine.setFilterCornerFrequency_Hz(2500.0f);
    seedTuning(engine, 480.0f);
    engine.setTranscriptionInterval_s(0.5f);
    std::size_t maxTrack = 0;
    for (std::size_t fed = 0; fed < pcm.size(); fed += 2048) {
        const unsigned int count = static_cast<unsigned int>(std::min<std::size_t>(2048, pcm.size() - fed));
        engine.progressiveTranscribe(pcm.data() + fed, count, false);
        maxTrack = std::max(maxTrack, engine.mFrequencies.size());
    }
    engine.progressiveTranscribe(nullptr, 0, true);

    EXPECT_GE(engine.mTrimmedTime_s, 2.0f);
    // At most five seconds, one interval and one block of windows are held.
    EXPECT_LE(maxTrack, static_cast<std::size_t>((5.0 + 0.5) * 2205 + 2048 / 20 + 1));
    EXPECT_FALSE(engine.mHistory.empty());
    ASSERT_EQ(engine.notes().size(), 9u);
    int k = 0;
    for (const auto& entry : engine.notes()) {
        EXPECT_EQ(entry.second.noteName(), static_cast<PipeNoteName>(LG + k));
        EXPECT_NEAR(entry.second.start_s(), 0.8f * static_cast<float>(k), 0.03f) << k;
        ++k;
    }
}

TEST(ProgressiveVantor, HistoryMergeSkipsWhatTheHistoryCovers)
{
    const std::vector<PipeNote> history = {PipeNote(D, 1.0f, 0.5f), PipeNote(gg, 2.0f, 0.02f)};
    // The cutoff lies 10 ms before the last frozen start: 1.99 s.
    const std::vector<PipeNote> fresh = {
        PipeNote(gg, 0.995f, 0.02f),  // at 1.995 with the trim: 5 ms after the cutoff, a gracenote
        PipeNote(E, 1.005f, 0.4f),    // 15 ms after, a melody note after a frozen gracenote
        PipeNote(F, 1.5f, 0.5f),      // well after
    };
    std::vector<PipeNote> merged = ProgressiveVantorProbe::appendToHistory(history, fresh, 1.0f);
    ASSERT_EQ(merged.size(), 4u);
    EXPECT_EQ(merged[2].noteName(), E);
    EXPECT_FLOAT_EQ(merged[2].start_s(), 2.005f);
    EXPECT_EQ(merged[3].noteName(), F);

    // After a frozen melody note the same melody note is not appended again.
    const std::vector<PipeNote> melodyLast = {PipeNote(D, 2.0f, 0.5f)};
    merged = ProgressiveVantorProbe::appendToHistory(melodyLast, {PipeNote(D, 2.005f, 0.5f)}, 0.0f);
    EXPECT_EQ(merged.size(), 1u);
    // Everything is appended to an empty history.
    merged = ProgressiveVantorProbe::appendToHistory({}, fresh, 2.0f);
    ASSERT_EQ(merged.size(), 3u);
    EXPECT_FLOAT_EQ(merged[0].start_s(), 2.995f);
}

TEST(ProgressiveVantor, RecentVolumeAverage)
{
    ProgressiveVantorProbe engine;
    EXPECT_EQ(engine.getLastRmsAverage_normalized(10), 0.0f);
    engine.mVolumes = {0.2f, 0.4f, 0.6f, 0.8f};
    EXPECT_FLOAT_EQ(engine.getLastRmsAverage_normalized(10), 0.5f);
    EXPECT_FLOAT_EQ(engine.getLastRmsAverage_normalized(2), 0.7f);
    EXPECT_EQ(engine.getLastRmsAverage_normalized(0), 0.0f);
}

TEST(ProgressiveVantor, HistoricalTuningReplacesTheEngineTuning)
{
    ProgressiveVantorProbe engine;
    HistoricPipeTuning historic;
    historic.setCalibratedTuning(standardAt(470.0f), false);
    engine.setHistoricalTuning(historic);
    EXPECT_EQ(engine.tuning().lowA_Hz(), 470.0f);
    EXPECT_EQ(engine.historicTuning().tuning().lowA_Hz(), 470.0f);

    engine.reset();
    EXPECT_EQ(engine.mTranscriptionInterval_s, 0.1f);
    EXPECT_EQ(engine.mNextTranscribeTime_s, 0.1f);
    EXPECT_EQ(engine.historicTuning().tuning(), PipeTuning());
}

TEST(ProgressiveVantor, SilenceAndTinyBlocksAreHarmless)
{
    ProgressiveVantorProbe engine;
    const std::vector<short> silence(44100 * 2, 0);
    for (std::size_t fed = 0; fed < silence.size(); fed += 300)
        engine.progressiveTranscribe(silence.data() + fed, 300, false);
    EXPECT_TRUE(engine.progressiveTranscribe(nullptr, 0, true));
    EXPECT_TRUE(engine.notes().empty());
    EXPECT_TRUE(engine.graceNotes().empty());
}

} // namespace
