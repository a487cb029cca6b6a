#include "PitchFinder.h"

#include "utils.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

constexpr float kMinimumBand_Hz = 1.0f;
constexpr float kMaximumBand_Hz = 44100.0f;
// Full scale of a 16-bit sample squared: 32768^2 = 2^30.
constexpr double kFullScalePower = 1073741824.0;
constexpr float kVolumeFloor_dB = -120.0f;

} // namespace

PitchFinder::PitchFinder() = default;

PitchFinder::~PitchFinder()
{
    releaseBuffers();
}

void PitchFinder::releaseBuffers()
{
    kiss_fftr_free(mForwardPlan);
    kiss_fftr_free(mInversePlan);
    mForwardPlan = nullptr;
    mInversePlan = nullptr;
    mInput.clear();
    mWork.clear();
    mSnac.clear();
    mSpectrum.clear();
    mConverted.clear();
    mTransformSize = 0;
    mCorrelation.setSize(0, 0);
    mSumsHoldInput = false;
}

void PitchFinder::allocateBuffers()
{
    const unsigned int n = mDataParams.windowSize;
    if (n == 0)
        return;
    // Half a window of zeros after the data makes the circular correlation of
    // the FFT a linear one up to a lag of half a window. KISS FFT's real
    // transform needs an even size, so an odd window gets one zero more.
    mTransformSize = n + n / 2;
    if (mTransformSize % 2 != 0)
        ++mTransformSize;
    mInput.assign(mTransformSize, 0.0f);
    mWork.assign(mTransformSize, 0.0f);
    mSnac.assign(n / 2 + 1, 0.0f);
    mMaxima.clear();
    mMaxima.reserve(n / 4 + 1);
    mSpectrum.assign(mTransformSize / 2 + 1, kiss_fft_cpx{0.0f, 0.0f});
    mForwardPlan = kiss_fftr_alloc(static_cast<int>(mTransformSize), 0, nullptr, nullptr);
    mInversePlan = kiss_fftr_alloc(static_cast<int>(mTransformSize), 1, nullptr, nullptr);
    mConverted.assign(n, 0.0f);
    mCorrelation.setSize(n, n / 2 + 1);
}

void PitchFinder::clampBand()
{
    float& low = mProcessingParams.lowFrequency_Hz;
    float& high = mProcessingParams.highFrequency_Hz;
    low = std::clamp(low, kMinimumBand_Hz, kMaximumBand_Hz);
    high = std::clamp(high, low, kMaximumBand_Hz);
}

void PitchFinder::setDataParams(const DataParams& params)
{
    if (params.windowSize != mDataParams.windowSize) {
        mDataParams = params;
        releaseBuffers();
        allocateBuffers();
        clampBand();
    } else if (params.samplingFrequency_Hz == mDataParams.samplingFrequency_Hz) {
        return;
    } else {
        mDataParams = params;
    }

    const unsigned int n = mDataParams.windowSize;
    if (n == 0)
        return;
    const float windowsPerSecond = static_cast<float>(mDataParams.samplingFrequency_Hz) / static_cast<float>(n);
    const int historyLength = utils::truncateToInt(mAveragingPeriod_s * windowsPerSecond);
    if (historyLength > 0) {
        mNoteAverager.initialise(static_cast<unsigned int>(historyLength),
                                 static_cast<unsigned int>(std::max(0, utils::truncateToInt(windowsPerSecond * mNoteChangePeriod_s))));
    }
}

void PitchFinder::setProcessingParams(const ProcessingParams& params)
{
    mProcessingParams = params;
    clampBand();
    // The band-pass filters each window through the transforms: a window
    // given for sliding is analysed that way too.
    if (mProcessingParams.bandpassEnabled)
        mSumsHoldInput = false;
}

void PitchFinder::setData(const short* samples)
{
    if (samples == nullptr)
        return;
    mSumsHoldInput = false;
    for (unsigned int i = 0; i < mDataParams.windowSize; ++i)
        mInput[i] = static_cast<float>(samples[i]);
}

void PitchFinder::setData(const float* samples)
{
    if (samples == nullptr)
        return;
    mSumsHoldInput = false;
    std::copy(samples, samples + mDataParams.windowSize, mInput.begin());
}

