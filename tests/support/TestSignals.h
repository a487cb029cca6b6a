#pragma once

// Test signals with known answers: pure tones, chanter-like harmonic tones,
// square waves, silence and seeded noise, as floats in full-scale units
// (-1 .. 1) or as 16-bit PCM.

#include "ChanterSynth.h"
#include "ClickSuppressor.h"

#include <cstdint>
#include <vector>

namespace testsignals {

constexpr float kRate_Hz = 44100.0f;

std::vector<float> sine(float frequency_Hz, std::size_t count, float amplitude, float rate_Hz = kRate_Hz);
// Square wave that starts at +amplitude; an exact number of half periods of
// period samples keeps its mean at zero.
std::vector<float> square(std::size_t period, std::size_t count, float amplitude);
std::vector<float> chanterTone(float frequency_Hz, std::size_t count, float amplitude = 0.5f,
                               float rate_Hz = kRate_Hz);
std::vector<float> noise(std::size_t count, float amplitude, std::uint32_t seed);

// Sample-by-sample sum of two signals of equal length.
std::vector<float> mix(const std::vector<float>& a, const std::vector<float>& b);

// The signal as a microphone hears it in a room: the direct sound plus a
// diffuse reverberation, seeded noise decaying by 60 dB in rt60_s from 5 ms
// on, drr_dB under the direct sound in energy. Same length as dry.
std::vector<float> inRoom(const std::vector<float>& dry, float rt60_s, float drr_dB, float rate_Hz = kRate_Hz);

std::vector<short> pcm(const std::vector<float>& signal);
// 16-bit PCM scaled so that 1.0 is 32768 (full scale of the volume meter).
std::vector<float> pcmScaled(const std::vector<float>& signal);

// The standard chanter tuning with Low A at lowA_Hz.
PipeTuning tuningAt(float lowA_Hz);
// Segments played on the synthetic chanter (peak at half of full scale), as
// 16-bit PCM.
std::vector<short> chanterPcm(const std::vector<synth::Segment>& segments, float rate_Hz = kRate_Hz);
// Like the bundled metronome clicks: a short decaying tone, high for the
// beat, lower and longer for the bar.
std::vector<ClickSuppressor::Sound> clickSounds();

} // namespace testsignals
