// The transcription stages one at a time: each table row sets the engine's
// maps, runs the stage and compares what it leaves (see spans() for the
// notation). Rows sit at the bounds the stages decide on.

#include "EngineProbe.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

using Stage = VantorProbe::Stage;

// What a row expects of each map; null is not checked.
struct Expected {
    const char* notes = nullptr;
    const char* grace = nullptr;
    const char* processed = nullptr;
    const char* consolidated = nullptr;
};

struct Row {
    Stage stage;
    const char* what;
    EngineMaps in;
    Expected out;
};

void runTable(VantorProbe& engine, const std::vector<Row>& rows)
{
    for (const Row& row : rows) {
        const EngineMaps out = engine.run(row.stage, row.in);
        const std::pair<const char*, const NoteMap*> checks[] = {{row.out.notes, &out.notes},
                                                                 {row.out.grace, &out.graceNotes},
                                                                 {row.out.processed, &out.processed},
                                                                 {row.out.consolidated, &out.consolidated}};
        for (const auto& [expected, map] : checks) {
            if (expected != nullptr) {
                EXPECT_EQ(spans(*map), expected) << row.what;
            }
        }
    }
}

EngineMaps melodyAndGrace(NoteMap notes, NoteMap grace) { return {std::move(notes), std::move(grace), {}, {}, {}}; }
EngineMaps consolidated(NoteMap notes, std::vector<TimeRange> gdes = {}, NoteMap melody = {})
{
    return {std::move(melody), {}, {}, std::move(notes), std::move(gdes)};
}

