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
// A bin that comes back within this of the note within the first frames of
// its tail was interrupted, not left: a gracenote (20-50 ms) cut the note and
// the note returned. A later return (the next note sharing the partial) only
// shortens the tail.
constexpr float kReturned_dB = -3.0f;
constexpr std::size_t kReturnWithin_frames = 3;
// Drones, steady tones and noise: a bin whose level never fell further
// than this under the note over the last 1-2 s holds something stationary,
// and its "tail" would be that.
constexpr float kFloorBlock_s = 1.0f;
constexpr float kFloorBelowNote_dB = 25.0f;

// The tail is read from frame 2 after the stop's first frame, when the
// window holds no more of the direct sound, to frame 9 (~100 ms later).
constexpr std::size_t kFitFirst_frames = 2;
constexpr std::size_t kFitLast_frames = 9;
// The window shows a stop over several frames: one frame may fall partly
// (by less than kStopDrop_dB) between the note and the stop's first frame.
constexpr std::size_t kHistory_frames = kPlateau_frames + kFitLast_frames + 2;
constexpr float kDeepest_dB = -60.0f;

// A stop sounds like a room when the median tail of its bins
//  - lies within this of the note at frame 2, 25-35 ms after the stop: a
//    tail that hides a gracenote played as loud (dry recordings leave 20 dB
//    or more, 30-45 dB without drones);
constexpr float kAudibleTail_dB = -15.0f;
//  - and keeps falling, at least this fast (a tail that stays is a floor:
//    drones, the next note) and at most this fast (the window's own fall).
constexpr float kSlowestRoom_s = 2.4f;
constexpr float kShortestRoom_s = 0.15f;
// The room is reported when at least half of the last stops, and at least
// kMinimumRoomStops, sound like one. Stops of a dry tune sound like a room
// one time in 15 or less; of a tune in a room, half the time or more (less
// with drones). A melody gives 2 or 3 stops per second, so a room is known
// in the first 2-4 s. A room does not change in the middle of a tune: once
// found it is kept while a third of the stops sound like it.
constexpr std::size_t kMinimumRoomStops = 4;
constexpr std::size_t kFoundRoomShare = 2;  // one in this many stops
constexpr std::size_t kKeptRoomShare = 3;
constexpr std::size_t kRememberedStops = 48;

// Lebart's T_l: the reverberation arriving this long after the direct sound
// is late.
constexpr float kLateDelay_s = 0.05f;
// The reverberation's energy over the direct sound's, which the blind
// estimate cannot tell (a stop's tail is measured against a note that holds
// its own reverberation). 1 is the room's critical distance, the far end of
// "a step or two from the microphone"; a closer microphone makes the model
// predict more reverberation than there is, which takes a tail harder and a
// steady note by 2 dB, but never a note's start. Against the kit's rooms
// (direct sound 6 dB over the reverberation) this keeps more of the next
// notes' starts and leaves less of the tails than Lebart's model.
constexpr float kReverbToDirect = 1.0f;

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

// Least-squares slope of y over evenly spaced x, per step.
float slope(const float* y, std::size_t count)
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
    return sxy / sxx;
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
    mFloor.resize(kHistory_frames * band);
    mStrongest_dB.resize(kHistory_frames);
    mBlockMinimum.resize(band);
    mPreviousBlockMinimum.resize(band);
    mPrevious.resize(mBinCount);
    mReverb.resize(mLateDelay_frames * mBinCount);
    mStops.resize(kRememberedStops);
    mScratch.resize(std::max(band, kRememberedStops));
    mTails.resize(band * (kFitLast_frames - kFitFirst_frames + 1));
    mStopBins.resize(band);
    reset();
}

void RoomReverberation::reset()
{
    mFrameCount = 0;
    mReverberationTime_s = 0.0f;
    mNewest = 0;
    mFramesInBlock = 0;
    mStopCount = 0;
    restartPrediction();
    std::fill(mBlockMinimum.begin(), mBlockMinimum.end(), INFINITY);
    std::fill(mPreviousBlockMinimum.begin(), mPreviousBlockMinimum.end(), INFINITY);
}

void RoomReverberation::restartPrediction()
{
    mNewestReverb = 0;
    std::fill(mPrevious.begin(), mPrevious.end(), 0.0f);
    std::fill(mReverb.begin(), mReverb.end(), 0.0f);
}

void RoomReverberation::replayFrame(const float* power)
{
    predictReverb();
    std::copy(power, power + mBinCount, mPrevious.begin());
}

std::size_t RoomReverberation::historyIndex(std::size_t age) const
{
    return (mNewest + kHistory_frames - age) % kHistory_frames;
}

void RoomReverberation::addFrame(const float* power)
{
    replayFrame(power);

    const std::size_t band = mEndBin - mFirstBin;
    mNewest = (mNewest + 1) % kHistory_frames;
    updateFloor(power);
    float strongest_dB = kDeepest_dB * 10.0f;
    for (std::size_t b = 0; b < band; ++b) {
        const std::size_t i = mNewest * band + b;
        mLevel_dB[i] = toDecibels(power[mFirstBin + b]);
        mFloor[i] = std::min(mBlockMinimum[b], mPreviousBlockMinimum[b]);
        strongest_dB = std::max(strongest_dB, mLevel_dB[i]);
    }
    mStrongest_dB[mNewest] = strongest_dB;
    ++mFrameCount;

    if (mFrameCount >= kHistory_frames && band > 0)
        examineStop();
}

