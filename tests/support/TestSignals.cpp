#include "TestSignals.h"

#include "utils.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>

namespace testsignals {

namespace {
constexpr double kTwoPi = 6.283185307179586;
}

std::vector<float> sine(float frequency_Hz, std::size_t count, float amplitude, float rate_Hz)
{
    std::vector<float> signal(count);
    for (std::size_t i = 0; i < count; ++i)
        signal[i] = amplitude * static_cast<float>(std::sin(kTwoPi * frequency_Hz * static_cast<double>(i) / rate_Hz));
    return signal;
}

std::vector<float> square(std::size_t period, std::size_t count, float amplitude)
{
    std::vector<float> signal(count);
    for (std::size_t i = 0; i < count; ++i)
        signal[i] = (i % period) < period / 2 ? amplitude : -amplitude;
    return signal;
}

std::vector<float> chanterTone(float frequency_Hz, std::size_t count, float amplitude, float rate_Hz)
{
    std::vector<float> signal = synth::harmonicTone(frequency_Hz, static_cast<float>(count + 1) / rate_Hz, rate_Hz,
                                                    synth::chanterHarmonics(), amplitude);
    signal.resize(count, 0.0f);
    return signal;
}

std::vector<float> noise(std::size_t count, float amplitude, std::uint32_t seed)
{
    std::mt19937 generator(seed);
    std::uniform_real_distribution<float> distribution(-amplitude, amplitude);
    std::vector<float> signal(count);
    std::generate(signal.begin(), signal.end(), [&] { return distribution(generator); });
    return signal;
}

std::vector<float> mix(const std::vector<float>& a, const std::vector<float>& b)
{
    std::vector<float> sum(a);
    std::transform(sum.begin(), sum.begin() + std::min(a.size(), b.size()), b.begin(), sum.begin(), std::plus<>());
    return sum;
}

std::vector<short> pcm(const std::vector<float>& signal)
{
    return utils::toPcm16(signal);
}

std::vector<float> pcmScaled(const std::vector<float>& signal)
{
    std::vector<float> scaled(signal.size());
    std::transform(signal.begin(), signal.end(), scaled.begin(), [](float value) { return value * 32768.0f; });
    return scaled;
}

PipeTuning tuningAt(float lowA_Hz)
{
    PipeTuning tuning;
    tuning.setLowA_Hz(lowA_Hz);
    return tuning;
}

std::vector<short> chanterPcm(const std::vector<synth::Segment>& segments, float rate_Hz)
{
    return pcm(synth::renderSegments(segments, rate_Hz, synth::chanterHarmonics(), 0.5f));
}

} // namespace testsignals