TEST(VantorStage, EachStageLeavesWhatItsRowsExpect)
{
    const NoteMap before = played(0.5f, {{LA, 0.5f}});
    EngineMaps doubled = consolidated(mapOf({{LA, 0.0f, 0.45f}, {E, 0.6f, 0.4f}}));
    PipeNote doubling(dbe, 0.5f, 0.1f);
    doubling.setMelodyNoteStartOffset_s(0.05f);
    doubled.processed = mapOf({doubling});
    auto between = [](PipeNote a, PipeNote grace, PipeNote b) { return melodyAndGrace(mapOf({a, b}), mapOf({grace})); };
    // A GDE's notes, the D and E as long as given, on the note last.
    auto gde = [](float d_s, float e_s, PipeNoteName on, float highG_s = 0.03f) {
        return consolidated(played(1.0f, {{HG, highG_s}, {LA, 0.03f}, {D, d_s}, {LA, 0.03f}, {E, e_s}, {on, 0.5f}}));
    };
    const EngineMaps onLowA = gde(0.03f, 0.03f, LA);
    const NoteMap highNotes = mapOf({{HA, 1.0f, 0.5f}, {HG, 1.55f, 0.5f}});
    const NoteMap lowNotes = mapOf({{E, 1.0f, 0.5f}, {HG, 1.55f, 0.5f}});
    const NoteMap twoDs = mapOf({{D, 1.0f, 0.5f}, {D, 1.55f, 0.5f}});
    const NoteMap laAndE = mapOf({{LA, 1.0f, 0.5f}, {E, 1.6f, 0.5f}});
    const NoteMap doublingOnLowA = played(1.0f, {{HG, 0.03f}, {LA, 0.03f}, {D, 0.03f}, {LA, 0.5f}});
    VantorProbe engine;
    runTable(engine, {
        {Stage::Consolidate, "melody is cut around a gracenote", melodyAndGrace(mapOf({{D, 1.0f, 1.0f}}), mapOf({{HG, 1.5f, 0.02f}})),
         {.consolidated = "D 1.000-1.500 HG 1.500-1.520 D 1.520-2.000"}},
        {Stage::Consolidate, "no melody in gaps of 20 ms or pieces under 20 ms; nothing from 3600 s",
         melodyAndGrace(mapOf({{LA, 1.0f, 0.3f}, {B, 2.0f, 0.015f}, {C, 3.0f, 0.5f}}),
                        mapOf({{HG, 1.1f, 0.02f}, {D, 1.135f, 0.02f}, {HG, 1.98f, 0.01f}, {E, 2.03f, 0.02f}, {F, 3600.0f, 0.02f}})),
         {.consolidated = "LA 1.000-1.100 HG 1.100-1.120 D 1.135-1.155 LA 1.155-1.300 HG 1.980-1.990 E 2.030-2.050 C 3.000-3.500"}},
        {Stage::Consolidate, "same names under 0.15 s apart join, overlaps are cut, a note inside another goes",
         melodyAndGrace({}, mapOf({{E, 1.0f, 0.1f}, {E, 1.2f, 0.1f}, {E, 2.0f, 0.1f}, {E, 2.25f, 0.1f}, {C, 3.0f, 0.2f},
                                   {B, 3.19f, 0.2f}, {F, 4.0f, 0.5f}, {D, 4.1f, 0.1f}})),
         {.consolidated = "E 1.000-1.300 E 2.000-2.100 E 2.250-2.350 C 3.000-3.200 B 3.200-3.390 F 4.000-4.500"}},
        {Stage::Consolidate, "nothing gives nothing", {}, {.consolidated = ""}},
        {Stage::StripCrossingNoises, "short Low As between a high note and Low G fold into the Low G",
         consolidated(mapOf({{HG, 1.0f, 0.1f}, {LA, 1.1f, 0.03f}, {LG, 1.13f, 0.1f}, {LG, 2.0f, 0.1f}, {LA, 2.1f, 0.03f},
                             {E, 2.13f, 0.5f}, {F, 3.0f, 0.1f}, {LA, 3.1f, 0.1f}, {LG, 3.2f, 0.1f}})),
         {.consolidated = "HG 1.000-1.100 LG 1.100-1.230 LG 2.000-2.130 E 2.130-2.630 F 3.000-3.100 LA 3.100-3.200 LG 3.200-3.300"}},
        {Stage::GetGdes, "a GDE on Low A", onLowA,
         {.processed = "gg 1.000-1.030 dg 1.060-1.090 eg 1.120-1.150", .consolidated = "LA 1.030-1.060 LA 1.090-1.120 LA 1.150-1.650"}},
        {Stage::GetGdes, "long D and E do not prevent it", gde(0.3f, 0.3f, LA), {.processed = "gg 1.000-1.030 dg 1.060-1.360 eg 1.390-1.690"}},
        {Stage::GetGdes, "the gracenotes must fall on one note", gde(0.03f, 0.03f, B), {.processed = ""}},
        {Stage::GetGdes, "a long High G is no gracenote", gde(0.03f, 0.03f, LA, 0.2f), {.processed = ""}},
        {Stage::GetDoublings, "a taorluath comes before the grips and doublings",
         consolidated(played(1.0f, {{C, 0.4f}, {LG, 0.03f}, {D, 0.03f}, {LG, 0.03f}, {E, 0.03f}, {LA, 0.5f}})),
         {.processed = "tar 1.400-1.520+0.090", .consolidated = "C 1.000-1.400 LA 1.520-2.020"}},
        {Stage::GetDoublings, "a final Low G up to 0.4 s makes a grip", consolidated(played(1.0f, {{LG, 0.05f}, {D, 0.05f}, {LG, 0.3f}}), {}, before),
         {.processed = "grp 1.000-1.100+0.400", .consolidated = ""}},
        {Stage::GetDoublings, "a longer one a half doubling", consolidated(played(1.0f, {{LG, 0.05f}, {D, 0.05f}, {LG, 0.5f}}), {}, before),
         {.processed = "hdblg 1.000-1.100", .consolidated = "LG 1.100-1.600"}},
        {Stage::GetDoublings, "High A doubling: the High G within 0.2 s", consolidated(played(1.0f, {{HA, 0.15f}, {HG, 0.05f}, {HA, 0.5f}})),
         {.processed = "dbha 1.000-1.200"}},
        {Stage::GetDoublings, "not later", consolidated(played(1.0f, {{HA, 0.25f}, {HG, 0.05f}, {HA, 0.5f}})), {.processed = ""}},
        {Stage::GetDoublings, "a doubling on Low A", consolidated(doublingOnLowA), {.processed = "dbla 1.000-1.090"}},
        {Stage::GetDoublings, "nothing inside a GDE", consolidated(doublingOnLowA, {TimeRange(0.99f, 1.1f)}), {.processed = ""}},
        {Stage::ExtractThrd, "a throw whose C is a note of its own", consolidated(played(1.0f, {{LG, 0.1f}, {D, 0.1f}, {C, 0.05f}, {D, 0.4f}})),
         {.processed = "thrd 1.000-1.250+0.100", .consolidated = "D 1.250-1.650"}},
        {Stage::ExtractThrd, "a Low G over 0.3 s makes a half throw", consolidated(played(1.0f, {{LG, 0.5f}, {D, 0.1f}, {C, 0.05f}, {D, 0.4f}})),
         {.processed = "hthrd 1.500-1.650", .consolidated = "LG 1.000-1.500 D 1.650-2.050"}},
        {Stage::GetSingleGracenotes, "15 ms to 0.15 s",
         consolidated(played(1.0f, {{E, 0.5f}, {LA, 0.05f}, {C, 0.5f}, {LA, 0.01f}, {D, 0.5f}, {LA, 0.15f}, {B, 0.5f}})),
         {.processed = "ag 1.500-1.550"}},
        {Stage::GetSingleGracenotes, "a short Low G: High G read low between different notes, a strike between like ones, left in a GDE",
         consolidated(mapOf({{LA, 1.0f, 0.5f}, {LG, 1.5f, 0.03f}, {D, 1.53f, 0.5f}, {LG, 2.03f, 0.03f}, {D, 2.06f, 0.5f}, {LG, 3.0f, 0.03f}}),
                      {TimeRange(2.99f, 3.1f)}),
         {.processed = "gg 1.500-1.530 strlg 2.030-2.060"}},
        {Stage::GetSingleGracenotes, "neighbours are judged before anything is removed",
         consolidated(played(1.0f, {{D, 0.5f}, {LA, 0.05f}, {LG, 0.03f}, {E, 0.5f}})),
         {.processed = "ag 1.500-1.550 strlg 1.550-1.580", .consolidated = "D 1.000-1.500 E 1.580-2.080"}},
        {Stage::ReformMelodyAndGracing, "melody alone", consolidated(played(0.0f, {{LA, 0.5f}, {E, 0.5f}})),
         {.notes = "LA 0.000-0.500 E 0.500-1.000", .grace = ""}},
        {Stage::ReformMelodyAndGracing, "the note before lasts until the embellishment's melody note, which starts there", doubled,
         {.notes = "LA 0.000-0.500 E 0.550-1.000", .grace = "dbe 0.500-0.600+0.050"}},
        {Stage::StripUnlikelyGracenotes, "the melody note's own pitch, a short gracenote crowding an embellishment, a long melody-named one",
         melodyAndGrace(played(1.0f, {{LA, 0.5f}, {E, 0.5f}, {C, 0.5f}}),
                        mapOf({{ag, 1.0f, 0.03f}, {LA, 1.01f, 0.03f}, {eg, 1.3f, 0.06f}, {dbe, 1.4f, 0.09f}, {fg, 1.7f, 0.08f},
                               {dbf, 1.8f, 0.09f}, {D, 2.2f, 0.16f}})),
         {.grace = "ag 1.000-1.030 dbe 1.400-1.490 fg 1.700-1.780 dbf 1.800-1.890"}},
        {Stage::ExtractShortMelodyNotes, "apart by more than 50 ms", between({C, 1.0f, 0.5f}, {dg, 1.5f, 0.1f}, {E, 1.6f, 0.5f}),
         {.notes = "C 1.000-1.500 D 1.500-1.600 E 1.600-2.100", .grace = ""}},
        {Stage::ExtractShortMelodyNotes, "close, one step between", between({C, 1.0f, 0.5f}, {dg, 1.5f, 0.1f}, {E, 1.52f, 0.5f}),
         {.notes = "C 1.000-1.500 D 1.500-1.600 E 1.600-2.020"}},
        {Stage::ExtractShortMelodyNotes, "close, not a step between", between({C, 1.0f, 0.5f}, {dg, 1.5f, 0.1f}, {F, 1.52f, 0.5f}),
         {.notes = "C 1.000-1.500 F 1.520-2.020", .grace = "dg 1.500-1.600"}},
        {Stage::ExtractShortMelodyNotes, "a long strike is a short note of its pitch", between({LA, 1.0f, 0.5f}, {strlg, 1.5f, 0.1f}, {LA, 1.6f, 0.5f}),
         {.notes = "LA 1.000-1.500 LG 1.500-1.600 LA 1.600-2.100"}},
        {Stage::ExtractShortMelodyNotes, "a short one stays", between({LA, 1.0f, 0.5f}, {strlg, 1.5f, 0.05f}, {LA, 1.6f, 0.5f}),
         {.notes = "LA 1.000-1.500 LA 1.600-2.100", .grace = "strlg 1.500-1.550"}},
        {Stage::ApplyBusinessLogic, "an F gracenote between High A and High G is a strike", melodyAndGrace(highNotes, mapOf({{fg, 1.5f, 0.05f}})),
         {.grace = "strf 1.500-1.550"}},
        {Stage::ApplyBusinessLogic, "a short one elsewhere a High G gracenote", melodyAndGrace(lowNotes, mapOf({{fg, 1.5f, 0.05f}})),
         {.grace = "gg 1.500-1.550"}},
        {Stage::ApplyBusinessLogic, "from 80 ms it stays", melodyAndGrace(lowNotes, mapOf({{fg, 1.45f, 0.08f}})), {.grace = "fg 1.450-1.530"}},
        {Stage::ApplyBusinessLogic, "a High G gracenote, a short D and a B make a doubling",
         melodyAndGrace(mapOf({{E, 0.5f, 0.5f}, {D, 1.03f, 0.1f}, {B, 1.13f, 0.5f}}), mapOf({{gg, 1.0f, 0.03f}})),
         {.notes = "E 0.500-1.000 B 1.000-1.630", .grace = "dbb 1.000-1.130"}},
        {Stage::FinalGraceNoteCheck, "below both neighbours: a strike", melodyAndGrace(twoDs, mapOf({{bg, 1.5f, 0.05f}})),
         {.grace = "strb 1.500-1.550"}},
        {Stage::FinalGraceNoteCheck, "above both: left alone", melodyAndGrace(twoDs, mapOf({{eg, 1.5f, 0.05f}})), {.grace = "eg 1.500-1.550"}},
        {Stage::FinalGraceNoteCheck, "between them and long: a melody note", melodyAndGrace(laAndE, mapOf({{cg, 1.5f, 0.08f}})),
         {.notes = "LA 1.000-1.500 C 1.500-1.580 E 1.580-2.100", .grace = ""}},
        {Stage::DealWithContigousGracing, "of two single gracenotes the one not D, E or High G is a melody note",
         melodyAndGrace(laAndE, mapOf({{dg, 1.5f, 0.03f}, {cg, 1.53f, 0.05f}})),
         {.notes = "LA 1.000-1.500 C 1.500-1.580 E 1.580-2.100", .grace = "dg 1.500-1.530"}},
    });
    const std::vector<TimeRange> gdes = engine.run(Stage::GetGdes, onLowA).gdeRanges;
    ASSERT_EQ(gdes.size(), 1u);
    EXPECT_FLOAT_EQ(gdes[0].first, 1.0f);
    EXPECT_FLOAT_EQ(gdes[0].second, 1.12f); // where the E gracenote starts
}

