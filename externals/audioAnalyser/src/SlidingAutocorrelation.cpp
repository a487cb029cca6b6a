#include "SlidingAutocorrelation.h"

#include <algorithm>
#include <cstring>

// The loops run over the lags innermost, so that the compiler turns them
// into vector instructions; on processors with AVX2 a second version is
// chosen at load time. Each lag's sum is still added in the order written,
// and without fused multiply-adds, so both versions give the same bits.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__clang__) && !defined(__SANITIZE_ADDRESS__) \
    && !defined(__SANITIZE_THREAD__)
#define VANTOR_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define VANTOR_VECTOR_CLONES
#endif

namespace {

// sums[t] += sign a[k] b[k + t] for k < count and t < lags, k ascending;
// four k at a time, so that each sum is loaded and stored once for four
// products. A sign of -1 subtracts the products (s - p and s + (-p) are the
// same number).
VANTOR_VECTOR_CLONES
void addProducts(const double* __restrict a, const double* __restrict b, std::size_t count, std::size_t lags,
                 double sign, double* __restrict sums)
{
    std::size_t k = 0;
    for (; k + 4 <= count; k += 4) {
        const double a0 = sign * a[k], a1 = sign * a[k + 1], a2 = sign * a[k + 2], a3 = sign * a[k + 3];
        const double* __restrict b0 = b + k;
        const double* __restrict b1 = b0 + 1;
        const double* __restrict b2 = b0 + 2;
        const double* __restrict b3 = b0 + 3;
        for (std::size_t t = 0; t < lags; ++t)
            sums[t] = (((sums[t] + a0 * b0[t]) + a1 * b1[t]) + a2 * b2[t]) + a3 * b3[t];
    }
    for (; k < count; ++k) {
        const double ak = sign * a[k];
        const double* __restrict bk = b + k;
        for (std::size_t t = 0; t < lags; ++t)
            sums[t] += ak * bk[t];
    }
}

// sums[t] += sum over i of x[i] x[i + t] for i from 0 to n - 1 - t, t < lags:
// where every lag has a partner all at once, then lag by lag fewer.
VANTOR_VECTOR_CLONES
void accumulateProducts(const double* __restrict x, std::size_t n, std::size_t lags, double* __restrict sums)
{
    const std::size_t full = n - lags + 1;
    addProducts(x, x, full, lags, 1.0, sums);
    for (std::size_t i = full; i < n; ++i) {
        const double xi = x[i];
        const double* __restrict p = x + i;
        const std::size_t top = n - i;
        for (std::size_t t = 0; t < top; ++t)
            sums[t] += xi * p[t];
    }
}

// out[k] = 2 r / overlap[k] with r the centred sum at lag k + 1, 0 where the
// overlap holds no energy. The division runs over all lags first, without a
// condition, so that it vectorises; the few lags without energy are mended
// after it.
VANTOR_VECTOR_CLONES
void normaliseSums(const double* __restrict sums, const double* __restrict overlap, const double* __restrict ends,
                   std::size_t n, double mean, double total, std::size_t count, float* __restrict out)
{
    const double meanSquare = mean * mean;
    const double twiceTotal = 2.0 * total;
    for (std::size_t k = 0; k < count; ++k) {
        // Pairs as int: a 64-bit count would not convert in vector registers.
        const int pairs = static_cast<int>(n - 1 - k);
        const double r = sums[k + 1] - mean * (twiceTotal - ends[k]) + static_cast<double>(pairs) * meanSquare;
        out[k] = static_cast<float>(2.0 * r / overlap[k]);
    }
    for (std::size_t k = 0; k < count; ++k) {
        if (!(overlap[k] > 0.0))
            out[k] = 0.0f;
    }
}

// overlap[k] = start - (sum over j <= k of (x[j] - mean)^2 + (last[j] - mean)^2)
// and ends[k] = sum over j <= k of x[j] + last[j], where last runs backwards
// from the window's last sample. The terms first, side by side; then the
// running sums four terms a step, so that each step waits on one addition.
VANTOR_VECTOR_CLONES
void runningSums(const double* __restrict x, const double* __restrict last, double mean, double start,
                 std::size_t count, double* __restrict overlap, double* __restrict ends)
{
    for (std::size_t k = 0; k < count; ++k) {
        const double head = x[k] - mean;
        const double tail = last[k] - mean;
        overlap[k] = head * head + tail * tail;
        ends[k] = x[k] + last[k];
    }
    double dropped = 0.0;
    double summed = 0.0;
    std::size_t k = 0;
    for (; k + 4 <= count; k += 4) {
        const double d0 = overlap[k], d1 = overlap[k + 1], d2 = overlap[k + 2], d3 = overlap[k + 3];
        const double e0 = ends[k], e1 = ends[k + 1], e2 = ends[k + 2], e3 = ends[k + 3];
        const double d01 = d0 + d1, e01 = e0 + e1;
        const double d03 = d01 + (d2 + d3), e03 = e01 + (e2 + e3);
        overlap[k] = start - (dropped + d0);
        overlap[k + 1] = start - (dropped + d01);
        overlap[k + 2] = start - (dropped + (d01 + d2));
        ends[k] = summed + e0;
        ends[k + 1] = summed + e01;
        ends[k + 2] = summed + (e01 + e2);
        dropped += d03;
        summed += e03;
        overlap[k + 3] = start - dropped;
        ends[k + 3] = summed;
    }
    for (; k < count; ++k) {
        dropped += overlap[k];
        summed += ends[k];
        overlap[k] = start - dropped;
        ends[k] = summed;
    }
}

// A window whose energy about its mean is below this share of its energy
// about zero is a constant with rounding on it: silent, as a constant window
// is through the transforms.
constexpr double kCancellationFloor = 1e-10;

} // namespace

