#include "PipeNotePattern.h"

#include "EngineProbe.h"

#include <gtest/gtest.h>

namespace {

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

} // namespace
