#include "VantorUtils.h"

#include <QString>
#include <QtGlobal>
#include <gtest/gtest.h>

#include <stdexcept>

namespace {

using Note = PipeTuning::ReferenceNote;

NoteMap mapOf(std::initializer_list<PipeNote> notes)
{
    NoteMap map;
    for (const PipeNote& note : notes)
        map.emplace(note.start_s(), note);
    return map;
}

// (name, start, duration) of every note in key order.
std::vector<std::tuple<PipeNoteName, float, float>> spans(const NoteMap& notes)
{
    std::vector<std::tuple<PipeNoteName, float, float>> result;
    for (const auto& [key, note] : notes) {
        EXPECT_EQ(key, note.start_s());
        result.emplace_back(note.noteName(), note.start_s(), note.duration_s());
    }
    return result;
}

using Spans = std::vector<std::tuple<PipeNoteName, float, float>>;

TEST(NoteSelection, DurationIntervalIsHalfOpen)
{
    const NoteMap notes = mapOf({PipeNote(D, 0.0f, 0.015f), PipeNote(E, 1.0f, 0.15f), PipeNote(F, 2.0f, 0.0149f)});
    EXPECT_EQ(spans(filterByDuration(notes, 0.015f, 0.15f)), (Spans{{D, 0.0f, 0.015f}}));
    EXPECT_EQ(spans(filterByNote(E, notes)), (Spans{{E, 1.0f, 0.15f}}));
    EXPECT_TRUE(filterByNote(HA, notes).empty());
}

TEST(NoteSelection, OverlapIsStrictOnBothSides)
{
    const NoteMap notes = mapOf({PipeNote(D, 0.5f, 0.5f), PipeNote(E, 2.0f, 0.1f), PipeNote(F, 0.9f, 0.2f),
                                 PipeNote(C, 1.95f, 0.1f)});
    EXPECT_EQ(spans(notesOverlappingRange(notes, TimeRange(1.0f, 2.0f), 0.0f)),
              (Spans{{F, 0.9f, 0.2f}, {C, 1.95f, 0.1f}}));
    // A tolerance widens the range on both sides.
    EXPECT_EQ(notesOverlappingRange(notes, TimeRange(1.0f, 2.0f), 0.01f).size(), 4u);
}

TEST(NoteSelection, StartAndEndWindowsAreHalfOpen)
{
    const NoteMap notes = mapOf({PipeNote(D, 0.99f, 0.01f), PipeNote(E, 1.0f, 0.02f), PipeNote(F, 0.97f, 0.04f)});
    // Ends at 1.0, 1.02 and 1.01: [0.99, 1.01) holds the first only.
    EXPECT_EQ(spans(notesEndingAt(notes, 1.0f, 0.01f)), (Spans{{D, 0.99f, 0.01f}}));
    // Starts at 0.97, 0.99 and 1.0: [0.99, 1.01) holds the last two.
    EXPECT_EQ(notesStartingAt(notes, 1.0f, 0.01f).size(), 2u);
    EXPECT_TRUE(notesStartingAt(NoteMap(), 1.0f, 0.01f).empty());
}

TEST(ConstrainNotes, ClipsToTheRangeAndDropsWhatIsLeftEmpty)
{
    const NoteMap notes = mapOf({PipeNote(D, 0.5f, 1.0f), PipeNote(E, 1.2f, 0.3f), PipeNote(F, 1.8f, 0.5f),
                                 PipeNote(C, 2.5f, 0.1f), PipeNote(B, 0.0f, 0.5f)});
    EXPECT_EQ(spans(constrainNotes(notes, TimeRange(1.0f, 2.0f))),
              (Spans{{D, 1.0f, 0.5f}, {E, 1.2f, 0.3f}, {F, 1.8f, 2.0f - 1.8f}}));
}

TEST(TrimUsingExisting, SplitsAroundAnExistingNoteInside)
{
    NoteMap notes = mapOf({PipeNote(LA, 1.0f, 1.0f)});
    trimUsingExisting(mapOf({PipeNote(dg, 1.4f, 0.2f)}), notes);
    EXPECT_EQ(spans(notes), (Spans{{LA, 1.0f, 1.4f - 1.0f}, {LA, 1.4f + 0.2f, 2.0f - (1.4f + 0.2f)}}));
}

TEST(TrimUsingExisting, DropsACoveredNoteAndKeepsTheMiddle)
{
    NoteMap covered = mapOf({PipeNote(LA, 1.0f, 0.5f)});
    trimUsingExisting(mapOf({PipeNote(B, 0.9f, 0.7f)}), covered);
    EXPECT_TRUE(covered.empty());

    NoteMap middle = mapOf({PipeNote(LA, 1.0f, 1.0f)});
    trimUsingExisting(mapOf({PipeNote(gg, 0.9f, 0.2f), PipeNote(eg, 1.8f, 0.3f)}), middle);
    EXPECT_EQ(spans(middle), (Spans{{LA, 0.9f + 0.2f, 1.8f - (0.9f + 0.2f)}}));
}

TEST(TrimUsingExisting, HeadAndTailOverlapsTrimOneSideEach)
{
    NoteMap head = mapOf({PipeNote(C, 1.0f, 1.0f)});
    trimUsingExisting(mapOf({PipeNote(gg, 0.9f, 0.2f)}), head);
    EXPECT_EQ(spans(head), (Spans{{C, 0.9f + 0.2f, 2.0f - (0.9f + 0.2f)}}));

    NoteMap tail = mapOf({PipeNote(C, 1.0f, 1.0f)});
    trimUsingExisting(mapOf({PipeNote(gg, 1.9f, 0.2f)}), tail);
    EXPECT_EQ(spans(tail), (Spans{{C, 1.0f, 1.9f - 1.0f}}));

    // Trimmed away completely by two notes meeting inside it.
    NoteMap gone = mapOf({PipeNote(C, 1.0f, 1.0f)});
    trimUsingExisting(mapOf({PipeNote(gg, 0.5f, 1.0f), PipeNote(eg, 1.5f, 0.6f)}), gone);
    EXPECT_TRUE(gone.empty());
}

TEST(TrimUsingExisting, ExistingNoteAtTheSameStartLeavesAnEmptyHead)
{
    NoteMap notes = mapOf({PipeNote(D, 1.0f, 1.0f), PipeNote(E, 3.0f, 0.5f)});
    trimUsingExisting(mapOf({PipeNote(gg, 1.0f, 0.25f)}), notes);
    EXPECT_EQ(spans(notes), (Spans{{D, 1.0f, 0.0f}, {D, 1.25f, 0.75f}, {E, 3.0f, 0.5f}}));
}

TEST(SimpleCombineNotes, MergesCloseFragmentsWhateverTheirNames)
{
    NoteMap notes = mapOf({PipeNote(D, 1.0f, 0.1f), PipeNote(E, 1.105f, 0.1f), PipeNote(F, 1.21f, 0.1f),
                           PipeNote(C, 2.0f, 0.1f)});
    simpleCombineNotes(notes, 0.01f);
    ASSERT_EQ(notes.size(), 2u);
    EXPECT_EQ(notes.begin()->second.noteName(), D);
    EXPECT_FLOAT_EQ(notes.begin()->second.getEnd_s(), 1.31f);
    EXPECT_FLOAT_EQ(notes.begin()->second.start_s(), 1.0f);

    // Overlapping notes merge to the union.
    NoteMap overlapping = mapOf({PipeNote(D, 1.0f, 1.0f), PipeNote(E, 1.2f, 0.1f)});
    simpleCombineNotes(overlapping, 0.0f);
    EXPECT_EQ(spans(overlapping), (Spans{{D, 1.0f, 1.0f}}));

    NoteMap apart = mapOf({PipeNote(D, 1.0f, 0.1f), PipeNote(E, 1.11f, 0.1f)});
    simpleCombineNotes(apart, 0.005f);
    EXPECT_EQ(apart.size(), 2u);
}

TEST(CombineNotes, AbsorbsFragmentsIntoTheTarget)
{
    const std::set<PipeNoteName> always = {LG, HG};
    const std::set<PipeNoteName> ifShort = {F};
    auto combined = [&](std::initializer_list<PipeNote> notes) {
        NoteMap map = mapOf(notes);
        combineNotes(map, HG, always, ifShort, 0.005f, 0.02f);
        return spans(map);
    };
    EXPECT_EQ(combined({PipeNote(LG, 1.0f, 0.03f), PipeNote(HG, 1.03f, 0.02f)}),
              (Spans{{HG, 1.0f, 1.03f + 0.02f - 1.0f}}));
    EXPECT_EQ(combined({PipeNote(F, 1.0f, 0.03f), PipeNote(HG, 1.03f, 0.02f)}).size(), 2u);
    EXPECT_EQ(combined({PipeNote(F, 1.0f, 0.01f), PipeNote(HG, 1.01f, 0.02f)}),
              (Spans{{HG, 1.0f, 1.01f + 0.02f - 1.0f}}));
    // After the target, even an always-name must be short.
    EXPECT_EQ(combined({PipeNote(HG, 1.0f, 0.02f), PipeNote(LG, 1.02f, 0.01f)}),
              (Spans{{HG, 1.0f, 1.02f + 0.01f - 1.0f}}));
    EXPECT_EQ(combined({PipeNote(HG, 1.0f, 0.02f), PipeNote(LG, 1.02f, 0.03f)}).size(), 2u);
    // A gap of the full tolerance keeps them apart.
    EXPECT_EQ(combined({PipeNote(LG, 1.0f, 0.03f), PipeNote(HG, 1.04f, 0.02f)}).size(), 2u);
}

TEST(CombineNotes, RecursiveCombineRepeatsUntilNothingChanges)
{
    NoteMap notes = mapOf({PipeNote(LG, 1.0f, 0.01f), PipeNote(F, 1.01f, 0.01f), PipeNote(HG, 1.02f, 0.01f),
                           PipeNote(LG, 1.03f, 0.01f)});
    recursiveCombineNotes(notes, HG, {LG, HG}, {F}, 0.005f, 0.02f);
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes.begin()->second.noteName(), HG);
    EXPECT_FLOAT_EQ(notes.begin()->second.getEnd_s(), 1.04f);
    NoteMap empty;
    recursiveCombineNotes(empty, HG, {LG}, {F}, 0.005f, 0.02f);
    EXPECT_TRUE(empty.empty());
}

