#pragma once

// A short-window note track for looking closely at a stretch of a recording:
// windows of 11.6 ms (512 samples at 44.1 kHz, as many more or fewer at
// other rates) every 2 ms, pitch from the same normalised autocorrelation
// and chanter-aware peak picking as the transcription but with a lower peak
// threshold, so that gracenotes of 20 to 30 ms show as runs of their own
// (below 22.05 kHz, where the picking finds nothing, the plain pitch), at
// the transcription's volume gate. Frames are computed only where they are
// asked for, and inside a held note only every few frames; they are kept:
// asking again for the same stretch of the same recording costs nothing,
// and a recording that grows keeps what was computed. Each frame is timed
// at its window's centre.
//
// Owned by one thread (the transcription's); not copyable.

#include "PipeNote.h"
#include "PipeSnacPeakPicker.h"
#include "PipeTuning.h"
#include "PitchFinder.h"

#include <cstddef>
#include <cstdint>
#include <vector>

class FinePitchTrack
{
public:
    // The window is this many samples at the reference rate and lasts as
    // long at any other.
    static constexpr unsigned int kReferenceWindowSize = 512;
    static constexpr float kReferenceRate_Hz = 44100.0f;
    static constexpr float kHop_s = 0.002f;
    // Lower than the transcription's 0.97: a gracenote's few periods give a
    // weaker correlation peak than a held note.
    static constexpr float kPeakThreshold = 0.8f;
    // Frames between probes that agree are not read.
    static constexpr std::size_t kProbeStride = 3;
    // The transcription's default volume gate; setMinimumVolume_normalized
    // follows the transcription's own.
    static constexpr float kMinimumVolume_normalized = 0.3f;

    // One stretch of frames reading the same note; Unknown where no chanter
    // note was found.
    struct Run {
        PipeNoteName note = Unknown;
        float start_s = 0.0f;
        float end_s = 0.0f;
        int frames = 0;
        float duration_s() const { return end_s - start_s; }
    };

    FinePitchTrack();
    FinePitchTrack(const FinePitchTrack&) = delete;
    FinePitchTrack& operator=(const FinePitchTrack&) = delete;

    // A new rate or tuning forgets every frame computed.
    void setSamplingFrequency_Hz(float samplingFrequency_Hz);
    void setTuning(const PipeTuning& tuning);
    // Frames at or below this volume read no note; a new gate forgets every
    // frame computed.
    void setMinimumVolume_normalized(float volume_normalized);
    // Forgets every frame (a new recording).
    void clear();

    // The runs of the frames whose centres lie in [from_s, to_s), computed
    // from samples[0, count) where they are not known yet; frames whose
    // window does not fit in the samples are left out.
    std::vector<Run> runs(const short* samples, std::size_t count, float from_s, float to_s);

    float hop_s() const;
    unsigned int windowSize() const { return mWindowSize; }
    std::size_t framesComputed() const { return mComputed; }

private:
    PipeNoteName computeFrame(const short* samples, std::size_t frame);
    void configure();

    float mSamplingFrequency_Hz = 44100.0f;
    std::size_t mHop = 88;
    unsigned int mWindowSize = kReferenceWindowSize;
    float mMinimumVolume_normalized = kMinimumVolume_normalized;
    PipeTuning mTuning;
    PitchFinder mFinder;
    PipeSnacPeakPicker mPicker;
    bool mConfigured = false;
    // One entry per frame: kNotComputed, or a PipeNoteName.
    std::vector<std::int8_t> mFrames;
    std::size_t mComputed = 0;
};
