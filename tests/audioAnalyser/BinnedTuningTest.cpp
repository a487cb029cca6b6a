#include "BinnedTuning.h"

#include "TestSignals.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using Note = PipeTuning::ReferenceNote;

// A frequency in the middle of bin `bin` for bins of width_cents.
float inBin(int bin, float width_cents)
{
    return static_cast<float>(std::pow(10.0, (bin * width_cents + width_cents / 2) / 3986.4460836));
}

void addMany(BinnedTuning& binned, float frequency_Hz, int count)
{
    for (int i = 0; i < count; ++i)
        binned.add(frequency_Hz, 1.0f, 1.0f);
}

TEST(BinnedTuning, BinsThreeApartAreSeparateCentresOnlyWithASmallSpread)
{
    BinnedTuning narrow(40.0f, 10.0f, 100.0f, 2000.0f); // spread of one bin
    BinnedTuning wide(40.0f, 40.0f, 100.0f, 2000.0f);   // spread of five bins
    for (BinnedTuning* binned : {&narrow, &wide}) {
        addMany(*binned, inBin(1340, 8.0f), 2);
        addMany(*binned, inBin(1343, 8.0f), 2);
    }
    EXPECT_EQ(narrow.binnedFrequencies(),
              (std::map<float, int>{{inBin(1340, 8.0f), 2}, {inBin(1343, 8.0f), 2}}));
    // The walk skips every bin below the centre plus the spread.
    EXPECT_EQ(wide.binnedFrequencies(), (std::map<float, int>{{inBin(1340, 8.0f), 2}}));
}

TEST(ChanterBinnedTuning, FindsTheNineNotesOfAScale)
{
    ChanterBinnedTuning binned(40.0f, 40.0f);
    for (const auto& [note, centre_Hz] : testsignals::tuningAt(480.0f).getNoteCentreFrequencies())
        for (int i = -2; i <= 2; ++i)
            binned.add(centre_Hz * (1.0f + 0.001f * i), 1.0f, 1.0f);
    std::map<Note, float> notes;
    EXPECT_EQ(binned.pipeNoteCount(notes), 9);
    ASSERT_EQ(notes.size(), 9u);
    EXPECT_NEAR(notes[PipeTuning::LowG], 420.0f, 0.01f);
    EXPECT_NEAR(notes[PipeTuning::D], 640.0f, 0.01f);
    EXPECT_NEAR(notes[PipeTuning::HighA], 960.0f, 0.01f);
}

TEST(DominantNote, NonMelodyMajorityAndTies)
{
    const std::vector<Note> noise = {PipeTuning::Unknown, PipeTuning::Tenor, PipeTuning::Bass, PipeTuning::D,
                                     PipeTuning::E};
    EXPECT_EQ(DominantNote(noise, 5).atPos(0, false), PipeTuning::Unknown);
    const std::vector<Note> tie = {PipeTuning::E, PipeTuning::Unknown, PipeTuning::D};
    EXPECT_EQ(DominantNote(tie, 3).atPos(0, false), PipeTuning::D);
    const std::vector<Note> none;
    EXPECT_EQ(DominantNote(none, 3).atPos(0, false), PipeTuning::Unknown);
}

} // namespace
