#include "Vantor.h"

#include "EngineProbe.h"

#include <gtest/gtest.h>

namespace {

using Note = PipeTuning::ReferenceNote;

// Hand-built note tracks at 44100 Hz (a window every 20 samples) under the
// standard tuning at 480 Hz.
class VantorGracenotes : public ::testing::Test
{
protected:
    static constexpr int kWindows = 8820; // 4 s

    void SetUp() override
    {
        PipeTuning tuning;
        tuning.setLowA_Hz(480.0f);
        engine.setTuning(tuning);
        for (auto* track : {&engine.mNoteTrack, &engine.mFlatNoteTrack, &engine.mPickedNoteTrack})
            track->assign(kWindows, PipeTuning::Unknown);
        engine.mQualities.assign(kWindows, 1.0f);
        engine.mFrequencies.assign(kWindows, 0.0f);
    }

    static float at(int window) { return static_cast<float>(window * 20) / 44100.0f; }
    static int windowAt(float time_s) { return static_cast<int>(time_s * 44100.0f / 20.0f); }

    static void paint(std::vector<Note>& track, int from, int count, Note note)
    {
        for (int i = from; i < from + count; ++i)
            track[static_cast<std::size_t>(i)] = note;
    }

    std::vector<std::pair<PipeNoteName, float>> graces() const
    {
        std::vector<std::pair<PipeNoteName, float>> result;
        for (const auto& entry : engine.mGraceNotes)
            result.emplace_back(entry.second.noteName(), entry.second.duration_s());
        return result;
    }

