#include "HistoricPipeTuning.h"

#include <numeric>

namespace {

constexpr int kDefaultAverageSize = 10;
constexpr float kDefaultMinimumVolume_normalized = 0.3f;
// Marks a volume ring that has not been filled since the last reset.
constexpr float kUnfilledRing = -1.0f;

} // namespace

bool NoteRunCounter::accept(float frequency_Hz, float quality, PipeTuning& reference, PipeTuning::ReferenceNote& note)
{
    if (!(quality > kMinimumQuality)) {
        reset();
        return false;
    }
    float centre_Hz = 0.0f;
    float cents = 0.0f;
    const PipeTuning::ReferenceNote windowNote = reference.calculate(frequency_Hz, centre_Hz, cents);
    if (windowNote != mRunNote) {
        mRunNote = windowNote;
        mRunLength = 0;
        return false;
    }
    if (mRunLength++ < kDiscardedWindows - 1)
        return false;
    note = windowNote;
    return true;
}

void NoteRunCounter::reset()
{
    mRunLength = 0;
    mRunNote = PipeTuning::Unknown;
}

HistoricPipeTuning::HistoricPipeTuning()
{
    reset();
}

void HistoricPipeTuning::reset()
{
    mTuning = PipeTuning();
    mAverageSize = kDefaultAverageSize;
    mMinimumVolume_normalized = kDefaultMinimumVolume_normalized;
    mWindowCounter = 0;
    mRun.reset();
    mVolumeRing.resize(kVolumeRingSize);
    mVolumeRing[0] = kUnfilledRing;
    mHistory.clear();
    mCalibratedTuning = PipeTuning();
}

void HistoricPipeTuning::update(const std::vector<float>& frequencies, const std::vector<float>& qualities,
                                const std::vector<float>& volumes, int startIndex)
{
    const std::size_t size = frequencies.size();
    if (qualities.size() != size || volumes.size() != size)
        return;
    const std::size_t start = startIndex < 0 ? 0 : static_cast<std::size_t>(startIndex);
    if (size <= start)
        return;

    if (mVolumeRing[0] < 0.0f) {
        std::fill(mVolumeRing.begin(), mVolumeRing.end(), volumes[start]);
        mWindowCounter = 0;
    }

    for (std::size_t i = start; i < size; ++i) {
        mVolumeRing[(mWindowCounter + 1) % kVolumeRingSize] = volumes[i];
        ++mWindowCounter;
        const double ringMean = std::accumulate(mVolumeRing.begin(), mVolumeRing.end(), 0.0) / kVolumeRingSize;
        if (!(ringMean > mMinimumVolume_normalized && volumes[i] > mMinimumVolume_normalized))
            continue;

        PipeTuning::ReferenceNote note = PipeTuning::Unknown;
        if (!mRun.accept(frequencies[i], qualities[i], mCalibratedTuning, note))
            continue;
        std::deque<float>& history = mHistory[note];
        history.push_back(frequencies[i]);
        while (static_cast<int>(history.size()) > mAverageSize)
            history.pop_front();
    }

    std::map<PipeTuning::ReferenceNote, float> means;
    for (int index = 0; index < PipeTuning::kMelodyNoteCount; ++index) {
        const PipeTuning::ReferenceNote note = PipeTuning::noteIndexToReferenceNote(index);
        const auto history = mHistory.find(note);
        if (history == mHistory.end() || history->second.empty()) {
            means[note] = 0.0f;
            continue;
        }
        const double sum = std::accumulate(history->second.begin(), history->second.end(), 0.0);
        means[note] = static_cast<float>(sum / static_cast<double>(history->second.size()));
    }
    mTuning.setTuningScheme(PipeTuning::Calibrated, means);
}

void HistoricPipeTuning::setCalibratedTuning(const PipeTuning& calibrated, bool seedHistory)
{
    const int averageSize = mAverageSize;
    reset();
    mAverageSize = averageSize;
    mCalibratedTuning = calibrated;
    if (!seedHistory) {
        mTuning = calibrated;
        return;
    }

    std::vector<float> frequencies;
    std::vector<float> qualities;
    std::vector<float> volumes;
    for (const auto& [note, centre_Hz] : calibrated.getNoteCentreFrequencies()) {
        for (int i = 0; i < mAverageSize; ++i) {
            frequencies.push_back(centre_Hz);
            qualities.push_back(1.0f);
            volumes.push_back(1.0f);
        }
    }
    update(frequencies, qualities, volumes, 0);
}
