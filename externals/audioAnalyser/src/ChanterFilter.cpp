#include "ChanterFilter.h"

#include "utils.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <functional>

namespace {

constexpr double kPi = 3.14159265358979323846;
// Frames no longer than this: short enough to follow a gracenote, long
// enough to part the bass's lines (120 Hz apart) from what lies between.
constexpr float kLongestFrame_s = 0.06f;
// A line's power spreads this many bins either side of it through the
// window's main lobe and first side lobes.
constexpr long kLineReach = 2;
// The drones' lines taken out: above this they are 40 dB under their
// strongest and leave the chanter alone.
constexpr float kHighestLine_Hz = 6000.0f;
// The drones' power on a line reaches well above its median: two tenors of
// equal strength beating swing between nothing and twice their mean, and
// with the bass on the same line up to three times (the amplitudes add);
// the median of a beating line lies at or below its mean. Four times the
// median (6 dB) covers the peaks.
constexpr float kOverSubtraction = 4.0f;
// A line's power over kSteady times the top of its lower kLowerPart is more
// than the drones: drones beating on a line (two or three of equal
// strength at worst) spend 40% of the time over a third of their mean
// power and never exceed three times it.
constexpr float kLowerPart = 0.4f;
constexpr float kSteady = 9.0f;
// Lines measured by their phase: up to a tenor's third harmonic.
constexpr float kLowBins_Hz = 1000.0f;
// The fewest bins worth a thread of their own when the drones' profile is
// renewed.
constexpr std::size_t kBinsPerJob = 128;

short toSample(float value)
{
    return static_cast<short>(std::lround(std::clamp(value, -32768.0f, 32767.0f)));
}

} // namespace

ChanterFilter::ChanterFilter(float samplingFrequency_Hz)
{
    reset(samplingFrequency_Hz);
}

void ChanterFilter::setJobs(unsigned int jobs)
{
    mJobs = jobs == 0 ? utils::availableCores() : jobs;
}

ChanterFilter::~ChanterFilter()
{
    releasePlans();
}

void ChanterFilter::releasePlans()
{
    kiss_fftr_free(mForward);
    kiss_fftr_free(mInverse);
    mForward = nullptr;
    mInverse = nullptr;
}

void ChanterFilter::reset(float samplingFrequency_Hz)
{
    const float rate_Hz = samplingFrequency_Hz > 0.0f ? samplingFrequency_Hz : 44100.0f;
    std::size_t length = 256;
    while (static_cast<float>(length * 2) <= kLongestFrame_s * rate_Hz)
        length *= 2;
    if (length != mFrameLength || !mForward) {
        releasePlans();
        mFrameLength = length;
        mForward = kiss_fftr_alloc(static_cast<int>(length), 0, nullptr, nullptr);
        mInverse = kiss_fftr_alloc(static_cast<int>(length), 1, nullptr, nullptr);
    }
    mRate_Hz = rate_Hz;
    mHop = mFrameLength / 4;
    mWindow.resize(mFrameLength);
    for (std::size_t n = 0; n < mFrameLength; ++n)
        mWindow[n] = static_cast<float>(std::sqrt(0.5 - 0.5 * std::cos(2.0 * kPi * static_cast<double>(n) /
                                                                       static_cast<double>(mFrameLength))));
    mFrame.assign(mFrameLength, 0.0f);
    mSpectrum.assign(mFrameLength / 2 + 1, kiss_fft_cpx{0.0f, 0.0f});
    mPower.assign(mFrameLength / 2 + 1, 0.0f);
    mLowBins = std::min(mPower.size(), static_cast<std::size_t>(binOf(kLowBins_Hz)) + 2);
    mPhase.assign(mLowBins, 0.0f);
    mFrequency_Hz.assign(mLowBins, 0.0f);
    mPhaseKnown = false;
    mState = State::Listening;
    mFinished = false;
    mInput.clear();
    mInputStart = 0;
    mRecorded = 0;
    mNextFrame = -static_cast<long>(mFrameLength - mHop);
    mHeardUpTo = mNextFrame;
    mHistory.clear();
    mFramesSinceUpdate = 0;
    mProfile.assign(mFrameLength / 2 + 1, 0.0f);
    mMedian.assign(std::min(mPower.size(), static_cast<std::size_t>(binOf(kHighestLine_Hz)) + 2), 0.0f);
    mDrones = DroneSet();
    mLines = DroneSet();
    mDronesLookedFor = false;
    mRoom = std::make_unique<RoomReverberation>(mRate_Hz, mFrameLength, mHop);
    mLate.assign(mFrameLength / 2 + 1, 0.0f);
    mOverlap.assign(mFrameLength, 0.0f);
    mOutputStart = 0;
    mReady.clear();
}