void PitchFinder::setNextData(const float* samples, unsigned int hop, bool refresh)
{
    const unsigned int n = mDataParams.windowSize;
    if (samples == nullptr || n == 0)
        return;
    if (mProcessingParams.bandpassEnabled) {
        setData(samples);
        return;
    }
    const bool follows = !refresh && mSumsHoldInput && hop > 0 && hop < n
                         && std::memcmp(mInput.data() + hop, samples, (n - hop) * sizeof(float)) == 0;
    if (follows) {
        std::copy(mInput.begin() + hop, mInput.begin() + n, mInput.begin());
        std::copy(samples + (n - hop), samples + n, mInput.begin() + (n - hop));
        mCorrelation.slide(samples + (n - hop), hop);
    } else {
        std::copy(samples, samples + n, mInput.begin());
        mCorrelation.compute(samples);
    }
    mSumsHoldInput = true;
}

void PitchFinder::setNextData(const short* samples, unsigned int hop, bool refresh)
{
    if (samples == nullptr)
        return;
    std::copy(samples, samples + mDataParams.windowSize, mConverted.begin());
    setNextData(mConverted.data(), hop, refresh);
}

void PitchFinder::calculatePitch()
{
    if (mDataParams.windowSize == 0)
        return;
    float frequency_Hz = 0.0f;
    float dB = 0.0f;
    if (!analyseWindow(frequency_Hz, dB))
        frequency_Hz = 0.0f;
    mFrequency_Hz = frequency_Hz;

    if (mCalibrator.state() == NoteCalibrator::Calibrating && mCalibrator.addCalibrationFrequency(mFrequency_Hz) == 0)
        mNoteAverager.setCalibrationMultiplier(mCalibrator.calibrationMultiplier());

    mNoteAverager.addAndUpdate(mFrequency_Hz);
    mAverageFrequency_Hz = mNoteAverager.calculateAverageFrequency_Hz();
    mVolume_normalized = dB / 120.0f + 1.0f;
}

bool PitchFinder::analyseWindow(float& frequency_Hz, float& dB)
{
    const unsigned int n = mDataParams.windowSize;
    const int half = static_cast<int>(n / 2);
    frequency_Hz = 0.0f;
    mRawFrequency_Hz = 0.0f;

    float r0 = 0.0f;
    if (mSumsHoldInput) {
        r0 = computeSnacFromSums();
    } else {
        if (mProcessingParams.bandpassEnabled)
            applyBandpass();
        utils::removeDcOffset(mInput.data(), n);
        r0 = computeSnac();
    }
    dB = utils::linear2dB(r0 / static_cast<float>(n * kFullScalePower), kVolumeFloor_dB);

    int first = 0;
    int last = half - 1;
    if (mProcessingParams.limitSearchToBand) {
        const float rate_Hz = static_cast<float>(mDataParams.samplingFrequency_Hz);
        last = utils::truncateToInt(rate_Hz / mProcessingParams.lowFrequency_Hz);
        first = utils::truncateToInt(rate_Hz / mProcessingParams.highFrequency_Hz);
    }

    int best = 0;
    const int k = utils::findSnacSubMaximum(mSnac.data(), half, first, last, snacPeakThreshold, minimumSnacPeak, best,
                                                mMaxima);
    if (k != 0) {
        const float lag = interpolatedLag(k);
        if (lag > 0.0f) {
            mRawFrequency_Hz = static_cast<float>(mDataParams.samplingFrequency_Hz) / lag;
            if (mRawFrequency_Hz > 0.0f)
                frequency_Hz = mRawFrequency_Hz;
        }
    }

    if (best > 0)
        mQuality = mSnac[best];

    if (mProcessingParams.peakPickerEnabled) {
        mPickedFrequency_Hz = snacPeakPicker
                                  ? snacPeakPicker(*this, mSnac.data(), half, first, last, snacPeakThreshold, minimumSnacPeak)
                                  : 0.0f;
    }
    return mRawFrequency_Hz > 0.0f;
}

