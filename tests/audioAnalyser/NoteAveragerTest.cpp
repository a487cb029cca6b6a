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

} // namespace
