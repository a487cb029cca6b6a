#pragma once

// A running estimate of a chanter's tuning over a growing recording. Each
// update adds the newly analysed windows (frequency, SNAC quality, volume)
// and rebuilds the tuning from the most recent accepted frequencies of each
// note. A window counts only when it is loud enough, clear (quality above
// 0.98) and the fourth or later of a run on the same note, so that attacks,
// gracenotes and crossing noises stay out of the estimate.
// Owned by the progressive transcriber or the processing thread; one thread.

#include "PipeTuning.h"

#include <deque>
#include <map>
#include <vector>

// The run rule shared by the tuning estimators: a clear window on the same
// note as the three before it is accepted.
class NoteRunCounter
{
public:
    static constexpr float kMinimumQuality = 0.98f;
    static constexpr int kDiscardedWindows = 3;

    // Classifies the window against reference and returns whether it is
    // accepted; note receives its reference note when it is.
    bool accept(float frequency_Hz, float quality, PipeTuning& reference, PipeTuning::ReferenceNote& note);
    void reset();

private:
    int mRunLength = 0;
    PipeTuning::ReferenceNote mRunNote = PipeTuning::Unknown;
};

class HistoricPipeTuning
{
public:
    HistoricPipeTuning();
    virtual ~HistoricPipeTuning() = default;

    void reset();
    void setAverageSize(int averageSize) { mAverageSize = averageSize; }
    void setMinimumVolume_normalized(float volume) { mMinimumVolume_normalized = volume; }
    PipeTuning tuning() const { return mTuning; }

    // Adds windows startIndex .. end of the three parallel series; ignored
    // unless they have one size greater than startIndex.
    void update(const std::vector<float>& frequencies, const std::vector<float>& qualities,
                const std::vector<float>& volumes, int startIndex);
    // Classifies windows against calibrated from now on. Without seeding the
    // estimate becomes calibrated at once; with seeding each note's history
    // starts from calibrated's centre frequencies.
    void setCalibratedTuning(const PipeTuning& calibrated, bool seedHistory);

    static constexpr int kVolumeRingSize = 10;

private:
    PipeTuning mTuning;
    int mAverageSize = 10;
    float mMinimumVolume_normalized = 0.3f;
    unsigned int mWindowCounter = 0;
    NoteRunCounter mRun;
    std::vector<float> mVolumeRing;
    std::map<PipeTuning::ReferenceNote, std::deque<float>> mHistory;
    PipeTuning mCalibratedTuning;
};