float ChanterFilter::binOf(float frequency_Hz) const
{
    return frequency_Hz * static_cast<float>(mFrameLength) / mRate_Hz;
}

void ChanterFilter::push(const short* samples, std::size_t count)
{
    if (mState == State::Passing || mFinished || count == 0)
        return;
    mInput.insert(mInput.end(), samples, samples + count);
    mRecorded += count;
    runFrames();
}

void ChanterFilter::finish()
{
    if (mFinished)
        return;
    mFinished = true;
    if (mState == State::Listening)
        decide();
    if (mState == State::Cleaning)
        runFrames();
}

void ChanterFilter::take(std::vector<short>& out)
{
    out.insert(out.end(), mReady.begin(), mReady.end());
    mReady.clear();
}

void ChanterFilter::loadFrame(long start)
{
    for (std::size_t n = 0; n < mFrameLength; ++n) {
        const long t = start + static_cast<long>(n);
        float value = 0.0f;
        if (t >= 0 && static_cast<std::size_t>(t) < mRecorded) {
            // Only input from mInputStart on is kept; earlier frames are done.
            value = static_cast<float>(mInput[static_cast<std::size_t>(t) - mInputStart]);
        }
        mFrame[n] = value * mWindow[n];
    }
    kiss_fftr(mForward, mFrame.data(), mSpectrum.data());
    for (std::size_t k = 0; k < mSpectrum.size(); ++k)
        mPower[k] = mSpectrum[k].r * mSpectrum[k].r + mSpectrum[k].i * mSpectrum[k].i;
    // The phase advance over a hop beyond the bin centre's tells the
    // frequency within the bin.
    const double binWidth_Hz = mRate_Hz / static_cast<double>(mFrameLength);
    const double hopTurns = static_cast<double>(mHop) / static_cast<double>(mFrameLength);
    for (std::size_t k = 0; k < mLowBins; ++k) {
        const float phase = std::atan2(mSpectrum[k].i, mSpectrum[k].r);
        double offset = 0.0;
        if (mPhaseKnown) {
            double advance = phase - mPhase[k] - 2.0 * kPi * static_cast<double>(k) * hopTurns;
            advance -= 2.0 * kPi * std::round(advance / (2.0 * kPi));
            offset = advance / (2.0 * kPi * hopTurns);
        }
        mFrequency_Hz[k] = static_cast<float>((static_cast<double>(k) + offset) * binWidth_Hz);
        mPhase[k] = phase;
    }
    mPhaseKnown = true;
}