void PitchFinder::applyBandpass()
{
    const unsigned int m = mTransformSize;
    kiss_fftr(mForwardPlan, mInput.data(), mSpectrum.data());

    const float binsPerHz = static_cast<float>(mDataParams.windowSize) / static_cast<float>(mDataParams.samplingFrequency_Hz);
    const int lowBin = utils::truncateToInt(mProcessingParams.lowFrequency_Hz * binsPerHz);
    const int highBin = utils::truncateToInt(mProcessingParams.highFrequency_Hz * binsPerHz);
    for (int bin = 1; bin <= static_cast<int>(m / 2); ++bin) {
        if (bin < lowBin || bin > highBin)
            mSpectrum[static_cast<std::size_t>(bin)] = kiss_fft_cpx{0.0f, 0.0f};
    }

    kiss_fftri(mInversePlan, mSpectrum.data(), mWork.data());
    for (unsigned int i = 0; i < mDataParams.windowSize; ++i)
        mInput[i] = mWork[i] / static_cast<float>(m);
}

float PitchFinder::computeSnac()
{
    const unsigned int n = mDataParams.windowSize;
    const unsigned int m = mTransformSize;

    kiss_fftr(mForwardPlan, mInput.data(), mSpectrum.data());
    for (kiss_fft_cpx& bin : mSpectrum) {
        bin.r = bin.r * bin.r + bin.i * bin.i;
        bin.i = 0.0f;
    }
    kiss_fftri(mInversePlan, mSpectrum.data(), mWork.data());

    const float scale = 1.0f / static_cast<float>(m);
    const float r0 = mWork[0] * scale;

    // m(k) is the energy of both copies over their overlap at lag k + 1: start
    // from twice the total energy and drop one sample from each end per lag.
    double overlapEnergy = 2.0 * r0;
    const float* x = mInput.data();
    for (unsigned int k = 0; k <= n / 2; ++k) {
        const double head = x[k];
        const double tail = x[n - 1 - k];
        overlapEnergy -= head * head + tail * tail;
        mSnac[k] = overlapEnergy > 0.0 ? static_cast<float>(2.0 * mWork[k + 1] * scale / overlapEnergy) : 0.0f;
    }
    return r0;
}

float PitchFinder::computeSnacFromSums()
{
    const std::size_t count = std::min<std::size_t>(mSnac.size(), mCorrelation.lagCount() - 1);
    const double energy = mCorrelation.normalised(mSnac.data(), count);
    std::fill(mSnac.begin() + static_cast<std::ptrdiff_t>(count), mSnac.end(), 0.0f);
    return static_cast<float>(energy);
}

PitchFinder::AnalysisResults PitchFinder::analysisResults() const
{
    AnalysisResults results;
    results.volume_normalized = mVolume_normalized;
    results.averageFrequency_Hz = mAverageFrequency_Hz;
    results.frequency_Hz = mFrequency_Hz;
    results.calibrationState = static_cast<float>(mCalibrator.state());
    results.calibratedFrequency_Hz = mCalibrator.calibratedFrequency();
    results.calibrationMultiplier = mCalibrator.calibrationMultiplier();
    results.pickedFrequency_Hz = mPickedFrequency_Hz;
    results.quality = mQuality;
    return results;
}

float PitchFinder::interpolatedLag(int index) const
{
    // Parabola through the maximum and its neighbours; index k is a lag of
    // k + 1 samples. A NaN curvature also takes the interpolating branch.
    const float a = mSnac[static_cast<std::size_t>(index - 1)];
    const float b = mSnac[static_cast<std::size_t>(index)];
    const float c = mSnac[static_cast<std::size_t>(index + 1)];
    const float curvature = a - 2.0f * b + c;
    float lag = static_cast<float>(index + 1);
    if (curvature != 0.0f)
        lag += (a - c) / (2.0f * curvature);
    return lag;
}

float PitchFinder::getSnacFrequency_Hz(int index) const
{
    if (index <= 0 || index + 1 >= static_cast<int>(mSnac.size()))
        return 0.0f;
    const float lag = interpolatedLag(index);
    return lag > 0.0f ? static_cast<float>(mDataParams.samplingFrequency_Hz) / lag : 0.0f;
}

void PitchFinder::setCalibration(float referenceFrequency_Hz, float measuredFrequency_Hz)
{
    mCalibrator.setCalibrationDetails(referenceFrequency_Hz, measuredFrequency_Hz);
    mNoteAverager.setCalibrationMultiplier(mCalibrator.calibrationMultiplier());
}
