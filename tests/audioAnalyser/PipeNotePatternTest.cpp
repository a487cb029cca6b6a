#include "PipeNotePattern.h"

#include <gtest/gtest.h>

namespace {

NoteMap mapOf(std::initializer_list<PipeNote> notes)
{
    NoteMap map;
    for (const PipeNote& note : notes)
        map.emplace(note.start_s(), note);
    return map;
}

class PipeNotePatternTest : public ::testing::Test
{
protected:
    PipeNotePatternTest() { pattern.items = {PipeNotePattern::Item(HG), PipeNotePattern::Item(D), PipeNotePattern::Item(D)}; }

    std::vector<PipeNotePattern::Match> detect(const NoteMap& searched, bool limitFirstItemOnly = false) const
    {
        return pattern.detect(searched, melody, taken, excluded, limitFirstItemOnly);
    }

    PipeNotePattern pattern{0.2f, 0.15f, 0.005f};
    NoteMap melody;
    NoteMap taken;
    std::vector<TimeRange> excluded;
};

TEST_F(PipeNotePatternTest, ItemsWithoutARangeAreHeldToTheMaximumExceptTheLast)
{
    EXPECT_EQ(detect(mapOf({PipeNote(HG, 1.0f, 0.19f), PipeNote(D, 1.3f, 0.1f), PipeNote(D, 1.5f, 1.0f)})).size(), 1u);
    EXPECT_TRUE(detect(mapOf({PipeNote(HG, 1.0f, 0.2f), PipeNote(D, 1.3f, 0.1f), PipeNote(D, 1.5f, 1.0f)})).empty());
    // The middle item is limited too, unless only the first item is.
    const NoteMap longMiddle = mapOf({PipeNote(HG, 1.0f, 0.1f), PipeNote(D, 1.1f, 0.5f), PipeNote(D, 1.6f, 0.1f)});
    EXPECT_TRUE(detect(longMiddle).empty());
    EXPECT_EQ(detect(longMiddle, true).size(), 1u);
}

TEST_F(PipeNotePatternTest, NotesMustJoinWithinTheTolerance)
{
    // The second D starts 0.2 s after the first one's end: the candidate at
    // the High G breaks; no other start position completes the pattern.
    EXPECT_TRUE(detect(mapOf({PipeNote(HG, 1.0f, 0.1f), PipeNote(D, 1.1f, 0.1f), PipeNote(D, 1.4f, 0.1f)})).empty());
    // A note in between that fits no item also breaks it (notes are not skipped).
    EXPECT_TRUE(detect(mapOf({PipeNote(HG, 1.0f, 0.1f), PipeNote(E, 1.1f, 0.01f), PipeNote(D, 1.11f, 0.1f),
                              PipeNote(D, 1.21f, 0.1f)}))
                    .empty());
    // A failed start is followed by the next start position.
    const auto matches = detect(mapOf({PipeNote(HG, 0.5f, 0.1f), PipeNote(HG, 1.0f, 0.1f), PipeNote(D, 1.1f, 0.1f),
                                       PipeNote(D, 1.2f, 0.1f)}));
    ASSERT_EQ(matches.size(), 1u);
    EXPECT_EQ(matches[0].getRange(), TimeRange(1.0f, 1.2f));
}

TEST_F(PipeNotePatternTest, DurationRangesAreHalfOpen)
{
    pattern.items = {PipeNotePattern::Item(LG), PipeNotePattern::Item(C, {0.002f, 0.08f}), PipeNotePattern::Item(LG)};
    EXPECT_EQ(detect(mapOf({PipeNote(LG, 1.0f, 0.1f), PipeNote(C, 1.1f, 0.05f), PipeNote(LG, 1.15f, 0.5f)})).size(), 1u);
    EXPECT_TRUE(detect(mapOf({PipeNote(LG, 1.0f, 0.1f), PipeNote(C, 1.1f, 0.08f), PipeNote(LG, 1.18f, 0.5f)})).empty());
    // An item may accept several names.
    pattern.items[1] = PipeNotePattern::Item({C, D}, {0.002f, 0.08f});
    EXPECT_EQ(detect(mapOf({PipeNote(LG, 1.0f, 0.1f), PipeNote(D, 1.1f, 0.05f), PipeNote(LG, 1.15f, 0.5f)})).size(), 1u);
}

TEST_F(PipeNotePatternTest, ShortLastNoteAllowsTwiceTheMaximum)
{
    pattern.shortLastNote = true;
    EXPECT_EQ(detect(mapOf({PipeNote(HG, 1.0f, 0.1f), PipeNote(D, 1.1f, 0.1f), PipeNote(D, 1.2f, 0.4f)})).size(), 1u);
    EXPECT_TRUE(detect(mapOf({PipeNote(HG, 1.0f, 0.1f), PipeNote(D, 1.1f, 0.1f), PipeNote(D, 1.2f, 0.41f)})).empty());
}

TEST_F(PipeNotePatternTest, MustFollowAMelodyNoteEndingAtTheStart)
{
    pattern.mustFollowMelodyNote = true;
    const NoteMap searched = mapOf({PipeNote(HG, 1.0f, 0.1f), PipeNote(D, 1.1f, 0.1f), PipeNote(D, 1.2f, 0.1f)});
    EXPECT_TRUE(detect(searched).empty());
    melody = mapOf({PipeNote(LA, 0.5f, 0.4f)}); // ends at 0.9: within 0.15 s
    EXPECT_EQ(detect(searched).size(), 1u);
}

TEST_F(PipeNotePatternTest, TakenNotesAndExcludedRangesRefuseMatches)
{
    const NoteMap searched = mapOf({PipeNote(HG, 1.0f, 0.1f), PipeNote(D, 1.1f, 0.1f), PipeNote(D, 1.2f, 0.1f)});
    taken = mapOf({PipeNote(dbd, 1.203f, 0.1f)}); // within the 5 ms tolerance of the last start
    EXPECT_TRUE(detect(searched).empty());
    taken = mapOf({PipeNote(dbd, 1.21f, 0.1f)});
    EXPECT_EQ(detect(searched).size(), 1u);
    taken.clear();

    excluded = {TimeRange(1.01f, 2.0f)}; // 1.0 + 0.02 lies inside
    EXPECT_TRUE(detect(searched).empty());
    excluded = {TimeRange(1.03f, 2.0f)};
    EXPECT_EQ(detect(searched).size(), 1u);
}

TEST_F(PipeNotePatternTest, MatchesNeverShareNotes)
{
    const NoteMap three = mapOf({PipeNote(HG, 1.0f, 0.1f), PipeNote(D, 1.1f, 0.1f), PipeNote(D, 1.2f, 0.1f),
                                 PipeNote(HG, 1.3f, 0.1f), PipeNote(D, 1.4f, 0.1f), PipeNote(D, 1.5f, 0.1f),
                                 PipeNote(HG, 1.6f, 0.1f), PipeNote(D, 1.7f, 0.1f), PipeNote(D, 1.8f, 0.1f)});
    EXPECT_EQ(detect(three).size(), 3u);
    pattern.items = {PipeNotePattern::Item(D), PipeNotePattern::Item(D)};
    // D D D: the second pair would reuse the middle D.
    EXPECT_EQ(detect(mapOf({PipeNote(D, 1.0f, 0.1f), PipeNote(D, 1.1f, 0.1f), PipeNote(D, 1.2f, 0.1f)})).size(), 1u);
    pattern.items.clear();
    EXPECT_TRUE(detect(three).empty());
    EXPECT_TRUE(PipeNotePattern(0.2f, 0.15f, 0.005f).detect(NoteMap(), melody, taken, excluded, false).empty());
}

TEST_F(PipeNotePatternTest, ClearKeepsTheTolerances)
{
    pattern.mustFollowMelodyNote = true;
    pattern.shortLastNote = true;
    pattern.clear();
    EXPECT_TRUE(pattern.items.empty());
    EXPECT_FALSE(pattern.mustFollowMelodyNote);
    EXPECT_FALSE(pattern.shortLastNote);
    EXPECT_EQ(pattern.maxItemDuration_s, 0.2f);
    EXPECT_EQ(pattern.joinTolerance_s, 0.15f);
    EXPECT_EQ(pattern.overlapTolerance_s, 0.005f);
}

TEST(PatternMatches, ApplyMakesOneNoteAndRemovesTheMatchedNotes)
{
    NoteMap source = mapOf({PipeNote(HG, 1.0f, 0.05f), PipeNote(D, 1.05f, 0.05f), PipeNote(E, 1.1f, 0.3f),
                            PipeNote(F, 2.0f, 0.5f)});
    PipeNotePattern::Match match;
    for (auto it = source.begin(); it != std::prev(source.end()); ++it)
        match.notes.emplace(it->first, it->second);
    EXPECT_EQ(match.getRange(), TimeRange(1.0f, 1.1f));

    NoteMap destination;
    applyPatternMatches(dbd, {match}, destination, source, 2, false);
    ASSERT_EQ(destination.size(), 1u);
    const PipeNote& made = destination.begin()->second;
    EXPECT_EQ(made.noteName(), dbd);
    EXPECT_EQ(made.start_s(), 1.0f);
    EXPECT_FLOAT_EQ(made.duration_s(), 0.1f);
    EXPECT_FLOAT_EQ(made.melodyNoteStartOffset_s(), 0.1f);
    EXPECT_EQ(source.size(), 1u);

    NoteMap again = mapOf({PipeNote(HG, 1.0f, 0.05f), PipeNote(D, 1.05f, 0.05f), PipeNote(E, 1.1f, 0.3f)});
    NoteMap out;
    applyPatternMatches(dbd, {match}, out, again, 3, true);
    EXPECT_FLOAT_EQ(out.begin()->second.melodyNoteStartOffset_s(), 1.1f + 0.3f - 1.0f);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again.begin()->second.noteName(), E);

