#include "ChanterSynth.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace synth {

namespace {

constexpr double kTwoPi = 6.283185307179586;
constexpr float kGlide_s = 0.002f;

} // namespace

const std::vector<float>& chanterHarmonics()
{
    static const std::vector<float> harmonics = {1.0f, 0.9f, 0.75f, 0.6f, 0.5f, 0.4f, 0.3f, 0.25f, 0.2f, 0.15f};
    return harmonics;
}

std::vector<float> harmonicTone(float frequency_Hz, float duration_s, float samplingFrequency_Hz,
                                const std::vector<float>& harmonics, float peakAmplitude)
{
    return renderSegments({{frequency_Hz, duration_s}}, samplingFrequency_Hz, harmonics, peakAmplitude);
}

std::vector<float> renderSegments(const std::vector<Segment>& segments, float samplingFrequency_Hz,
                                  const std::vector<float>& harmonics, float peakAmplitude)
{
    std::vector<float> signal;
    if (!(samplingFrequency_Hz > 0.0f))
        return signal;
    const std::size_t glideSamples = static_cast<std::size_t>(kGlide_s * samplingFrequency_Hz);
    double phase = 0.0; // in cycles of the fundamental
    float previous_Hz = 0.0f;
    for (const Segment& segment : segments) {
        const std::size_t count = static_cast<std::size_t>(std::max(0.0f, segment.duration_s) * samplingFrequency_Hz);
        for (std::size_t i = 0; i < count; ++i) {
            float frequency_Hz = segment.frequency_Hz;
            if (previous_Hz > 0.0f && frequency_Hz > 0.0f && i < glideSamples)
                frequency_Hz = previous_Hz + (frequency_Hz - previous_Hz) * static_cast<float>(i) / glideSamples;
            if (frequency_Hz <= 0.0f) {
                signal.push_back(0.0f);
                continue;
            }
            phase += frequency_Hz / samplingFrequency_Hz;
            phase -= std::floor(phase);
            double value = 0.0;
            for (std::size_t h = 0; h < harmonics.size(); ++h) {
                if (frequency_Hz * (h + 1) >= samplingFrequency_Hz / 2)
                    break;
                value += harmonics[h] * std::sin(kTwoPi * phase * static_cast<double>(h + 1));
            }
            signal.push_back(static_cast<float>(value));
        }
        previous_Hz = segment.frequency_Hz;
    }

    float peak = 0.0f;
    for (float value : signal)
        peak = std::max(peak, std::fabs(value));
    if (peak > 0.0f) {
        for (float& value : signal)
            value *= peakAmplitude / peak;
    }
    return signal;
}

std::vector<Segment> scale(const PipeTuning& tuning, float noteDuration_s)
{
    std::vector<Segment> segments;
    for (const auto& [note, centre_Hz] : tuning.getNoteCentreFrequencies())
        segments.push_back({centre_Hz, noteDuration_s});
    return segments;
}

std::vector<Segment> randomWalk(const PipeTuning& tuning, float seconds, float shortest_s, float longest_s,
                                unsigned int seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> note(0, 8);
    std::uniform_real_distribution<float> length(shortest_s, longest_s);
    std::vector<Segment> segments;
    for (float total = 0.0f; total < seconds;) {
        const float duration = std::min(length(random), seconds - total);
        segments.push_back(
            {tuning.getReferenceNoteCentreFrequency_Hz(PipeTuning::noteIndexToReferenceNote(note(random))), duration});
        total += duration;
    }
    return segments;
}

} // namespace synth
