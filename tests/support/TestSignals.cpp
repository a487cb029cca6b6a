#include "TestSignals.h"

#include "utils.h"

#include <kiss_fftr.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <tuple>

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

std::vector<float> inRoom(const std::vector<float>& dry, float rt60_s, float drr_dB, float rate_Hz)
{
    const std::size_t responseLength = static_cast<std::size_t>(rt60_s * rate_Hz);
    std::vector<float> response(responseLength, 0.0f);
    std::mt19937 random(7);
    std::normal_distribution<float> gauss(0.0f, 1.0f);
    double energy = 0.0;
    for (std::size_t i = static_cast<std::size_t>(0.005f * rate_Hz); i < responseLength; ++i) {
        response[i] = gauss(random) * std::exp(-6.91f * static_cast<float>(i) / (rt60_s * rate_Hz));
        energy += static_cast<double>(response[i]) * response[i];
    }
    const float scale = static_cast<float>(std::pow(10.0, -drr_dB / 20.0) / std::sqrt(energy));
    for (float& r : response)
        r *= scale;
    response[0] = 1.0f;

    std::size_t size = 1;
    while (size < dry.size() + responseLength)
        size *= 2;
    std::vector<float> a(size, 0.0f), b(size, 0.0f), out(size);
    std::copy(dry.begin(), dry.end(), a.begin());
    std::copy(response.begin(), response.end(), b.begin());
    std::vector<kiss_fft_cpx> fa(size / 2 + 1), fb(size / 2 + 1);
    kiss_fftr_cfg forward = kiss_fftr_alloc(static_cast<int>(size), 0, nullptr, nullptr);
    kiss_fftr_cfg inverse = kiss_fftr_alloc(static_cast<int>(size), 1, nullptr, nullptr);
    kiss_fftr(forward, a.data(), fa.data());
    kiss_fftr(forward, b.data(), fb.data());
    for (std::size_t k = 0; k < fa.size(); ++k)
        fa[k] = {(fa[k].r * fb[k].r - fa[k].i * fb[k].i) / static_cast<float>(size),
                 (fa[k].r * fb[k].i + fa[k].i * fb[k].r) / static_cast<float>(size)};
    kiss_fftri(inverse, fa.data(), out.data());
    kiss_fftr_free(forward);
    kiss_fftr_free(inverse);
    out.resize(dry.size());
    return out;
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

std::vector<ClickSuppressor::Sound> clickSounds()
{
    std::vector<ClickSuppressor::Sound> sounds;
    for (auto [pitch_Hz, decay_s, length_s, peak] : {std::tuple(1575.0, 0.008, 0.04, 18000.0),
                                                      std::tuple(975.0, 0.015, 0.07, 26000.0)}) {
        ClickSuppressor::Sound sound;
        for (std::size_t n = 0; n < static_cast<std::size_t>(length_s * kRate_Hz); ++n) {
            const double t_s = n / static_cast<double>(kRate_Hz);
            sound.samples.push_back(
                static_cast<short>(std::lround(peak * std::exp(-t_s / decay_s) * std::sin(2.0 * M_PI * pitch_Hz * t_s))));
        }
        sound.rate_Hz = kRate_Hz;
        sounds.push_back(sound);
    }
    return sounds;
}

} // namespace testsignals