void ChanterFilter::runFrames()
{
    const std::size_t decisionSamples = static_cast<std::size_t>(kDecision_s * mRate_Hz);
    const std::size_t historyFrames = static_cast<std::size_t>(kProfile_s * mRate_Hz / static_cast<float>(mHop));
    const std::size_t updateFrames =
        std::max<std::size_t>(1, static_cast<std::size_t>(kProfileUpdate_s * mRate_Hz / static_cast<float>(mHop)));
    while (mState != State::Passing) {
        const long start = mNextFrame;
        const bool whole = start + static_cast<long>(mFrameLength) <= static_cast<long>(mRecorded);
        // At the end, the frames that still reach into the recording.
        if (!whole && !(mFinished && start < static_cast<long>(mRecorded)))
            break;
        loadFrame(start);
        // Frames heard while listening are not heard again when cleaning
        // goes back to the first sample.
        if (start >= mHeardUpTo) {
            Heard heard{std::vector<float>(mPower.begin(), mPower.begin() + static_cast<long>(mMedian.size())),
                        mFrequency_Hz, std::vector<std::complex<float>>(mLowBins)};
            for (std::size_t k = 0; k < mLowBins; ++k)
                heard.low[k] = {mSpectrum[k].r, mSpectrum[k].i};
            mHistory.push_back(std::move(heard));
            if (mHistory.size() > historyFrames)
                mHistory.pop_front();
            mHeardUpTo = start + static_cast<long>(mHop);
            ++mFramesSinceUpdate;
            mRoom->addFrame(mPower.data());
        } else {
            mRoom->replayFrame(mPower.data());
        }
        if (mState == State::Listening) {
            mNextFrame += static_cast<long>(mHop);
            if (static_cast<std::size_t>(std::max(0L, mNextFrame)) >= decisionSamples)
                decide();
            continue;
        }
        if (mFramesSinceUpdate >= updateFrames) {
            updateProfile();
            mFramesSinceUpdate = 0;
        }
        cleanFrame();
        mNextFrame += static_cast<long>(mHop);
        // Samples before the next frame are no longer needed.
        const std::size_t needed = static_cast<std::size_t>(std::max(0L, mNextFrame));
        if (needed > mInputStart + 65536) {
            mInput.erase(mInput.begin(), mInput.begin() + static_cast<long>(needed - mInputStart));
            mInputStart = needed;
        }
    }
}

void ChanterFilter::cleanFrame()
{
    mRoom->latePower(mLate.data());
    for (std::size_t k = 0; k < mSpectrum.size(); ++k) {
        const float power = mPower[k];
        const float taken = mProfile[k] + mLate[k];
        const float gain = power > taken ? std::sqrt(1.0f - taken / power) : 0.0f;
        mSpectrum[k].r *= gain;
        mSpectrum[k].i *= gain;
    }
    kiss_fftri(mInverse, mSpectrum.data(), mFrame.data());
    // KISS FFT's inverse is not scaled; the square-root Hann windows of the
    // analysis and the synthesis overlap to a Hann sum of 2 at a quarter hop.
    const float scale = 1.0f / (2.0f * static_cast<float>(mFrameLength));
    for (std::size_t n = 0; n < mFrameLength; ++n)
        mOverlap[n] += mFrame[n] * mWindow[n] * scale;
    // The first hop's samples have every frame they are in.
    const long start = mNextFrame;
    for (std::size_t n = 0; n < mHop; ++n) {
        if (start + static_cast<long>(n) >= 0 && static_cast<std::size_t>(start) + n < mRecorded)
            mReady.push_back(toSample(mOverlap[n]));
    }
    std::copy(mOverlap.begin() + static_cast<long>(mHop), mOverlap.end(), mOverlap.begin());
    std::fill(mOverlap.end() - static_cast<long>(mHop), mOverlap.end(), 0.0f);
    mOutputStart = static_cast<std::size_t>(std::max(0L, start + static_cast<long>(mHop)));
}

float ChanterFilter::steadyMedian(float* values, std::size_t count)
{
    if (count == 0)
        return 0.0f;
    // The lower quartile parts the values: those before it are no larger
    // than it, those after it no smaller, so the median of the values under
    // the ceiling lies in one part, and only that part is searched.
    float* const end = values + count;
    float* const quartile = values + static_cast<long>(static_cast<float>(count) * kLowerPart);
    std::nth_element(values, quartile, end);
    const float ceiling = kSteady * *quartile;
    float* const kept = std::partition(quartile + 1, end, [&](float power) { return !(power > ceiling); });
    float* const middle = values + (kept - values) / 2;
    if (middle <= quartile)
        std::nth_element(values, middle, quartile + 1);
    else
        std::nth_element(quartile + 1, middle, kept);
    return *middle;
}