// Tracks drawn by hand: a held pitch with V-shaped dips of pitch and quality.
class VantorTrackStage : public ::testing::Test
{
protected:
    void SetUp() override { engine.setTracks(8000, 0.0f, 0.95f); }
    void hold(float from_s, float to_s, float frequency_Hz)
    {
        std::fill(engine.frequencies().begin() + engine.window(from_s), engine.frequencies().begin() + engine.window(to_s),
                  frequency_Hz);
    }
    void dip(float time_s, float pitchDepth_Hz, float qualityDepth, int halfWidth = 60)
    {
        const int centre = engine.window(time_s);
        for (int i = centre - halfWidth; i <= centre + halfWidth; ++i) {
            const float w = 1.0f - static_cast<float>(std::abs(i - centre)) / static_cast<float>(halfWidth);
            engine.frequencies()[static_cast<std::size_t>(i)] -= pitchDepth_Hz * w;
            engine.qualities()[static_cast<std::size_t>(i)] -= qualityDepth * w;
        }
    }
    static float at(int window) { return static_cast<float>(window * 20) / 44100.0f; }

    VantorProbe engine;
};

TEST_F(VantorTrackStage, StretchGrowsAcrossPoorWindowsButNeverConsultsWindowZero)
{
    engine.setTracks(1000, 0.0f, 0.9f);
    EXPECT_EQ(engine.stretch(TimeRange(at(100), at(200)), 0.7f), TimeRange(at(100), at(200)));
    std::fill(engine.qualities().begin() + 90, engine.qualities().begin() + 111, 0.2f);
    std::fill(engine.qualities().begin() + 195, engine.qualities().begin() + 231, 0.2f);
    EXPECT_EQ(engine.stretch(TimeRange(at(100), at(200)), 0.7f), TimeRange(at(89), at(231)));
    engine.qualities()[105] = NAN; // a NaN quality counts as good
    EXPECT_EQ(engine.stretch(TimeRange(at(108), at(200)), 0.7f).first, at(105));
    engine.setTracks(100, 0.0f, 0.1f);
    engine.qualities()[0] = 1.0f;
    EXPECT_EQ(engine.stretch(TimeRange(at(10), at(20)), 0.7f), TimeRange(0.0f, at(100)));
    engine.qualities()[70] = 0.7f; // the threshold itself is good
    EXPECT_EQ(engine.stretch(TimeRange(at(10), at(20)), 0.7f), TimeRange(0.0f, at(70)));
}

