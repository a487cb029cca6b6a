// The track helpers of VantorUtils.h: smoothing and dips of per-window
// tracks, the pitch finder set up for a chanter, and tuning estimation from
// pitch tracks or audio. The note-map operations are in VantorUtils.cpp.

#include "VantorUtils.h"

#include "BinnedTuning.h"
#include "HistoricPipeTuning.h"
#include "PipeSnacPeakPicker.h"
#include "utils.h"

#include <algorithm>
#include <array>
#include <limits>
#include <numeric>
#include <stdexcept>

namespace {

// The search band reaches a little beyond the chanter's compass.
constexpr double kBandBelowLowG = 0.9;
constexpr double kBandAboveHighA = 1.1;
constexpr float kReferenceLowA_Hz = 440.0f;
constexpr std::size_t kVolumeRingSize = 10;

std::size_t trackIndex(int index)
{
    // A negative index wraps to a huge one, which the checked lookups reject.
    return static_cast<std::size_t>(static_cast<long long>(index));
}

} // namespace

std::vector<float> smoothSamples(const std::vector<float>& x, int blockSize, int from, int to, float minValue,
                                 float maxValue, float maxSpread)
{
    std::vector<float> smoothed;
    if (blockSize < 1)
        return smoothed;
    const int blocks = (to - from) / blockSize;
    for (int k = 0; k < blocks; ++k) {
        double sum = 0.0;
        int count = 0;
        float lowest = std::numeric_limits<float>::max();
        float highest = std::numeric_limits<float>::lowest();
        for (int j = 0; j < blockSize; ++j) {
            const float value = x.at(trackIndex(from + k * blockSize + j));
            if (minValue <= value && value < maxValue) {
                sum += value;
                ++count;
                lowest = std::min(lowest, value);
                highest = std::max(highest, value);
            }
        }
        const bool enough = static_cast<float>(count) >= static_cast<float>(blockSize) * 0.5f;
        smoothed.push_back(enough && highest - lowest < maxSpread ? static_cast<float>(sum / count) : 0.0f);
    }
    return smoothed;
}

bool validTrough(const std::vector<float>& x, int i, int halfWidth, float minDepth, float& left, float& middle,
                 float& right)
{
    left = x.at(trackIndex(i));
    middle = x.at(trackIndex(i + halfWidth));
    right = x.at(trackIndex(i + 2 * halfWidth));
    if (left == 0.0f || middle == 0.0f || right == 0.0f)
        return false;
    int zeros = 0;
    for (int k = i; k <= i + 2 * halfWidth; ++k) {
        if (x[trackIndex(k)] == 0.0f)
            ++zeros;
    }
    return static_cast<float>(zeros) < static_cast<float>(2 * halfWidth) * 0.1f && left - middle > minDepth
           && middle < right && right - middle > minDepth * 0.5f;
}

std::vector<int> detectTroughs(const std::vector<float>& x, int halfWidth, float minDepth, float maxDepth)
{
    std::vector<int> centres;
    const long long positions = static_cast<long long>(x.size()) - 2LL * halfWidth;
    if (positions <= 0 || halfWidth < 0)
        return centres;
    const int m = static_cast<int>(positions);
    int i = 0;
    while (i < m) {
        float best = 1000000.0f;
        int centre = -1;
        float left = 0.0f;
        float middle = 0.0f;
        float right = 0.0f;
        for (int j = i; j < m && validTrough(x, j, halfWidth, minDepth, left, middle, right) && middle < best; ++j) {
            best = middle;
            centre = j + halfWidth;
        }
        if (centre >= 0) {
            const float a = x.at(trackIndex(centre - halfWidth)) - x.at(trackIndex(centre));
            const float b = x.at(trackIndex(centre + halfWidth)) - x.at(trackIndex(centre));
            if (std::max(a, b) < maxDepth) {
                centres.push_back(centre);
                i = centre + halfWidth;
            }
        }
        ++i;
    }
    return centres;
}

PitchFinder::ProcessingParams chanterProcessingParams(const PipeTuning& tuning)
{
    PitchFinder::ProcessingParams params;
    params.limitSearchToBand = true;
    params.lowFrequency_Hz =
        static_cast<float>(kBandBelowLowG * tuning.getReferenceNoteCentreFrequency_Hz(PipeTuning::LowG));
    params.highFrequency_Hz =
        static_cast<float>(kBandAboveHighA * tuning.getReferenceNoteCentreFrequency_Hz(PipeTuning::HighA));
    return params;
}

void bindPeakPicker(PitchFinder& finder, PipeSnacPeakPicker& picker)
{
    PitchFinder::ProcessingParams params = finder.processingParams();
    params.peakPickerEnabled = true;
    finder.setProcessingParams(params);
    finder.snacPeakPicker = [&picker](PitchFinder& self, float* snac, int count, int first, int last,
                                      float threshold, float minimumPeak) {
        return picker.pickSnacFreq(self, snac, count, first, last, threshold, minimumPeak);
    };
}

