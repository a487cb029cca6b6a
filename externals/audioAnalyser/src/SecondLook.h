#pragma once

// A second, closer look at a finished transcription. The transcription reads
// pitch through 1024-sample windows, which blur gracenote elements of 20 to
// 30 ms, and it keeps no melody note shorter than 150 ms. This pass reads the
// same recording through a short-window note track (FinePitchTrack) and edits
// the transcription with what it sees:
//   - every gracing between two melody notes is named again from the exact
//     sequence of gracenote elements heard between them, against the gracing
//     vocabulary (and one the transcription missed is added);
//   - melody notes too short for the transcription are put back, and two
//     notes of the same pitch split by a strike become two notes;
//   - each melody note starts where the gracing that leads into it starts,
//     as pipe music counts it.
// Where the short-window track sees nothing clear, the transcription is kept
// as it is. Runs on the transcription's thread; keeps the track's frames
// between calls so that live re-runs over a growing recording cost little.

#include "FinePitchTrack.h"
#include "utils.h"
#include "PipeNote.h"
#include "PipeTuning.h"

#include <cstddef>
#include <vector>

class SecondLook
{
public:
    // Runs held this long are notes; shorter ones are gracenote elements.
    // Gracenotes are played as short as the fingers allow (20 to 40 ms); the
    // shortest melody notes, the cut of a dotted pair at a quick tempo, last
    // 80 ms or more.
    static constexpr float kHeldNote_s = 0.06f;
    // An element must hold for this many frames (6 ms): fewer are the
    // crossing from one note to the next.
    static constexpr int kMinimumElementFrames = 3;
    // Melody notes put back are shorter than the transcription keeps
    // (150 ms), with room for the short windows' sharper edges.
    static constexpr float kLongestRecoveredNote_s = 0.2f;
    // How far beyond a note or gracing the track is read.
    static constexpr float kMargin_s = 0.15f;

    void setSamplingFrequency_Hz(float samplingFrequency_Hz)
    {
        mSamplingFrequency_Hz = samplingFrequency_Hz;
        mTrack.setSamplingFrequency_Hz(samplingFrequency_Hz);
    }
    void setTuning(const PipeTuning& tuning)
    {
        mTuning = tuning;
        mTrack.setTuning(tuning);
    }
    // The transcription's volume gate: quieter frames read no note.
    void setMinimumVolume_normalized(float volume_normalized)
    {
        mMinimumVolume_normalized = volume_normalized;
        mTrack.setMinimumVolume_normalized(volume_normalized);
    }
    // Threads to read the recording with (0: all cores). With one, the
    // frames read are kept for the next revision of a growing recording;
    // with more, each revision reads afresh, side by side. The revision is
    // the same either way.
    void setJobs(unsigned int jobs) { mJobs = jobs == 0 ? utils::availableCores() : jobs; }
    // A new recording: forgets the frames read so far.
    void reset() { mTrack.clear(); }

    // Edits melody and gracing, a transcription of samples[0, count). A
    // transcription with a time that is not a finite number is kept as it is.
    void revise(const short* samples, std::size_t count, NoteMap& melody, NoteMap& gracing);

    // The gracing that plays elements (the gracenotes heard, in order, with
    // repeats merged) between the melody notes previous and next (Unknown at
    // the start of a tune); Unknown when no gracing of the vocabulary is
    // played so. An element equal to the note before or after it is heard
    // as part of that note, so a spelling may hide it there; the spelling
    // that hides fewest wins.
    static PipeNoteName identifyGracing(PipeNoteName previous, const std::vector<PipeNoteName>& elements,
                                        PipeNoteName next);

    const FinePitchTrack& track() const { return mTrack; }

private:
    // The track's runs around every note and gracing, cleaned.
    std::vector<FinePitchTrack::Run> readAround(const short* samples, std::size_t count, const NoteMap& melody,
                                                const NoteMap& gracing);

    FinePitchTrack mTrack;
    float mSamplingFrequency_Hz = FinePitchTrack::kReferenceRate_Hz;
    PipeTuning mTuning;
    float mMinimumVolume_normalized = FinePitchTrack::kMinimumVolume_normalized;
    unsigned int mJobs = 1;
};