TEST_F(VantorTrackStage, TroughsNeedAQualityDipWithinFortyMilliseconds)
{
    const Vantor::TroughSearch search{10.0f, 40.0f, 0.01f, 0.05f, 0.5f, 0.01f};
    const TimeRange range(at(1000), at(1400));
    auto found = [&](int pitchAt, int qualityAt) {
        engine.setTracks(3000, 960.0f, 0.95f);
        for (int i = -24; i <= 24; ++i) {
            const float w = 1.0f - static_cast<float>(std::abs(i)) / 24.0f;
            engine.frequencies()[static_cast<std::size_t>(pitchAt + i)] -= 30.0f * w;
            if (qualityAt > 0)
                engine.qualities()[static_cast<std::size_t>(qualityAt + i)] -= 0.3f * w;
        }
        return engine.troughs(range, 960.0f, search);
    };
    const std::vector<float> together = found(1200, 1200);
    ASSERT_EQ(together.size(), 1u);
    EXPECT_NEAR(together[0], at(200), at(6));
    EXPECT_EQ(found(1200, 1200 - 84).size(), 1u); // 38 ms before
    EXPECT_TRUE(found(1200, 1200 + 114).empty()); // 52 ms after
    EXPECT_TRUE(found(1200, 0).empty());          // no quality dip
    EXPECT_TRUE(engine.troughs(range, 960.0f, {10.0f, 40.0f, 0.1f, 0.05f, 0.5f, 0.01f}).empty());
    EXPECT_THROW(engine.troughs(TimeRange(at(2900), at(3100)), 960.0f, search), std::out_of_range);
}

