#include "NoteAverager.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(NoteAverager, NoteNumbersAreEqualTemperedAroundA440)
{
    EXPECT_EQ(NoteAverager::noteNumber(440.0f, 1.0f), 69);
    EXPECT_EQ(NoteAverager::noteNumber(880.0f, 1.0f), 81);
    EXPECT_EQ(NoteAverager::noteNumber(480.0f, 1.0f), 71); // 70.5 rounds away from zero
    EXPECT_EQ(NoteAverager::noteNumber(480.0f, 440.0f / 480.0f), 69);
    EXPECT_EQ(NoteAverager::noteNumber(0.0f, 1.0f), NoteAverager::kNoNote);
    EXPECT_EQ(NoteAverager::noteNumber(-5.0f, 1.0f), NoteAverager::kNoNote);
    EXPECT_EQ(NoteAverager::noteNumber(NAN, 1.0f), NoteAverager::kNoNote);
}

TEST(NoteAverager, NoteChangesWhenThreeQuartersOfTheRecentWindowsAgree)
{
    NoteAverager averager;
    averager.initialise(11, 6);
    for (int i = 0; i < 5; ++i)
        averager.addAndUpdate(440.0f);
    EXPECT_EQ(averager.midiNote(), 69);

    // round(0.75 x 6) = 5 of the 6 newest must be on 480 Hz (note 71).
    for (int i = 0; i < 4; ++i) {
        EXPECT_FALSE(averager.addAndUpdate(480.0f));
        EXPECT_EQ(averager.midiNote(), 69);
    }
    EXPECT_TRUE(averager.addAndUpdate(480.0f));
    EXPECT_EQ(averager.midiNote(), 71);
    EXPECT_FALSE(averager.addAndUpdate(480.0f));
}

TEST(NoteAverager, NoteChangeForgetsTheOlderPartOfTheRing)
{
    // 505 Hz and 495 Hz both fall on note 71.
    NoteAverager averager;
    averager.initialise(20, 4);
    for (int i = 0; i < 12; ++i)
        averager.addAndUpdate(505.0f);
    EXPECT_EQ(averager.midiNote(), 71);
    EXPECT_FLOAT_EQ(averager.calculateAverageFrequency_Hz(), 505.0f);
    for (int i = 0; i < 3; ++i)
        averager.addAndUpdate(440.0f);
    EXPECT_EQ(averager.midiNote(), 69);
    averager.addAndUpdate(495.0f);
    averager.addAndUpdate(495.0f);
    EXPECT_EQ(averager.midiNote(), 69);
    averager.addAndUpdate(495.0f);
    EXPECT_EQ(averager.midiNote(), 71);
    // The 505 Hz windows went with the change to 69 and do not come back.
    EXPECT_FLOAT_EQ(averager.calculateAverageFrequency_Hz(), 495.0f);
}

TEST(NoteAverager, ZerosAreIgnoredAndAnAllZeroRingKeepsTheNote)
{
    NoteAverager averager;
    averager.initialise(10, 6);
    averager.addAndUpdate(440.0f);
    EXPECT_EQ(averager.midiNote(), 69); // 1 of 1 non-zero: needed round(0.75) = 1
    for (int i = 0; i < 10; ++i)
        EXPECT_FALSE(averager.addAndUpdate(0.0f));
    EXPECT_EQ(averager.midiNote(), 69);
    EXPECT_EQ(averager.calculateAverageFrequency_Hz(), 0.0f);

    averager.addAndUpdate(441.0f);
    averager.addAndUpdate(0.0f);
    averager.addAndUpdate(439.0f);
    EXPECT_FLOAT_EQ(averager.calculateAverageFrequency_Hz(), 440.0f);
}

TEST(NoteAverager, AverageUsesRawFrequenciesOnTheCalibratedGrid)
{
    NoteAverager averager;
    averager.initialise(43, 6);
    averager.setCalibrationMultiplier(440.0f / 480.0f);
    for (int i = 0; i < 20; ++i)
        averager.addAndUpdate(480.0f);
    EXPECT_EQ(averager.midiNote(), 69);
    EXPECT_FLOAT_EQ(averager.calculateAverageFrequency_Hz(), 480.0f);
}

TEST(NoteAverager, RecentCountZeroLooksAtTheNewestEntryOnly)
{
    NoteAverager averager;
    averager.initialise(5, 0);
    averager.addAndUpdate(440.0f);
    EXPECT_TRUE(averager.addAndUpdate(660.0f));
    EXPECT_EQ(averager.midiNote(), NoteAverager::noteNumber(660.0f, 1.0f));
}

TEST(NoteAverager, MedianIsTheMiddleOfTheSortedRingIncludingZeros)
{
    NoteAverager averager;
    averager.initialise(5, 5);
    EXPECT_EQ(averager.calculateMedianFrequency_Hz(), 0.0f);
    for (float f : {500.0f, 300.0f, 400.0f})
        averager.addAndUpdate(f);
    EXPECT_EQ(averager.calculateMedianFrequency_Hz(), 300.0f); // {0, 0, 300, 400, 500}
}

TEST(NoteAverager, EmptyAveragerDoesNothing)
{
    NoteAverager averager;
    EXPECT_FALSE(averager.addAndUpdate(440.0f));
    EXPECT_FALSE(averager.updateMidiNote());
    EXPECT_EQ(averager.midiNote(), -1);
    EXPECT_EQ(averager.calculateAverageFrequency_Hz(), 0.0f);
    EXPECT_EQ(averager.calculateMedianFrequency_Hz(), 0.0f);
    averager.initialise(4, 2);
    averager.addAndUpdate(440.0f);
    averager.reset();
    EXPECT_EQ(averager.midiNote(), -1);
    EXPECT_FALSE(averager.addAndUpdate(440.0f));
}

TEST(NoteAverager, InvalidFrequenciesTakeNoPartInDecisions)
{
    NoteAverager averager;
    averager.initialise(6, 6);
    for (float f : {440.0f, -20.0f, NAN, INFINITY, 440.0f})
        averager.addAndUpdate(f);
    EXPECT_EQ(averager.midiNote(), 69);
    EXPECT_FLOAT_EQ(averager.calculateAverageFrequency_Hz(), 440.0f);
}

} // namespace
