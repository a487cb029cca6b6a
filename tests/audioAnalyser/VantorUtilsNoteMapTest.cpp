#include "VantorUtils.h"

#include "EngineProbe.h"

#include <gtest/gtest.h>

namespace {

using Note = PipeTuning::ReferenceNote;

// (name, start, duration) of every note in key order.
std::vector<std::tuple<PipeNoteName, float, float>> entries(const NoteMap& notes)
{
    std::vector<std::tuple<PipeNoteName, float, float>> result;
    for (const auto& [key, note] : notes) {
        EXPECT_EQ(key, note.start_s());
        result.emplace_back(note.noteName(), note.start_s(), note.duration_s());
    }
    return result;
}

using Spans = std::vector<std::tuple<PipeNoteName, float, float>>;

TEST(NoteSelection, DurationStartAndEndWindowsAreHalfOpen)
{
    const NoteMap lengths = mapOf({PipeNote(D, 0.0f, 0.015f), PipeNote(E, 1.0f, 0.15f), PipeNote(F, 2.0f, 0.0149f)});
    EXPECT_EQ(entries(filterByDuration(lengths, 0.015f, 0.15f)), (Spans{{D, 0.0f, 0.015f}}));
    EXPECT_EQ(entries(filterByNote(E, lengths)), (Spans{{E, 1.0f, 0.15f}}));
    EXPECT_TRUE(filterByNote(HA, lengths).empty());
    const NoteMap notes = mapOf({PipeNote(D, 0.99f, 0.01f), PipeNote(E, 1.0f, 0.02f), PipeNote(F, 0.97f, 0.04f)});
    // Ends at 1.0, 1.02 and 1.01: [0.99, 1.01) holds the first only.
    EXPECT_EQ(entries(notesEndingAt(notes, 1.0f, 0.01f)), (Spans{{D, 0.99f, 0.01f}}));
    // Starts at 0.97, 0.99 and 1.0: [0.99, 1.01) holds the last two.
    EXPECT_EQ(notesStartingAt(notes, 1.0f, 0.01f).size(), 2u);
    EXPECT_TRUE(notesStartingAt(NoteMap(), 1.0f, 0.01f).empty());
}

TEST(TrimUsingExisting, SplitsAroundAnExistingNoteInside)
{
    NoteMap notes = mapOf({PipeNote(LA, 1.0f, 1.0f)});
    trimUsingExisting(mapOf({PipeNote(dg, 1.4f, 0.2f)}), notes);
    EXPECT_EQ(entries(notes), (Spans{{LA, 1.0f, 1.4f - 1.0f}, {LA, 1.4f + 0.2f, 2.0f - (1.4f + 0.2f)}}));
}

TEST(ExtractNotes, ThreeHundredThirtyOneStepsMakeANoteAndThreeHundredThirtyDoNot)
{
    constexpr float kStep = 20.0f / 44100.0f;
    const std::pair<Note, int> runs[] = {
        {PipeTuning::Unknown, 400}, {PipeTuning::D, 331}, {PipeTuning::Unknown, 400}, {PipeTuning::E, 330},
        {PipeTuning::Unknown, 400}};
    std::vector<Note> track;
    for (const auto& [note, count] : runs)
        track.insert(track.end(), static_cast<std::size_t>(count), note);
    const NoteMap notes = extractNotes(track, 0.1500001f, 30.0f, kStep);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes.begin()->second.noteName(), D);
    EXPECT_FLOAT_EQ(notes.begin()->second.start_s(), 400 * kStep);
    EXPECT_FLOAT_EQ(notes.begin()->second.duration_s(), 731 * kStep - 400 * kStep);
}

TEST(MelodyAndGrace, TimeShiftClipsMelodyButNotGracing)
{
    const NoteMap melody = mapOf({PipeNote(D, 0.5f, 1.0f), PipeNote(E, 0.0f, 1.0f), PipeNote(F, 2.0f, 0.5f)});
    const NoteMap grace = mapOf({PipeNote(gg, 0.97f, 0.03f), PipeNote(dg, 0.5f, 0.02f)});
    NoteMap melodyOut = mapOf({PipeNote(C, 5.0f, 1.0f)});
    NoteMap graceOut;
    timeShiftNotes(-1.0f, melody, grace, melodyOut, graceOut);
    EXPECT_EQ(entries(melodyOut), (Spans{{D, 0.0f, 0.5f}, {F, 1.0f, 0.5f}, {C, 5.0f, 1.0f}}));
    ASSERT_EQ(graceOut.size(), 1u);
    EXPECT_EQ(graceOut.begin()->second.start_s(), 0.97f - 1.0f);
    EXPECT_EQ(graceOut.begin()->second.noteName(), gg);
}

} // namespace
