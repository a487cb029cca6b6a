#include "Vantor.h"

#include "EngineProbe.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using Spans = std::vector<std::tuple<PipeNoteName, float, float>>;

// Names and spans of a map, times compared within float rounding.
void expectSpans(const NoteMap& notes, const Spans& expected)
{
    ASSERT_EQ(notes.size(), expected.size());
    std::size_t i = 0;
    for (const auto& entry : notes) {
        EXPECT_EQ(entry.second.noteName(), std::get<0>(expected[i])) << i;
        EXPECT_NEAR(entry.second.start_s(), std::get<1>(expected[i]), 1e-5f) << i;
        EXPECT_NEAR(entry.second.getEnd_s(), std::get<2>(expected[i]), 1e-5f) << i;
        ++i;
    }
}

std::vector<PipeNoteName> names(const NoteMap& notes)
{
    std::vector<PipeNoteName> result;
    for (const auto& entry : notes)
        result.push_back(entry.second.noteName());
    return result;
}

class Embellishments : public ::testing::Test
{
protected:
    void SetUp() override
    {
        PipeTuning tuning;
        tuning.setLowA_Hz(480.0f);
        engine.setTuning(tuning);
    }

    // A sequence of notes played back to back from start_s.
    static NoteMap played(float start_s, std::initializer_list<std::pair<PipeNoteName, float>> notes)
    {
        NoteMap map;
        float t = start_s;
        for (const auto& [name, duration] : notes) {
            map.emplace(t, PipeNote(name, t, duration));
            t += duration;
        }
        return map;
    }

    VantorProbe engine;
};

TEST_F(Embellishments, GdeTakesItsGracenotesAndRecordsItsSpan)
{
    engine.mConsolidatedNotes = played(1.0f, {{HG, 0.03f}, {LA, 0.03f}, {D, 0.03f}, {LA, 0.03f}, {E, 0.03f}, {LA, 0.5f}});
    engine.getGdes();
    expectSpans(engine.mProcessedNotes, {{gg, 1.0f, 1.03f}, {dg, 1.06f, 1.09f}, {eg, 1.12f, 1.15f}});
    ASSERT_EQ(engine.mGdeRanges.size(), 1u);
    EXPECT_FLOAT_EQ(engine.mGdeRanges[0].first, 1.0f);
    EXPECT_FLOAT_EQ(engine.mGdeRanges[0].second, 1.12f);
    EXPECT_EQ(names(engine.mConsolidatedNotes), (std::vector<PipeNoteName>{LA, LA, LA}));

    // The gracenotes must fall on one note; a long High G is no gracenote.
    for (auto notes : {played(1.0f, {{HG, 0.03f}, {LA, 0.03f}, {D, 0.03f}, {LA, 0.03f}, {E, 0.03f}, {B, 0.5f}}),
                       played(1.0f, {{HG, 0.2f}, {LA, 0.03f}, {D, 0.03f}, {LA, 0.03f}, {E, 0.03f}, {LA, 0.5f}})}) {
        VantorProbe other;
        other.mConsolidatedNotes = notes;
        other.getGdes();
        EXPECT_TRUE(other.mProcessedNotes.empty());
        EXPECT_EQ(other.mConsolidatedNotes.size(), 6u);
    }
    // Long D and E notes do not prevent it.
    VantorProbe longNotes;
    longNotes.mConsolidatedNotes = played(1.0f, {{HG, 0.03f}, {LA, 0.03f}, {D, 0.3f}, {LA, 0.03f}, {E, 0.3f}, {LA, 0.5f}});
    longNotes.getGdes();
    EXPECT_EQ(longNotes.mProcessedNotes.size(), 3u);
}

TEST_F(Embellishments, OverlapsGdeProbesTwentyMillisecondsIn)
{
    EXPECT_FALSE(engine.overlapsGde(PipeNote(D, 1.0f, 0.1f)));
    engine.mGdeRanges = {TimeRange(1.0f, 1.2f)};
    // The start plus 20 ms must lie in [first, second).
    EXPECT_TRUE(engine.overlapsGde(PipeNote(D, 0.985f, 0.1f)));
    EXPECT_FALSE(engine.overlapsGde(PipeNote(D, 0.975f, 0.1f)));
    EXPECT_TRUE(engine.overlapsGde(PipeNote(D, 1.175f, 0.1f)));
    EXPECT_FALSE(engine.overlapsGde(PipeNote(D, 1.185f, 0.1f)));
}

