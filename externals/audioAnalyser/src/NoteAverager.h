#pragma once

// Keeps a ring of the most recent per-window frequencies (0 = no pitch),
// decides which equal-tempered note (69 = A 440 Hz after the calibration
// multiplier) the player is holding and averages the frequencies of that note.
// Lives inside a PitchFinder and shares its thread.

#include <limits>
#include <vector>

class NoteAverager
{
public:
    NoteAverager() = default;
    virtual ~NoteAverager() = default;

    // Allocates a ring of size zeros; a note change needs agreement among the
    // recentCount newest entries. Resets the note, multiplier and threshold.
    void initialise(unsigned int size, unsigned int recentCount);
    // Releases the ring and restores every default (size 0).
    void reset();

    // Stores the newest frequency and updates the note; true when it changed.
    bool addAndUpdate(float frequency_Hz);
    bool updateMidiNote();
    // Mean raw frequency of the ring entries on the current note; 0 if none.
    float calculateAverageFrequency_Hz() const;
    // Element floor(size / 2) of the sorted ring, zeros included; 0 if empty.
    float calculateMedianFrequency_Hz() const;

    int midiNote() const { return mMidiNote; }
    void setCalibrationMultiplier(float multiplier);

    // round(69 + 12 log2(frequency x multiplier / 440)), half away from zero;
    // kNoNote when the product is not a positive, finite frequency.
    static int noteNumber(float frequency_Hz, float multiplier);
    static constexpr int kNoNote = std::numeric_limits<int>::min();

private:
    std::vector<float> mFrequencies;
    // The note number of each ring entry under the current multiplier, kept
    // so that a window costs one logarithm. Entries that cannot be placed on
    // the grid (0 = no pitch, negative or non-finite values) hold kNoNote and
    // take no part in note decisions.
    std::vector<int> mNoteNumbers;
    // The recent note numbers, sorted to count them (scratch space, sized
    // with the ring so that no window allocates).
    std::vector<int> mSortedNotes;
    unsigned int mSize = 0;
    unsigned int mWriteIndex = 0;
    unsigned int mRecentCount = 0;
    int mMidiNote = -1;
    float mCalibrationMultiplier = 1.0f;
    float mNoteChangeThreshold = 0.75f;
};
