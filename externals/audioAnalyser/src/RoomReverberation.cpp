#include "RoomReverberation.h"

#include <algorithm>
#include <cassert>
#include <cmath>

namespace {

// The chanter's partials are strong from Low G's fundamental up to a few
// kHz; above, a room's walls and air dull the reverberation and the reed's
// noise takes over, below lie the drones' fundamentals.
constexpr float kBandLow_Hz = 300.0f;
constexpr float kBandHigh_Hz = 4000.0f;

// A bin that takes part in a stop: within this of the band's strongest bin
// (a partial, not the skirt of one)...
constexpr float kStrongWithin_dB = 20.0f;
// ...held steady over the frames before the stop (a note, not a glide or a
// beat)...
constexpr std::size_t kPlateau_frames = 3;
constexpr float kSteady_dB = 1.5f;
// ...and then falling by more than this in one frame (its source went).
constexpr float kStopDrop_dB = 4.0f;
// A stop is a change of note: several partials go at once. A single bin can
// fall for many reasons (a drone beating, a partial drifting off its bin).
constexpr std::size_t kMinimumStopBins = 3;
// A bin that comes back within this of the note was interrupted, not left:
// a gracenote cut the note and the note returned.
// Gracenotes last 20-50 ms; the next melody note, later, may share the
// bin's partial and only ends the tail's free part.
constexpr float kReturned_dB = -3.0f;
constexpr std::size_t kReturnWithin_frames = 3;

// The tail is read from frame 2 after the first frame of the drop, when the
// window holds no more of the direct sound, to frame 9 (~100 ms later).
constexpr std::size_t kFitFirst_frames = 2;
constexpr std::size_t kFitLast_frames = 9;
constexpr std::size_t kHistory_frames = kPlateau_frames + kFitLast_frames + 1;
// Tails are measured above the bin's stationary floor: the minimum over the
// last 0.5-1 s, so drones, steady tones and noise decay nowhere.
constexpr float kFloorBlock_s = 0.5f;
// Stops count only while the floor was measured on sound: over both blocks
// the band's strongest bin stayed within this of its highest (the floor of
// a drone that started out of silence is the silence until a whole block of
// it has passed).
constexpr float kSoundThroughout_dB = 30.0f;
constexpr float kDeepest_dB = -60.0f;

// A bin decays freely when its tail falls by this over the fit and stays
// close to a straight line in dB: no new partial, no floor reached.
constexpr float kFreeFall_dB = 3.0f;
constexpr float kFreeResidual_dB = 2.5f;

// The room. Its reverberation 25-35 ms after a stop (frame 2) within this of
// the note hides a gracenote played as loud; a dry recording leaves 20 dB or
// more, drones 15 dB.
constexpr float kAudibleTail_dB = -12.0f;
// A stop's free decays join the estimate when its own tail is within this
// (the median over stops is what decides).
constexpr float kStopTailAudible_dB = -15.0f;
// The median stop must keep falling at least this fast: a tail that stays
// where it is is a floor, not a room (60 dB in 3 s).
constexpr float kSlowestRoomDecay_dBPerS = 20.0f;
// Enough stops to decide: a melody gives 2-4 per second, so the room is
// known within the first seconds of playing.
constexpr std::size_t kMinimumStops = 6;
constexpr std::size_t kRememberedStops = 48;
constexpr std::size_t kMinimumFreeSlopes = 3;
constexpr std::size_t kRememberedFreeSlopes = 256;
// Shorter decays are the window's own; longer ones are no ordinary room.
constexpr float kShortestRoom_s = 0.15f;
constexpr float kLongestRoom_s = 3.0f;

// Lebart's T_l: the reverberation arriving this long after the direct sound
// is late.
constexpr float kLateDelay_s = 0.05f;

constexpr float kDecay_dB = 60.0f;
constexpr float kTiny = 1e-20f;

float toDecibels(float power) { return 10.0f * std::log10(std::max(power, kTiny)); }

// The median of the first count values of values (reordered).
float median(std::vector<float>& values, std::size_t count)
{
    assert(count > 0 && count <= values.size());
    const auto middle = values.begin() + static_cast<std::ptrdiff_t>(count / 2);
    std::nth_element(values.begin(), middle, values.begin() + static_cast<std::ptrdiff_t>(count));
    if (count % 2 == 1)
        return *middle;
    const float upper = *middle;
    const float lower = *std::max_element(values.begin(), middle);
    return 0.5f * (lower + upper);
}

// Least-squares slope and residual RMS of y over evenly spaced x.
struct LineFit {
    float slope = 0.0f;
    float residual = 0.0f;
};

LineFit fitLine(const float* y, std::size_t count)
{
    const float meanX = 0.5f * static_cast<float>(count - 1);
    float meanY = 0.0f;
    for (std::size_t i = 0; i < count; ++i)
        meanY += y[i];
    meanY /= static_cast<float>(count);
    float sxy = 0.0f, sxx = 0.0f;
    for (std::size_t i = 0; i < count; ++i) {
        const float dx = static_cast<float>(i) - meanX;
        sxy += dx * (y[i] - meanY);
        sxx += dx * dx;
    }
    LineFit fit;
    fit.slope = sxy / sxx;
    float squares = 0.0f;
    for (std::size_t i = 0; i < count; ++i) {
        const float r = y[i] - meanY - fit.slope * (static_cast<float>(i) - meanX);
        squares += r * r;
    }
    fit.residual = std::sqrt(squares / static_cast<float>(count));
    return fit;
}

} // namespace

