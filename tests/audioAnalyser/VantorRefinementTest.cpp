#include "Vantor.h"

#include "EngineProbe.h"

#include <QString>
#include <QtGlobal>
#include <gtest/gtest.h>

#include <cmath>

namespace {

// At 44100 Hz a window step is 20 samples: window i lies at i x 20 / 44100 s.
class VantorRefinement : public ::testing::Test
{
protected:
    static float at(int window) { return static_cast<float>(window * 20) / 44100.0f; }

    VantorProbe engine;
};

TEST_F(VantorRefinement, WindowIndexAndTimeRoundTrip)
{
    EXPECT_EQ(engine.windowIndex(at(2205)), 2205);
    EXPECT_EQ(engine.windowIndex(1.0f), 2205);
    EXPECT_EQ(engine.windowIndex(-0.001f), -2);
    EXPECT_EQ(engine.windowTime(2205), 1.0f);
}

TEST_F(VantorRefinement, StretchKeepsGoodEdgesAndGrowsAcrossPoorWindows)
{
    engine.mQualities.assign(1000, 0.9f);
    EXPECT_EQ(engine.stretchNoteByQuality(TimeRange(at(100), at(200)), 0.7f), TimeRange(at(100), at(200)));
    for (int i = 90; i <= 110; ++i)
        engine.mQualities[static_cast<std::size_t>(i)] = 0.2f;
    for (int i = 195; i <= 230; ++i)
        engine.mQualities[static_cast<std::size_t>(i)] = 0.2f;
    EXPECT_EQ(engine.stretchNoteByQuality(TimeRange(at(100), at(200)), 0.7f), TimeRange(at(89), at(231)));
    // NaN counts as good quality.
    engine.mQualities[105] = NAN;
    EXPECT_EQ(engine.stretchNoteByQuality(TimeRange(at(108), at(200)), 0.7f).first, at(105));
}

TEST_F(VantorRefinement, StretchReachesTheStartWithoutConsultingWindowZero)
{
    engine.mQualities.assign(100, 0.1f);
    engine.mQualities[0] = 1.0f;
    engine.mQualities[50] = 1.0f;
    EXPECT_EQ(engine.stretchNoteByQuality(TimeRange(at(10), at(20)), 0.7f), TimeRange(0.0f, at(50)));
    // Poor to the end: the end goes to the length of the track.
    engine.mQualities[50] = 0.1f;
    EXPECT_EQ(engine.stretchNoteByQuality(TimeRange(at(10), at(20)), 0.7f), TimeRange(0.0f, at(100)));
}

std::vector<std::string> logged;

void captureMessage(QtMsgType, const QMessageLogContext&, const QString& message)
{
    logged.push_back(message.toStdString());
}

TEST_F(VantorRefinement, StretchOutsideTheTrackIsLoggedAndLeftAlone)
{
    engine.mQualities.assign(100, 0.1f);
    logged.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureMessage);
    EXPECT_EQ(engine.stretchNoteByQuality(TimeRange(at(50), at(100)), 0.7f), TimeRange(at(50), at(100)));
    EXPECT_EQ(engine.stretchNoteByQuality(TimeRange(-0.01f, at(10)), 0.7f), TimeRange(-0.01f, at(10)));
    qInstallMessageHandler(previous);
    ASSERT_EQ(logged.size(), 2u);
    EXPECT_NE(logged[0].find("ERROR stretchNoteByQuality Error. StartPos samples: 50"), std::string::npos) << logged[0];
    EXPECT_NE(logged[0].find("Qualities size: 100"), std::string::npos) << logged[0];
}

TEST_F(VantorRefinement, StretchedNotesKeepTheirTimingWhenTheyWouldGrowTooLong)
{
    engine.mQualities.assign(1000, 0.9f);
    for (int i = 300; i < 500; ++i)
        engine.mQualities[static_cast<std::size_t>(i)] = 0.1f;
    for (int i = 96; i <= 100; ++i)
        engine.mQualities[static_cast<std::size_t>(i)] = 0.1f;
    const NoteMap notes = VantorProbe::mapOf({PipeNote(HG, at(100), at(10)), PipeNote(HG, at(400), at(10))});
    const NoteMap stretched = engine.stretchNotesByQuality(notes, 0.7f, 0.08f);
    ASSERT_EQ(stretched.size(), 2u);
    // The first grows back to window 95; the second would span 300..500
    // (0.09 s) and keeps its timing.
    EXPECT_EQ(stretched.begin()->second.start_s(), at(95));
    EXPECT_FLOAT_EQ(stretched.begin()->second.getEnd_s(), at(110));
    EXPECT_EQ(std::next(stretched.begin())->second.start_s(), at(400));
    EXPECT_EQ(std::next(stretched.begin())->second.duration_s(), at(10));
}

// A held note of 960 Hz with V-shaped dips in pitch and quality.
class ConfirmedTroughs : public VantorRefinement
{
protected:
    void SetUp() override
    {
        engine.mFrequencies.assign(3000, 960.0f);
        engine.mQualities.assign(3000, 0.95f);
    }

    void dip(std::vector<float>& track, int centre, float depth)
    {
        for (int i = centre - 24; i <= centre + 24; ++i)
            track[static_cast<std::size_t>(i)] -= depth * (1.0f - static_cast<float>(std::abs(i - centre)) / 24.0f);
    }

