#include "NoteCalibrator.h"

#include <gtest/gtest.h>

namespace {

TEST(NoteCalibrator, MeasuresAHeldReferenceNote)
{
    NoteCalibrator calibrator;
    calibrator.initialise(8, 440.0f);
    EXPECT_EQ(calibrator.state(), NoteCalibrator::Calibrating);
    for (int remaining = 7; remaining > 0; --remaining)
        EXPECT_EQ(calibrator.addCalibrationFrequency(476.0f + (remaining % 2) * 8.0f), remaining);
    EXPECT_EQ(calibrator.state(), NoteCalibrator::Calibrating);
    EXPECT_EQ(calibrator.calibratedFrequency(), 0.0f);
    EXPECT_EQ(calibrator.calibrationMultiplier(), 1.0f);

    EXPECT_EQ(calibrator.addCalibrationFrequency(476.0f), 0);
    EXPECT_EQ(calibrator.state(), NoteCalibrator::CalibrationDone);
    EXPECT_FLOAT_EQ(calibrator.calibratedFrequency(), 480.0f);
    EXPECT_FLOAT_EQ(calibrator.calibrationMultiplier(), 440.0f / 480.0f);
    // Done: further frequencies are refused.
    EXPECT_EQ(calibrator.addCalibrationFrequency(480.0f), -1);
}

TEST(NoteCalibrator, FailsWithoutAReferenceOrWithoutPitch)
{
    NoteCalibrator calibrator;
    calibrator.initialise(2, 0.0f);
    calibrator.addCalibrationFrequency(480.0f);
    EXPECT_EQ(calibrator.addCalibrationFrequency(480.0f), 0);
    EXPECT_EQ(calibrator.state(), NoteCalibrator::CalibrationFailed);
    EXPECT_EQ(calibrator.calibrationMultiplier(), 1.0f);

    calibrator.initialise(3, 440.0f);
    for (int i = 0; i < 3; ++i)
        calibrator.addCalibrationFrequency(0.0f);
    EXPECT_EQ(calibrator.state(), NoteCalibrator::CalibrationFailed);
    EXPECT_EQ(calibrator.calibratedFrequency(), 0.0f);
}

} // namespace