    VantorProbe engine;
};

TEST_F(VantorGracenotes, ShortDCountsOnlyEarlyInAMelodyNote)
{
    // 22 windows = 10 ms of D on the flat track.
    engine.mNotes = VantorProbe::mapOf({PipeNote(LA, 1.0f, 1.0f), PipeNote(E, 2.5f, 0.3f)});
    paint(engine.mFlatNoteTrack, windowAt(1.05f), 22, PipeTuning::D);   // 50 ms into Low A
    paint(engine.mFlatNoteTrack, windowAt(1.25f), 22, PipeTuning::D);   // 250 ms into it
    paint(engine.mFlatNoteTrack, 5512, 22, PipeTuning::D);               // where the E starts
    engine.getGraceNotes();
    ASSERT_EQ(engine.mGraceNotes.size(), 1u);
    EXPECT_EQ(engine.mGraceNotes.begin()->second.noteName(), D);
    EXPECT_NEAR(engine.mGraceNotes.begin()->second.start_s(), 1.05f, 0.001f);
}

TEST_F(VantorGracenotes, EAcceptedFromFifteenMilliseconds)
{
    paint(engine.mFlatNoteTrack, 1000, 34, PipeTuning::E); // 15.4 ms
    paint(engine.mFlatNoteTrack, 2000, 32, PipeTuning::E); // 14.5 ms, no melody note around it
    engine.getGraceNotes();
    ASSERT_EQ(engine.mGraceNotes.size(), 1u);
    EXPECT_NEAR(engine.mGraceNotes.begin()->second.start_s(), at(1000), 0.001f);
}

TEST_F(VantorGracenotes, LowNotesMayMergeToLongerGracenotes)
{
    // Two 86 ms fragments 3.6 ms apart merge into one 0.18 s candidate: a C
    // gracenote, but too long for a D.
    paint(engine.mFlatNoteTrack, 1000, 190, PipeTuning::C);
    paint(engine.mFlatNoteTrack, 1198, 190, PipeTuning::C);
    paint(engine.mFlatNoteTrack, 3000, 190, PipeTuning::D);
    paint(engine.mFlatNoteTrack, 3198, 190, PipeTuning::D);
    engine.getGraceNotes();
    ASSERT_EQ(engine.mGraceNotes.size(), 1u);
    EXPECT_EQ(engine.mGraceNotes.begin()->second.noteName(), C);
    EXPECT_NEAR(engine.mGraceNotes.begin()->second.duration_s(), at(388), 0.002f);
}

TEST_F(VantorGracenotes, HighGIsTrimmedAgainstEarlierGracenotes)
{
    paint(engine.mFlatNoteTrack, 990, 40, PipeTuning::D);        // 18 ms D, accepted first
    paint(engine.mPickedNoteTrack, 1000, 80, PipeTuning::HighG); // High G over its end and beyond
    engine.getGraceNotes();
    ASSERT_EQ(engine.mGraceNotes.size(), 2u);
    const PipeNote& d = engine.mGraceNotes.begin()->second;
    const PipeNote& g = std::next(engine.mGraceNotes.begin())->second;
    EXPECT_EQ(d.noteName(), D);
    EXPECT_EQ(g.noteName(), HG);
    EXPECT_FLOAT_EQ(g.start_s(), d.getEnd_s());
}

TEST_F(VantorGracenotes, HighGAbsorbsAdjoiningLowGFragments)
{
    // The peak picker often reads part of a High G gracenote an octave or
    // more off; adjoining Low G fragments become part of the High G.
    paint(engine.mPickedNoteTrack, 1000, 20, PipeTuning::LowG);
    paint(engine.mPickedNoteTrack, 1020, 25, PipeTuning::HighG);
    engine.getGraceNotes();
    ASSERT_EQ(engine.mGraceNotes.size(), 1u);
    EXPECT_EQ(engine.mGraceNotes.begin()->second.noteName(), HG);
    EXPECT_NEAR(engine.mGraceNotes.begin()->second.duration_s(), at(45), 0.002f);
}

TEST_F(VantorGracenotes, HighGRightAfterAHighAGracenoteIsItsTail)
{
    engine.mGraceNotes = VantorProbe::mapOf({PipeNote(HA, 1.0f, 0.03f), PipeNote(HG, 1.04f, 0.03f),
                                             PipeNote(HA, 2.0f, 0.03f), PipeNote(HG, 2.06f, 0.03f)});
    engine.initialGraceNoteStrip();
    std::vector<float> starts;
    for (const auto& entry : engine.mGraceNotes)
        starts.push_back(entry.first);
    EXPECT_EQ(starts, (std::vector<float>{1.0f, 2.0f, 2.06f}));
}

TEST_F(VantorGracenotes, ShortCBetweenLowGsBecomesD)
{
    engine.mNotes = VantorProbe::mapOf({PipeNote(LG, 0.9f, 0.15f), PipeNote(LG, 1.1f, 0.4f),
                                        PipeNote(LG, 1.9f, 0.15f), PipeNote(LG, 2.15f, 0.4f)});
    engine.mGraceNotes = VantorProbe::mapOf({PipeNote(C, 1.05f, 0.05f), PipeNote(C, 2.05f, 0.1f)});
    engine.advancedGraceNoteSearch();
    EXPECT_EQ(graces(), (std::vector<std::pair<PipeNoteName, float>>{{D, 0.05f}, {C, 0.1f}}));
}

TEST_F(VantorGracenotes, HiddenDInALongLowGIsFound)
{
    engine.mFrequencies.assign(kWindows, 420.0f);
    for (int i = windowAt(1.2f); i < windowAt(1.22f); ++i)
        engine.mFrequencies[static_cast<std::size_t>(i)] = 640.0f;
    engine.mNotes = VantorProbe::mapOf({PipeNote(LG, 1.0f, 0.5f)});
    engine.advancedGraceNoteSearch();
    ASSERT_EQ(engine.mGraceNotes.size(), 1u);
    const PipeNote& d = engine.mGraceNotes.begin()->second;
    EXPECT_EQ(d.noteName(), D);
    EXPECT_NEAR(d.start_s(), 1.2f, 0.003f);
    EXPECT_NEAR(d.getEnd_s(), 1.22f, 0.003f);

    // Not beside another gracenote.
    engine.mGraceNotes = VantorProbe::mapOf({PipeNote(E, 1.25f, 0.02f)});
    engine.advancedGraceNoteSearch();
    EXPECT_EQ(engine.mGraceNotes.size(), 1u);
}

TEST_F(VantorGracenotes, HiddenDSearchSkipsShortLowGNotes)
{
    engine.mFrequencies.assign(kWindows, 640.0f);
    engine.mNotes = VantorProbe::mapOf({PipeNote(LG, 1.0f, 0.06f)});
    engine.advancedGraceNoteSearch();
    EXPECT_TRUE(engine.mGraceNotes.empty());
    engine.mNotes = VantorProbe::mapOf({PipeNote(LG, 1.0f, 0.07f)});
    engine.advancedGraceNoteSearch();
    EXPECT_EQ(engine.mGraceNotes.size(), 1u);
}

class Consolidation : public VantorGracenotes
{
protected:
    std::vector<std::tuple<PipeNoteName, float, float>> consolidated(const NoteMap& notes) const
    {
        std::vector<std::tuple<PipeNoteName, float, float>> result;
        for (const auto& entry : notes)
            result.emplace_back(entry.second.noteName(), entry.second.start_s(), entry.second.getEnd_s());
        return result;
    }
    using Spans = std::vector<std::tuple<PipeNoteName, float, float>>;

