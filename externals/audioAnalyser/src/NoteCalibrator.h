#pragma once

// Turns a known reference pitch and a measured pitch into a calibration
// multiplier (reference / measured) for the note averager. The measurement
// is either handed in (setCalibrationDetails) or collected window by window
// while the player holds the reference note. Lives inside a PitchFinder.

#include "NoteAverager.h"

class NoteCalibrator
{
public:
    enum State : unsigned int {
        Idle = 0,
        Calibrating = 1,
        CalibrationDone = 2,
        CalibrationFailed = 3
    };

    NoteCalibrator() = default;
    virtual ~NoteCalibrator() = default;

    // Starts collecting windowCount frequencies of the note that should sound
    // at referenceFrequency_Hz.
    void initialise(unsigned int windowCount, float referenceFrequency_Hz);
    void reset();

    // Adds one measured frequency while calibrating. Returns the number of
    // windows still to collect (0 when calibration has just completed), or
    // -1 when not calibrating.
    int addCalibrationFrequency(float frequency_Hz);
    // Ignored when calibratedFrequency_Hz is 0.
    void setCalibrationDetails(float referenceFrequency_Hz, float calibratedFrequency_Hz);

    unsigned int state() const { return mState; }
    float calibratedFrequency() const;
    float calibrationMultiplier() const;

private:
    void calculateCalibration();

    unsigned int mState = Idle;
    NoteAverager mAverager;
    int mRemainingCount = -1;
    float mReferenceFrequency_Hz = 0.0f;
    float mCalibratedFrequency_Hz = 0.0f;
    float mCalibrationMultiplier = 1.0f;
};