class ExtractNotes : public ::testing::Test
{
protected:
    static constexpr float kStep = 20.0f / 44100.0f;

    void append(Note note, int count) { track.insert(track.end(), static_cast<std::size_t>(count), note); }
    NoteMap extract() { return extractNotes(track, 0.1500001f, 30.0f, kStep); }

    std::vector<Note> track;
};

TEST_F(ExtractNotes, NothingInSilence)
{
    append(PipeTuning::Unknown, 2000);
    EXPECT_TRUE(extract().empty());
    track.clear();
    EXPECT_TRUE(extract().empty());
}

TEST_F(ExtractNotes, SingleNoteRunsFromTheFirstIndexAfterItDominatesToTheLast)
{
    append(PipeTuning::D, 1000);
    EXPECT_EQ(spans(extract()), (Spans{{D, kStep, 999 * kStep - kStep}}));
}

TEST_F(ExtractNotes, ThreeHundredThirtyOneStepsMakeANoteAndThreeHundredThirtyDoNot)
{
    append(PipeTuning::Unknown, 400);
    append(PipeTuning::D, 331);
    append(PipeTuning::Unknown, 400);
    append(PipeTuning::E, 330);
    append(PipeTuning::Unknown, 400);
    const NoteMap notes = extract();
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_EQ(notes.begin()->second.noteName(), D);
    EXPECT_FLOAT_EQ(notes.begin()->second.start_s(), 400 * kStep);
    EXPECT_FLOAT_EQ(notes.begin()->second.duration_s(), 731 * kStep - 400 * kStep);
}