RoomReverberation::RoomReverberation(float samplingFrequency_Hz, std::size_t frameLength, std::size_t hop)
    : mHop_s(static_cast<float>(hop) / samplingFrequency_Hz)
    , mBinCount(frameLength / 2 + 1)
{
    assert(samplingFrequency_Hz > 0.0f && frameLength >= 4 && hop >= 1);
    const float binWidth_Hz = samplingFrequency_Hz / static_cast<float>(frameLength);
    mFirstBin = std::min(mBinCount, static_cast<std::size_t>(std::ceil(kBandLow_Hz / binWidth_Hz)));
    mEndBin = std::min(mBinCount, static_cast<std::size_t>(std::floor(kBandHigh_Hz / binWidth_Hz)) + 1);
    mEndBin = std::max(mEndBin, mFirstBin);
    mLateDelay_frames = std::max<std::size_t>(1, static_cast<std::size_t>(std::lround(kLateDelay_s / mHop_s)));
    mFloorBlock_frames = std::max<std::size_t>(1, static_cast<std::size_t>(std::lround(kFloorBlock_s / mHop_s)));

    const std::size_t band = mEndBin - mFirstBin;
    mLevel_dB.resize(kHistory_frames * band);
    mPower.resize(kHistory_frames * band);
    mFloor.resize(kHistory_frames * band);
    mStrongest_dB.resize(kHistory_frames);
    mBlockMinimum.resize(band);
    mPreviousBlockMinimum.resize(band);
    mSpectra.resize((mLateDelay_frames + 1) * mBinCount);
    mStops.resize(kRememberedStops);
    mFreeSlopes_dBPerFrame.resize(kRememberedFreeSlopes);
    mScratch.resize(std::max({band, kRememberedStops, kRememberedFreeSlopes}));
    mTails.resize(band * (kFitLast_frames - kFitFirst_frames + 1));
    mStopBins.resize(band);
    reset();
}

void RoomReverberation::reset()
{
    mFrameCount = 0;
    mReverberationTime_s = 0.0f;
    mNewest = 0;
    mNewestSpectrum = 0;
    mFramesInBlock = 0;
    mStopCount = 0;
    mFreeSlopeCount = 0;
    std::fill(mSpectra.begin(), mSpectra.end(), 0.0f);
    std::fill(mBlockMinimum.begin(), mBlockMinimum.end(), INFINITY);
    std::fill(mPreviousBlockMinimum.begin(), mPreviousBlockMinimum.end(), INFINITY);
    mBlockLoudest_dB = -INFINITY;
    mBlockQuietest_dB = INFINITY;
    mPreviousBlockHeard = false;
}

