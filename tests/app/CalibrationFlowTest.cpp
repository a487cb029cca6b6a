// The calibration state machine: the countdown, collecting the scale, the
// success message and its two seconds, cancelling, and the hint for a scale
// whose notes do not fit a chanter.

#include "CalibrationFlow.h"

#include "ChanterSynth.h"
#include "TestSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

// n windows of each frequency, as the processing thread reports a scale.
void play(CalibrationFlow& flow, const std::vector<float>& frequencies_Hz, int windows)
{
    for (float frequency_Hz : frequencies_Hz)
        for (int k = 0; k < windows; ++k)
            flow.add({.volume_normalized = 0.6f, .frequency_Hz = frequency_Hz, .quality = 0.99f});
}

std::vector<float> scaleOf(float lowA_Hz)
{
    std::vector<float> frequencies;
    for (const auto& [note, centre_Hz] : testsignals::tuningAt(lowA_Hz).getNoteCentreFrequencies())
        frequencies.push_back(centre_Hz);
    return frequencies;
}

// With no countdown, the second tick starts collecting.
void startCollecting(CalibrationFlow& flow, const CalibrationFlow::Settings& settings)
{
    PipeTuning unused;
    flow.begin();
    flow.tick(0, false, settings, unused);
    flow.tick(100, false, settings, unused);
}

TEST(CalibrationFlowTest, CountsDownCollectsTheScaleAndSucceeds)
{
    const CalibrationFlow::Settings settings; // 3 s, 0.5 s, 30 %, 44100 Hz
    EXPECT_EQ(CalibrationFlow::minimumAverageCount(settings), 8);
    CalibrationFlow flow;
    PipeTuning tuning;
    flow.begin();
    const std::pair<qint64, QString> countdown[] = {{0, "3"}, {100, "3"}, {1100, "2"}, {2100, "1"}, {2999, "1"}};
    for (const auto& [now_ms, shown] : countdown) {
        EXPECT_FALSE(flow.tick(now_ms, false, settings, tuning));
        EXPECT_TRUE(flow.dialogVisible());
        EXPECT_EQ(flow.label(), "<big><b>Play Scale now</b></big><br><br>Countdown - Get ready<br><br><big><b>"
                                    + shown + "</b></big>")
            << now_ms;
    }
    // Pitches before collecting starts do not count.
    play(flow, scaleOf(480.0f), 20);
    flow.tick(3001, false, settings, tuning);
    EXPECT_EQ(flow.state(), CalibrationFlow::Collecting);
    EXPECT_EQ(flow.label(), "<big><b>Play Scale now</b></big><br><br>Notes detected: 0 of 9<br>");
    flow.tick(3100, false, settings, tuning);
    EXPECT_EQ(flow.progress(), 0);

    play(flow, scaleOf(480.0f), 7); // one window short of the minimum
    flow.tick(3200, false, settings, tuning);
    EXPECT_EQ(flow.progress(), 0);
    play(flow, scaleOf(480.0f), 1);
    ASSERT_TRUE(flow.tick(3300, false, settings, tuning));
    EXPECT_EQ(flow.progress(), 9);
    EXPECT_EQ(tuning.tuningScheme(), PipeTuning::Calibrated);
    EXPECT_NEAR(tuning.getReferenceNoteCentreFrequency_Hz(PipeTuning::LowA), 480.0f, 1.0f);

    flow.tick(3400, false, settings, tuning);
    EXPECT_TRUE(flow.label().startsWith("<big><b>SUCCESS - All notes detected</b</big><br><br>Low A = 480."));
    flow.tick(5300, false, settings, tuning);
    EXPECT_EQ(flow.state(), CalibrationFlow::Success);
    flow.tick(5301, false, settings, tuning);
    EXPECT_EQ(flow.state(), CalibrationFlow::Finished);
    EXPECT_TRUE(flow.dialogVisible());
    flow.tick(5400, false, settings, tuning);
    EXPECT_FALSE(flow.dialogVisible());
}

