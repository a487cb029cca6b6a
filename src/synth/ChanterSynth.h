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

// A set of pipes' drones as a microphone hears them: a weak fundamental and
// most of the power in harmonics 2 to 6; the bass two octaves and two tenors
// one octave under lowA_Hz, each off it by the cents given, the tenors apart
// by their beat. Shares of the power: bass 0.4, each tenor 0.3.
struct Drones {
    float bassCents = -7.0f;
    float tenorCents = 5.0f;
    float tenorBeat_Hz = 0.4f;
};
// Bass, then the tenors high and low.
std::vector<float> droneFrequencies_Hz(float lowA_Hz, const Drones& drones);
// count samples of the three drones, their power together rms^2.
std::vector<float> drones(float lowA_Hz, const Drones& drones, std::size_t count, float samplingFrequency_Hz, float rms);

} // namespace synth
