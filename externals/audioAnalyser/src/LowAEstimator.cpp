#include "LowAEstimator.h"

#include "PipeTuning.h"
#include "PitchFinder.h"
#include "utils.h"

#include <cmath>

namespace {

constexpr unsigned int kWindowSize = 2048;
// Drones (tuned to Low A, a third of the chanter's level or more) pull the
// clarity of chanter windows well below 0.9, so the finder's own minimum
// peak of 0.6 is all that is asked here.
constexpr float kMinimumQuality = 0.6f;
constexpr float kMinimumVolume_normalized = 0.3f;
constexpr double kLowestLowA_Hz = 400.0;
constexpr double kHighestLowA_Hz = 540.0;
constexpr double kSearchStep_cents = 2.0;
// A pitch this close to a scale note counts for it, weighted by closeness.
constexpr double kTolerance_cents = 20.0;
// The search band covers the chanter's compass for every Low A searched and
// leaves the drones (two octaves and one octave below Low A) out.
constexpr float kBandLow_Hz = 0.9f * 0.875f * 400.0f;
constexpr float kBandHigh_Hz = 1.1f * 2.0f * 540.0f;

double centsOf(double frequency_Hz) { return 1200.0 * std::log2(frequency_Hz); }

} // namespace

LowAEstimate estimateLowA(const std::vector<short>& samples, float samplingFrequency_Hz, unsigned int jobs)
{
    LowAEstimate estimate;
    if (samples.size() < kWindowSize || !(samplingFrequency_Hz > 0.0f))
        return estimate;

    // Each window on its own, so stretches of them are read side by side.
    const std::size_t windows = samples.size() / kWindowSize;
    std::vector<float> frequencies_Hz(windows, 0.0f);
    utils::runInStretches(windows, 0, 1, jobs, [&](std::size_t first, std::size_t last) {
        PitchFinder finder;
        finder.setDataParams(PitchFinder::DataParams(kWindowSize, static_cast<std::uint32_t>(samplingFrequency_Hz)));
        PitchFinder::ProcessingParams params;
        params.limitSearchToBand = true;
        params.lowFrequency_Hz = kBandLow_Hz;
        params.highFrequency_Hz = kBandHigh_Hz;
        finder.setProcessingParams(params);
        for (std::size_t w = first; w < last; ++w) {
            finder.setData(samples.data() + w * kWindowSize);
            finder.calculatePitch();
            const PitchFinder::AnalysisResults results = finder.analysisResults();
            if (results.frequency_Hz > 0.0f && results.quality > kMinimumQuality
                && results.volume_normalized > kMinimumVolume_normalized)
                frequencies_Hz[w] = results.frequency_Hz;
        }
    });
    std::vector<double> pitches_cents;
    for (float frequency_Hz : frequencies_Hz) {
        if (frequency_Hz > 0.0f)
            pitches_cents.push_back(centsOf(frequency_Hz));
    }
    estimate.pitchCount = static_cast<int>(pitches_cents.size());
    if (pitches_cents.empty())
        return estimate;

    std::vector<double> scale_cents;
    for (double ratio : PipeTuning::standardRatios())
        scale_cents.push_back(1200.0 * std::log2(ratio));

    // Deviation of a pitch from the nearest note of the scale on lowA.
    auto deviation = [&scale_cents](double pitch_cents, double lowA_cents) {
        double nearest = 1e9;
        for (double note_cents : scale_cents) {
            const double d = pitch_cents - lowA_cents - note_cents;
            if (std::fabs(d) < std::fabs(nearest))
                nearest = d;
        }
        return nearest;
    };

    double bestScore = -1.0;
    double bestLowA_cents = 0.0;
    for (double lowA_cents = centsOf(kLowestLowA_Hz); lowA_cents <= centsOf(kHighestLowA_Hz);
         lowA_cents += kSearchStep_cents) {
        double score = 0.0;
        for (double pitch : pitches_cents) {
            const double d = std::fabs(deviation(pitch, lowA_cents));
            if (d < kTolerance_cents)
                score += 1.0 - d / kTolerance_cents;
        }
        if (score > bestScore) {
            bestScore = score;
            bestLowA_cents = lowA_cents;
        }
    }

    double sum = 0.0;
    int explained = 0;
    for (double pitch : pitches_cents) {
        const double d = deviation(pitch, bestLowA_cents);
        if (std::fabs(d) < kTolerance_cents) {
            sum += d;
            ++explained;
        }
    }
    const double refined_cents = bestLowA_cents + (explained > 0 ? sum / explained : 0.0);
    estimate.lowA_Hz = static_cast<float>(std::exp2(refined_cents / 1200.0));
    estimate.explainedCount = explained;
    return estimate;
}
