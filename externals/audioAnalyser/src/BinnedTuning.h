#pragma once

// Estimators over streams of detected pitches:
// - BinnedTuning collects frequencies into bins of a fixed width in cents and
//   reports clusters of them as (mean frequency, count) pairs;
// - ChanterBinnedTuning looks for nine clusters that can be the chanter's
//   notes Low G .. High A (the calibration scale);
// - DominantNote gives the most frequent note in a sliding window over a
//   sequence of reference notes.
// Empty input gives empty maps and Unknown. Used on one thread at a time.

#include "PipeTuning.h"

#include <array>
#include <map>
#include <vector>

class BinnedTuning
{
public:
    // Bins are resolution_cents / 5 wide (at least 0.1 cent); reported
    // clusters lie at least spread_cents apart.
    BinnedTuning(float resolution_cents, float spread_cents, float minimumFrequency_Hz, float maximumFrequency_Hz);
    virtual ~BinnedTuning() = default;

    void setMinimumVolume(float volume_normalized) { mMinimumVolume = volume_normalized; }
    void setMinimumQuality(float quality) { mMinimumQuality = quality; }
    // Removes all measurements; the limits stay.
    void reset() { mBins.clear(); }

    // Keeps a measurement with minimum <= frequency < maximum, volume above
    // the minimum volume and quality above the minimum quality.
    void add(float frequency_Hz, float volume_normalized, float quality);
    // Mean frequency of each cluster -> number of measurements in it.
    std::map<float, int> binnedFrequencies() const;

    float binWidth_cents() const { return mBinWidth_cents; }
    int peakSpread() const { return mPeakSpread; }

private:
    float mMinimumFrequency_Hz;
    float mMaximumFrequency_Hz;
    float mMinimumVolume = 0.0f;
    float mMinimumQuality = 0.0f;
    int mPeakSpread;
    float mBinWidth_cents;
    std::map<int, std::vector<float>> mBins;
};

class ChanterBinnedTuning : public BinnedTuning
{
public:
    // Over 100 .. 2000 Hz. The calibration uses (40, 40).
    ChanterBinnedTuning(float resolution_cents, float spread_cents);

    // Clusters with fewer measurements do not count as notes (at least 1).
    void setMinAverageCount(int count);
    // Returns the largest number of consecutive accepted clusters found
    // within 1800 cents; notes receives the nine note frequencies only when a
    // full scale was found.
    int pipeNoteCount(std::map<PipeTuning::ReferenceNote, float>& notes) const;

private:
    unsigned int mMinAverageCount = 1;
};

class DominantNote
{
public:
    // notes must outlive this object.
    DominantNote(const std::vector<PipeTuning::ReferenceNote>& notes, unsigned int windowLength);
    virtual ~DominantNote() = default;

    // The most frequent melody note of the window starting at position (ties
    // to the lower note); Unknown when non-melody entries outnumber every
    // melody note or there is none. Without reset the window slides forward
    // from where it was; sliding past the end throws std::out_of_range.
    PipeTuning::ReferenceNote atPos(unsigned int position, bool reset);
    // First index after the current position, inside the window, holding
    // note; else the window's last index.
    unsigned int getNoteChangePos(PipeTuning::ReferenceNote note) const;

    static int noteToNoteCountIndex(PipeTuning::ReferenceNote note);

private:
    static constexpr int kOtherIndex = 9;

    std::array<unsigned int, 10> mCounters{};
    const std::vector<PipeTuning::ReferenceNote>& mNotes;
    unsigned int mWindowLength;
    unsigned int mPosition = 0;
};