    std::vector<float> find(TimeRange range)
    {
        return engine.findConfirmedTroughs(range, 960.0f, {10.0f, 40.0f, 0.01f, 0.05f, 0.5f, 0.01f});
    }
};

TEST_F(ConfirmedTroughs, PitchDipConfirmedByAQualityDipIsReported)
{
    dip(engine.mFrequencies, 1200, 30.0f);
    dip(engine.mQualities, 1200, 0.3f);
    const std::vector<float> found = find(TimeRange(at(1000), at(1400)));
    ASSERT_EQ(found.size(), 1u);
    EXPECT_NEAR(found[0], at(200), at(6));
}

TEST_F(ConfirmedTroughs, QualityDipMustLieWithinFortyMilliseconds)
{
    dip(engine.mFrequencies, 1200, 30.0f);
    dip(engine.mQualities, 1200 - 84, 0.3f); // 14 smoothing steps, 38 ms before
    EXPECT_EQ(find(TimeRange(at(1000), at(1400))).size(), 1u);

    SetUp();
    dip(engine.mFrequencies, 1200, 30.0f);
    dip(engine.mQualities, 1200 + 114, 0.3f); // 19 steps, 52 ms after
    EXPECT_TRUE(find(TimeRange(at(1000), at(1400))).empty());

    SetUp();
    dip(engine.mFrequencies, 1200, 30.0f);
    EXPECT_TRUE(find(TimeRange(at(1000), at(1400))).empty());
}

TEST_F(ConfirmedTroughs, RangeShorterThanTwoHalfWidthsGivesNothing)
{
    dip(engine.mFrequencies, 1200, 30.0f);
    dip(engine.mQualities, 1200, 0.3f);
    EXPECT_TRUE(engine.findConfirmedTroughs(TimeRange(at(1000), at(1400)), 960.0f, {10.0f, 40.0f, 0.1f, 0.05f, 0.5f, 0.01f})
                    .empty());
    EXPECT_THROW(find(TimeRange(at(2900), at(3100))), std::out_of_range);
}

class GracenoteTransitions : public VantorRefinement
{
};

TEST_F(GracenoteTransitions, ImpossibleMovesAreStripped)
{
    engine.mNotes = VantorProbe::mapOf({PipeNote(HG, 1.1f, 0.5f), PipeNote(HA, 2.0f, 0.5f), PipeNote(HG, 3.0f, 0.5f),
                                        PipeNote(F, 4.0f, 0.5f)});
    engine.mGraceNotes = VantorProbe::mapOf({
        PipeNote(LG, 1.03f, 0.05f),   // into a High G: removed
        PipeNote(LG, 0.99f, 0.08f),   // as long: kept
        PipeNote(HA, 2.52f, 0.03f),   // after High A: removed
        PipeNote(HA, 3.52f, 0.03f),   // after High G: kept
        PipeNote(HG, 4.52f, 0.03f),   // after F, before nothing: kept
    });
    engine.stripImpossibleGracenoteTransitions();
    std::vector<float> starts;
    for (const auto& entry : engine.mGraceNotes)
        starts.push_back(entry.first);
    EXPECT_EQ(starts, (std::vector<float>{0.99f, 3.52f, 4.52f}));
}

TEST_F(GracenoteTransitions, ShortDetectionBesideAGracenoteIsMergedIntoIt)
{
    const NoteMap notes = VantorProbe::mapOf({PipeNote(C, 0.5f, 0.5f), PipeNote(E, 1.0f, 0.03f),
                                              PipeNote(D, 1.03f, 0.02f), PipeNote(LA, 1.05f, 0.5f),
                                              PipeNote(E, 2.0f, 0.03f), PipeNote(D, 2.03f, 0.05f)});
    engine.mGraceNotes = VantorProbe::mapOf({PipeNote(E, 1.0f, 0.03f), PipeNote(D, 1.03f, 0.02f),
                                             PipeNote(E, 2.0f, 0.03f), PipeNote(D, 2.03f, 0.05f)});
    engine.removeTransitionGraceNotes(notes, Unknown, E, D, Unknown, TimeRange(0.002f, 0.04f));
    ASSERT_EQ(engine.mGraceNotes.size(), 3u);
    const PipeNote& merged = engine.mGraceNotes.begin()->second;
    EXPECT_EQ(merged.noteName(), E);
    EXPECT_EQ(merged.start_s(), 1.0f);
    EXPECT_FLOAT_EQ(merged.getEnd_s(), 1.05f);

    // The short detection first, closer than the 20 ms lookup: merged under
    // the gracenote's name all the same.
    const NoteMap reversed = VantorProbe::mapOf({PipeNote(C, 0.5f, 0.5f), PipeNote(D, 1.0f, 0.02f),
                                                 PipeNote(E, 1.02f, 0.03f), PipeNote(LA, 1.05f, 0.5f)});
    engine.mGraceNotes = VantorProbe::mapOf({PipeNote(D, 1.0f, 0.02f), PipeNote(E, 1.02f, 0.03f)});
    engine.removeTransitionGraceNotes(reversed, Unknown, E, D, Unknown, TimeRange(0.002f, 0.04f));
    ASSERT_EQ(engine.mGraceNotes.size(), 1u);
    EXPECT_EQ(engine.mGraceNotes.begin()->second.noteName(), E);
    EXPECT_EQ(engine.mGraceNotes.begin()->second.start_s(), 1.0f);
    EXPECT_FLOAT_EQ(engine.mGraceNotes.begin()->second.getEnd_s(), 1.05f);
}

} // namespace
