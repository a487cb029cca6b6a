#pragma once

// A short-window note track for looking closely at a stretch of a recording:
// windows of 512 samples (11.6 ms at 44.1 kHz) every 2 ms, pitch from the
// same normalised autocorrelation and chanter-aware peak picking as the
// transcription but with a lower peak threshold, so that gracenotes of 20 to
// 30 ms show as runs of their own. Frames are computed only where they are
// asked for, and inside a held note only every few frames; they are kept: asking again for the same stretch of the same
// recording costs nothing, and a recording that grows keeps what was
// computed. Each frame is timed at its window's centre.
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
    static constexpr unsigned int kWindowSize = 512;
    static constexpr float kHop_s = 0.002f;
    // Lower than the transcription's 0.97: a gracenote's few periods give a
    // weaker correlation peak than a held note.
    static constexpr float kPeakThreshold = 0.8f;
    // Frames between probes that agree are not read.
    static constexpr std::size_t kProbeStride = 3;
    // Same gate as the transcription's volume threshold.
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
    // Forgets every frame (a new recording).
    void clear();

    // The runs of the frames whose centres lie in [from_s, to_s), computed
    // from samples[0, count) where they are not known yet; frames whose
    // window does not fit in the samples are left out.
    std::vector<Run> runs(const short* samples, std::size_t count, float from_s, float to_s);

    float hop_s() const;
    std::size_t framesComputed() const { return mComputed; }

private:
    PipeNoteName computeFrame(const short* samples, std::size_t frame);
    void configure();

    float mSamplingFrequency_Hz = 44100.0f;
    std::size_t mHop = 88;
    PipeTuning mTuning;
    PitchFinder mFinder;
    PipeSnacPeakPicker mPicker;
    bool mConfigured = false;
    // One entry per frame: kNotComputed, or a PipeNoteName.
    std::vector<std::int8_t> mFrames;
    std::size_t mComputed = 0;
};