TEST_F(ExtractNotes, ConsecutiveNotesMeetAtTheChange)
{
    append(PipeTuning::LowA, 600);
    append(PipeTuning::B, 600);
    append(PipeTuning::Unknown, 50); // a short drop-out inside C does not split it
    append(PipeTuning::C, 600);
    const NoteMap notes = extract();
    ASSERT_EQ(notes.size(), 3u);
    auto it = notes.begin();
    EXPECT_EQ(it->second.noteName(), LA);
    EXPECT_FLOAT_EQ(it->second.getEnd_s(), 600 * kStep);
    ++it;
    EXPECT_EQ(it->second.noteName(), B);
    EXPECT_FLOAT_EQ(it->second.start_s(), 600 * kStep);
    ++it;
    EXPECT_EQ(it->second.noteName(), C);
    EXPECT_FLOAT_EQ(it->second.start_s(), 1250 * kStep);
}

TEST_F(ExtractNotes, TooLongStretchesAreDropped)
{
    append(PipeTuning::D, 1000);
    EXPECT_TRUE(extractNotes(track, 0.1500001f, 0.2f, kStep).empty());
    EXPECT_TRUE(extractNotes(track, 0.15f, 30.0f, 0.0f).empty());
}

TEST(MelodyAndGrace, GracenoteWithinAMillisecondComesFirst)
{
    const NoteMap melody = mapOf({PipeNote(D, 1.0f, 0.5f), PipeNote(E, 2.0f, 0.5f)});
    const NoteMap grace = mapOf({PipeNote(gg, 1.0005f, 0.02f), PipeNote(eg, 2.002f, 0.02f), PipeNote(tg, 3.0f, 0.02f)});
    const std::vector<PipeNote> merged = combineMelodyAndGraceNotes(melody, grace);
    std::vector<PipeNoteName> names;
    for (const PipeNote& note : merged)
        names.push_back(note.noteName());
    EXPECT_EQ(names, (std::vector<PipeNoteName>{gg, D, E, eg, tg}));

    NoteMap melodyOut;
    NoteMap graceOut;
    splitMelodyAndGraceNotes(merged, melodyOut, graceOut);
    EXPECT_EQ(melodyOut, melody);
    EXPECT_EQ(graceOut, grace);
    EXPECT_TRUE(combineMelodyAndGraceNotes(NoteMap(), NoteMap()).empty());
}