void RoomReverberation::updateFloor(const float* power)
{
    if (mFramesInBlock == mFloorBlock_frames) {
        mPreviousBlockMinimum.swap(mBlockMinimum);
        std::fill(mBlockMinimum.begin(), mBlockMinimum.end(), INFINITY);
        mFramesInBlock = 0;
    }
    for (std::size_t b = 0; b < mBlockMinimum.size(); ++b)
        mBlockMinimum[b] = std::min(mBlockMinimum[b], power[mFirstBin + b]);
    ++mFramesInBlock;
}

void RoomReverberation::examineStop()
{
    // Frame ages: the stop's first frame (kStopDrop_dB under the note) is
    // kFitLast_frames old, the note's last steady frame two older.
    const std::size_t band = mEndBin - mFirstBin;
    const std::size_t stopAge = kFitLast_frames;
    const std::size_t noteAge = stopAge + 2;
    const std::size_t note = historyIndex(noteAge);
    const std::size_t stop = historyIndex(stopAge);
    const std::size_t falling = historyIndex(stopAge + 1);

    std::size_t binCount = 0;
    for (std::size_t b = 0; b < band; ++b) {
        const float noteLevel_dB = mLevel_dB[note * band + b];
        if (noteLevel_dB < mStrongest_dB[note] - kStrongWithin_dB)
            continue;
        if (mLevel_dB[stop * band + b] >= noteLevel_dB - kStopDrop_dB
            || mLevel_dB[falling * band + b] < noteLevel_dB - kStopDrop_dB)
            continue;
        bool steady = true;
        for (std::size_t age = noteAge + 1; age < noteAge + kPlateau_frames; ++age)
            steady = steady && std::fabs(mLevel_dB[historyIndex(age) * band + b] - noteLevel_dB) < kSteady_dB;
        if (steady)
            mStopBins[binCount++] = b;
    }
    if (binCount < kMinimumStopBins)
        return;

    // Each bin's tail in dB under the note, then the median tail over the
    // bins, frame by frame.
    constexpr std::size_t fitCount = kFitLast_frames - kFitFirst_frames + 1;
    std::size_t leftCount = 0;
    for (std::size_t n = 0; n < binCount; ++n) {
        const std::size_t b = mStopBins[n];
        const float note_dB = mLevel_dB[note * band + b];
        if (toDecibels(mFloor[note * band + b]) > note_dB - kFloorBelowNote_dB)
            continue;
        float* tail = &mTails[leftCount * fitCount];
        bool returned = false;
        for (std::size_t j = 0; j < fitCount; ++j) {
            const std::size_t frame = historyIndex(stopAge - kFitFirst_frames - j);
            tail[j] = std::max(kDeepest_dB, mLevel_dB[frame * band + b] - note_dB);
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
    latest.tailSlope_dBPerS = slope(medianTail, fitCount) / mHop_s;
    ++mStopCount;
    decide();
}

bool RoomReverberation::soundsLikeRoom(const Stop& stop)
{
    return stop.tailLevel_dB >= kAudibleTail_dB && stop.tailSlope_dBPerS <= -kDecay_dB / kSlowestRoom_s
        && stop.tailSlope_dBPerS >= -kDecay_dB / kShortestRoom_s;
}

void RoomReverberation::decide()
{
    const std::size_t stops = std::min(mStopCount, kRememberedStops);
    std::size_t roomStops = 0;
    for (std::size_t i = 0; i < stops; ++i)
        if (soundsLikeRoom(mStops[i]))
            mScratch[roomStops++] = mStops[i].tailSlope_dBPerS;
    const std::size_t share = mReverberationTime_s > 0.0f ? kKeptRoomShare : kFoundRoomShare;
    mReverberationTime_s = 0.0f;
    if (roomStops < kMinimumRoomStops || share * roomStops < stops)
        return;
    mReverberationTime_s = kDecay_dB / -median(mScratch, roomStops);
}

float RoomReverberation::frameDecay() const
{
    // delta = 3 ln 10 / RT60: the amplitude envelope's decay rate per second.
    const float delta = 3.0f * std::log(10.0f) / mReverberationTime_s;
    return std::exp(-2.0f * delta * mHop_s);
}

void RoomReverberation::predictReverb()
{
    const float* last = &mReverb[mNewestReverb * mBinCount];
    mNewestReverb = (mNewestReverb + 1) % mLateDelay_frames;
    float* next = &mReverb[mNewestReverb * mBinCount];
    if (mReverberationTime_s <= 0.0f) {
        std::fill(next, next + mBinCount, 0.0f);
        return;
    }
    // What the room still holds decays by a frame; the direct sound of the
    // last frame (its power less the reverberation in it) adds its share.
    // In a steady note the reverberation settles at kReverbToDirect times the
    // direct sound.
    const float decay = frameDecay();
    const float share = kReverbToDirect * (1.0f - decay);
    for (std::size_t k = 0; k < mBinCount; ++k)
        next[k] = decay * last[k] + share * std::max(0.0f, mPrevious[k] - last[k]);
}

void RoomReverberation::latePower(float* out) const
{
    if (mReverberationTime_s <= 0.0f) {
        std::fill(out, out + mBinCount, 0.0f);
        return;
    }
    // The reverberation predicted T_l - 1 frames ago held the direct sound up
    // to T_l frames ago; it has decayed since.
    const float gain = std::pow(frameDecay(), static_cast<float>(mLateDelay_frames - 1));
    const float* oldest = &mReverb[((mNewestReverb + 1) % mLateDelay_frames) * mBinCount];
    for (std::size_t k = 0; k < mBinCount; ++k)
        out[k] = gain * oldest[k];
}
