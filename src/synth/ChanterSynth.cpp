#include "ChanterSynth.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <random>

namespace synth {

namespace {
constexpr double kPi = 3.14159265358979323846;
} // namespace

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

std::vector<float> droneFrequencies_Hz(float lowA_Hz, const Drones& drones)
{
    const float tenor_Hz = lowA_Hz / 2.0f * std::pow(2.0f, drones.tenorCents / 1200.0f);
    return {lowA_Hz / 4.0f * std::pow(2.0f, drones.bassCents / 1200.0f), tenor_Hz + drones.tenorBeat_Hz / 2.0f,
            tenor_Hz - drones.tenorBeat_Hz / 2.0f};
}

std::vector<float> drones(float lowA_Hz, const Drones& drones, std::size_t count, float samplingFrequency_Hz, float rms)
{
    // Harmonic levels in dB from the fundamental on; 3 dB less for each
    // further harmonic down to 40 dB under the strongest.
    std::vector<float> levels_dB = {-12.0f, -3.0f, 0.0f, -1.0f, -4.0f, -7.0f, -10.0f};
    while (levels_dB.back() > -40.0f)
        levels_dB.push_back(levels_dB.back() - 3.0f);
    const std::vector<float> frequencies_Hz = droneFrequencies_Hz(lowA_Hz, drones);
    const double shares[] = {0.4, 0.3, 0.3};
    const double limit_Hz = 0.45 * samplingFrequency_Hz;
    std::vector<double> out(count, 0.0);
    for (std::size_t d = 0; d < frequencies_Hz.size(); ++d) {
        double power = 0.0;
        for (std::size_t h = 0; h < levels_dB.size() && (h + 1) * frequencies_Hz[d] < limit_Hz; ++h)
            power += 0.5 * std::pow(10.0, levels_dB[h] / 10.0);
        const double scale = rms * std::sqrt(shares[d] / power);
        for (std::size_t h = 0; h < levels_dB.size() && (h + 1) * frequencies_Hz[d] < limit_Hz; ++h) {
            // A phasor turned sample by sample, its start spread over harmonics.
            const double step = 2.0 * kPi * (h + 1) * frequencies_Hz[d] / samplingFrequency_Hz;
            const std::complex<double> turn = std::polar(1.0, step);
            std::complex<double> phasor = std::polar(scale * std::pow(10.0, levels_dB[h] / 20.0),
                                                     0.7 * static_cast<double>(h * h + d));
            for (std::size_t n = 0; n < count; ++n) {
                out[n] += phasor.imag();
                phasor *= turn;
            }
        }
    }
    return std::vector<float>(out.begin(), out.end());
}

} // namespace synth