TEST(MelodyAndGrace, TimeShiftClipsMelodyButNotGracing)
{
    const NoteMap melody = mapOf({PipeNote(D, 0.5f, 1.0f), PipeNote(E, 0.0f, 1.0f), PipeNote(F, 2.0f, 0.5f)});
    const NoteMap grace = mapOf({PipeNote(gg, 0.97f, 0.03f), PipeNote(dg, 0.5f, 0.02f)});
    NoteMap melodyOut = mapOf({PipeNote(C, 5.0f, 1.0f)});
    NoteMap graceOut;
    timeShiftNotes(-1.0f, melody, grace, melodyOut, graceOut);
    EXPECT_EQ(spans(melodyOut), (Spans{{D, 0.0f, 0.5f}, {F, 1.0f, 0.5f}, {C, 5.0f, 1.0f}}));
    ASSERT_EQ(graceOut.size(), 1u);
    EXPECT_EQ(graceOut.begin()->second.start_s(), 0.97f - 1.0f);
    EXPECT_EQ(graceOut.begin()->second.noteName(), gg);
}

TEST(MelodyAndGrace, IteratorForNoteMatchesNameWithinAMillisecond)
{
    NoteMap notes = mapOf({PipeNote(D, 1.0f, 0.5f), PipeNote(gg, 1.0f, 0.02f)});
    EXPECT_EQ(getIteratorForNote(PipeNote(gg, 1.0009f, 0.0f), notes)->second.noteName(), gg);
    EXPECT_EQ(getIteratorForNote(PipeNote(gg, 1.0011f, 0.0f), notes), notes.end());
    EXPECT_EQ(getIteratorForNote(PipeNote(E, 1.0f, 0.0f), notes), notes.end());
}