bool RoomReverberation::blockHeard() const
{
    return mBlockQuietest_dB >= mBlockLoudest_dB - kSoundThroughout_dB;
}

std::size_t RoomReverberation::historyIndex(std::size_t age) const
{
    return (mNewest + kHistory_frames - age) % kHistory_frames;
}

void RoomReverberation::addFrame(const float* power)
{
    mNewestSpectrum = (mNewestSpectrum + 1) % (mLateDelay_frames + 1);
    std::copy(power, power + mBinCount, mSpectra.begin() + static_cast<std::ptrdiff_t>(mNewestSpectrum * mBinCount));

    const std::size_t band = mEndBin - mFirstBin;
    mNewest = (mNewest + 1) % kHistory_frames;
    updateFloor(power);
    float strongest_dB = kDeepest_dB * 10.0f;
    for (std::size_t b = 0; b < band; ++b) {
        const std::size_t i = mNewest * band + b;
        mPower[i] = power[mFirstBin + b];
        mLevel_dB[i] = toDecibels(mPower[i]);
        mFloor[i] = std::min(mBlockMinimum[b], mPreviousBlockMinimum[b]);
        strongest_dB = std::max(strongest_dB, mLevel_dB[i]);
    }
    mStrongest_dB[mNewest] = strongest_dB;
    mBlockLoudest_dB = std::max(mBlockLoudest_dB, strongest_dB);
    mBlockQuietest_dB = std::min(mBlockQuietest_dB, strongest_dB);
    ++mFrameCount;

    if (mFrameCount >= kHistory_frames && band > 0 && mPreviousBlockHeard && blockHeard())
        examineStop();
}

void RoomReverberation::updateFloor(const float* power)
{
    if (mFramesInBlock == mFloorBlock_frames) {
        mPreviousBlockMinimum.swap(mBlockMinimum);
        std::fill(mBlockMinimum.begin(), mBlockMinimum.end(), INFINITY);
        mFramesInBlock = 0;
        mPreviousBlockHeard = blockHeard();
        mBlockLoudest_dB = -INFINITY;
        mBlockQuietest_dB = INFINITY;
    }
    for (std::size_t b = 0; b < mBlockMinimum.size(); ++b)
        mBlockMinimum[b] = std::min(mBlockMinimum[b], power[mFirstBin + b]);
    ++mFramesInBlock;
}