void ChanterFilter::updateProfile()
{
    // Per bin, the median of the frames where nothing sounds over the
    // drones: a frame more than kSteady times the bin's lower quartile holds
    // a chanter note (beating tenors reach 6.8 times theirs at most). The
    // history is turned bin by bin first, so that each bin's frames lie
    // together; the bins are independent and split among the threads.
    const std::size_t frames = mHistory.size();
    const std::size_t bins = mMedian.size();
    mByBin.resize(bins * frames);
    for (std::size_t f = 0; f < frames; ++f) {
        const float* power = mHistory[f].power.data();
        for (std::size_t k = 0; k < bins; ++k)
            mByBin[k * frames + f] = power[k];
    }
    utils::runInStretches(bins, 0, kBinsPerJob, mJobs, [&](std::size_t first, std::size_t last) {
        for (std::size_t k = first; k < last; ++k)
            mMedian[k] = steadyMedian(mByBin.data() + k * frames, frames);
    });
    mDrones = findDrones();
    // Each bin on the drones' lines, and which drones claim it.
    const auto eachLineBin = [&](const DroneSet& drones, auto&& use) {
        for (std::size_t d = 0; d < drones.drones.size(); ++d) {
            for (int h = 1;; ++h) {
                const long centre = std::lround(binOf(static_cast<float>(h) * drones.drones[d].frequency_Hz));
                if (centre + kLineReach >= static_cast<long>(mMedian.size()))
                    break;
                for (long k = std::max(0L, centre - kLineReach); k <= centre + kLineReach; ++k)
                    use(d, static_cast<std::size_t>(k));
            }
        }
    };
    if (!mDrones.empty()) {
        // A drone's level: the steady power of its lines, a line shared by
        // several drones split evenly among them. A sine of amplitude A
        // gives its lines A^2 N^2 / 8 here, its mean square A^2 / 2.
        std::vector<int> claims(mMedian.size(), 0);
        eachLineBin(mDrones, [&](std::size_t, std::size_t k) { ++claims[k]; });
        std::vector<double> power(mDrones.drones.size(), 0.0);
        eachLineBin(mDrones, [&](std::size_t d, std::size_t k) { power[d] += mMedian[k] / claims[k]; });
        const double fullScale = 32768.0 * 32768.0 * static_cast<double>(mFrameLength) * mFrameLength / 4.0;
        for (std::size_t d = 0; d < power.size(); ++d)
            mDrones.drones[d].level_dBFS =
                static_cast<float>(10.0 * std::log10(std::max(power[d] / fullScale, 1e-12)));
        mLines = mDrones;
    }
    // Only the drones' lines are taken out, where they were last heard (a
    // drone stopped fades from the median by itself): a chanter note held
    // for seconds stands in the median too, but off the drones' harmonics.
    std::fill(mProfile.begin(), mProfile.end(), 0.0f);
    eachLineBin(mLines, [&](std::size_t, std::size_t k) { mProfile[k] = kOverSubtraction * mMedian[k]; });
}

void ChanterFilter::decide()
{
    if (!mDronesLookedFor) {
        // Too little heard to tell: as recorded.
        if (mHistory.size() >= 8)
            updateProfile();
        mDronesLookedFor = true;
    }
    if (mLines.empty() && mRoom->reverberationTime_s() <= 0.0f) {
        if (!mFinished && mHeardUpTo < static_cast<long>(kRoomDecision_s * mRate_Hz))
            return;
        mState = State::Passing;
        mInput.clear();
        mHistory.clear();
        return;
    }
    mState = State::Cleaning;
    // Cleaned from the first sample, with the drones and the room as now
    // heard, also when the recording ended before kDecision_s; the frames
    // already heard stay in the history and are not learnt from again.
    mNextFrame = -static_cast<long>(mFrameLength - mHop);
    mFramesSinceUpdate = 0;
    mRoom->restartPrediction();
}

std::vector<short> ChanterFilter::cleaned(const short* samples, std::size_t count, float samplingFrequency_Hz)
{
    ChanterFilter filter(samplingFrequency_Hz);
    filter.push(samples, count);
    filter.finish();
    if (!filter.cleaning())
        return std::vector<short>(samples, samples + count);
    std::vector<short> out;
    out.reserve(count);
    filter.take(out);
    return out;
}