TEST(SmoothSamples, AveragesBlocksWithEnoughSteadyValues)
{
    const std::vector<float> x = {1.0f, 1.2f, 0.8f, 1.0f,    // mean 1
                                  1.1f, 0.9f, 9.0f, 5.0f,    // two in range: exactly half
                                  1.0f, 0.0f, 9.0f, 9.0f,    // one in range: below half
                                  1.0f, 2.0f, 1.0f, 2.0f};   // spread 1, not below 1
    EXPECT_EQ(smoothSamples(x, 4, 0, 16, 0.5f, 5.0f, 1.0f),
              (std::vector<float>{1.0f, 1.0f, 0.0f, 0.0f}));
    // Only whole blocks count.
    EXPECT_EQ(smoothSamples(x, 4, 0, 7, 0.5f, 5.0f, 1.0f).size(), 1u);
    EXPECT_TRUE(smoothSamples(x, 0, 0, 16, 0.5f, 5.0f, 1.0f).empty());
    EXPECT_THROW(smoothSamples(x, 4, 8, 20, 0.5f, 5.0f, 1.0f), std::out_of_range);
}

TEST(Troughs, FindsTheLowestPointOfAVShapedDip)
{
    std::vector<float> x(60, 0.95f);
    const float dip[] = {0.93f, 0.9f, 0.85f, 0.8f, 0.75f, 0.8f, 0.85f, 0.9f, 0.93f};
    for (int k = 0; k < 9; ++k)
        x[26 + k] = dip[k];
    EXPECT_EQ(detectTroughs(x, 4, 0.05f, 0.5f), std::vector<int>{30});
    // Too deep for the maximum depth.
    EXPECT_TRUE(detectTroughs(x, 4, 0.05f, 0.1f).empty());
    // Not deep enough.
    EXPECT_TRUE(detectTroughs(x, 4, 0.25f, 0.5f).empty());
    // A gap of zeros inside the dip makes it invalid.
    x[29] = 0.0f;
    x[31] = 0.0f;
    EXPECT_TRUE(detectTroughs(x, 4, 0.05f, 0.5f).empty());
    EXPECT_TRUE(detectTroughs(std::vector<float>(8, 1.0f), 4, 0.05f, 0.5f).empty());
}

TEST(Troughs, ValidTroughReportsItsPointsAndChecksRange)
{
    const std::vector<float> x = {1.0f, 0.5f, 0.8f};
    float left = 0.0f;
    float middle = 0.0f;
    float right = 0.0f;
    EXPECT_TRUE(validTrough(x, 0, 1, 0.2f, left, middle, right));
    EXPECT_EQ(left, 1.0f);
    EXPECT_EQ(middle, 0.5f);
    EXPECT_EQ(right, 0.8f);
    // The rise on the right must reach half the minimum depth.
    EXPECT_FALSE(validTrough(x, 0, 1, 0.7f, left, middle, right));
    EXPECT_THROW(validTrough(x, 1, 1, 0.2f, left, middle, right), std::out_of_range);
    EXPECT_THROW(validTrough(x, -1, 1, 0.2f, left, middle, right), std::out_of_range);
}

std::vector<std::string> logged;

void captureMessage(QtMsgType, const QMessageLogContext&, const QString& message)
{
    logged.push_back(message.toStdString());
}

TEST(OutputNotes, WritesALabelALinePerNoteAndABlankLine)
{
    logged.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureMessage);
    outputNotes("melody", mapOf({PipeNote(D, 1.5f, 0.25f), PipeNote(E, 2.0f, 0.5f)}));
    qInstallMessageHandler(previous);
    ASSERT_EQ(logged.size(), 4u);
    EXPECT_NE(logged[0].find("Vantor: "), std::string::npos);
    EXPECT_NE(logged[0].find("\"melody\""), std::string::npos);
    EXPECT_NE(logged[1].find("\"D\""), std::string::npos);
    EXPECT_NE(logged[2].find("diff:  0.25"), std::string::npos);
    EXPECT_EQ(logged[3], " ");
}

} // namespace