TEST_F(Embellishments, TaorluathComesBeforeTheDoublingsAndGrips)
{
    engine.mConsolidatedNotes = played(1.0f, {{C, 0.4f}, {LG, 0.03f}, {D, 0.03f}, {LG, 0.03f}, {E, 0.03f}, {LA, 0.5f}});
    engine.getDoublings();
    ASSERT_EQ(engine.mProcessedNotes.size(), 1u);
    const PipeNote& tar = engine.mProcessedNotes.begin()->second;
    EXPECT_EQ(tar.noteName(), ::tar);
    EXPECT_FLOAT_EQ(tar.start_s(), 1.4f);
    EXPECT_NEAR(tar.duration_s(), 0.12f, 1e-5f); // up to the start of its last note
    EXPECT_NEAR(tar.melodyNoteStartOffset_s(), 0.09f, 1e-5f); // at the E
    EXPECT_EQ(names(engine.mConsolidatedNotes), (std::vector<PipeNoteName>{C, LA}));
}

TEST_F(Embellishments, ShortFinalLowGMakesAGripOtherwiseAHalfDoubling)
{
    engine.mNotes = played(0.5f, {{LA, 0.5f}});
    engine.mConsolidatedNotes = played(1.0f, {{LG, 0.05f}, {D, 0.05f}, {LG, 0.3f}});
    engine.getDoublings();
    ASSERT_EQ(engine.mProcessedNotes.size(), 1u);
    EXPECT_EQ(engine.mProcessedNotes.begin()->second.noteName(), grp);
    EXPECT_NEAR(engine.mProcessedNotes.begin()->second.melodyNoteStartOffset_s(), 0.4f, 1e-5f); // past its end
    EXPECT_TRUE(engine.mConsolidatedNotes.empty());

    VantorProbe longer;
    longer.mNotes = played(0.5f, {{LA, 0.5f}});
    longer.mConsolidatedNotes = played(1.0f, {{LG, 0.05f}, {D, 0.05f}, {LG, 0.5f}});
    longer.getDoublings();
    ASSERT_EQ(longer.mProcessedNotes.size(), 1u);
    EXPECT_EQ(longer.mProcessedNotes.begin()->second.noteName(), hdblg);
    EXPECT_EQ(names(longer.mConsolidatedNotes), (std::vector<PipeNoteName>{LG}));
}

TEST_F(Embellishments, HighADoublingNeedsTheHighGSoonAfterTheHighA)
{
    engine.mConsolidatedNotes = played(1.0f, {{HA, 0.25f}, {HG, 0.05f}, {HA, 0.5f}});
    engine.getDoublings();
    EXPECT_TRUE(engine.mProcessedNotes.empty());
    VantorProbe soon;
    soon.mConsolidatedNotes = played(1.0f, {{HA, 0.15f}, {HG, 0.05f}, {HA, 0.5f}});
    soon.getDoublings();
    EXPECT_EQ(names(soon.mProcessedNotes), (std::vector<PipeNoteName>{dbha}));
}

TEST_F(Embellishments, NothingIsMatchedInsideAGde)
{
    engine.mConsolidatedNotes = played(1.0f, {{HG, 0.03f}, {LA, 0.03f}, {D, 0.03f}, {LA, 0.5f}});
    engine.mGdeRanges = {TimeRange(0.99f, 1.1f)};
    engine.getDoublings();
    EXPECT_TRUE(engine.mProcessedNotes.empty());
    engine.mGdeRanges.clear();
    engine.getDoublings();
    EXPECT_EQ(names(engine.mProcessedNotes), (std::vector<PipeNoteName>{dbla}));
}

