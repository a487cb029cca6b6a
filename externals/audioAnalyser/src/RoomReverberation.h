#pragma once

// Estimates, blind and while the tune is played, how long the room keeps a
// note sounding after it stops (its reverberation time RT60), and predicts
// for every frame the power of the late reverberation per frequency bin, for
// a short-time spectral filter that takes the room out.
//
// Input: the power spectrum |X|^2 (frameLength / 2 + 1 bins) of consecutive
// frames of frameLength samples, hop samples apart, any window; one frame at a
// time, in order.
//
// The estimate. A chanter never stops, but at every change of note the old
// note's partials are left to decay freely in their bins. Where several
// strong, steady bins (none holding a drone or noise) drop together and do
// not come back within a gracenote's length, that is a stop; the median of
// their levels over the next ~100 ms, in dB under the note, is its tail:
//  - in a dry recording the bins fall to their floor within the window, and
//    25-35 ms after the stop they lie 20 dB or more under the note, and stay;
//  - in a room the direct sound goes within the window too, but the
//    reverberation stays within 15 dB of the note, falling 60 dB per RT60.
// A stop sounds like a room when its tail is that loud and falls that way
// (least squares on dB, RT60 between kShortestRoom_s and kSlowestRoom_s).
// The room is reported when at least half of the last kRememberedStops
// stops, and at least kMinimumRoomStops, sound like one (and kept while a
// third do); its RT60 comes from the median decay rate of those (an order
// statistic over many decays, as in Ratnam et al., "Blind estimation of
// reverberation time", JASA 114(5), 2003; decays pre-selected as in
// Löllmann et al., "An improved algorithm for blind reverberation time
// estimation", IWAENC 2010). False alarms cost more than misses: a dry
// recording, drones, stationary tones and noise give 0. Rooms of 0.3-0.6 s
// come out about 10 % long (at worst 40 %); longer ones are underestimated
// or missed (their tails meet the earlier notes' reverberation within the
// ~100 ms read), and drones under the chanter make the estimate longer
// (their partials flatten the tails).
//
// The late reverberation: the statistical model of Lebart, Boucher and
// Denbigh ("A new method based on spectral subtraction for speech
// dereverberation", Acta Acustica 87, 2001) in the form of Habets ("Late
// reverberant spectral variance estimation based on a statistical model",
// IEEE Signal Processing Letters 16(9), 2009), which follows the
// reverberation alone rather than the whole power: per bin and frame, the
// reverberation decays by exp(-2 delta hop), delta = 3 ln 10 / RT60, and
// takes up the direct sound of the frame before (its power less the
// reverberation) in the share kReverbToDirect; the late part is what came
// from direct sound at least T_l earlier (T_l the whole number of hops
// nearest kLateDelay_s). A note that stops is predicted to fade at the
// room's rate; a note or gracenote that starts is in none of the frames the
// prediction uses, and the same pitch coming back after a 30 ms gracenote is
// predicted at the reverberation of the note it left.
//
// Silence or no frames yet give reverberationTime_s() 0 and latePower all
// 0. Deterministic: the result depends only on the frames, not on how the
// caller cuts its audio into blocks. Buffers are allocated in the
// constructor; addFrame allocates nothing. One owner, one thread.

#include <cstddef>
#include <vector>

class RoomReverberation
{
public:
    // frameLength >= 4, hop >= 1, samplingFrequency_Hz > 0.
    RoomReverberation(float samplingFrequency_Hz, std::size_t frameLength, std::size_t hop);

    // The next frame's frameLength / 2 + 1 power bins.
    void addFrame(const float* power);

    // The blind estimate so far; 0 while the room is dry or not yet known.
    float reverberationTime_s() const { return mReverberationTime_s; }

    // For the latest frame: the predicted power of the late reverberation in
    // each of the frameLength / 2 + 1 bins (all 0 while reverberationTime_s()
    // is 0).
    void latePower(float* out) const;

    // Forgets every frame and estimate.
    void reset();

    // For a caller that goes back to the first frame once the room is known
    // (to clean from the start what it listened to): forgets the late
    // reverberation's past but keeps the estimate; the frames given before
    // are then given again, in order, through replayFrame (they are not
    // learnt from twice), and new ones through addFrame.
    void restartPrediction();
    void replayFrame(const float* power);

    std::size_t binCount() const { return mBinCount; }
    // The delay T_l of the late reverberation model, in frames.
    std::size_t lateDelay_frames() const { return mLateDelay_frames; }

private:
    // One stop: where its bins' median tail lies 2 frames after the stop
    // (dB under the note) and how fast that median tail falls.
    struct Stop {
        float tailLevel_dB = 0.0f;
        float tailSlope_dBPerS = 0.0f;
    };

    static bool soundsLikeRoom(const Stop& stop);

    void updateFloor(const float* power);
    void examineStop();
    void decide();
    void predictReverb();
    // The reverberation's power decay over one hop.
    float frameDecay() const;

    // Ring index of the frame `age` frames before the newest (0 = newest).
    std::size_t historyIndex(std::size_t age) const;

    float mHop_s;
    std::size_t mBinCount;
    std::size_t mFirstBin;   // the band where chanter partials are strong
    std::size_t mEndBin;     // one past the last bin of the band
    std::size_t mLateDelay_frames;
    std::size_t mFloorBlock_frames;

    std::size_t mFrameCount = 0;
    float mReverberationTime_s = 0.0f;

    // The band's last kHistory_frames frames: power (dB), the bin's
    // stationary floor (linear) and the band's strongest bin.
    std::vector<float> mLevel_dB;
    std::vector<float> mFloor;
    std::vector<float> mStrongest_dB;
    std::size_t mNewest = 0;

    // The stationary floor per band bin: the minimum over the current and the
    // previous block of mFloorBlock_frames frames.
    std::vector<float> mBlockMinimum;
    std::vector<float> mPreviousBlockMinimum;
    std::size_t mFramesInBlock = 0;

    // The last frame's power and the reverberation predicted for the last
    // mLateDelay_frames frames (a ring), every bin.
    std::vector<float> mPrevious;
    std::vector<float> mReverb;
    std::size_t mNewestReverb = 0;

    // The last kRememberedStops stops, a ring.
    std::vector<Stop> mStops;
    std::size_t mStopCount = 0;

    // Scratch for medians and the bins of one stop.
    std::vector<float> mScratch;
    std::vector<float> mTails;
    std::vector<std::size_t> mStopBins;
};
