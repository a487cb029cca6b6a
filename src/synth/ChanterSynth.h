#pragma once

// Synthesises chanter-like test audio as 16-bit PCM: a harmonic-rich tone per
// note with short glides between notes, the way a practice recording of the
// scale sounds to the pitch finder. Deterministic; no I/O.

#include "PipeTuning.h"

#include <vector>

namespace synth {

struct Segment {
    float frequency_Hz = 0.0f; // 0 = silence
    float duration_s = 0.0f;
};

// Relative amplitudes of harmonics 1, 2, 3, ...: a bright, reedy spectrum in
// which the second and third harmonics are nearly as strong as the
// fundamental.
const std::vector<float>& chanterHarmonics();

// Sum of harmonics of frequency_Hz with the given relative amplitudes,
// normalised so that the peak reaches peakAmplitude (of full scale 1.0).
std::vector<float> harmonicTone(float frequency_Hz, float duration_s, float samplingFrequency_Hz,
                                const std::vector<float>& harmonics, float peakAmplitude);

// Plays the segments one after another with a continuous phase and a 2 ms
// glide at each change of pitch; peakAmplitude as above.
std::vector<float> renderSegments(const std::vector<Segment>& segments, float samplingFrequency_Hz,
                                  const std::vector<float>& harmonics, float peakAmplitude);

// The nine notes Low G .. High A of tuning, each held for noteDuration_s.
std::vector<Segment> scale(const PipeTuning& tuning, float noteDuration_s);

// A seeded random walk over the nine notes of tuning, each note lasting
// from shortest_s to longest_s, seconds long in all.
std::vector<Segment> randomWalk(const PipeTuning& tuning, float seconds, float shortest_s, float longest_s,
                                unsigned int seed);

} // namespace synth