TEST_F(Embellishments, ThrowWithASeparateC)
{
    engine.mConsolidatedNotes = played(1.0f, {{LG, 0.1f}, {D, 0.1f}, {C, 0.05f}, {D, 0.4f}});
    engine.extractThrd();
    expectSpans(engine.mProcessedNotes, {{thrd, 1.0f, 1.25f}});
    EXPECT_NEAR(engine.mProcessedNotes.begin()->second.melodyNoteStartOffset_s(), 0.1f, 1e-5f);
    EXPECT_EQ(names(engine.mConsolidatedNotes), (std::vector<PipeNoteName>{D}));

    VantorProbe half;
    half.mConsolidatedNotes = played(1.0f, {{LG, 0.5f}, {D, 0.1f}, {C, 0.05f}, {D, 0.4f}});
    half.extractThrd();
    expectSpans(half.mProcessedNotes, {{hthrd, 1.5f, 1.65f}});
    EXPECT_EQ(half.mProcessedNotes.begin()->second.melodyNoteStartOffset_s(), 0.0f);
    EXPECT_EQ(names(half.mConsolidatedNotes), (std::vector<PipeNoteName>{LG, D}));
}

TEST_F(Embellishments, ThrowWhoseCIsADipInTheD)
{
    // Pitch and quality dip 0.2 s into a 0.5 s D starting at 1.1 s.
    engine.mFrequencies.assign(6000, 640.0f);
    engine.mQualities.assign(6000, 0.95f);
    const int centre = engine.windowIndex(1.3f);
    for (int i = centre - 60; i <= centre + 60; ++i) {
        const float w = 1.0f - static_cast<float>(std::abs(i - centre)) / 60.0f;
        engine.mFrequencies[static_cast<std::size_t>(i)] -= 30.0f * w;
        engine.mQualities[static_cast<std::size_t>(i)] -= 0.3f * w;
    }
    engine.mConsolidatedNotes = played(1.0f, {{LG, 0.1f}, {D, 0.5f}});
    engine.extractThrd();
    ASSERT_EQ(names(engine.mProcessedNotes), (std::vector<PipeNoteName>{thrd}));
    EXPECT_NEAR(engine.mProcessedNotes.begin()->second.getEnd_s(), 1.3f, 0.005f);
    EXPECT_EQ(names(engine.mConsolidatedNotes), (std::vector<PipeNoteName>{D}));

    VantorProbe shortD;
    shortD.mFrequencies = engine.mFrequencies;
    shortD.mQualities = engine.mQualities;
    shortD.mConsolidatedNotes = played(1.0f, {{LG, 0.1f}, {D, 0.1f}});
    shortD.extractThrd();
    EXPECT_TRUE(shortD.mProcessedNotes.empty());
}

TEST_F(Embellishments, ShortNotesBecomeSingleGracenotes)
{
    engine.mConsolidatedNotes = played(1.0f, {{E, 0.5f}, {LA, 0.05f}, {C, 0.5f}, {LA, 0.01f}, {D, 0.5f}, {LA, 0.15f},
                                              {B, 0.5f}});
    engine.getSingleGracenotes();
    EXPECT_EQ(names(engine.mProcessedNotes), (std::vector<PipeNoteName>{ag}));
    EXPECT_EQ(engine.mConsolidatedNotes.size(), 6u);
}

TEST_F(Embellishments, ShortLowGIsAHighGOrAStrikeByItsNeighbours)
{
    engine.mConsolidatedNotes = played(1.0f, {{LA, 0.5f}, {LG, 0.03f}, {D, 0.5f}, {LG, 0.03f}, {D, 0.5f}});
    engine.mGdeRanges = {TimeRange(2.99f, 3.1f)};
    engine.mConsolidatedNotes.emplace(3.0f, PipeNote(LG, 3.0f, 0.03f));
    engine.getSingleGracenotes();
    // Between Low A and D: High G read low; between two Ds: a strike; in the GDE: left.
    EXPECT_EQ(names(engine.mProcessedNotes), (std::vector<PipeNoteName>{gg, strlg}));

    // Neighbours are judged before anything is removed: the short Low A
    // before this Low G still counts as its (short) predecessor.
    VantorProbe unmodified;
    unmodified.mConsolidatedNotes = played(1.0f, {{D, 0.5f}, {LA, 0.05f}, {LG, 0.03f}, {E, 0.5f}});
    unmodified.getSingleGracenotes();
    EXPECT_EQ(names(unmodified.mProcessedNotes), (std::vector<PipeNoteName>{ag, strlg}));
    EXPECT_EQ(names(unmodified.mConsolidatedNotes), (std::vector<PipeNoteName>{D, E}));
}

