#include "BinnedTuning.h"

#include <QString>
#include <QtGlobal>
#include <gtest/gtest.h>

#include <cmath>
#include <stdexcept>
#include <string>

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

TEST(BinnedTuning, BinWidthAndSpreadFollowTheResolution)
{
    const BinnedTuning calibration(40.0f, 40.0f, 100.0f, 2000.0f);
    EXPECT_EQ(calibration.binWidth_cents(), 8.0f);
    EXPECT_EQ(calibration.peakSpread(), 5);
    const BinnedTuning fine(0.1f, 0.0f, -5.0f, 2000.0f);
    EXPECT_EQ(fine.binWidth_cents(), 0.1f);
    EXPECT_EQ(fine.peakSpread(), 1);
}

TEST(BinnedTuning, AddKeepsOnlyMeasurementsInsideTheLimits)
{
    BinnedTuning binned(40.0f, 40.0f, 100.0f, 2000.0f);
    binned.setMinimumVolume(0.3f);
    binned.setMinimumQuality(0.9f);
    binned.add(2000.0f, 1.0f, 1.0f);   // at the maximum
    binned.add(99.9f, 1.0f, 1.0f);     // below the minimum
    binned.add(500.0f, 0.3f, 1.0f);    // volume equal to the limit
    binned.add(500.0f, 1.0f, 0.9f);    // quality equal to the limit
    binned.add(NAN, 1.0f, 1.0f);
    EXPECT_TRUE(binned.binnedFrequencies().empty());
    binned.add(100.0f, 0.31f, 0.91f);  // at the minimum
    EXPECT_EQ(binned.binnedFrequencies(), (std::map<float, int>{{100.0f, 1}}));
    binned.reset();
    EXPECT_TRUE(binned.binnedFrequencies().empty());
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

TEST(BinnedTuning, EqualNeighboursMakeOneClusterCentredOnTheUpper)
{
    BinnedTuning binned(40.0f, 40.0f, 100.0f, 2000.0f);
    const float lower = inBin(1340, 8.0f);
    const float upper = inBin(1341, 8.0f);
    addMany(binned, lower, 2);
    addMany(binned, upper, 2);
    addMany(binned, inBin(1343, 8.0f), 1); // two bins above the upper centre
    const auto clusters = binned.binnedFrequencies();
    ASSERT_EQ(clusters.size(), 1u);
    EXPECT_EQ(clusters.begin()->second, 5);
    EXPECT_FLOAT_EQ(clusters.begin()->first, static_cast<float>((2.0 * lower + 2.0 * upper + inBin(1343, 8.0f)) / 5));
}

TEST(BinnedTuning, FullerBinStopsTheClimb)
{
    BinnedTuning binned(40.0f, 10.0f, 100.0f, 2000.0f);
    addMany(binned, inBin(1340, 8.0f), 3);
    addMany(binned, inBin(1341, 8.0f), 1);
    addMany(binned, inBin(1342, 8.0f), 2);
    // 800 is a centre (its neighbour holds fewer) gathering 800..802; with a
    // spread of one bin, 801 then climbs to 802, which gathers 800..802 too.
    const auto clusters = binned.binnedFrequencies();
    ASSERT_EQ(clusters.size(), 1u);
    EXPECT_EQ(clusters.begin()->second, 6);
}

class ChanterBinnedTuningTest : public ::testing::Test
{
protected:
    void addScale(ChanterBinnedTuning& binned, int skipIndex = -1)
    {
        PipeTuning tuning;
        tuning.setLowA_Hz(480.0f);
        int index = 0;
        for (const auto& [note, centre_Hz] : tuning.getNoteCentreFrequencies()) {
            if (index++ == skipIndex)
                continue;
            for (int i = -2; i <= 2; ++i)
                binned.add(centre_Hz * (1.0f + 0.001f * i), 1.0f, 1.0f);
        }
    }
    std::map<Note, float> notes;
};

TEST_F(ChanterBinnedTuningTest, FindsTheNineNotesOfAScale)
{
    ChanterBinnedTuning binned(40.0f, 40.0f);
    addScale(binned);
    EXPECT_EQ(binned.pipeNoteCount(notes), 9);
    ASSERT_EQ(notes.size(), 9u);
    EXPECT_NEAR(notes[PipeTuning::LowG], 420.0f, 0.01f);
    EXPECT_NEAR(notes[PipeTuning::D], 640.0f, 0.01f);
    EXPECT_NEAR(notes[PipeTuning::HighA], 960.0f, 0.01f);
}

TEST_F(ChanterBinnedTuningTest, EightNotesAreCountedButNotReported)
{
    ChanterBinnedTuning binned(40.0f, 40.0f);
    addScale(binned, 4);
    notes[PipeTuning::C] = 1.0f;
    EXPECT_EQ(binned.pipeNoteCount(notes), 8);
    EXPECT_TRUE(notes.empty());
}

TEST_F(ChanterBinnedTuningTest, SparseClustersAreSkippedByTheMinimumCount)
{
    ChanterBinnedTuning binned(40.0f, 40.0f);
    addScale(binned);
    binned.add(300.0f, 1.0f, 1.0f);
    // A single stray measurement below the scale shifts every note by one.
    EXPECT_EQ(binned.pipeNoteCount(notes), 9);
    EXPECT_EQ(notes[PipeTuning::LowG], 300.0f);

    binned.setMinAverageCount(2);
    EXPECT_EQ(binned.pipeNoteCount(notes), 9);
    EXPECT_NEAR(notes[PipeTuning::LowG], 420.0f, 0.01f);
}

TEST_F(ChanterBinnedTuningTest, RunsSpanningTooWideAreNotCounted)
{
    ChanterBinnedTuning binned(40.0f, 40.0f);
    for (float f : {150.0f, 1500.0f})
        addMany(binned, f, 3);
    EXPECT_EQ(binned.pipeNoteCount(notes), 1);
    ChanterBinnedTuning empty(40.0f, 40.0f);
    EXPECT_EQ(empty.pipeNoteCount(notes), 0);
}

std::string lastDebugMessage;

void captureMessage(QtMsgType, const QMessageLogContext&, const QString& message)
{
    lastDebugMessage = message.toStdString();
}

TEST_F(ChanterBinnedTuningTest, MinimumCountIsLogged)
{
    ChanterBinnedTuning binned(40.0f, 40.0f);
    const QtMessageHandler previous = qInstallMessageHandler(captureMessage);
    binned.setMinAverageCount(12);
    EXPECT_EQ(lastDebugMessage, "Min average count is 12");
    binned.setMinAverageCount(-4);
    EXPECT_EQ(lastDebugMessage, "Min average count is 1");
    qInstallMessageHandler(previous);
}

TEST(DominantNote, CountsTheFirstWindowFromScratch)
{
    const std::vector<Note> notes = {PipeTuning::D, PipeTuning::D, PipeTuning::E, PipeTuning::D, PipeTuning::Unknown};
    DominantNote dominant(notes, 5);
    EXPECT_EQ(dominant.atPos(0, false), PipeTuning::D);
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

TEST(DominantNote, SlidesTheWindowForward)
{
    const std::vector<Note> notes = {PipeTuning::D, PipeTuning::D, PipeTuning::E,
                                     PipeTuning::E, PipeTuning::E, PipeTuning::F};
    DominantNote dominant(notes, 3);
    EXPECT_EQ(dominant.atPos(0, false), PipeTuning::D);
    EXPECT_EQ(dominant.atPos(1, false), PipeTuning::E); // D E E
    EXPECT_EQ(dominant.atPos(3, false), PipeTuning::E); // E E F
    EXPECT_EQ(dominant.atPos(5, false), PipeTuning::F); // F
    EXPECT_THROW(dominant.atPos(7, false), std::out_of_range);
}

TEST(DominantNote, ResetAddsTheNewWindowWithoutClearing)
{
    const std::vector<Note> notes = {PipeTuning::D, PipeTuning::D, PipeTuning::D,
                                     PipeTuning::E, PipeTuning::E, PipeTuning::E};
    DominantNote dominant(notes, 3);
    EXPECT_EQ(dominant.atPos(0, false), PipeTuning::D);
    EXPECT_EQ(dominant.atPos(3, true), PipeTuning::D); // D 3, E 3: the tie goes down
}

TEST(DominantNote, NoteChangePositionLooksInsideTheWindow)
{
    const std::vector<Note> notes = {PipeTuning::D, PipeTuning::D, PipeTuning::E, PipeTuning::D, PipeTuning::F};
    DominantNote dominant(notes, 4);
    dominant.atPos(0, false);
    EXPECT_EQ(dominant.getNoteChangePos(PipeTuning::E), 2u);
    EXPECT_EQ(dominant.getNoteChangePos(PipeTuning::D), 1u);
    EXPECT_EQ(dominant.getNoteChangePos(PipeTuning::F), 3u);
    dominant.atPos(2, false);
    EXPECT_EQ(dominant.getNoteChangePos(PipeTuning::F), 4u);
    EXPECT_EQ(dominant.getNoteChangePos(PipeTuning::HighA), 4u);

    const std::vector<Note> none;
    EXPECT_EQ(DominantNote(none, 4).getNoteChangePos(PipeTuning::D), 0u);
}

} // namespace
