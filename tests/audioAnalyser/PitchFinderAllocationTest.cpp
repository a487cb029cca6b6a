// Counts heap allocations while the pitch finder and its peak picker analyse
// windows: after the first windows, none. A test program of its own, since it
// replaces the global operator new.

#include "PipeSnacPeakPicker.h"
#include "PipeTuning.h"
#include "PitchFinder.h"
#include "TestSignals.h"
#include "VantorUtils.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

namespace {
std::atomic<long> allocations{0};
}

void* operator new(std::size_t size)
{
    ++allocations;
    if (void* p = std::malloc(size == 0 ? 1 : size))
        return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

TEST(PitchFinderAllocation, AnalysesWindowsWithoutAllocating)
{
    constexpr unsigned int kWindow = 1024;
    constexpr unsigned int kStep = 20;
    const PipeTuning tuning = testsignals::tuningAt(480.0f);
    // Every chanter note and a stretch of noise, so that every branch of the
    // peak picker runs.
    std::vector<float> signal;
    for (const auto& [note, centre_Hz] : tuning.getNoteCentreFrequencies()) {
        const std::vector<float> tone = testsignals::chanterTone(centre_Hz, 4410);
        signal.insert(signal.end(), tone.begin(), tone.end());
    }
    const std::vector<float> hiss = testsignals::noise(4410, 0.3f, 7);
    signal.insert(signal.end(), hiss.begin(), hiss.end());
    const std::vector<short> pcm = testsignals::pcm(signal);

    PitchFinder finder;
    PipeSnacPeakPicker picker;
    picker.setParams(tuning, testsignals::kRate_Hz);
    bindPeakPicker(finder, picker);
    finder.setDataParams(PitchFinder::DataParams(kWindow, static_cast<std::uint32_t>(testsignals::kRate_Hz)));
    PitchFinder::ProcessingParams params = chanterProcessingParams(tuning);
    params.peakPickerEnabled = true;
    finder.setProcessingParams(params);
    finder.setCalibration(440.0f, 480.0f);

    // Windows on their own, and a track of windows each updated from the last.
    auto analyse = [&](std::size_t window, bool sliding) {
        const std::size_t start = (window * kStep) % (pcm.size() - kWindow);
        if (sliding)
            finder.setNextData(pcm.data() + start, kStep, window % PitchFinder::kRefreshInterval == 0);
        else
            finder.setData(pcm.data() + start);
        finder.calculatePitch();
        return finder.analysisResults().frequency_Hz;
    };
    for (std::size_t w = 0; w < 50; ++w)
        analyse(w, w % 2 == 0);
    const long before = allocations.load();
    float voiced = 0.0f;
    for (std::size_t w = 0; w < 1000; ++w)
        voiced += analyse(w * 7, false) > 0.0f ? 1.0f : 0.0f;
    for (std::size_t w = 0; w < 1000; ++w)
        voiced += analyse(w, true) > 0.0f ? 1.0f : 0.0f;
    EXPECT_EQ(allocations.load() - before, 0);
    EXPECT_GT(voiced, 1000.0f); // the windows were really analysed
}

} // namespace