TEST_F(Embellishments, ReformHandsEmbellishmentTimeBackToTheMelody)
{
    engine.mConsolidatedNotes = played(0.0f, {{LA, 0.5f}, {E, 0.5f}});
    engine.reformMelodyAndGracing();
    expectSpans(engine.mNotes, {{LA, 0.0f, 0.5f}, {E, 0.5f, 1.0f}});
    EXPECT_TRUE(engine.mGraceNotes.empty());

    // A doubling from 0.5 s whose melody note begins at 0.55 s.
    VantorProbe doubled;
    doubled.mConsolidatedNotes = VantorProbe::mapOf({PipeNote(LA, 0.0f, 0.45f), PipeNote(E, 0.6f, 0.4f)});
    PipeNote doubling(dbe, 0.5f, 0.1f);
    doubling.setMelodyNoteStartOffset_s(0.05f);
    doubled.mProcessedNotes.emplace(0.5f, doubling);
    doubled.reformMelodyAndGracing();
    // Low A lasts until the doubling's melody note; E starts there.
    expectSpans(doubled.mNotes, {{LA, 0.0f, 0.5f}, {E, 0.55f, 1.0f}});
    EXPECT_EQ(names(doubled.mGraceNotes), (std::vector<PipeNoteName>{dbe}));
}

TEST_F(Embellishments, UnlikelyGracingIsStripped)
{
    engine.mNotes = played(1.0f, {{LA, 0.5f}, {E, 0.5f}, {C, 0.5f}});
    engine.mGraceNotes = VantorProbe::mapOf({PipeNote(ag, 1.0f, 0.03f), PipeNote(LA, 1.01f, 0.03f),
                                             PipeNote(eg, 1.3f, 0.06f), PipeNote(dbe, 1.4f, 0.09f),
                                             PipeNote(fg, 1.7f, 0.08f), PipeNote(dbf, 1.8f, 0.09f),
                                             PipeNote(D, 2.2f, 0.16f)});
    engine.stripUnlikelyGracenotes();
    EXPECT_EQ(names(engine.mGraceNotes), (std::vector<PipeNoteName>{ag, dbe, fg, dbf}));
}

TEST_F(Embellishments, LongGracenotesBetweenMelodyNotesBecomeMelody)
{
    auto run = [](std::initializer_list<PipeNote> melody, PipeNote grace) {
        VantorProbe probe;
        probe.mNotes = VantorProbe::mapOf(melody);
        probe.mGraceNotes.emplace(grace.start_s(), grace);
        probe.extractShortMelodyNotes();
        return names(probe.mNotes);
    };
    // Apart by more than 50 ms: the gracenote is a short melody note.
    EXPECT_EQ(run({PipeNote(C, 1.0f, 0.5f), PipeNote(E, 1.6f, 0.5f)}, PipeNote(dg, 1.5f, 0.1f)),
              (std::vector<PipeNoteName>{C, D, E}));
    // Close together only when it lies one step between them.
    EXPECT_EQ(run({PipeNote(C, 1.0f, 0.5f), PipeNote(E, 1.52f, 0.5f)}, PipeNote(dg, 1.5f, 0.1f)),
              (std::vector<PipeNoteName>{C, D, E}));
    EXPECT_EQ(run({PipeNote(C, 1.0f, 0.5f), PipeNote(F, 1.52f, 0.5f)}, PipeNote(dg, 1.5f, 0.1f)),
              (std::vector<PipeNoteName>{C, F}));
    // A long strike counts as a short melody note of its pitch.
    EXPECT_EQ(run({PipeNote(LA, 1.0f, 0.5f), PipeNote(LA, 1.6f, 0.5f)}, PipeNote(strlg, 1.5f, 0.1f)),
              (std::vector<PipeNoteName>{LA, LG, LA}));
    EXPECT_EQ(run({PipeNote(LA, 1.0f, 0.5f), PipeNote(LA, 1.6f, 0.5f)}, PipeNote(strlg, 1.5f, 0.05f)),
              (std::vector<PipeNoteName>{LA, LA}));
}