TEST_F(VantorTrackStage, DipsMakeThrowsHighADoublingsBirlsAndStrikes)
{
    hold(1.0f, 1.6f, 640.0f);
    dip(1.3f, 30.0f, 0.3f);
    EXPECT_EQ(spans(engine.run(Stage::ExtractThrd, consolidated(played(1.0f, {{LG, 0.1f}, {D, 0.5f}}))).processed),
              "thrd 1.000-1.299+0.100");
    EXPECT_EQ(spans(engine.run(Stage::ExtractThrd, consolidated(played(1.0f, {{LG, 0.1f}, {D, 0.1f}}))).processed), "");

    auto highA = [this](float dip_s) {
        SetUp();
        hold(1.0f, 1.5f, 960.0f);
        dip(dip_s, 50.0f, 0.3f, 40);
        return spans(engine.run(Stage::ExtractHighADoubling, {played(1.0f, {{HA, 0.5f}}), {}, {}, {}, {}}).graceNotes);
    };
    EXPECT_EQ(highA(1.08f), "dbha 1.000-1.079");
    EXPECT_EQ(highA(1.25f), ""); // later than 0.2 s in

    auto birl = [this](float first_s, float second_s, NoteMap grace) {
        SetUp();
        hold(1.0f, 2.0f, 480.0f);
        dip(1.0f + first_s, 0.0f, 0.3f, 18);
        dip(1.0f + second_s, 0.0f, 0.3f, 18);
        return engine.run(Stage::ExtractBirls, melodyAndGrace(played(1.0f, {{LA, 1.0f}}), grace));
    };
    const EngineMaps birlMaps = birl(0.3f, 0.4f, {});
    EXPECT_EQ(spans(birlMaps.graceNotes), "brl 1.299-1.400");
    EXPECT_EQ(spans(birlMaps.notes), "LA 1.000-1.299 LA 1.299-2.000");
    EXPECT_EQ(spans(birl(0.1f, 0.2f, {}).graceNotes), "abr 1.000-1.199");
    EXPECT_EQ(spans(birl(0.3f, 0.4f, mapOf({{gg, 1.22f, 0.03f}})).graceNotes), "gbr 1.220-1.400");
    EXPECT_EQ(spans(birl(0.3f, 0.4f, mapOf({{eg, 1.25f, 0.03f}})).graceNotes), "eg 1.250-1.280");
    EXPECT_EQ(spans(birl(0.3f, 0.33f, {}).graceNotes), "");
    EXPECT_EQ(spans(birl(0.3f, 0.55f, {}).graceNotes), "");

    SetUp();
    hold(1.0f, 2.0f, 720.0f);
    dip(1.3f, 30.0f, 0.3f, 40);
    dip(1.6f, 30.0f, 0.3f, 40);
    const EngineMaps struck = engine.run(Stage::ExtractStrikes, {played(1.0f, {{E, 1.0f}}), {}, {}, {}, {}});
    EXPECT_EQ(spans(struck.graceNotes), "strla 1.298-1.318 strla 1.600-1.620");
    EXPECT_EQ(spans(struck.notes), "E 1.000-1.298 E 1.298-1.600 E 1.600-2.000");
}

