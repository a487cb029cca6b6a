// The metronome's arithmetic: clicks per bar for every time signature, the
// bar-start clicks, the count-in, the PID correction and its bounds, and the
// click timer kept on an audio clock that drifts.

#include "Metronome.h"
#include "Pid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <tuple>

namespace {

TEST(MetronomeTest, EveryTimeSignatureClicksItsBarsWithAndWithoutSubBeats)
{
    // The time signature, sub-beats on, clicks a beat and a bar, and the
    // tempo preset.
    const std::tuple<TimeSignature, bool, int, int, int> rows[] = {
        {FourFour, false, 1, 4, 72},  {FourFour, true, 1, 4, 72},   {ThreeFour, false, 1, 3, 72},
        {ThreeFour, true, 1, 3, 72},  {TwoFour, false, 1, 2, 52},   {TwoFour, true, 2, 4, 52},
        {CutCommon, false, 1, 2, 62}, {CutCommon, true, 2, 4, 62},  {SixEight, false, 1, 2, 72},
        {SixEight, true, 3, 6, 72},
    };
    for (const auto& [signature, subBeats, divisor, clicksPerBar, bpmPreset] : rows) {
        Metronome metronome;
        metronome.start(60.0f, signature, subBeats);
        SCOPED_TRACE(testing::Message() << signature << subBeats);
        EXPECT_EQ(metronome.divisor(), divisor);
        EXPECT_EQ(metronome.clicksPerBar(), clicksPerBar);
        EXPECT_EQ(metronome.nominalInterval_ms(), 1000 / divisor);
        for (int click = 0; click < 2 * clicksPerBar; ++click)
            EXPECT_EQ(metronome.nextClick(), click % clicksPerBar == 0) << "the bar-start click, at " << click;
        int bpm = 0;
        bool roundOff = false;
        ASSERT_TRUE(metronome::tempoPreset(signature, bpm, roundOff));
        EXPECT_EQ(bpm, bpmPreset);
        EXPECT_EQ(roundOff, signature == FourFour || signature == ThreeFour || signature == TwoFour);
    }
    EXPECT_EQ(metronome::beatsPerBar(static_cast<TimeSignature>(7)), 2);
    int bpm = 0;
    bool roundOff = false;
    EXPECT_FALSE(metronome::tempoPreset(static_cast<TimeSignature>(5), bpm, roundOff));
}

TEST(MetronomeTest, TheCountInClicksWholeBarsAndTheRecordingStartsOnTheBeatAfterThem)
{
    // The count shown at each count-in click ('.' a sub-beat) and where the
    // recording starts: bars x beats x 60 / BPM seconds, in samples.
    const std::tuple<int, TimeSignature, bool, float, int, const char*, long long> rows[] = {
        {0, FourFour, false, 72.0f, 44100, "", 0},
        {1, FourFour, false, 72.0f, 44100, "1234", 147000},       // 3 1/3 s
        {2, FourFour, false, 200.0f, 48000, "12341234", 115200},  // 2.4 s
        {1, ThreeFour, false, 90.0f, 44100, "123", 88200},        // 2 s
        {2, TwoFour, true, 52.0f, 44100, "1.2.1.2.", 203538},     // 4.615 s
        {1, CutCommon, false, 62.0f, 44100, "12", 85355},         // 1.935 s
        {2, SixEight, true, 72.0f, 44100, "1..2..1..2..", 147000}, // 3 1/3 s
    };
    for (const auto& [bars, signature, subBeats, bpm, rate_Hz, count, start_samples] : rows) {
        SCOPED_TRACE(testing::Message() << bars << " bars of " << signature << " at " << bpm);
        Metronome metronome;
        metronome.start(bpm, signature, subBeats, bars);
        EXPECT_EQ(metronome.countInClicks(), static_cast<int>(std::strlen(count)));
        EXPECT_EQ(metronome.countInLength_samples(rate_Hz), start_samples);
        std::string shown;
        for (; metronome.inCountIn(); metronome.nextClick())
            shown += metronome.countInBeat() > 0 ? static_cast<char>('0' + metronome.countInBeat()) : '.';
        EXPECT_EQ(shown, count);
        EXPECT_EQ(metronome.countInBeat(), 0);
        EXPECT_TRUE(metronome.nextClick()); // the recording's first click is a bar's
    }

    // The first click, 46 ms late for the first audio, is made up by the
    // first interval; then clicks are due on time through the count-in's
    // end, the downbeat within half a sample of the recording's start.
    Metronome metronome;
    metronome.start(200.0f, FourFour, false, 1);
    const double due_s = -static_cast<double>(metronome.countInLength_samples(44100)) / 44100.0;
    double audio_s = due_s + 0.046;
    int interval_ms = metronome.firstClick(audio_s, due_s);
    EXPECT_EQ(interval_ms, 300 - 46);
    for (int click = 1; click <= 6; ++click) {
        audio_s += interval_ms / 1000.0;
        const Metronome::Tick tick = metronome.tick(audio_s, interval_ms, 20);
        interval_ms = tick.interval_ms;
        EXPECT_NEAR(tick.difference_s, 0.0, 1e-3) << click;
        EXPECT_EQ(interval_ms, 300) << click;
        if (click == metronome.countInClicks()) {
            EXPECT_NEAR(metronome.expectedClick_s(), 0.0, 0.5 / 44100.0);
        }
    }
    // Later than half an interval: the controller makes up the rest.
    EXPECT_EQ(metronome.firstClick(due_s + 0.5, due_s), 150);
}

TEST(MetronomeTest, PidClampsItsOutputAndADefaultOneAnswersZero)
{
    Pid pid(0.5, 2.0, -2.0, 20.0, 10.0, 0.0);
    // error 0.01: 20 x 0.01 + 10 x 0.01 / 0.5 = 0.4
    EXPECT_NEAR(pid.calculate(0.0, -0.01), 0.4, 1e-9);
    // The same error again: no change, so only the proportional term.
    EXPECT_NEAR(pid.calculate(0.0, -0.01), 0.2, 1e-9);
    EXPECT_EQ(pid.calculate(0.0, -1.0), 2.0);
    EXPECT_EQ(pid.calculate(0.0, 5.0), -2.0);
    Pid integral(1.0, 100.0, -100.0, 0.0, 0.0, 1.0);
    integral.calculate(3.0, 1.0);
    EXPECT_NEAR(integral.calculate(3.0, 1.0), 4.0, 1e-9);
    EXPECT_EQ(Pid().calculate(1.0, 0.0), 0.0);
}

TEST(MetronomeTest, TheClicksFollowAnAudioClockThatDriftsWithinTheAllowedBand)
{
    Metronome metronome;
    metronome.start(60.0f, FourFour, false); // 1000 ms a click
    metronome.firstClick(0.0, 0.0);
    // The audio runs late by 100 ms: the correction asks for 2 ms more, but
    // the timer is already at the edge of nominal +- 20 ms.
    Metronome::Tick tick = metronome.tick(1.1, 1019, 20);
    EXPECT_EQ(tick.correction_ms, -2);
    EXPECT_EQ(tick.interval_ms, 1017);
    EXPECT_FALSE(tick.refused);
    EXPECT_TRUE(tick.overdue);
    tick = metronome.tick(1.9, 981, 20);
    EXPECT_EQ(tick.correction_ms, 2);
    EXPECT_EQ(tick.interval_ms, 983);
    tick = metronome.tick(3.2, 980, 20);
    EXPECT_LT(tick.correction_ms, 0);
    EXPECT_TRUE(tick.refused);
    EXPECT_EQ(tick.interval_ms, 980);

    // The sound card's clock runs 1 % slow or fast against the timer: left
    // alone, the clicks would be 1.6 s off the audio's beat after 200 clicks.
    // The controller answers 1 ms per 50 ms of error, so the clicks stay
    // within about 50 ms of the beat, and the timer within the allowed
    // compensation.
    for (double drift : {0.99, 1.0, 1.01}) {
        metronome.start(72.0f, FourFour, false);
        const int nominal_ms = metronome.nominalInterval_ms();
        int interval_ms = nominal_ms;
        double wall_s = 0.0;
        metronome.firstClick(0.0, 0.0);
        double worst_s = 0.0;
        for (int click = 1; click <= 200; ++click) {
            wall_s += interval_ms / 1000.0;
            const double audio_s = wall_s * drift;
            const Metronome::Tick step = metronome.tick(audio_s, interval_ms, 20);
            interval_ms = step.interval_ms;
            ASSERT_GE(interval_ms, nominal_ms - 20);
            ASSERT_LT(interval_ms, nominal_ms + 20);
            if (click > 50)
                worst_s = std::max(worst_s, std::abs(step.difference_s));
        }
        EXPECT_LT(worst_s, 0.08) << drift;
    }
}

} // namespace
