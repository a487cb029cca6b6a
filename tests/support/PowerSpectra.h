#pragma once

// Short-time power spectra as the chanter filter takes them: frames of the
// largest power of two not above 60 ms of audio, hop a quarter of that, the
// square root of a periodic Hann window, |X|^2 of frameLength / 2 + 1 bins.
// Header-only, for tests and measuring tools.

#include <kiss_fftr.h>

#include <cmath>
#include <cstddef>
#include <functional>
#include <vector>

namespace powerspectra {

inline std::size_t frameLength(float rate_Hz)
{
    std::size_t length = 1;
    while (static_cast<float>(length * 2) <= 0.06f * rate_Hz)
        length *= 2;
    return length;
}

// Calls onFrame with each frame's power bins, in order.
inline void forEachFrame(const std::vector<float>& signal, float rate_Hz,
                         const std::function<void(const std::vector<float>&)>& onFrame)
{
    const std::size_t length = frameLength(rate_Hz);
    const std::size_t hop = length / 4;
    const double pi = std::acos(-1.0);
    std::vector<float> window(length);
    for (std::size_t i = 0; i < length; ++i) {
        const double phase = 2.0 * pi * static_cast<double>(i) / static_cast<double>(length);
        window[i] = static_cast<float>(std::sqrt(0.5 - 0.5 * std::cos(phase)));
    }
    kiss_fftr_cfg plan = kiss_fftr_alloc(static_cast<int>(length), 0, nullptr, nullptr);
    std::vector<float> input(length);
    std::vector<kiss_fft_cpx> spectrum(length / 2 + 1);
    std::vector<float> power(length / 2 + 1);
    for (std::size_t start = 0; start + length <= signal.size(); start += hop) {
        for (std::size_t i = 0; i < length; ++i)
            input[i] = signal[start + i] * window[i];
        kiss_fftr(plan, input.data(), spectrum.data());
        for (std::size_t k = 0; k < power.size(); ++k)
            power[k] = spectrum[k].r * spectrum[k].r + spectrum[k].i * spectrum[k].i;
        onFrame(power);
    }
    kiss_fftr_free(plan);
}

} // namespace powerspectra