TEST_F(VantorTrackStage, GracenoteCandidatesFromTheNoteTracks)
{
    auto paint = [](std::vector<PipeTuning::ReferenceNote>& track, int from, int count, PipeTuning::ReferenceNote note) {
        std::fill_n(track.begin() + from, count, note);
    };
    auto found = [this] { return spans(engine.run(Stage::GetGraceNotes, melodyAndGrace(mapOf({{LA, 1.0f, 1.0f}}), {})).graceNotes); };
    // A 10 ms D counts only within the first 0.2 s of a melody note.
    paint(engine.flatNoteTrack(), engine.window(1.05f), 22, PipeTuning::D);
    paint(engine.flatNoteTrack(), engine.window(1.25f), 22, PipeTuning::D);
    EXPECT_EQ(found(), "D 1.050-1.060");
    // An E from 15 ms on stands alone; a 14.5 ms one does not.
    SetUp();
    paint(engine.flatNoteTrack(), 5000, 34, PipeTuning::E);
    paint(engine.flatNoteTrack(), 6000, 32, PipeTuning::E);
    EXPECT_EQ(found(), "E 2.268-2.283");
    // Fragments 3.6 ms apart merge: a 0.18 s C is a gracenote, a D is not.
    SetUp();
    paint(engine.flatNoteTrack(), 5000, 190, PipeTuning::C);
    paint(engine.flatNoteTrack(), 5198, 190, PipeTuning::C);
    paint(engine.flatNoteTrack(), 6000, 190, PipeTuning::D);
    paint(engine.flatNoteTrack(), 6198, 190, PipeTuning::D);
    EXPECT_EQ(found(), "C 2.268-2.444");
    // High G absorbs Low G fragments read an octave low, and is trimmed
    // against a D accepted before it.
    SetUp();
    paint(engine.flatNoteTrack(), 4990, 40, PipeTuning::D);
    paint(engine.pickedNoteTrack(), 5000, 20, PipeTuning::LowG);
    paint(engine.pickedNoteTrack(), 5020, 60, PipeTuning::HighG);
    EXPECT_EQ(found(), "D 2.263-2.281 HG 2.281-2.304");
}