void RoomReverberation::examineStop()
{
    // Frame ages: the stop's first frame is kFitLast_frames old, the note's
    // last steady frame one older.
    const std::size_t band = mEndBin - mFirstBin;
    const std::size_t stopAge = kFitLast_frames;
    const std::size_t noteAge = stopAge + 1;
    const std::size_t note = historyIndex(noteAge);
    const std::size_t stop = historyIndex(stopAge);

    std::size_t binCount = 0;
    for (std::size_t b = 0; b < band; ++b) {
        const float noteLevel_dB = mLevel_dB[note * band + b];
        if (noteLevel_dB < mStrongest_dB[note] - kStrongWithin_dB)
            continue;
        if (mLevel_dB[stop * band + b] >= noteLevel_dB - kStopDrop_dB)
            continue;
        bool steady = true;
        for (std::size_t age = noteAge + 1; age < noteAge + kPlateau_frames; ++age)
            steady = steady && std::fabs(mLevel_dB[historyIndex(age) * band + b] - noteLevel_dB) < kSteady_dB;
        if (steady)
            mStopBins[binCount++] = b;
    }
    if (binCount < kMinimumStopBins)
        return;

    // Each bin's tail above its floor as it was before the stop, dB under the
    // note; then the median tail over the bins, frame by frame.
    constexpr std::size_t fitCount = kFitLast_frames - kFitFirst_frames + 1;
    std::size_t leftCount = 0;
    for (std::size_t n = 0; n < binCount; ++n) {
        const std::size_t b = mStopBins[n];
        const float floor = mFloor[note * band + b];
        const float note_dB = toDecibels(mPower[note * band + b] - floor);
        float* tail = &mTails[leftCount * fitCount];
        bool returned = false;
        for (std::size_t j = 0; j < fitCount; ++j) {
            const std::size_t frame = historyIndex(stopAge - kFitFirst_frames - j);
            tail[j] = std::max(kDeepest_dB, toDecibels(mPower[frame * band + b] - floor) - note_dB);
            returned = returned || (j < kReturnWithin_frames && tail[j] >= kReturned_dB);
        }
        if (!returned)
            ++leftCount;
    }
    binCount = leftCount;
    if (binCount < kMinimumStopBins)
        return;
    float medianTail[fitCount];
    for (std::size_t j = 0; j < fitCount; ++j) {
        for (std::size_t n = 0; n < binCount; ++n)
            mScratch[n] = mTails[n * fitCount + j];
        medianTail[j] = median(mScratch, binCount);
    }

    Stop& latest = mStops[mStopCount % kRememberedStops];
    latest.tailLevel_dB = medianTail[0];
    latest.tailSlope_dBPerFrame = fitLine(medianTail, fitCount).slope;
    ++mStopCount;

    if (latest.tailLevel_dB >= kStopTailAudible_dB) {
        for (std::size_t n = 0; n < binCount; ++n) {
            const float* tail = &mTails[n * fitCount];
            const LineFit fit = fitLine(tail, fitCount);
            if (tail[fitCount - 1] - tail[0] <= -kFreeFall_dB && fit.residual < kFreeResidual_dB)
                mFreeSlopes_dBPerFrame[mFreeSlopeCount++ % kRememberedFreeSlopes] = fit.slope;
        }
    }
    decide();
}

void RoomReverberation::decide()
{
    mReverberationTime_s = 0.0f;
    const std::size_t stops = std::min(mStopCount, kRememberedStops);
    if (stops < kMinimumStops)
        return;
    for (std::size_t i = 0; i < stops; ++i)
        mScratch[i] = mStops[i].tailLevel_dB;
    if (median(mScratch, stops) < kAudibleTail_dB)
        return;
    for (std::size_t i = 0; i < stops; ++i)
        mScratch[i] = mStops[i].tailSlope_dBPerFrame;
    if (median(mScratch, stops) / mHop_s > -kSlowestRoomDecay_dBPerS)
        return;

    const std::size_t slopes = std::min(mFreeSlopeCount, kRememberedFreeSlopes);
    if (slopes < kMinimumFreeSlopes)
        return;
    std::copy(mFreeSlopes_dBPerFrame.begin(), mFreeSlopes_dBPerFrame.begin() + static_cast<std::ptrdiff_t>(slopes),
              mScratch.begin());
    const float decay_dBPerS = -median(mScratch, slopes) / mHop_s;
    const float reverberationTime_s = kDecay_dB / decay_dBPerS;
    if (decay_dBPerS > 0.0f && reverberationTime_s >= kShortestRoom_s && reverberationTime_s <= kLongestRoom_s)
        mReverberationTime_s = reverberationTime_s;
}

void RoomReverberation::latePower(float* out) const
{
    if (mReverberationTime_s <= 0.0f || mFrameCount <= mLateDelay_frames) {
        std::fill(out, out + mBinCount, 0.0f);
        return;
    }
    // delta = 3 ln 10 / RT60: the amplitude envelope's decay rate per second.
    const float delta = 3.0f * std::log(10.0f) / mReverberationTime_s;
    const float gain = std::exp(-2.0f * delta * static_cast<float>(mLateDelay_frames) * mHop_s);
    const std::size_t earlier = (mNewestSpectrum + 1) % (mLateDelay_frames + 1);
    const float* past = &mSpectra[earlier * mBinCount];
    for (std::size_t k = 0; k < mBinCount; ++k)
        out[k] = gain * past[k];
}