    // Names equal, times within float rounding.
    static void expectSpans(const Spans& actual, const Spans& expected)
    {
        ASSERT_EQ(actual.size(), expected.size());
        for (std::size_t i = 0; i < actual.size(); ++i) {
            EXPECT_EQ(std::get<0>(actual[i]), std::get<0>(expected[i])) << i;
            EXPECT_NEAR(std::get<1>(actual[i]), std::get<1>(expected[i]), 1e-5f) << i;
            EXPECT_NEAR(std::get<2>(actual[i]), std::get<2>(expected[i]), 1e-5f) << i;
        }
    }
};

TEST_F(Consolidation, MelodyIsCutAroundGracenotes)
{
    engine.mNotes = VantorProbe::mapOf({PipeNote(D, 1.0f, 1.0f)});
    engine.mGraceNotes = VantorProbe::mapOf({PipeNote(HG, 1.5f, 0.02f)});
    expectSpans(consolidated(engine.consolidate()),
              (Spans{{D, 1.0f, 1.5f}, {HG, 1.5f, 1.5f + 0.02f}, {D, 1.5f + 0.02f, 2.0f}}));
}

TEST_F(Consolidation, NoMelodyInNarrowGapsOrShortPieces)
{
    engine.mNotes = VantorProbe::mapOf({PipeNote(LA, 1.0f, 0.3f), PipeNote(B, 2.0f, 0.015f), PipeNote(C, 3.0f, 0.5f)});
    engine.mGraceNotes = VantorProbe::mapOf({PipeNote(HG, 1.1f, 0.02f), PipeNote(D, 1.135f, 0.02f),
                                             PipeNote(HG, 1.98f, 0.01f), PipeNote(E, 2.03f, 0.02f),
                                             PipeNote(F, 3600.0f, 0.02f)});
    const NoteMap notes = engine.consolidate();
    std::vector<PipeNoteName> names;
    for (const auto& entry : notes)
        names.push_back(entry.second.noteName());
    // LA before the first gracenote, nothing between the two 15 ms apart,
    // LA after them; the 15 ms B is dropped; the gracenote at 3600 s is out.
    EXPECT_EQ(names, (std::vector<PipeNoteName>{LA, HG, D, LA, HG, E, C}));
}

TEST_F(Consolidation, SameNamesJoinAndOverlapsAreCut)
{
    engine.mGraceNotes = VantorProbe::mapOf({PipeNote(E, 1.0f, 0.1f), PipeNote(E, 1.2f, 0.1f),
                                             PipeNote(E, 2.0f, 0.1f), PipeNote(E, 2.25f, 0.1f),
                                             PipeNote(C, 3.0f, 0.2f), PipeNote(B, 3.19f, 0.2f),
                                             PipeNote(F, 4.0f, 0.5f), PipeNote(D, 4.1f, 0.1f)});
    expectSpans(consolidated(engine.consolidate()),
              (Spans{{E, 1.0f, 1.2f + 0.1f},
                     {E, 2.0f, 2.0f + 0.1f},
                     {E, 2.25f, 2.25f + 0.1f},
                     {C, 3.0f, 3.0f + 0.2f},
                     {B, 3.0f + 0.2f, 3.19f + 0.2f},
                     {F, 4.0f, 4.5f}}));
    engine.mGraceNotes.clear();
    engine.mNotes.clear();
    EXPECT_TRUE(engine.consolidate().empty());
}

TEST_F(Consolidation, CrossingNoisesFoldIntoLowG)
{
    engine.mConsolidatedNotes = VantorProbe::mapOf({PipeNote(HG, 1.0f, 0.1f), PipeNote(LA, 1.1f, 0.03f),
                                                    PipeNote(LG, 1.13f, 0.1f), PipeNote(LG, 2.0f, 0.1f),
                                                    PipeNote(LA, 2.1f, 0.03f), PipeNote(E, 2.13f, 0.5f),
                                                    PipeNote(F, 3.0f, 0.1f), PipeNote(LA, 3.1f, 0.1f),
                                                    PipeNote(LG, 3.2f, 0.1f)});
    engine.stripCrossingNoises();
    expectSpans(consolidated(engine.mConsolidatedNotes),
              (Spans{{HG, 1.0f, 1.1f},
                     {LG, 1.1f, 1.13f + 0.1f},
                     {LG, 2.0f, 2.1f + 0.03f},
                     {E, 2.13f, 2.13f + 0.5f},
                     {F, 3.0f, 3.1f},
                     {LA, 3.1f, 3.2f},
                     {LG, 3.2f, 3.2f + 0.1f}}));
}

} // namespace
