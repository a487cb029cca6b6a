#pragma once

// The metronome's arithmetic: beats and clicks per bar for each time
// signature, and the click timer kept in step with the audio clock. The
// click timer fires once per click; at every tick the elapsed audio time is
// compared with when the click was due and a PID controller nudges the
// timer's interval by at most 2 ms, never further than the allowed
// compensation from the nominal interval. The timer itself belongs to the
// main window, which applies the interval this class proposes.
//
// A recording may be preceded by a count-in of whole bars, clicked as the
// bars that follow are. The clock runs through it unbroken: the count-in's
// first click is due with the input's first sample, and the recording starts
// at its end, on the beat, the count-in's length in samples into the input.

#include "PipeTuneModel.h"
#include "Pid.h"

namespace metronome {

// 4/4 4, 3/4 3, 2/4 2, cut common time 2, 6/8 2; 2 for anything else.
int beatsPerBar(TimeSignature signature);
// Clicks per beat: 1 without sub-beats; with them 2 for 2/4 and cut common
// time, 3 for 6/8, 1 otherwise.
int subBeatDivisor(TimeSignature signature, bool subBeatsEnabled);
// The tempo a time signature starts at (BPM) and whether it is played round;
// false for signatures without a preset.
bool tempoPreset(TimeSignature signature, int& bpm, bool& switchRoundOff);

} // namespace metronome

class Metronome
{
public:
    // What one tick decided.
    struct Tick {
        double difference_s = 0.0; // audio clock minus when the click was due
        int correction_ms = 0;     // the controller's correction, truncated
        int interval_ms = 0;       // the timer interval to use from now on
        bool refused = false;      // the correction would leave the allowed band
        bool overdue = false;      // |difference| above 50 ms
    };

    // Sets up a recording after countInBars bars of count-in: the beat and
    // click intervals, clicks per bar, a fresh controller and the nominal
    // timer interval; the click count starts again.
    void start(float bpm, TimeSignature signature, bool subBeatsEnabled, int countInBars = 0);
    // The first audio arrived and the clock says elapsed_s. The first click
    // (of the count-in, if there is one) was due at due_s, the input's first
    // sample, and sounds now; the clicks are counted from it. Returns the
    // timer's first interval: shorter by the first click's lateness (at most
    // by half), so that the second click comes when it is due.
    int firstClick(double elapsed_s, double due_s);
    // One click of the timer at audio time elapsed_s, with the timer's
    // current interval (after a shortened first one, the nominal interval is
    // taken for it).
    Tick tick(double elapsed_s, int currentInterval_ms, int maxCompensation_ms);
    // Whether the click about to sound starts a bar; counts it.
    bool nextClick();
    void reset();

    int countInClicks() const { return mCountInClicks; }
    // Where the recording starts: the count-in's length at rate_Hz, to the
    // nearest sample; 0 without a count-in.
    long long countInLength_samples(int rate_Hz) const;
    // Whether the click about to sound belongs to the count-in.
    bool inCountIn() const { return mClickCount < mCountInClicks; }
    // The beat of its bar (from 1) the count-in click about to sound falls
    // on; 0 for a sub-beat click and after the count-in.
    int countInBeat() const;

    double beatInterval_s() const { return mBeatInterval_s; }
    double clickInterval_s() const { return mBeatInterval_s / mDivisor; }
    // The click interval in whole milliseconds (truncated).
    int nominalInterval_ms() const { return static_cast<int>(clickInterval_s() * 1000.0); }
    int divisor() const { return mDivisor; }
    int clicksPerBar() const { return mClicksPerBar; }
    int clickCount() const { return mClickCount; }
    double expectedClick_s() const { return mExpectedClick_s; }

private:
    double mBeatInterval_s = 60.0 / 72.0;
    int mDivisor = 1;
    int mClicksPerBar = 4;
    int mClickCount = 0;
    int mCountInClicks = 0;
    bool mFirstIntervalShortened = false;
    double mExpectedClick_s = 0.0;
    Pid mController;
};
