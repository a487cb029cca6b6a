#include "PipeSnacPeakPicker.h"

#include "PitchFinder.h"
#include "utils.h"

#include <algorithm>
#include <cmath>
#include <array>
#include <vector>

namespace {

// Lag tolerances in samples per sample of rate: 18 and 5 samples at 44100 Hz.
constexpr double kPatternTolerancePerHz = 18.0 / 44100;
constexpr double kConfirmTolerancePerHz = 5.0 / 44100;

// Maxima above this start the harmonic pattern check.
constexpr float kStrongMaximum = 0.6f;
// Windows whose best maximum reaches this skip the pattern check.
constexpr float kClearPeak = 0.8f;
// Windows whose best maximum reaches this use the plain scaled threshold.
constexpr float kVeryClearPeak = 0.9f;
constexpr float kPatternLevelFloor = 0.3f;
constexpr float kPatternLevelFactor = 0.4f;
constexpr float kChoiceLevelFloor = 0.4f;
constexpr float kChoiceLevelFactor = 0.7f;

// The expected lags of one note's pattern: up to four multiples of its
// period, none when the note is ruled out. A fixed array, so that no window
// allocates.
struct Lags {
    std::array<int, 4> lag{};
    int size = 0;

    Lags(bool possible, int period, int multiples) : size(possible ? multiples : 0)
    {
        for (int m = 0; m < size; ++m)
            lag[static_cast<std::size_t>(m)] = (m + 1) * period;
    }
    bool empty() const { return size == 0; }
    int countNear(int index, int tolerance) const
    {
        return static_cast<int>(std::count_if(lag.begin(), lag.begin() + size, [&](int l) {
            return l - tolerance <= index && index < l + tolerance;
        }));
    }
};

} // namespace

void PipeSnacPeakPicker::setParams(PipeTuning tuning, float samplingFrequency_Hz)
{
    mTuning = tuning;
    mSamplingFrequency_Hz = samplingFrequency_Hz;
}

float PipeSnacPeakPicker::pickSnacFreq(PitchFinder& finder, float* snac, int count, int first, int last,
                                       float threshold, float /*minimumPeak*/)
{
    auto period = [this](PipeTuning::ReferenceNote note) {
        return utils::truncateToInt(mSamplingFrequency_Hz / mTuning.getReferenceNoteCentreFrequency_Hz(note));
    };
    const int periodHG = period(PipeTuning::HighG);
    const int periodC = period(PipeTuning::C);
    const int periodD = period(PipeTuning::D);
    const int periodLG = period(PipeTuning::LowG);
    const int periodLA = period(PipeTuning::LowA);
    const int tolerance = static_cast<int>(std::round(mSamplingFrequency_Hz * kPatternTolerancePerHz));
    const int confirmTolerance = static_cast<int>(std::round(mSamplingFrequency_Hz * kConfirmTolerancePerHz));

    // Key maxima come in ascending index, so they are searched by bisection.
    std::vector<int>& maxima = mMaxima;
    utils::findSnacMaxima(snac, count, first, count, maxima);

    std::vector<int>& candidates = mCandidates;
    candidates.clear();
    candidates.reserve(maxima.capacity());
    float peakValue = 0.0f;
    int firstStrong = -1;
    for (int k : maxima) {
        if (k < last) {
            candidates.push_back(k);
            peakValue = std::max(peakValue, snac[k]);
            if (firstStrong < 0 && snac[k] > kStrongMaximum)
                firstStrong = k;
        }
    }
    const float scaledThreshold = peakValue * threshold;

    if (firstStrong > 0 && peakValue < kClearPeak) {
        // Expected lags of the notes whose fundamental could lie at or beyond
        // the first strong maximum; a completed pattern ends the check, a
        // maximum at four High G periods first rejects the window.
        const double half = tolerance * 0.5;
        const Lags lagsC(periodC - half <= firstStrong, periodC, 2);
        const Lags lagsD(periodD - half <= firstStrong, periodD, 3);
        const Lags lagsLG(periodLG - (2 * periodLG) / 3 - half <= firstStrong, periodLG, 2);
        const Lags lagsLA(periodLA - (2 * periodLA) / 3 - half <= firstStrong, periodLA, 2);
        const Lags lagsHG(true, periodHG, 4);

        const float level = std::max(kPatternLevelFloor, kPatternLevelFactor * scaledThreshold);
        int countC = 0, countD = 0, countHG = 0, countLG = 0, countLA = 0;
        for (int k : maxima) {
            if (!(snac[k] > level))
                continue;
            if (!lagsC.empty()) {
                countC += lagsC.countNear(k, tolerance);
                if (countC == 1)
                    break;
            }
            countD += lagsD.countNear(k, tolerance);
            if (countD == 3)
                break;
            countHG += lagsHG.countNear(k, tolerance);
            if (countHG == 4)
                break;
            countLG += lagsLG.countNear(k, tolerance);
            if (countLG == 2)
                break;
            countLA += lagsLA.countNear(k, tolerance);
            if (countLA == 2)
                break;
            if (4 * periodHG - tolerance <= k && k < 4 * periodHG + tolerance)
                return 0.0f;
        }
    }

    const float choiceLevel =
        peakValue < kVeryClearPeak ? std::max(kChoiceLevelFloor, kChoiceLevelFactor * scaledThreshold) : scaledThreshold;
    const int limit = utils::truncateToInt(count * -0.1 + count);
    auto confirmedAt = [&](int multiple) {
        const auto it = std::lower_bound(maxima.begin(), maxima.end(), multiple - confirmTolerance);
        return it != maxima.end() && *it < multiple + confirmTolerance;
    };
    for (int c : candidates) {
        if (!(snac[c] >= choiceLevel) || !(2 * c < limit))
            continue;
        if (confirmedAt(2 * c) || (3 * c < limit && confirmedAt(3 * c)))
            return finder.getSnacFrequency_Hz(c);
    }
    return 0.0f;
}
