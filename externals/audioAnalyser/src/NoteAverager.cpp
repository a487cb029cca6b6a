#include "NoteAverager.h"

#include <algorithm>
#include <cmath>

namespace {

// log10(f) x 12 / log10(2) - (12 log2(440) - 69): note 69 is A at 440 Hz.
constexpr double kNotesPerDecade = 39.86313713864835;
constexpr double kNoteOffset = 36.37631656229591;

constexpr float kDefaultNoteChangeThreshold = 0.75f;

} // namespace

int NoteAverager::noteNumber(float frequency_Hz, float multiplier)
{
    const float scaled = frequency_Hz * multiplier;
    if (!(scaled > 0.0f) || !std::isfinite(scaled))
        return kNoNote;
    return static_cast<int>(std::round(std::log10(static_cast<double>(scaled)) * kNotesPerDecade - kNoteOffset));
}

void NoteAverager::setCalibrationMultiplier(float multiplier)
{
    mCalibrationMultiplier = multiplier;
    for (std::size_t i = 0; i < mFrequencies.size(); ++i)
        mNoteNumbers[i] = noteNumber(mFrequencies[i], multiplier);
}

void NoteAverager::initialise(unsigned int size, unsigned int recentCount)
{
    mFrequencies.assign(size, 0.0f);
    mNoteNumbers.assign(size, kNoNote);
    mSortedNotes.clear();
    mSortedNotes.reserve(size);
    mSize = size;
    mWriteIndex = size > 0 ? size - 1 : 0;
    mRecentCount = recentCount;
    mMidiNote = -1;
    mCalibrationMultiplier = 1.0f;
    mNoteChangeThreshold = kDefaultNoteChangeThreshold;
}

void NoteAverager::reset()
{
    *this = NoteAverager();
    std::vector<float>().swap(mFrequencies);
    std::vector<int>().swap(mNoteNumbers);
    std::vector<int>().swap(mSortedNotes);
}

bool NoteAverager::addAndUpdate(float frequency_Hz)
{
    if (mSize != 0) {
        mWriteIndex = (mWriteIndex + 1) % mSize;
        mFrequencies[mWriteIndex] = frequency_Hz;
        mNoteNumbers[mWriteIndex] = noteNumber(frequency_Hz, mCalibrationMultiplier);
    }
    return updateMidiNote();
}

bool NoteAverager::updateMidiNote()
{
    if (mSize == 0)
        return false;
    const unsigned int count = mRecentCount == 0 ? 1 : std::min(mRecentCount, mSize);

    mSortedNotes.clear();
    for (unsigned int k = 0; k < count; ++k) {
        const int note = mNoteNumbers[(mWriteIndex + mSize - k) % mSize];
        if (note != kNoNote)
            mSortedNotes.push_back(note);
    }
    if (mSortedNotes.empty())
        return false;
    const auto nonZero = static_cast<unsigned int>(mSortedNotes.size());
    const unsigned int needed =
        static_cast<unsigned int>(std::round(static_cast<float>(nonZero) * mNoteChangeThreshold));
    std::sort(mSortedNotes.begin(), mSortedNotes.end());

    // Each note's count in ascending note order, all taken before any change.
    bool changed = false;
    for (auto run = mSortedNotes.begin(); run != mSortedNotes.end();) {
        const auto runEnd = std::upper_bound(run, mSortedNotes.end(), *run);
        const int note = *run;
        const auto occurrences = static_cast<unsigned int>(runEnd - run);
        run = runEnd;
        if (occurrences >= needed && note != mMidiNote) {
            mMidiNote = note;
            changed = true;
            // Forget what was played before the change so that the average
            // only spans the new note.
            for (unsigned int k = 1; k <= mSize - count; ++k) {
                mFrequencies[(mWriteIndex + k) % mSize] = 0.0f;
                mNoteNumbers[(mWriteIndex + k) % mSize] = kNoNote;
            }
        }
    }
    return changed;
}

float NoteAverager::calculateAverageFrequency_Hz() const
{
    double sum = 0.0;
    unsigned int n = 0;
    for (std::size_t i = 0; i < mFrequencies.size(); ++i) {
        if (mNoteNumbers[i] == mMidiNote) {
            sum += mFrequencies[i];
            ++n;
        }
    }
    return n == 0 ? 0.0f : static_cast<float>(sum / n);
}

float NoteAverager::calculateMedianFrequency_Hz() const
{
    if (mSize == 0)
        return 0.0f;
    std::vector<float> sorted = mFrequencies;
    std::sort(sorted.begin(), sorted.end());
    return sorted[mSize / 2];
}
