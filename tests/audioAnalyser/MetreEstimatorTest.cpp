// Tempo, metre and pick-up from melody onsets alone: tunes written as note
// lengths in beats, played with a drifting tempo and a little jitter; and
// the warp that lays them back on a steady grid.

#include "MetreEstimator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numeric>
#include <random>
#include <tuple>

namespace {

struct Played {
    NoteMap melody;
    std::vector<float> beatTimes_s; // where each whole beat fell
};

// Plays lengths (in beats, from the pick-up on) at bpm, the tempo drifting
// by drift (0.04: 4 %) over the tune and each onset off by up to jitter_s.
// The melody repeats every phrase_beats, in which no note comes back; with
// no phrase (0), it never repeats.
Played play(const std::vector<float>& lengths_beats, float bpm, float drift, float jitter_s, float phrase_beats = 8.0f)
{
    std::mt19937 random(3);
    std::uniform_real_distribution<float> offset(-jitter_s, jitter_s);
    const PipeNoteName names[] = {LA, B, C, D, E, F, HG, HA};
    Played played;
    const float total_beats = std::accumulate(lengths_beats.begin(), lengths_beats.end(), 0.0f);
    // Time at a position in beats: the beat's length follows a slow sine.
    auto timeAt = [&](float beats) {
        float t = 0.0f;
        const float step = 0.01f;
        for (float b = 0.0f; b < beats; b += step)
            t += step * 60.0f / bpm * (1.0f + drift * std::sin(2.0f * static_cast<float>(M_PI) * b / total_beats));
        return t;
    };
    float position = 0.0f;
    for (std::size_t k = 0; k < lengths_beats.size(); ++k) {
        const float start_s = 0.5f + timeAt(position) + offset(random);
        const float end_s = 0.5f + timeAt(position + lengths_beats[k]);
        // A note for each quaver of the phrase; half a phrase on, another.
        PipeNoteName name;
        if (phrase_beats > 0.0f) {
            const int slot = static_cast<int>(std::lround(std::fmod(position, phrase_beats) * 2.0f));
            name = names[(slot * 3 + static_cast<int>(2.0f * slot >= phrase_beats * 2.0f)) % 8];
        } else {
            name = names[random() % 8];
        }
        played.melody.emplace(start_s, PipeNote(name, start_s, end_s - start_s));
        position += lengths_beats[k];
    }
    for (float beat = 0.0f; beat <= total_beats; beat += 1.0f)
        played.beatTimes_s.push_back(0.5f + timeAt(beat));
    return played;
}

// How far t_s is from the nearest of times_s (sorted), seconds.
float fromNearest_s(const std::vector<float>& times_s, float t_s)
{
    const auto next = std::lower_bound(times_s.begin(), times_s.end(), t_s);
    float nearest = 1e9f;
    if (next != times_s.end())
        nearest = *next - t_s;
    if (next != times_s.begin())
        nearest = std::min(nearest, t_s - *(next - 1));
    return nearest;
}

// The share of times_s that have one of beats_s within tolerance_s.
double shareNear(const std::vector<float>& beats_s, const std::vector<float>& times_s, float tolerance_s)
{
    const auto near = std::count_if(times_s.begin(), times_s.end(),
                                    [&](float t_s) { return fromNearest_s(beats_s, t_s) < tolerance_s; });
    return static_cast<double>(near) / static_cast<double>(times_s.size());
}

std::vector<float> repeat(const std::vector<float>& pickUp, const std::vector<std::vector<float>>& bars, int times)
{
    std::vector<float> lengths = pickUp;
    for (int k = 0; k < times; ++k)
        for (const std::vector<float>& bar : bars)
            lengths.insert(lengths.end(), bar.begin(), bar.end());
    return lengths;
}

TEST(MetreEstimator, FindsTempoMetreAndPickUpOfTunesPlayedWithoutAClick)
{
    struct Case {
        const char* name;
        std::vector<float> lengths;
        float bpm;
        int numerator;
        int denominator;
        float pickUp_beats;
        float phrase_beats;
    };
    const float q = 1.0f / 3.0f; // a quaver in 6/8, in dotted-crotchet beats
    const Case cases[] = {
        {"2/4 march, a quaver pick-up", repeat({0.5f}, {{0.75f, 0.25f, 0.5f, 0.5f}, {1.0f, 0.5f, 0.5f}}, 8), 80.0f, 2, 4, 0.5f, 8.0f},
        {"3/4 air, a crotchet pick-up", repeat({1.0f}, {{2.0f, 1.0f}, {1.5f, 0.5f, 1.0f}}, 6), 72.0f, 3, 4, 1.0f, 12.0f},
        {"6/8 jig, a quaver pick-up", repeat({q}, {{2 * q, q, q, q, q}, {3 * q, q, q, q}}, 8), 90.0f, 6, 8, q, 8.0f},
        {"2/4 march from its bar line, its second beats a little heavier", repeat({}, {{0.75f, 0.25f, 1.0f}}, 16), 80.0f, 2, 4, 0.0f, 8.0f},
        {"3/4 air whose melody never comes back", repeat({}, {{1.5f, 0.5f, 1.0f}, {0.25f, 0.75f, 1.5f, 0.5f}}, 8), 72.0f, 3, 4, 0.0f, 0.0f},
        {"3/4 air from its bar line, its first beats the lightest", repeat({}, {{0.5f, 0.5f, 1.0f, 1.0f}, {1.0f, 1.0f, 1.0f}}, 6), 72.0f, 3, 4,
         0.0f, 12.0f},
        {"4/4 march, no pick-up", repeat({}, {{2.0f, 0.5f, 0.5f, 1.0f}, {1.5f, 0.5f, 1.0f, 1.0f}}, 6), 72.0f, 4, 4, 0.0f, 16.0f},
        // The same rhythm either way: only where the melody comes back tells
        // two-beat bars from four.
        {"2/4 march, its phrase eight beats", repeat({}, {{0.75f, 0.25f, 0.5f, 0.5f}}, 20), 80.0f, 2, 4, 0.0f, 8.0f},
        {"4/4 march, its phrase sixteen beats", repeat({}, {{0.75f, 0.25f, 0.5f, 0.5f}}, 20), 80.0f, 4, 4, 0.0f, 16.0f},
        // A rhythm repeating every three beats is no 3/4 when the melody
        // comes back after eight.
        {"2/4 march of three-beat rhythms", repeat({}, {{0.5f, 0.5f, 0.5f, 0.5f, 1.0f}}, 10), 80.0f, 2, 4, 0.0f, 8.0f},
        // A reel's minim beats fall in pointed halves, where a march points
        // its beats; so they do even where its rhythm and melody go in threes.
        {"2/2 reel", repeat({}, {{0.5f, 0.375f, 0.125f, 0.375f, 0.125f, 0.375f, 0.125f}, {0.375f, 0.125f, 0.5f, 1.0f}}, 10), 70.0f, 2, 2,
         0.0f, 8.0f},
        {"2/2 reel in threes of beats", repeat({}, {{0.375f, 0.125f, 0.375f, 0.125f, 0.375f, 0.125f, 0.5f, 1.0f}}, 14), 70.0f, 2, 2, 0.0f,
         12.0f},
    };
    for (const Case& c : cases) {
        for (float drift : {0.0f, 0.04f}) {
            const Played played = play(c.lengths, c.bpm, drift, 0.015f, c.phrase_beats);
            const MetreEstimate metre = estimateMetre(played.melody, NoteMap());
            ASSERT_TRUE(metre.valid) << c.name;
            // Within the drift: the tempo moves 4 % either way.
            EXPECT_NEAR(metre.bpm, c.bpm, (0.02f + drift) * c.bpm) << c.name << " drift " << drift;
            EXPECT_EQ(metre.numerator, c.numerator) << c.name << " drift " << drift << ": " << describeMetre(metre);
            EXPECT_EQ(metre.denominator, c.denominator) << c.name << " drift " << drift;
            EXPECT_NEAR(metre.pickUp_beats, c.pickUp_beats, 0.1f) << c.name << " drift " << drift;
        }
    }
}

TEST(MetreEstimator, TheBeatFollowsThePlayerAndTheWarpPutsEachNoteOnIt)
{
    // Crotchets and quavers drifting 4 %, every onset up to 20 ms off: the
    // tracked beats keep to where the beats fell, nearer than the onsets do.
    const Played scattered = play(repeat({}, {{1.0f, 0.5f, 0.5f}, {0.75f, 0.25f, 1.0f}}, 12), 80.0f, 0.04f, 0.02f);
    const MetreEstimate tracked = estimateMetre(scattered.melody, NoteMap());
    ASSERT_TRUE(tracked.valid);
    EXPECT_GE(shareNear(tracked.beats_s, scattered.beatTimes_s, 0.01f), 0.9) << "of the beats within 10 ms";

    // Crotchets in 2/4 drifting 4 %: warped, each lands on a multiple of the
    // nominal beat.
    const Played played = play(repeat({}, {{1.0f, 1.0f}, {1.5f, 0.5f}}, 10), 80.0f, 0.04f, 0.0f);
    const MetreEstimate metre = estimateMetre(played.melody, NoteMap());
    ASSERT_TRUE(metre.valid);
    NoteMap warped;
    NoteMap warpedGrace;
    warpToBeats(metre, played.melody, NoteMap(), warped, warpedGrace);
    ASSERT_EQ(warped.size(), played.melody.size());
    float worst = 0.0f;
    for (const auto& entry : warped) {
        const float halves = (entry.first - warped.begin()->first) / (60.0f / metre.bpm) * 2.0f;
        worst = std::max(worst, std::abs(halves - std::round(halves)) / 2.0f);
    }
    EXPECT_LT(worst, 0.06f); // of a beat
}

TEST(MetreEstimator, TheBeatFallsOnTheEmbellishments)
{
    // Even quavers, the rhythm alone no clue to the beat: doublings on every
    // other quaver, from the first or the second, mark it.
    for (int offBy : {0, 1}) {
        const Played played = play(std::vector<float>(48, 0.5f), 80.0f, 0.0f, 0.0f);
        NoteMap doublings;
        std::vector<float> marked_s;
        int k = 0;
        for (const auto& [start_s, note] : played.melody) {
            if (k++ % 2 != offBy)
                continue;
            // Played on the quaver's time, as the melody note's own start.
            doublings.emplace(start_s, PipeNote(dbe, start_s, 0.075f));
            marked_s.push_back(start_s);
        }
        const MetreEstimate metre = estimateMetre(played.melody, doublings);
        ASSERT_TRUE(metre.valid);
        for (float beat_s : metre.beats_s) {
            if (beat_s < played.melody.begin()->first)
                continue; // the beat a pick-up leads from
            if (beat_s > marked_s.back() + 0.03f)
                break; // the beats after the tune
            EXPECT_LT(fromNearest_s(marked_s, beat_s), 0.03f) << "beat at " << beat_s << " s, doublings from quaver " << offBy;
        }
    }
}

TEST(MetreEstimator, SingleGracenotesMarkTheBeatOfEvenNotesWhoseTempoDrifts)
{
    // Even semiquavers from a two-semiquaver pick-up, a High G gracenote on
    // each beat's note, the tempo drifting 4 % and every onset up to 20 ms
    // off: neither the rhythm nor the length of a note says where the beat
    // is, and the beat heard over the whole tune is off by the drift.
    const Played played = play(std::vector<float>(130, 0.25f), 80.0f, 0.04f, 0.02f);
    NoteMap gracenotes;
    int k = 0;
    for (const auto& [start_s, note] : played.melody) {
        if (k++ % 4 == 2)
            gracenotes.emplace(start_s - 0.025f, PipeNote(gg, start_s - 0.025f, 0.025f));
    }
    const MetreEstimate metre = estimateMetre(played.melody, gracenotes);
    ASSERT_TRUE(metre.valid);
    EXPECT_NEAR(metre.pickUp_beats, 0.5f, 0.1f) << describeMetre(metre);
    // Whole beats of the tune fall half a beat after the ones played from.
    std::vector<float> true_s;
    for (std::size_t b = 1; b < played.beatTimes_s.size(); ++b)
        true_s.push_back(0.5f * (played.beatTimes_s[b - 1] + played.beatTimes_s[b]));
    EXPECT_GE(shareNear(metre.beats_s, true_s, 0.03f), 0.9) << "of the beats within 30 ms; " << describeMetre(metre);
}

TEST(MetreEstimator, TooFewNotesOrNotesOutsideTheFirstHourFindNothing)
{
    const Played played = play(std::vector<float>(16, 1.0f), 80.0f, 0.0f, 0.0f);
    ASSERT_TRUE(estimateMetre(played.melody, NoteMap()).valid);
    EXPECT_FALSE(estimateMetre(NoteMap(), NoteMap()).valid);
    EXPECT_FALSE(estimateMetre(NoteMap(std::next(played.melody.begin(), 11), played.melody.end()), NoteMap()).valid);
    // The beat's envelope spans the tune: times like these once made it
    // too long to hold, negative or not a number of entries at all.
    for (const float scale : {1e30f, 1e6f, -1.0f, NAN, INFINITY}) {
        NoteMap melody;
        for (const auto& [start_s, note] : played.melody)
            melody.emplace(start_s * scale, PipeNote(note.noteName(), start_s * scale, note.duration_s() * scale));
        EXPECT_FALSE(estimateMetre(melody, NoteMap()).valid) << scale;
        EXPECT_FALSE(estimateMetre(played.melody, melody).valid) << scale;
    }
}

// A score of another tempo or time signature than the one found, the time
// shift left to the estimate: the first note falls in the first bar and the
// first bar line found on one of the score's bar lines, so only the first
// bar is short, however many of the score's bars the pick-up needs.
TEST(MetreEstimator, PutsTheFirstBarLineOnTheScoresOwnBarLines)
{
    // The tune, its tempo, the score's tempo and beats a bar, and whether
    // the score is warped to the beat.
    const std::vector<float> march = repeat({0.5f}, {{0.75f, 0.25f, 0.5f, 0.5f}, {1.0f, 0.5f, 0.5f}}, 8);
    const std::vector<float> air = repeat({1.0f}, {{2.0f, 1.0f}, {1.5f, 0.5f, 1.0f}}, 6);
    const std::tuple<std::vector<float>, float, float, int, bool> rows[] = {
        {march, 80.0f, 80.0f, 2, true},  {march, 80.0f, 80.0f, 4, true},  {march, 80.0f, 80.0f, 3, false},
        {march, 80.0f, 100.0f, 2, false}, {march, 80.0f, 60.0f, 4, false}, {air, 72.0f, 72.0f, 2, true},
        {air, 72.0f, 72.0f, 3, true},    {air, 72.0f, 180.0f, 1, false},
    };
    for (const auto& [lengths, bpm, scoreBpm, scoreBeatsPerBar, warped] : rows) {
        const NoteMap melody = play(lengths, bpm, 0.0f, 0.0f).melody;
        const MetreEstimate metre = estimateMetre(melody, NoteMap());
        ASSERT_TRUE(metre.valid && metre.pickUp_beats > 0.0f);
        const float shift_s = barTimeShift_s(metre, warped, scoreBpm, scoreBeatsPerBar);
        const float bar_s = static_cast<float>(scoreBeatsPerBar) * 60.0f / scoreBpm;
        const float first_s = melody.begin()->first;
        const float firstNote_s = (warped ? warpedTime_s(metre, first_s) : first_s) + shift_s;
        const std::size_t line = static_cast<std::size_t>(metre.firstBarBeat);
        const float barLine_s = (warped ? static_cast<float>(line) * 60.0f / metre.bpm : metre.beats_s[line]) + shift_s;
        const std::string row = std::to_string(scoreBpm) + " bpm, " + std::to_string(scoreBeatsPerBar) + " a bar";
        EXPECT_GE(firstNote_s, -0.01f) << row;
        EXPECT_LT(firstNote_s, bar_s - 0.01f) << row;
        EXPECT_NEAR(std::remainder(barLine_s, bar_s), 0.0f, 0.001f) << row;
    }
}

TEST(MetreEstimator, SaysThePickUpInItsOwnNotes)
{
    // The pick-up in beats, the time signature, and what is said of it.
    const std::tuple<float, int, int, const char*> rows[] = {
        {0.0f, 4, 4, ", no pick-up"},          {0.5f, 2, 4, ", pick-up 1 quaver"},
        {0.25f, 2, 4, ", pick-up 1 semiquaver"}, {0.75f, 4, 4, ", pick-up 3 semiquavers"},
        {1.0f, 3, 4, ", pick-up 2 quavers"},    {1.0f / 3.0f, 6, 8, ", pick-up 1 quaver"},
        {1.0f / 6.0f, 6, 8, ", pick-up 1 semiquaver"},
    };
    for (const auto& [pickUp_beats, numerator, denominator, expected] : rows) {
        const std::string said = describeMetre({.valid = true, .bpm = 80.0f, .bpmLow = 80.0f, .bpmHigh = 80.0f,
                                                .numerator = numerator, .denominator = denominator,
                                                .pickUp_beats = pickUp_beats, .beats_s = {}});
        EXPECT_EQ(said.substr(said.rfind(',')), expected) << said;
    }
}

} // namespace