double SlidingAutocorrelation::normalised(float* out, std::size_t count)
{
    // With the window's mean m taken out of every sample, the sum at lag t
    // is r(t) - m (S - tail + S - head) + (n - t) m^2, where S is the sum of
    // the samples and head and tail the sums of the first and last t.
    const std::size_t n = mWindowSize;
    count = std::min({count, n / 2 + 1, mOverlapEnergy.size()});
    const double* x = window();
    const double mean = mSampleSum / static_cast<double>(n);
    const double energy = mSums[0] - static_cast<double>(n) * mean * mean;
    if (!(energy > mSums[0] * kCancellationFloor)) {
        std::fill(out, out + count, 0.0f);
        return 0.0;
    }
    // The overlap energy at lag k + 1 drops one sample from each end per
    // lag; ends[k] is the sum of the first and last k + 1 samples.
    runningSums(x, mReversed.data() + mReversedStart, mean, 2.0 * energy, count, mOverlapEnergy.data(), mEnds.data());
    normaliseSums(mSums.data(), mOverlapEnergy.data(), mEnds.data(), n, mean, mSampleSum, count, out);
    return energy;
}

void SlidingAutocorrelation::setSize(unsigned int windowSize, unsigned int maxLag)
{
    mWindowSize = windowSize;
    const unsigned int lags = windowSize == 0 ? 0 : std::min(maxLag, windowSize - 1) + 1;
    mBuffer.assign(3 * static_cast<std::size_t>(windowSize), 0.0);
    mReversed.assign(mBuffer.size(), 0.0);
    mStart = 0;
    mReversedStart = mReversed.size() - windowSize;
    mSums.assign(lags, 0.0);
    mDelta.assign(lags, 0.0);
    // normalised reads lags 1..lags - 1.
    mOverlapEnergy.assign(lags == 0 ? 0 : lags - 1, 0.0);
    mEnds.assign(mOverlapEnergy.size(), 0.0);
    mSampleSum = 0.0;
}

void SlidingAutocorrelation::compute(const float* window)
{
    if (mWindowSize == 0)
        return;
    const std::size_t n = mWindowSize;
    mStart = 0;
    mReversedStart = mReversed.size() - n;
    double* x = mBuffer.data();
    double* reversed = mReversed.data() + mReversedStart;
    double sum = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        x[i] = window[i];
        reversed[n - 1 - i] = x[i];
        sum += x[i];
    }
    mSampleSum = sum;
    std::fill(mSums.begin(), mSums.end(), 0.0);
    accumulateProducts(x, n, lagCount(), mSums.data());
}

void SlidingAutocorrelation::slide(const float* entering, unsigned int hop)
{
    if (mWindowSize == 0 || hop == 0 || hop >= mWindowSize)
        return;
    const std::size_t n = mWindowSize;
    if (mStart + n + hop > mBuffer.size()) {
        std::memmove(mBuffer.data(), mBuffer.data() + mStart, n * sizeof(double));
        mStart = 0;
    }
    if (mReversedStart < hop) {
        const std::size_t end = mReversed.size() - n;
        std::memmove(mReversed.data() + end, mReversed.data() + mReversedStart, n * sizeof(double));
        mReversedStart = end;
    }
    // x: the last window and the entering samples after it; reversed: the
    // same samples from the newest back.
    double* x = mBuffer.data() + mStart;
    double* reversed = mReversed.data() + (mReversedStart - hop);
    double leaving = 0.0;
    double entered = 0.0;
    for (std::size_t k = 0; k < hop; ++k) {
        x[n + k] = entering[k];
        reversed[hop - 1 - k] = x[n + k];
        leaving += x[k];
        entered += x[n + k];
    }
    mSampleSum += entered - leaving;

    // delta[t]: the products of the entering samples with their partners
    // (an entering sample x[n + m] meets its partner t back at reversed
    // index hop - 1 - m + t), less those of the leaving ones.
    const std::size_t lags = mSums.size();
    std::fill(mDelta.begin(), mDelta.end(), 0.0);
    addProducts(x, x, hop, lags, -1.0, mDelta.data());
    addProducts(reversed, reversed, hop, lags, 1.0, mDelta.data());
    for (std::size_t t = 0; t < mSums.size(); ++t)
        mSums[t] += mDelta[t];
    mStart += hop;
    mReversedStart -= hop;
}