    NoteMap negative;
    NoteMap untouched = mapOf({PipeNote(F, 2.0f, 0.5f)});
    applyPatternMatches(dbd, {match, PipeNotePattern::Match()}, negative, untouched, -1, false);
    ASSERT_EQ(negative.size(), 2u);
    EXPECT_EQ(negative.begin()->second.start_s(), -1.0f);
    EXPECT_EQ(std::next(negative.begin())->second.melodyNoteStartOffset_s(), 0.0f);
    EXPECT_EQ(untouched.size(), 1u);
}

TEST(PatternMatches, RemoveNeedsNameAndDurationToAgree)
{
    NoteMap map = mapOf({PipeNote(D, 1.0f, 0.1f), PipeNote(D, 1.0f, 0.2f), PipeNote(E, 1.0f, 0.2f)});
    PipeNotePattern::Match match;
    match.notes = mapOf({PipeNote(D, 1.0f, 0.2f), PipeNote(F, 1.0f, 0.2f)});
    removePatternMatch(match, map);
    ASSERT_EQ(map.size(), 2u);
    EXPECT_EQ(map.begin()->second.duration_s(), 0.1f);
    EXPECT_EQ(std::next(map.begin())->second.noteName(), E);
}

TEST(PatternMatches, OverlapsRangeProbesJustAfterTheStart)
{
    PipeNotePattern::Match match;
    match.notes = mapOf({PipeNote(D, 1.0f, 0.1f)});
    EXPECT_TRUE(patternMatchOverlapsRange(match, {TimeRange(1.01f, 1.5f)}));
    EXPECT_FALSE(patternMatchOverlapsRange(match, {TimeRange(1.03f, 1.5f)}));
    EXPECT_FALSE(patternMatchOverlapsRange(match, {}));
    EXPECT_TRUE(patternMatchOverlapsRange(PipeNotePattern::Match(), {TimeRange(-1.0f, 0.0f)}));
}

} // namespace
