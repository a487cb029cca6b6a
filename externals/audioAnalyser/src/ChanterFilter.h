#pragma once

// Takes what is not the chanter out of a recording before it is transcribed:
// the drones, which sound unchanged for a whole tune with their harmonics on
// and beside the chanter's notes, and a room's late reverberation, which
// keeps a note sounding under the next one and hides a gracenote's start.
//
// The filter listens to the first kDecision_s of a recording and decides
// whether drones sound: stationary harmonic lines with a fundamental where a
// bass or a tenor drone can be (a quarter or a half of a Low A), some of
// them below the chanter's lowest note, which no chanter note makes; and
// whether the notes ring on in a room (RoomReverberation), for which it
// listens on up to kRoomDecision_s when no drones sound. Where neither is
// heard the filter stays out of the way: the caller keeps the samples as
// recorded, and the filter costs nothing more.
//
// Otherwise it cleans the recording from its first sample: a
// short-time spectrum (frames of frameLength() samples, a quarter frame
// apart, square-root Hann windows both ways) in which each bin keeps the
// power that stands above the drones' (power subtraction with a margin for
// the tenors' beating) and the room's late reverberation, put back together
// by overlap-add. The drones' power per bin is the median over the last
// kProfile_s, renewed every kProfileUpdate_s: the drones stand for seconds,
// a chanter note rarely does, and a drone retuned or stopped is followed
// within seconds. The room's estimate goes on with every frame, so a room
// found after kDecision_s is taken out from then on when the drones are.
// Cleaned samples come frameLength() samples behind the input; finish()
// gives the rest.
//
// Everything is counted in samples from the recording's first: the output
// does not depend on how the input was cut into blocks.

#include "DroneSet.h"
#include "RoomReverberation.h"

#include <kiss_fftr.h>

#include <complex>
#include <cstddef>
#include <deque>
#include <memory>
#include <vector>

class ChanterFilter
{
public:
    // What is heard before deciding whether drones sound.
    static constexpr float kDecision_s = 3.0f;
    // Without drones, how long a room is listened for: its stops come two or
    // three a second, and a third of the rooms take longer than kDecision_s.
    static constexpr float kRoomDecision_s = 6.0f;
    static constexpr float kProfile_s = 6.0f;
    static constexpr float kProfileUpdate_s = 1.0f;

    enum class State { Listening, Passing, Cleaning };

    explicit ChanterFilter(float samplingFrequency_Hz = 44100.0f);
    ~ChanterFilter();
    ChanterFilter(const ChanterFilter&) = delete;
    ChanterFilter& operator=(const ChanterFilter&) = delete;

    // A new recording at the rate (forgets everything).
    void reset(float samplingFrequency_Hz);
    void reset() { reset(mRate_Hz); }

    // The next samples of the recording. While listening they are kept and
    // analysed; once cleaning they are cleaned (take() hands them out).
    void push(const short* samples, std::size_t count);
    // The end of the recording: decides with what was heard if it has not,
    // and cleans the last samples.
    void finish();
    // Appends the cleaned samples ready since the last call.
    void take(std::vector<short>& out);

    // Threads the drones' profile may be renewed with (0: all cores); the
    // output is the same whatever the count.
    void setJobs(unsigned int jobs);

    State state() const { return mState; }
    bool cleaning() const { return mState == State::Cleaning; }
    // The drones as last heard (kept when they stop), and whether they
    // sound now.
    const DroneSet& drones() const { return mLines; }
    bool hearsDrones() const { return !mDrones.empty(); }
    // The room's reverberation time as estimated so far; 0: none heard.
    float reverberationTime_s() const { return mRoom->reverberationTime_s(); }
    std::size_t frameLength() const { return mFrameLength; }
    float samplingFrequency_Hz() const { return mRate_Hz; }

    // A whole recording cleaned at once: as recorded when no drones sound.
    static std::vector<short> cleaned(const short* samples, std::size_t count, float samplingFrequency_Hz);

private:
    void releasePlans();
    // Analyses (and while cleaning, cleans) every whole frame in the input.
    void runFrames();
    void analyseFrame(std::size_t start);
    void decide();
    // The median of the history, the drones found in it and the power
    // taken out on their lines.
    void updateProfile();
    // The median of the values no more than kSteady times their lower
    // quartile (0 for none); reorders the values.
    static float steadyMedian(float* values, std::size_t count);
    DroneSet findDrones() const;
    // A fundamental from its lines' peaks in level (dB per bin).
    float refinedFundamental(const std::vector<float>& level, float fundamental_Hz) const;
    // The frequency of a steady line near approximate_Hz from the phases of
    // the frames where it sounds alone (approximate_Hz when it cannot tell).
    float lineFrequency_Hz(float approximate_Hz) const;
    // The strongest one or two lines within reach_Hz of approximate_Hz (but
    // not at exclude_Hz), told apart over the seconds of the history.
    std::vector<float> resolvedLines_Hz(float approximate_Hz, float reach_Hz, float exclude_Hz) const;
    void cleanFrame();
    // The frame starting at start (negative: before the first sample) from
    // the kept input, zeros outside the recording.
    void loadFrame(long start);
    float binOf(float frequency_Hz) const;

    float mRate_Hz = 44100.0f;
    std::size_t mFrameLength = 2048;
    std::size_t mHop = 512;
    std::vector<float> mWindow;
    kiss_fftr_cfg mForward = nullptr;
    kiss_fftr_cfg mInverse = nullptr;
    std::vector<float> mFrame;
    std::vector<kiss_fft_cpx> mSpectrum;
    std::vector<float> mPower;
    // Below kLowBins_Hz: each bin's phase in the last frame, and the
    // frequency of what it holds from the phase's advance over a hop.
    std::size_t mLowBins = 0;
    std::vector<float> mPhase;
    std::vector<float> mFrequency_Hz;
    bool mPhaseKnown = false;

    State mState = State::Listening;
    bool mFinished = false;
    // The input not yet finished with, and the recording's sample index of
    // its first element.
    std::vector<short> mInput;
    std::size_t mInputStart = 0;
    std::size_t mRecorded = 0;
    // The next frame's start, in samples from the recording's first
    // (negative: the frames that reach into the time before it).
    long mNextFrame = 0;
    // Frames before this start are in the history.
    long mHeardUpTo = 0;
    // The last kProfile_s of frames, oldest first: power per bin, and the
    // frequencies in the low bins.
    struct Heard {
        std::vector<float> power;
        std::vector<float> frequency_Hz;
        std::vector<std::complex<float>> low; // the low bins as they are
    };
    std::deque<Heard> mHistory;
    std::size_t mFramesSinceUpdate = 0;
    std::vector<float> mMedian;
    // The history's power, bin after bin (scratch of updateProfile).
    std::vector<float> mByBin;
    unsigned int mJobs = 1;
    // The power taken out of each bin: the drones' lines only.
    std::vector<float> mProfile;
    // The drones found at the last look, and the last found, whose lines
    // are taken out.
    DroneSet mDrones;
    DroneSet mLines;
    // Whether the drones were looked for at kDecision_s.
    bool mDronesLookedFor = false;
    // The room, made for the frames of the rate in reset(); the late
    // reverberation it predicts for the frame being cleaned.
    std::unique_ptr<RoomReverberation> mRoom;
    std::vector<float> mLate;
    // Overlap-add: the output under construction from mOutputStart on.
    std::vector<float> mOverlap;
    std::size_t mOutputStart = 0;
    std::vector<short> mReady;
};