TEST_F(VantorTrackStage, StripAndAdvancedSearch)
{
    runTable(engine, {
        {Stage::InitialGraceNoteStrip, "a High G within 20 ms of a High A gracenote's end is its tail",
         melodyAndGrace({}, mapOf({{HA, 1.0f, 0.03f}, {HG, 1.04f, 0.03f}, {HA, 2.0f, 0.03f}, {HG, 2.06f, 0.03f}})),
         {.grace = "HA 1.000-1.030 HA 2.000-2.030 HG 2.060-2.090"}},
        {Stage::InitialGraceNoteStrip, "moves that cannot be fingered go, unless 80 ms or longer",
         melodyAndGrace(mapOf({{HG, 1.1f, 0.5f}, {HA, 2.0f, 0.5f}, {HG, 3.0f, 0.5f}, {F, 4.0f, 0.5f}}),
                        mapOf({{LG, 1.03f, 0.05f}, {LG, 0.99f, 0.08f}, {HA, 2.52f, 0.03f}, {HA, 3.52f, 0.03f}, {HG, 4.52f, 0.03f}})),
         {.grace = "LG 0.990-1.070 HA 3.520-3.550 HG 4.520-4.550"}},
        {Stage::AdvancedGraceNoteSearch, "a short C between Low Gs is a D",
         melodyAndGrace(mapOf({{LG, 0.9f, 0.15f}, {LG, 1.1f, 0.4f}, {LG, 1.9f, 0.15f}, {LG, 2.15f, 0.4f}}),
                        mapOf({{C, 1.05f, 0.05f}, {C, 2.05f, 0.1f}})),
         {.grace = "D 1.050-1.100 C 2.050-2.150"}},
        {Stage::AdvancedGraceNoteSearch, "a short D after an E gracenote merges into it",
         melodyAndGrace(mapOf({{C, 0.5f, 0.5f}, {LA, 1.05f, 0.5f}}), mapOf({{E, 1.0f, 0.03f}, {D, 1.03f, 0.02f}})),
         {.grace = "E 1.000-1.050"}},
    });
    // A D hidden in a long Low G, but not beside another gracenote.
    engine.setTracks(8000, 420.0f, 0.95f);
    hold(1.2f, 1.22f, 640.0f);
    const EngineMaps lowG = melodyAndGrace(mapOf({{LG, 1.0f, 0.5f}}), {});
    EXPECT_EQ(spans(engine.run(Stage::AdvancedGraceNoteSearch, lowG).graceNotes), "D 1.198-1.217");
    EXPECT_EQ(spans(engine.run(Stage::AdvancedGraceNoteSearch, melodyAndGrace(lowG.notes, mapOf({{E, 1.25f, 0.02f}}))).graceNotes),
              "E 1.250-1.270");
}

} // namespace
