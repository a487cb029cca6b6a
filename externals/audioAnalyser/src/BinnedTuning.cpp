#include "BinnedTuning.h"

#include "utils.h"

#include <QDebug>

#include <algorithm>
#include <cfloat>
#include <cmath>

namespace {

// Bins this close to a cluster centre (in bins) join its cluster.
constexpr int kClusterReach = 2;
constexpr float kMinimumBinWidth_cents = 0.1f;
constexpr float kBinsPerResolution = 5.0f;

constexpr float kChanterMinimum_Hz = 100.0f;
constexpr float kChanterMaximum_Hz = 2000.0f;
// A chanter scale spans 1200 cents plus a tone below Low A; anything wider
// than an octave and a half is not one chanter, anything under half an
// octave not nine notes.
constexpr float kMaximumScaleSpan_cents = 1800.0f;
constexpr float kMinimumScaleSpan_cents = 600.0f;

} // namespace

BinnedTuning::BinnedTuning(float resolution_cents, float spread_cents, float minimumFrequency_Hz,
                           float maximumFrequency_Hz)
    : mMinimumFrequency_Hz(minimumFrequency_Hz > 0.0f ? minimumFrequency_Hz : 0.0f)
    , mMaximumFrequency_Hz(maximumFrequency_Hz)
    , mPeakSpread(1)
    , mBinWidth_cents(std::max(resolution_cents / kBinsPerResolution, kMinimumBinWidth_cents))
{
    mPeakSpread = std::max(1, utils::truncateToInt(spread_cents / mBinWidth_cents));
}

void BinnedTuning::add(float frequency_Hz, float volume_normalized, float quality)
{
    if (!(frequency_Hz >= mMinimumFrequency_Hz && frequency_Hz < mMaximumFrequency_Hz
          && volume_normalized > mMinimumVolume && quality > mMinimumQuality))
        return;
    const int bin = utils::truncateToInt(utils::freqRatioToCents(1.0f, frequency_Hz) / mBinWidth_cents);
    mBins[bin].push_back(frequency_Hz);
}

std::map<float, int> BinnedTuning::binnedFrequencies() const
{
    std::map<float, int> clusters;
    auto it = mBins.begin();
    while (it != mBins.end()) {
        const auto next = std::next(it);
        // Climb while the next bin is close and at least as full.
        if (next != mBins.end() && next->first - it->first <= kClusterReach
            && next->second.size() >= it->second.size()) {
            it = next;
            continue;
        }

        const int centre = it->first;
        double sum = 0.0;
        int count = 0;
        auto gather = [&](const std::vector<float>& values) {
            for (float value : values)
                sum += value;
            count += static_cast<int>(values.size());
        };
        gather(it->second);
        for (auto below = std::make_reverse_iterator(it); below != mBins.rend() && below->first >= centre - kClusterReach;
             ++below)
            gather(below->second);
        for (auto above = next; above != mBins.end() && above->first <= centre + kClusterReach; ++above)
            gather(above->second);
        clusters[static_cast<float>(sum / count)] = count;

        it = mBins.lower_bound(centre + mPeakSpread);
    }
    return clusters;
}

ChanterBinnedTuning::ChanterBinnedTuning(float resolution_cents, float spread_cents)
    : BinnedTuning(resolution_cents, spread_cents, kChanterMinimum_Hz, kChanterMaximum_Hz)
{
}

void ChanterBinnedTuning::setMinAverageCount(int count)
{
    mMinAverageCount = static_cast<unsigned int>(std::max(1, count));
    qDebug().nospace() << "Min average count is " << mMinAverageCount;
}

int ChanterBinnedTuning::pipeNoteCount(std::map<PipeTuning::ReferenceNote, float>& notes) const
{
    notes.clear();
    const std::map<float, int> clusters = binnedFrequencies();
    int best = 0;
    for (auto start = clusters.begin(); start != clusters.end(); ++start) {
        std::map<PipeTuning::ReferenceNote, float> candidate;
        int assigned = 0;
        float lowest_Hz = FLT_MAX;
        float highest_Hz = 0.0f;
        for (auto it = start; it != clusters.end() && assigned < PipeTuning::kMelodyNoteCount; ++it) {
            if (static_cast<unsigned int>(it->second) < mMinAverageCount)
                continue;
            candidate[PipeTuning::noteIndexToReferenceNote(assigned)] = it->first;
            lowest_Hz = std::min(lowest_Hz, it->first);
            highest_Hz = std::max(highest_Hz, it->first);
            ++assigned;
        }
        const float span_cents = std::fabs(utils::freqRatioToCents(lowest_Hz, highest_Hz));
        if (span_cents < kMaximumScaleSpan_cents) {
            best = std::max(best, assigned);
            if (span_cents > kMinimumScaleSpan_cents && assigned == PipeTuning::kMelodyNoteCount) {
                notes = candidate;
                break;
            }
        }
    }
    return best;
}

DominantNote::DominantNote(const std::vector<PipeTuning::ReferenceNote>& notes, unsigned int windowLength)
    : mNotes(notes), mWindowLength(windowLength)
{
}

int DominantNote::noteToNoteCountIndex(PipeTuning::ReferenceNote note)
{
    const int index = PipeTuning::referenceNoteToNoteIndex(note);
    return index < 0 ? kOtherIndex : index;
}

PipeTuning::ReferenceNote DominantNote::atPos(unsigned int position, bool reset)
{
    if (position != 0 && !reset) {
        while (mPosition < position) {
            unsigned int& leaving = mCounters[static_cast<std::size_t>(noteToNoteCountIndex(mNotes.at(mPosition)))];
            // A window slid without first being counted has nothing to remove.
            if (leaving > 0)
                --leaving;
            const std::size_t entering = static_cast<std::size_t>(mPosition) + mWindowLength;
            if (entering < mNotes.size())
                ++mCounters[static_cast<std::size_t>(noteToNoteCountIndex(mNotes[entering]))];
            ++mPosition;
        }
    } else {
        const std::size_t end = std::min(mNotes.size(), static_cast<std::size_t>(position) + mWindowLength);
        for (std::size_t i = position; i < end; ++i)
            ++mCounters[static_cast<std::size_t>(noteToNoteCountIndex(mNotes[i]))];
        mPosition = position;
    }

    int bestIndex = -1;
    unsigned int bestCount = 0;
    for (int index = 0; index < kOtherIndex; ++index) {
        if (mCounters[static_cast<std::size_t>(index)] > bestCount) {
            bestCount = mCounters[static_cast<std::size_t>(index)];
            bestIndex = index;
        }
    }
    if (bestIndex < 0 || mCounters[kOtherIndex] > bestCount)
        return PipeTuning::Unknown;
    return PipeTuning::noteIndexToReferenceNote(bestIndex);
}

unsigned int DominantNote::getNoteChangePos(PipeTuning::ReferenceNote note) const
{
    const std::size_t end = std::min(mNotes.size(), static_cast<std::size_t>(mPosition) + mWindowLength);
    for (std::size_t i = static_cast<std::size_t>(mPosition) + 1; i < end; ++i) {
        if (mNotes[i] == note)
            return static_cast<unsigned int>(i);
    }
    return end == 0 ? 0 : static_cast<unsigned int>(end - 1);
}
