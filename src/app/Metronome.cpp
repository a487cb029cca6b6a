#include "Metronome.h"

#include "ScoreSettings.h"

#include <algorithm>
#include <cmath>

namespace metronome {

int beatsPerBar(TimeSignature signature)
{
    int numerator = 0;
    int denominator = 0;
    timeSignatureComponents(signature, numerator, denominator);
    // A signature not offered clicks in twos.
    return numerator > 0 ? ::beatsPerBar(numerator, denominator) : 2;
}

int subBeatDivisor(TimeSignature signature, bool subBeatsEnabled)
{
    if (!subBeatsEnabled)
        return 1;
    switch (signature) {
    case TwoFour:
    case CutCommon: return 2;
    case SixEight: return 3;
    default: return 1;
    }
}

bool tempoPreset(TimeSignature signature, int& bpm, bool& switchRoundOff)
{
    switch (signature) {
    case FourFour: bpm = 72; switchRoundOff = true; return true;
    case ThreeFour: bpm = 72; switchRoundOff = true; return true;
    case TwoFour: bpm = 52; switchRoundOff = true; return true;
    case CutCommon: bpm = 62; switchRoundOff = false; return true;
    case SixEight: bpm = 72; switchRoundOff = false; return true;
    default: return false;
    }
}

} // namespace metronome

void Metronome::start(float bpm, TimeSignature signature, bool subBeatsEnabled, int countInBars)
{
    mBeatInterval_s = 1.0 / (bpm / 60.0);
    mDivisor = metronome::subBeatDivisor(signature, subBeatsEnabled);
    mClicksPerBar = metronome::beatsPerBar(signature) * mDivisor;
    mClickCount = 0;
    mCountInClicks = std::max(countInBars, 0) * mClicksPerBar;
    mFirstIntervalShortened = false;
    mExpectedClick_s = 0.0;
    // Corrections of at most 2 ms a click, on the click interval's time step.
    mController = Pid(clickInterval_s(), 2.0, -2.0, 20.0, 10.0, 0.0);
}

int Metronome::firstClick(double elapsed_s, double due_s)
{
    mExpectedClick_s = due_s;
    mClickCount = 0;
    // The first audio is heard of a chunk or so after it began, and its
    // click has to wait for that; the rest need not. Beyond half an interval
    // the controller makes up the rest.
    const int nominal_ms = nominalInterval_ms();
    const int late_ms = std::clamp(static_cast<int>((elapsed_s - due_s) * 1000.0), 0, nominal_ms / 2);
    mFirstIntervalShortened = late_ms > 0;
    return nominal_ms - late_ms;
}

Metronome::Tick Metronome::tick(double elapsed_s, int currentInterval_ms, int maxCompensation_ms)
{
    if (mFirstIntervalShortened)
        currentInterval_ms = nominalInterval_ms();
    mFirstIntervalShortened = false;
    Tick tick;
    mExpectedClick_s += clickInterval_s();
    tick.difference_s = elapsed_s - mExpectedClick_s;
    tick.correction_ms = static_cast<int>(mController.calculate(0.0, tick.difference_s));
    tick.interval_ms = currentInterval_ms;
    tick.overdue = std::abs(tick.difference_s) > 0.05;
    if (tick.correction_ms == 0)
        return tick;
    const int nominal_ms = nominalInterval_ms();
    const int proposed_ms = currentInterval_ms + tick.correction_ms;
    if (nominal_ms - maxCompensation_ms <= proposed_ms && proposed_ms < nominal_ms + maxCompensation_ms)
        tick.interval_ms = proposed_ms;
    else
        tick.refused = true;
    return tick;
}

long long Metronome::countInLength_samples(int rate_Hz) const
{
    // From the count of clicks, not a sum of intervals: the clock the clicks
    // are due by adds the same interval as often, so the recording's first
    // sample and the click due there are at most half a sample apart.
    return std::llround(mCountInClicks * clickInterval_s() * rate_Hz);
}

int Metronome::countInBeat() const
{
    if (!inCountIn() || mClickCount % mDivisor != 0)
        return 0;
    return mClickCount % mClicksPerBar / mDivisor + 1;
}

bool Metronome::nextClick()
{
    const bool barStart = mClicksPerBar > 0 && mClickCount % mClicksPerBar == 0;
    ++mClickCount;
    return barStart;
}

void Metronome::reset()
{
    mExpectedClick_s = 0.0;
    mClickCount = 0;
    mCountInClicks = 0;
    mFirstIntervalShortened = false;
    mClicksPerBar = 4;
    mController = Pid();
}
