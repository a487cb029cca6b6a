#include "VantorUtils.h"

#include "HistoricPipeTuning.h"
#include "PipeSnacPeakPicker.h"

#include <algorithm>
#include <array>
#include <numeric>

namespace {

// The search band reaches a little beyond the chanter's compass.
constexpr double kBandBelowLowG = 0.9;
constexpr double kBandAboveHighA = 1.1;
constexpr float kReferenceLowA_Hz = 440.0f;
constexpr std::size_t kVolumeRingSize = 10;

} // namespace

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
                                   int windowSize, float lowA_Hz, float minimumVolume)
{
    PipeTuning result;
    result.setLowA_Hz(lowA_Hz);
    if (samples == nullptr || windowSize <= 0 || !(samplingFrequency_Hz > 0.0f))
        return result;

    PitchFinder finder;
    finder.setDataParams(PitchFinder::DataParams(static_cast<std::uint32_t>(windowSize),
                                                 static_cast<std::uint32_t>(samplingFrequency_Hz)));
    finder.setProcessingParams(chanterProcessingParams(result));
    finder.setCalibration(kReferenceLowA_Hz, lowA_Hz);

    const unsigned int window = static_cast<unsigned int>(windowSize);
    const unsigned int windowCount = sampleCount >= window ? (sampleCount - window) / window : 0;
    std::vector<float> frequencies;
    std::vector<float> qualities;
    std::vector<float> volumes;
    frequencies.reserve(windowCount);
    qualities.reserve(windowCount);
    volumes.reserve(windowCount);
    for (unsigned int w = 0; w < windowCount; ++w) {
        finder.setData(samples + static_cast<std::size_t>(w) * window);
        finder.calculatePitch();
        const PitchFinder::AnalysisResults results = finder.analysisResults();
        frequencies.push_back(results.frequency_Hz);
        qualities.push_back(results.quality);
        volumes.push_back(results.volume_normalized);
    }
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
