#include "NoteCalibrator.h"

void NoteCalibrator::initialise(unsigned int windowCount, float referenceFrequency_Hz)
{
    reset();
    mAverager.initialise(windowCount, windowCount);
    mRemainingCount = static_cast<int>(windowCount);
    mReferenceFrequency_Hz = referenceFrequency_Hz;
    mState = Calibrating;
}

void NoteCalibrator::reset()
{
    mAverager.reset();
    mRemainingCount = -1;
    mState = Idle;
    mReferenceFrequency_Hz = 0.0f;
    mCalibratedFrequency_Hz = 0.0f;
    mCalibrationMultiplier = 1.0f;
}

int NoteCalibrator::addCalibrationFrequency(float frequency_Hz)
{
    if (mState != Calibrating || mRemainingCount < 1)
        return -1;
    mAverager.addAndUpdate(frequency_Hz);
    --mRemainingCount;
    if (mRemainingCount == 0)
        calculateCalibration();
    return mRemainingCount;
}

void NoteCalibrator::setCalibrationDetails(float referenceFrequency_Hz, float calibratedFrequency_Hz)
{
    if (calibratedFrequency_Hz == 0.0f)
        return;
    mReferenceFrequency_Hz = referenceFrequency_Hz;
    mCalibratedFrequency_Hz = calibratedFrequency_Hz;
    mCalibrationMultiplier = referenceFrequency_Hz / calibratedFrequency_Hz;
    mState = CalibrationDone;
}

float NoteCalibrator::calibratedFrequency() const
{
    return mState == CalibrationDone ? mCalibratedFrequency_Hz : 0.0f;
}

float NoteCalibrator::calibrationMultiplier() const
{
    if (mState != CalibrationDone || mCalibratedFrequency_Hz == 0.0f)
        return 1.0f;
    return mCalibrationMultiplier;
}

void NoteCalibrator::calculateCalibration()
{
    if (mReferenceFrequency_Hz == 0.0f) {
        mState = CalibrationFailed;
        return;
    }
    const int expected = NoteAverager::noteNumber(mReferenceFrequency_Hz, 1.0f);
    const float median = mAverager.calculateMedianFrequency_Hz();
    if (median == 0.0f) {
        mState = CalibrationFailed;
        return;
    }
    // Place the collected frequencies on the reference's note grid and check
    // that the player really held the reference note.
    mAverager.setCalibrationMultiplier(mReferenceFrequency_Hz / median);
    mAverager.updateMidiNote();
    if (mAverager.midiNote() == expected) {
        mCalibratedFrequency_Hz = mAverager.calculateAverageFrequency_Hz();
        if (mCalibratedFrequency_Hz != 0.0f) {
            mCalibrationMultiplier = mReferenceFrequency_Hz / mCalibratedFrequency_Hz;
            mState = CalibrationDone;
            return;
        }
    }
    mState = CalibrationFailed;
}
