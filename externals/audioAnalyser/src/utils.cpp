#include "utils.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <exception>
#include <limits>
#include <system_error>
#include <thread>

namespace utils {

namespace {

// Cents per decade of frequency as the conversion has always computed it:
// 3986.4460836, about 1200 / 0.30102 (log10(2) rounded to five places). The
// exact figure, 1200 / log10(2), is 3986.3137; this one reads 33 ppm more
// cents (0.04 cents over an octave). It stays, to the digit, because stored
// tunings and the cents limits of the tuning estimators were made with it.
constexpr double kCentsPerDecade = 3986.4460836;

bool isPositive(float value) { return value > 0.0f; }

} // namespace

void removeDcOffset(float* samples, unsigned int count)
{
    if (samples == nullptr || count == 0)
        return;
    double sum = 0.0;
    for (unsigned int i = 0; i < count; ++i)
        sum += samples[i];
    const double mean = sum / count;
    for (unsigned int i = 0; i < count; ++i)
        samples[i] = static_cast<float>(samples[i] - mean);
}

float linear2dB(float value, float floor)
{
    if (!(value > 0.0f))
        return floor;
    const float dB = static_cast<float>(20.0 * std::log10(static_cast<double>(value)));
    if (dB < floor)
        return floor;
    return dB <= 0.0f ? dB : 0.0f;
}

float freqRatioToCents(float a_Hz, float b_Hz)
{
    const float ratio = b_Hz / a_Hz;
    return static_cast<float>(kCentsPerDecade * std::log10(static_cast<double>(ratio)));
}

int findSnacMaxima(const float* snac, int count, int first, int last, std::vector<int>& maxima)
{
    maxima.clear();
    if (snac == nullptr || count < 1)
        return 0;
    maxima.reserve(static_cast<std::size_t>(count) / 2 + 1);

    const int top = count - 1;
    const int start = first < 0 ? 0 : std::min(first, top);
    const int end = last < start ? start : std::min(last, top);

    int best = 0;
    int lobeMaximum = 0;
    auto closeLobe = [&]() {
        if (lobeMaximum > 0) {
            maxima.push_back(lobeMaximum);
            if (best == 0 || snac[lobeMaximum] > snac[best])
                best = lobeMaximum;
            lobeMaximum = 0;
        }
    };

    int i = start;
    while (i < end && !isPositive(snac[i]))
        ++i;
    if (i == 0)
        i = 1;

    // Only two places change anything: a maximum within a positive lobe,
    // and the first value of a lobe's end. Each block of values is flagged
    // first (a loop without branches, so the compiler vectorises it), and
    // the flags are read eight at a time, so most blocks are passed over.
    constexpr int kBlock = 64;
    constexpr std::uint8_t kPeak = 1;
    constexpr std::uint8_t kLobeEnd = 2;
    std::uint8_t flags[kBlock];
    for (int blockStart = i; blockStart < end; blockStart += kBlock) {
        const int length = std::min(kBlock, end - blockStart);
        const float* value = snac + blockStart;
        for (int k = 0; k < length; ++k) {
            const bool positive = value[k] > 0.0f;
            const bool peak = positive & (value[k] > value[k - 1]) & (value[k] >= value[k + 1]);
            const bool lobeEnd = !positive & (value[k - 1] > 0.0f);
            flags[k] = static_cast<std::uint8_t>(peak * kPeak + lobeEnd * kLobeEnd);
        }
        std::fill(flags + length, flags + kBlock, std::uint8_t{0});
        for (int word = 0; word < kBlock; word += 8) {
            std::uint64_t eight = 0;
            std::memcpy(&eight, flags + word, sizeof eight);
            if (eight == 0)
                continue;
            for (int k = word; k < word + 8; ++k) {
                const int index = blockStart + k;
                if (flags[k] == kPeak) {
                    if (lobeMaximum == 0 || snac[index] > snac[lobeMaximum])
                        lobeMaximum = index;
                } else if (flags[k] == kLobeEnd) {
                    closeLobe();
                }
            }
        }
    }
    closeLobe();
    return best;
}

int findSnacSubMaximum(const float* snac, int count, int first, int last, float threshold,
                       float minimumPeak, int& best, std::vector<int>& maxima)
{
    best = findSnacMaxima(snac, count, first, last, maxima);
    if (maxima.empty())
        return 0;
    const float required = std::max(minimumPeak, threshold * snac[best]);
    for (int index : maxima) {
        if (snac[index] >= required)
            return index;
    }
    return 0;
}

int truncateToInt(double value)
{
    if (std::isnan(value))
        return 0;
    if (value >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (value <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(value);
}

int roundToInt(double value)
{
    return truncateToInt(std::round(value));
}

short toPcm16(double value)
{
    const double scaled = std::round(value * 32768.0);
    if (!(scaled >= -32768.0))
        return scaled < 0.0 ? -32768 : 0;
    return static_cast<short>(scaled > 32767.0 ? 32767.0 : scaled);
}

std::vector<short> toPcm16(const std::vector<float>& signal)
{
    std::vector<short> samples(signal.size());
    for (std::size_t i = 0; i < signal.size(); ++i)
        samples[i] = toPcm16(signal[i]);
    return samples;
}

std::vector<short> decodePcm16(const char* bytes, std::size_t size_B)
{
    std::vector<short> samples(size_B / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto low = static_cast<unsigned char>(bytes[2 * i]);
        const auto high = static_cast<unsigned char>(bytes[2 * i + 1]);
        samples[i] = static_cast<short>(static_cast<unsigned short>(low | (high << 8)));
    }
    return samples;
}

std::vector<char> encodePcm16(const std::vector<short>& samples)
{
    std::vector<char> bytes(2 * samples.size());
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto value = static_cast<unsigned short>(samples[i]);
        bytes[2 * i] = static_cast<char>(value & 0xff);
        bytes[2 * i + 1] = static_cast<char>(value >> 8);
    }
    return bytes;
}

std::size_t decodeUtf8(const std::string& text, std::size_t i, char32_t& point)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80 ? 1 : (lead & 0xe0) == 0xc0 ? 2 : (lead & 0xf0) == 0xe0 ? 3
                                             : (lead & 0xf8) == 0xf0 ? 4 : 0;
    if (length == 0 || i + length > text.size())
        return 0;
    point = length == 1 ? lead : length == 2 ? lead & 0x1f : length == 3 ? lead & 0x0f : lead & 0x07;
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[i + k]);
        if ((next & 0xc0) != 0x80)
            return 0;
        point = (point << 6) | (next & 0x3f);
    }
    // Overlong forms, surrogates and points beyond Unicode are not UTF-8.
    constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (point < kSmallest[length] || point > 0x10ffff || (point >= 0xd800 && point <= 0xdfff))
        return 0;
    return length;
}

