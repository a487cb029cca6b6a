#pragma once

// Estimates a chanter's Low A from a recording before any tuning is known.
// Confident pitches of consecutive windows are matched against the nine-note
// chanter scale (standard ratios) for every Low A from 400 to 540 Hz in
// steps of 2 cents; the Low A whose scale explains most of them wins, refined
// by the mean deviation of the pitches it explains. The scale's uneven steps
// tell a shift by one note from the right answer. Returns 0 when the
// recording holds no usable pitch.

#include <vector>

struct LowAEstimate {
    float lowA_Hz = 0.0f;
    int pitchCount = 0;      // confident windows found
    int explainedCount = 0;  // of which the chosen scale explains
};

// jobs: threads to read the windows with (the estimate is the same).
LowAEstimate estimateLowA(const std::vector<short>& samples, float samplingFrequency_Hz, unsigned int jobs = 1);
