#pragma once

// Chooses the SNAC maximum that gives a chanter's fundamental. It knows the
// periods of the chanter's notes from the tuning, rejects windows whose
// maxima follow the harmonic pattern of a High G octave error, and accepts a
// maximum only when another maximum confirms it at twice or three times its
// lag. Bound into PitchFinder::snacPeakPicker by the transcription; lives on
// that thread. Keeps nothing between calls but its parameters and its
// working lists.

#include "PipeTuning.h"

#include <vector>

class PitchFinder;

class PipeSnacPeakPicker
{
public:
    PipeSnacPeakPicker() = default;
    virtual ~PipeSnacPeakPicker() = default;

    void setParams(PipeTuning tuning, float samplingFrequency_Hz);

    // The arguments are those the pitch finder hands its peak picker; the
    // minimum peak is not used. Returns the frequency in Hz, or 0.
    float pickSnacFreq(PitchFinder& finder, float* snac, int count, int first, int last, float threshold,
                       float minimumPeak);

private:
    float mSamplingFrequency_Hz = 44100.0f;
    PipeTuning mTuning;
    // Working lists, kept between calls so that a window allocates nothing.
    std::vector<int> mMaxima;
    std::vector<int> mCandidates;
};