TEST_F(Embellishments, BusinessLogicRenamesFGracenotesAndRepairsDoublings)
{
    auto run = [](NoteMap melody, NoteMap grace) {
        VantorProbe probe;
        probe.mNotes = melody;
        probe.mGraceNotes = grace;
        probe.applyBusinessLogic();
        return std::make_pair(probe.mNotes, probe.mGraceNotes);
    };
    EXPECT_EQ(names(run(played(1.0f, {{HA, 0.5f}}), VantorProbe::mapOf({PipeNote(fg, 1.5f, 0.05f)})).second)
                  .size(),
              1u);
    const NoteMap highNotes = VantorProbe::mapOf({PipeNote(HA, 1.0f, 0.5f), PipeNote(HG, 1.55f, 0.5f)});
    EXPECT_EQ(names(run(highNotes, VantorProbe::mapOf({PipeNote(fg, 1.5f, 0.05f)})).second),
              (std::vector<PipeNoteName>{strf}));
    const NoteMap lowNotes = VantorProbe::mapOf({PipeNote(E, 1.0f, 0.5f), PipeNote(HG, 1.55f, 0.5f)});
    EXPECT_EQ(names(run(lowNotes, VantorProbe::mapOf({PipeNote(fg, 1.5f, 0.05f)})).second),
              (std::vector<PipeNoteName>{gg}));
    EXPECT_EQ(names(run(lowNotes, VantorProbe::mapOf({PipeNote(fg, 1.45f, 0.1f)})).second),
              (std::vector<PipeNoteName>{fg}));

    const auto [melody, grace] = run(VantorProbe::mapOf({PipeNote(E, 0.5f, 0.5f), PipeNote(D, 1.03f, 0.1f),
                                                         PipeNote(B, 1.13f, 0.5f)}),
                                     VantorProbe::mapOf({PipeNote(gg, 1.0f, 0.03f)}));
    expectSpans(grace, {{dbb, 1.0f, 1.13f}});
    expectSpans(melody, {{E, 0.5f, 1.0f}, {B, 1.0f, 1.63f}});
}

class DipStages : public Embellishments
{
protected:
    void SetUp() override
    {
        Embellishments::SetUp();
        engine.mFrequencies.assign(8000, 0.0f);
        engine.mQualities.assign(8000, 0.95f);
        engine.mNotes.clear();
        engine.mGraceNotes.clear();
    }
    void hold(float from_s, float to_s, float frequency_Hz)
    {
        for (int i = engine.windowIndex(from_s); i < engine.windowIndex(to_s); ++i)
            engine.mFrequencies[static_cast<std::size_t>(i)] = frequency_Hz;
    }
    // A V-shaped dip of pitch and quality centred at time_s.
    void dip(float time_s, float pitchDepth_Hz, float qualityDepth, int halfWidth = 60)
    {
        const int centre = engine.windowIndex(time_s);
        for (int i = centre - halfWidth; i <= centre + halfWidth; ++i) {
            const float w = 1.0f - static_cast<float>(std::abs(i - centre)) / static_cast<float>(halfWidth);
            engine.mFrequencies[static_cast<std::size_t>(i)] -= pitchDepth_Hz * w;
            engine.mQualities[static_cast<std::size_t>(i)] -= qualityDepth * w;
        }
    }
};

TEST_F(DipStages, HighADoublingIsADipEarlyInAHighA)
{
    hold(1.0f, 1.5f, 960.0f);
    dip(1.08f, 50.0f, 0.3f, 40);
    engine.mNotes = played(1.0f, {{HA, 0.5f}});
    engine.extractHighADoubling();
    ASSERT_EQ(names(engine.mGraceNotes), (std::vector<PipeNoteName>{dbha}));
    EXPECT_NEAR(engine.mGraceNotes.begin()->second.duration_s(), 0.08f, 0.004f);

    SetUp();
    hold(1.0f, 1.5f, 960.0f);
    dip(1.25f, 50.0f, 0.3f, 40);
    engine.mNotes = played(1.0f, {{HA, 0.5f}});
    engine.extractHighADoubling();
    EXPECT_TRUE(engine.mGraceNotes.empty());
}