// The scale of a chanter at 480 Hz without the notes left out, each note
// held noteDuration_s, analysed in consecutive 2048-sample windows as the
// processing thread does while nothing is recorded.
void playSynthesised(CalibrationFlow& flow, float noteDuration_s, const std::vector<int>& leftOut = {})
{
    std::vector<synth::Segment> segments{{0.0f, 0.3f}};
    const std::vector<synth::Segment> scale = synth::scale(testsignals::tuningAt(480.0f), noteDuration_s);
    for (std::size_t note = 0; note < scale.size(); ++note)
        if (std::find(leftOut.begin(), leftOut.end(), static_cast<int>(note)) == leftOut.end())
            segments.push_back(scale[note]);
    segments.push_back({0.0f, 0.3f});
    const std::vector<short> samples = testsignals::chanterPcm(segments);
    PitchFinder finder;
    finder.setDataParams(PitchFinder::DataParams(2048, 44100));
    finder.setProcessingParams(PitchFinder::ProcessingParams());
    for (std::size_t at = 0; at + 2048 <= samples.size(); at += 2048) {
        finder.setData(samples.data() + at);
        finder.calculatePitch();
        flow.add(finder.analysisResults());
    }
}

TEST(CalibrationFlowTest, TheAdvisedHalfSecondNotesCalibrateInOnePassAndMissingNotesAreNamed)
{
    CalibrationFlow::Settings settings;
    settings.countdown_s = 0;
    const struct {
        float noteDuration_s;
        std::vector<int> leftOut;
        QString shown;
    } rows[] = {
        {0.5f, {}, ""}, {0.6f, {}, ""}, {1.0f, {}, ""},
        {0.5f, {7}, "Notes detected: 8 of 9<br>Still missing: <b>High G</b><br>"},
        {0.5f, {0}, "Notes detected: 8 of 9<br>Still missing: <b>Low G</b><br>"},
        {0.5f, {4}, "Still missing: <b>D</b><br>"},
        {0.5f, {3, 8}, "Still missing: <b>C, High A</b><br>"},
    };
    for (const auto& row : rows) {
        CalibrationFlow flow;
        PipeTuning tuning;
        startCollecting(flow, settings);
        playSynthesised(flow, row.noteDuration_s, row.leftOut);
        const bool calibrated = flow.tick(200, false, settings, tuning);
        EXPECT_EQ(calibrated, row.leftOut.empty()) << row.noteDuration_s << " s: " << flow.label().toStdString();
        EXPECT_TRUE(flow.label().contains(row.shown)) << flow.label().toStdString();
        if (calibrated) {
            EXPECT_NEAR(tuning.getReferenceNoteCentreFrequency_Hz(PipeTuning::LowA), 480.0f, 1.0f);
        }
    }
}

TEST(CalibrationFlowTest, CancellingEndsItWithoutATuningAndAScaleNoChanterPlaysGetsTheHint)
{
    CalibrationFlow::Settings settings;
    for (qint64 cancelAt_ms : {1000LL, 3500LL}) { // during the countdown, while collecting
        CalibrationFlow flow;
        PipeTuning tuning;
        flow.begin();
        for (qint64 now_ms = 0; now_ms < cancelAt_ms; now_ms += 100)
            flow.tick(now_ms, false, settings, tuning);
        play(flow, scaleOf(480.0f), 5);
        EXPECT_FALSE(flow.tick(cancelAt_ms, true, settings, tuning));
        EXPECT_EQ(flow.state(), CalibrationFlow::Finished);
        flow.tick(cancelAt_ms + 100, true, settings, tuning);
        EXPECT_FALSE(flow.dialogVisible());
        EXPECT_EQ(tuning, PipeTuning());
    }

    // Nine clear notes 60 cents apart: nine notes, but a range of five
    // semitones, which no chanter has.
    settings.countdown_s = 0;
    CalibrationFlow flow;
    PipeTuning tuning;
    startCollecting(flow, settings);
    std::vector<float> squeezed;
    for (int k = 0; k < 9; ++k)
        squeezed.push_back(480.0f * std::pow(2.0f, k * 0.6f / 12.0f));
    play(flow, squeezed, 15);
    EXPECT_FALSE(flow.tick(200, false, settings, tuning));
    EXPECT_EQ(flow.progress(), 9);
    EXPECT_EQ(flow.label(), "<big><b>Play Scale now</b></big><br><br>Notes detected: 9 of 9<br>"
                            "<br><big><b>9 notes detected, but the overall range is too large or too small</b></big>"
                            "<br>(Probably a good idea to Cancel and try again)<br>");
    EXPECT_EQ(flow.state(), CalibrationFlow::Collecting);
}

} // namespace