void configureChanterPitchFinder(PitchFinder& finder, PipeSnacPeakPicker& picker, const PipeTuning& tuning,
                                 float samplingFrequency_Hz, unsigned int windowSize)
{
    picker.setParams(tuning, samplingFrequency_Hz);
    finder.setDataParams(PitchFinder::DataParams(windowSize, static_cast<std::uint32_t>(samplingFrequency_Hz)));
    PitchFinder::ProcessingParams params = chanterProcessingParams(tuning);
    params.peakPickerEnabled = true;
    finder.setProcessingParams(params);
    finder.setCalibration(kReferenceLowA_Hz, tuning.lowA_Hz());
}

PipeTuning calculateTuningFromFrequencies(float lowA_Hz, float minimumVolume, const std::vector<float>& frequencies,
                                          const std::vector<float>& qualities, const std::vector<float>& volumes)
{
    PipeTuning result;
    result.setLowA_Hz(lowA_Hz);
    if (frequencies.size() != qualities.size() || frequencies.size() != volumes.size())
        return result;

    std::array<float, kVolumeRingSize> volumeRing{};
    std::array<double, PipeTuning::kMelodyNoteCount> sums{};
    std::array<int, PipeTuning::kMelodyNoteCount> counts{};
    NoteRunCounter run;
    for (std::size_t i = 0; i < frequencies.size(); ++i) {
        volumeRing[i % kVolumeRingSize] = volumes[i];
        // The first ten windows fill the ring and pass without a volume test.
        if (i >= kVolumeRingSize) {
            const double ringMean = std::accumulate(volumeRing.begin(), volumeRing.end(), 0.0) / kVolumeRingSize;
            if (!(ringMean > minimumVolume))
                continue;
        }
        PipeTuning::ReferenceNote note = PipeTuning::Unknown;
        if (!run.accept(frequencies[i], qualities[i], result, note))
            continue;
        const int index = PipeTuning::referenceNoteToNoteIndex(note);
        if (index < 0)
            continue;
        sums[static_cast<std::size_t>(index)] += frequencies[i];
        ++counts[static_cast<std::size_t>(index)];
    }

    std::map<PipeTuning::ReferenceNote, float> means;
    for (int index = 0; index < PipeTuning::kMelodyNoteCount; ++index) {
        const auto i = static_cast<std::size_t>(index);
        means[PipeTuning::noteIndexToReferenceNote(index)] =
            counts[i] == 0 ? 0.0f : static_cast<float>(sums[i] / counts[i]);
    }
    result.setTuningScheme(PipeTuning::Calibrated, means);
    return result;
}

PipeTuning calculateTuningFromData(const short* samples, unsigned int sampleCount, float samplingFrequency_Hz,
                                   int windowSize, float lowA_Hz, float minimumVolume, unsigned int jobs)
{
    PipeTuning result;
    result.setLowA_Hz(lowA_Hz);
    if (samples == nullptr || windowSize <= 0 || !(samplingFrequency_Hz > 0.0f))
        return result;

    const unsigned int window = static_cast<unsigned int>(windowSize);
    const unsigned int windowCount = sampleCount >= window ? (sampleCount - window) / window : 0;
    std::vector<float> frequencies(windowCount);
    std::vector<float> qualities(windowCount);
    std::vector<float> volumes(windowCount);
    // Each window on its own, so stretches of them are read side by side.
    utils::runInStretches(windowCount, 0, 1, jobs, [&](std::size_t first, std::size_t last) {
        PitchFinder finder;
        finder.setDataParams(PitchFinder::DataParams(static_cast<std::uint32_t>(windowSize),
                                                     static_cast<std::uint32_t>(samplingFrequency_Hz)));
        finder.setProcessingParams(chanterProcessingParams(result));
        finder.setCalibration(kReferenceLowA_Hz, lowA_Hz);
        for (std::size_t w = first; w < last; ++w) {
            finder.setData(samples + w * window);
            finder.calculatePitch();
            const PitchFinder::AnalysisResults results = finder.analysisResults();
            frequencies[w] = results.frequency_Hz;
            qualities[w] = results.quality;
            volumes[w] = results.volume_normalized;
        }
    });
    return calculateTuningFromFrequencies(lowA_Hz, minimumVolume, frequencies, qualities, volumes);
}

float calcWindowAverage(const std::vector<float>& values, int start, int count, float minimumFraction)
{
    if (count <= 0)
        return 0.0f;
    const long long first = std::max(start, 0);
    const long long end = std::min(static_cast<long long>(start) + count, static_cast<long long>(values.size()));
    double sum = 0.0;
    int nonZero = 0;
    for (long long i = first; i < end; ++i) {
        const float value = values[static_cast<std::size_t>(i)];
        if (value != 0.0f) {
            sum += value;
            ++nonZero;
        }
    }
    if (nonZero == 0 || !(static_cast<float>(nonZero) > static_cast<float>(count) * minimumFraction))
        return 0.0f;
    return static_cast<float>(sum / nonZero);
}