TEST_F(DipStages, BirlIsAPairOfQualityDipsInALowA)
{
    auto birl = [this](float first_s, float second_s, NoteMap grace) {
        SetUp();
        hold(1.0f, 2.0f, 480.0f);
        dip(1.0f + first_s, 0.0f, 0.3f, 18);
        dip(1.0f + second_s, 0.0f, 0.3f, 18);
        engine.mNotes = played(1.0f, {{LA, 1.0f}});
        engine.mGraceNotes = grace;
        engine.extractBirls();
        return engine.mGraceNotes;
    };
    NoteMap found = birl(0.3f, 0.4f, {});
    ASSERT_EQ(names(found), (std::vector<PipeNoteName>{brl}));
    EXPECT_NEAR(found.begin()->second.start_s(), 1.3f, 0.004f);
    EXPECT_NEAR(found.begin()->second.getEnd_s(), 1.4f, 0.004f);
    ASSERT_EQ(engine.mNotes.size(), 2u);
    EXPECT_NEAR(engine.mNotes.begin()->second.getEnd_s(), 1.3f, 0.004f);

    found = birl(0.1f, 0.2f, {});
    ASSERT_EQ(names(found), (std::vector<PipeNoteName>{abr}));
    EXPECT_EQ(found.begin()->second.start_s(), 1.0f);

    found = birl(0.3f, 0.4f, VantorProbe::mapOf({PipeNote(gg, 1.22f, 0.03f)}));
    ASSERT_EQ(names(found), (std::vector<PipeNoteName>{gbr}));
    EXPECT_EQ(found.begin()->second.start_s(), 1.22f);

    EXPECT_EQ(names(birl(0.3f, 0.4f, VantorProbe::mapOf({PipeNote(eg, 1.25f, 0.03f)}))),
              (std::vector<PipeNoteName>{eg}));
    EXPECT_TRUE(birl(0.3f, 0.33f, {}).empty());
    EXPECT_TRUE(birl(0.3f, 0.55f, {}).empty());
}

TEST_F(DipStages, StrikesSplitTheMelodyNoteIntoConsecutiveParts)
{
    hold(1.0f, 2.0f, 640.0f);
    dip(1.2f, 30.0f, 0.3f, 40);
    engine.mNotes = played(1.0f, {{D, 1.0f}});
    engine.extractStrikes();
    expectSpans(engine.mGraceNotes, {{strc, engine.mGraceNotes.begin()->first, engine.mGraceNotes.begin()->first + 0.02f}});
    EXPECT_NEAR(engine.mGraceNotes.begin()->first, 1.2f, 0.004f);
    ASSERT_EQ(names(engine.mNotes), (std::vector<PipeNoteName>{D, D}));
    EXPECT_EQ(engine.mNotes.begin()->second.getEnd_s(), std::next(engine.mNotes.begin())->second.start_s());

    // Two strikes: three parts, each ending where the next begins.
    SetUp();
    hold(1.0f, 2.0f, 720.0f);
    dip(1.3f, 30.0f, 0.3f, 40);
    dip(1.6f, 30.0f, 0.3f, 40);
    engine.mNotes = played(1.0f, {{E, 1.0f}});
    engine.extractStrikes();
    EXPECT_EQ(names(engine.mGraceNotes), (std::vector<PipeNoteName>{strla, strla}));
    ASSERT_EQ(engine.mNotes.size(), 3u);
    float end_s = 1.0f;
    for (const auto& entry : engine.mNotes) {
        EXPECT_EQ(entry.second.start_s(), end_s);
        end_s = entry.second.getEnd_s();
    }
    EXPECT_FLOAT_EQ(end_s, 2.0f);

    // Near other gracing, or too close to the note's start: no strike.
    SetUp();
    hold(1.0f, 2.0f, 640.0f);
    dip(1.2f, 30.0f, 0.3f, 40);
    engine.mNotes = played(1.0f, {{D, 1.0f}});
    engine.mGraceNotes = VantorProbe::mapOf({PipeNote(gg, 1.25f, 0.02f)});
    engine.extractStrikes();
    EXPECT_EQ(engine.mNotes.size(), 1u);
}