void getVersionComponents(int version, int& major, int& minor)
{
    major = version / 1000 + 1;
    minor = version % 1000;
}

float middleValue(std::vector<float>& values)
{
    const auto middle = values.begin() + static_cast<long>(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

unsigned int availableCores()
{
    return std::max(1u, std::thread::hardware_concurrency());
}

void runInStretches(std::size_t count, std::size_t offset, std::size_t grain, unsigned int jobs,
                    const std::function<void(std::size_t, std::size_t)>& work)
{
    if (count == 0)
        return;
    grain = std::max<std::size_t>(1, grain);
    // The cuts: about count / jobs apart, moved up to the next multiple of
    // the grain in the caller's count, and never closer than a grain.
    std::vector<std::size_t> cuts{0};
    const std::size_t stretches = std::max(1u, jobs);
    for (std::size_t s = 1; s < stretches; ++s) {
        const std::size_t wanted = offset + count * s / stretches;
        const std::size_t cut = (wanted + grain - 1) / grain * grain - offset;
        if (cut >= cuts.back() + grain && cut + grain <= count)
            cuts.push_back(cut);
    }
    cuts.push_back(count);

    std::vector<std::exception_ptr> failures(cuts.size() - 1);
    auto run = [&](std::size_t s) {
        try {
            work(cuts[s], cuts[s + 1]);
        } catch (...) {
            failures[s] = std::current_exception();
        }
    };
    // Where the system gives no more threads, the calling thread runs the
    // stretches left.
    std::vector<std::thread> threads;
    threads.reserve(cuts.size() - 2);
    std::size_t next = 0;
    for (; next + 2 < cuts.size(); ++next) {
        try {
            threads.emplace_back(run, next);
        } catch (const std::system_error&) {
            break;
        }
    }
    for (; next + 1 < cuts.size(); ++next)
        run(next);
    for (std::thread& thread : threads)
        thread.join();
    for (const std::exception_ptr& failure : failures) {
        if (failure)
            std::rethrow_exception(failure);
    }
}

} // namespace utils
