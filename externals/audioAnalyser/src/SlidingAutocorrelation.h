#pragma once

// The raw autocorrelation sums of one window of samples,
//     r(t) = sum over i from 0 to n - 1 - t of x[i] x[i + t],  t = 0..maxLag,
// and the sum of its samples, in double precision: computed afresh, or, when
// the window has moved on by a few samples, updated by the products of the
// samples that left it and of those that entered it. A 1024-sample window
// moving on by 20 costs 40 products a lag instead of a transform pair.
//
// Float samples multiply exactly in double, so an update rounds only its
// sums; a caller computes afresh every so often, so that rounding never
// accumulates over a recording. The order of every sum is fixed, so the
// results are the same on every processor and however the windows are
// grouped. Allocation-free after setSize.
#include <cstddef>
#include <vector>

class SlidingAutocorrelation
{
public:
    // Holds windows of windowSize samples, lags 0..maxLag (maxLag < windowSize).
    void setSize(unsigned int windowSize, unsigned int maxLag);
    unsigned int windowSize() const { return mWindowSize; }
    unsigned int lagCount() const { return static_cast<unsigned int>(mSums.size()); }

    // Computes the sums of the windowSize samples at window afresh.
    void compute(const float* window);
    // The window moved on by hop samples (0 < hop < windowSize): entering
    // holds the hop samples that follow the last window.
    void slide(const float* entering, unsigned int hop);

    // The specially normalised autocorrelation of the current window about
    // its mean: out[k] = 2 r'(k + 1) / m'(k + 1) for k < count
    // (count < lagCount()), where r'(t) is the sum of the products of the
    // n - t pairs of samples t apart and m'(t) the sum of their squares, all
    // with the mean taken out; 0 where the pairs hold no energy. Returns the
    // window's energy about its mean, 0 for a constant window (all out 0).
    double normalised(float* out, std::size_t count);

    // r(0)..r(maxLag) of the current window.
    const double* sums() const { return mSums.data(); }
    // The sum of the current window's samples.
    double sampleSum() const { return mSampleSum; }
    // The current window's samples.
    const double* window() const { return mBuffer.data() + mStart; }

private:
    unsigned int mWindowSize = 0;
    // The window is mBuffer[mStart, mStart + windowSize); room after it lets
    // it move on without a copy until the buffer's end.
    std::vector<double> mBuffer;
    std::size_t mStart = 0;
    // The same samples from the newest back: the window is
    // mReversed[mReversedStart, mReversedStart + windowSize), with room
    // before it. The partners of entering samples are read forwards here.
    std::vector<double> mReversed;
    std::size_t mReversedStart = 0;
    std::vector<double> mSums;
    std::vector<double> mDelta;
    std::vector<double> mOverlapEnergy; // scratch of normalised
    std::vector<double> mEnds;
    double mSampleSum = 0.0;
};