TEST_F(Embellishments, GapBeforeAThrowIsClosed)
{
    engine.mNotes = VantorProbe::mapOf({PipeNote(LA, 1.0f, 0.45f), PipeNote(D, 1.5f, 0.5f)});
    engine.mGraceNotes = VantorProbe::mapOf({PipeNote(thrd, 1.49f, 0.06f)});
    engine.dealWithMelodyGaps();
    EXPECT_FLOAT_EQ(engine.mNotes.begin()->second.getEnd_s(), 1.5f);
    engine.mNotes = VantorProbe::mapOf({PipeNote(LA, 1.0f, 0.45f), PipeNote(D, 1.5f, 0.5f)});
    engine.mGraceNotes = VantorProbe::mapOf({PipeNote(dg, 1.49f, 0.03f)});
    engine.dealWithMelodyGaps();
    EXPECT_FLOAT_EQ(engine.mNotes.begin()->second.getEnd_s(), 1.45f);
}

TEST_F(Embellishments, ContiguousGracingGivesOneOfThemToTheMelody)
{
    engine.mNotes = VantorProbe::mapOf({PipeNote(E, 0.5f, 0.5f), PipeNote(B, 1.05f, 0.5f)});
    engine.mGraceNotes = VantorProbe::mapOf({PipeNote(dg, 1.0f, 0.03f), PipeNote(cg, 1.03f, 0.04f)});
    engine.dealWithContigousGracing();
    expectSpans(engine.mNotes, {{E, 0.5f, 1.0f}, {C, 1.0f, 1.07f}, {B, 1.07f, 1.55f}});
    EXPECT_EQ(names(engine.mGraceNotes), (std::vector<PipeNoteName>{dg}));

    // A strike after a primary gracenote stays a strike; a long one between
    // two gracing entries becomes its melody note.
    VantorProbe strikes;
    strikes.mNotes = VantorProbe::mapOf({PipeNote(E, 0.5f, 0.5f), PipeNote(B, 2.0f, 0.5f)});
    strikes.mGraceNotes = VantorProbe::mapOf({PipeNote(gg, 1.0f, 0.03f), PipeNote(strlg, 1.03f, 0.03f),
                                              PipeNote(dbe, 1.5f, 0.1f), PipeNote(strlg, 1.6f, 0.1f)});
    strikes.dealWithContigousGracing();
    EXPECT_EQ(names(strikes.mGraceNotes), (std::vector<PipeNoteName>{gg, strlg, dbe}));
    EXPECT_EQ(names(strikes.mNotes), (std::vector<PipeNoteName>{E, LG, B}));
}

TEST_F(Embellishments, FinalCheckTurnsGracenotesIntoStrikesOrMelody)
{
    auto run = [](PipeNoteName before, PipeNote grace, PipeNoteName after) {
        VantorProbe probe;
        probe.mNotes = VantorProbe::mapOf({PipeNote(before, 1.0f, 0.5f),
                                           PipeNote(after, grace.getEnd_s(), 0.5f)});
        probe.mGraceNotes.emplace(grace.start_s(), grace);
        probe.finalGraceNoteCheck();
        std::vector<PipeNoteName> all = names(probe.mNotes);
        for (PipeNoteName name : names(probe.mGraceNotes))
            all.push_back(name);
        return all;
    };
    EXPECT_EQ(run(D, PipeNote(cg, 1.5f, 0.05f), E), (std::vector<PipeNoteName>{D, E, strc}));
    EXPECT_EQ(run(D, PipeNote(cg, 1.5f, 0.1f), B), (std::vector<PipeNoteName>{D, C, B}));
    EXPECT_EQ(run(D, PipeNote(bg, 1.5f, 0.1f), C), (std::vector<PipeNoteName>{D, C, strb}));
    EXPECT_EQ(run(C, PipeNote(bg, 1.5f, 0.1f), D), (std::vector<PipeNoteName>{C, B, D}));
    EXPECT_EQ(run(C, PipeNote(bg, 1.5f, 0.05f), D), (std::vector<PipeNoteName>{C, D, strb}));
    EXPECT_EQ(run(D, PipeNote(gg, 1.5f, 0.1f), E), (std::vector<PipeNoteName>{D, E, gg}));
}

} // namespace
