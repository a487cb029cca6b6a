#include "PipeSnacPeakPicker.h"

#include "PitchFinder.h"
#include "utils.h"

#include <algorithm>
#include <cmath>
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

int countNear(const std::vector<int>& lags, int index, int tolerance)
{
    return static_cast<int>(std::count_if(lags.begin(), lags.end(), [&](int lag) {
        return lag - tolerance <= index && index < lag + tolerance;
    }));
}

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
        const auto onlyIf = [](bool condition, std::vector<int> lags) {
            return condition ? lags : std::vector<int>();
        };
        const std::vector<int> lagsC = onlyIf(periodC - half <= firstStrong, {periodC, 2 * periodC});
        const std::vector<int> lagsD = onlyIf(periodD - half <= firstStrong, {periodD, 2 * periodD, 3 * periodD});
        const std::vector<int> lagsLG =
            onlyIf(periodLG - (2 * periodLG) / 3 - half <= firstStrong, {periodLG, 2 * periodLG});
        const std::vector<int> lagsLA =
            onlyIf(periodLA - (2 * periodLA) / 3 - half <= firstStrong, {periodLA, 2 * periodLA});
        const std::vector<int> lagsHG = {periodHG, 2 * periodHG, 3 * periodHG, 4 * periodHG};

        const float level = std::max(kPatternLevelFloor, kPatternLevelFactor * scaledThreshold);
        int countC = 0, countD = 0, countHG = 0, countLG = 0, countLA = 0;
        for (int k : maxima) {
            if (!(snac[k] > level))
                continue;
            if (!lagsC.empty()) {
                countC += countNear(lagsC, k, tolerance);
                if (countC == 1)
                    break;
            }
            countD += countNear(lagsD, k, tolerance);
            if (countD == 3)
                break;
            countHG += countNear(lagsHG, k, tolerance);
            if (countHG == 4)
                break;
            countLG += countNear(lagsLG, k, tolerance);
            if (countLG == 2)
                break;
            countLA += countNear(lagsLA, k, tolerance);
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
