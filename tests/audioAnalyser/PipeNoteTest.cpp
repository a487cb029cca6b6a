#include "PipeNote.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

PipeNoteName name(int value) { return static_cast<PipeNoteName>(value); }

struct NameRow {
    PipeNoteName name;
    const char* text;
    PipeNoteType type;
    std::vector<PipeNoteName> notes;
};

// The vocabulary table: value, text, drawing type and constituent notes.
const std::vector<NameRow>& vocabulary()
{
    static const std::vector<NameRow> rows = {
        {Unknown, "Unknown", ComplexMovement, {}},
        {LG, "LG", MelodyNote, {LG}}, {LA, "LA", MelodyNote, {LA}}, {B, "B", MelodyNote, {B}},
        {C, "C", MelodyNote, {C}}, {D, "D", MelodyNote, {D}}, {E, "E", MelodyNote, {E}},
        {F, "F", MelodyNote, {F}}, {HG, "HG", MelodyNote, {HG}}, {HA, "HA", MelodyNote, {HA}},
        {ag, "ag", GraceNote, {LA}}, {bg, "bg", GraceNote, {B}}, {cg, "cg", GraceNote, {C}},
        {dg, "dg", GraceNote, {D}}, {eg, "eg", GraceNote, {E}}, {fg, "fg", GraceNote, {F}},
        {gg, "gg", GraceNote, {HG}}, {tg, "tg", GraceNote, {HA}},
        {dblg, "dblg", ComplexMovement, {HG, LG, D}}, {dbla, "dbla", ComplexMovement, {HG, LA, D}},
        {dbb, "dbb", ComplexMovement, {HG, B, D}}, {dbc, "dbc", ComplexMovement, {HG, C, D}},
        {dbd, "dbd", ComplexMovement, {HG, D, E}}, {dbe, "dbe", ComplexMovement, {HG, E, F}},
        {dbf, "dbf", ComplexMovement, {HG, F, HG}}, {dbhg, "dbhg", ComplexMovement, {HG, F}},
        {dbha, "dbha", ComplexMovement, {HA, HG}},
        {tdblg, "tdblg", ComplexMovement, {HA, LG, D}}, {tdbla, "tdbla", ComplexMovement, {HA, LA, D}},
        {tdbb, "tdbb", ComplexMovement, {HA, B, D}}, {tdbc, "tdbc", ComplexMovement, {HA, C, D}},
        {tdbd, "tdbd", ComplexMovement, {HA, D, E}}, {tdbe, "tdbe", ComplexMovement, {HA, E, F}},
        {tdbf, "tdbf", ComplexMovement, {HA, F, HG}},
        {hdblg, "hdblg", ComplexMovement, {LG, D}}, {hdbla, "hdbla", ComplexMovement, {LA, D}},
        {hdbb, "hdbb", ComplexMovement, {B, D}}, {hdbc, "hdbc", ComplexMovement, {C, D}},
        {hdbd, "hdbd", ComplexMovement, {D, E}}, {hdbe, "hdbe", ComplexMovement, {E, F}},
        {hdbf, "hdbf", ComplexMovement, {F, HG}},
        {grp, "grp", ComplexMovement, {LG, D, LG}}, {thrd, "thrd", ComplexMovement, {LG, D, C}},
        {hthrd, "hthrd", ComplexMovement, {D, C}}, {tar, "tar", ComplexMovement, {LG, D, LG, E}},
        {tarb, "tarb", ComplexMovement, {LG, B, LG, E}}, {brl, "brl", ComplexMovement, {LG, LA, LG}},
        {abr, "abr", ComplexMovement, {LA, LG, LA, LG}}, {gbr, "gbr", ComplexMovement, {HG, LA, LG, LA, LG}},
        {tbr, "tbr", ComplexMovement, {HA, LA, LG, LA, LG}},
        {strlg, "strlg", Strike, {LG}}, {strla, "strla", Strike, {LA}}, {strb, "strb", Strike, {B}},
        {strc, "strc", Strike, {C}}, {strd, "strd", Strike, {D}}, {stre, "stre", Strike, {E}},
        {strf, "strf", Strike, {F}}, {strhg, "strhg", Strike, {HG}},
    };
    return rows;
}

TEST(PipeNoteName, VocabularyTableHasFixedValuesTextsTypesAndNotes)
{
    ASSERT_EQ(vocabulary().size(), 58u);
    for (std::size_t value = 0; value < vocabulary().size(); ++value) {
        const NameRow& row = vocabulary()[value];
        SCOPED_TRACE(row.text);
        EXPECT_EQ(static_cast<int>(row.name), static_cast<int>(value));
        EXPECT_EQ(toString(row.name), row.text);
        std::ostringstream stream;
        stream << row.name;
        EXPECT_EQ(stream.str(), row.text);
        EXPECT_EQ(noteTypeFromName(row.name), row.type);
        EXPECT_EQ(getNoteNames(row.name), row.notes);
    }
}

TEST(PipeNoteName, ValuesOutsideTheVocabularyAreUnknown)
{
    for (int value : {-1, 58, 59, 1000}) {
        EXPECT_EQ(toString(name(value)), "Unknown");
        EXPECT_EQ(noteTypeFromName(name(value)), ComplexMovement);
        EXPECT_TRUE(getNoteNames(name(value)).empty());
        EXPECT_EQ(melodyNoteOrdinalValue(name(value)), -1);
        EXPECT_EQ(melodyToSingleGraceNote(name(value)), Unknown);
        EXPECT_EQ(strikeToMelodyNote(name(value)), Unknown);
    }
}

TEST(PipeNoteName, ClassificationRangesMeetAtTheirBoundaries)
{
    for (int value = -1; value <= 59; ++value) {
        SCOPED_TRACE(value);
        EXPECT_EQ(isMelodyNote(name(value)), value >= 1 && value <= 9);
        EXPECT_EQ(isComplexMovement(name(value)), value > 17);
        EXPECT_EQ(isHalfDoubling(name(value)), value >= 34 && value <= 40);
        EXPECT_EQ(isSingleGraceNote(name(value)), (value >= 10 && value <= 17) || (value >= 50 && value <= 57));
    }
    EXPECT_FALSE(isComplexMovement(Unknown));
    EXPECT_TRUE(isComplexMovement(strhg));
}

TEST(PipeNoteName, OnlyDEAndHighGGracenotesArePrimary)
{
    for (int value = 0; value < 58; ++value)
        EXPECT_EQ(isPrimaryGracenote(name(value)), value == dg || value == eg || value == gg) << value;
}

TEST(PipeNoteName, ConversionsBetweenMelodyGracenoteAndStrike)
{
    for (int value = LA; value <= HA; ++value) {
        EXPECT_EQ(melodyToSingleGraceNote(name(value)), name(value + 8));
        EXPECT_EQ(graceNoteToMelodyNote(name(value + 8)), name(value));
    }
    for (int value = LG; value <= HG; ++value) {
        EXPECT_EQ(melodyToStrike(name(value)), name(value + 49));
        EXPECT_EQ(strikeToMelodyNote(name(value + 49)), name(value));
    }
    // There is no gracenote on Low G and no strike on High A.
    EXPECT_EQ(melodyToSingleGraceNote(LG), Unknown);
    EXPECT_EQ(melodyToStrike(HA), Unknown);
    EXPECT_EQ(graceNoteToMelodyNote(strlg), Unknown);
    EXPECT_EQ(graceNoteToMelodyNote(HA), Unknown);
    EXPECT_EQ(strikeToMelodyNote(tg), Unknown);
}

TEST(PipeNoteName, OrdinalsCoverMelodyNotesOnly)
{
    for (int value = LG; value <= HA; ++value)
        EXPECT_EQ(melodyNoteOrdinalValue(name(value)), value - 1);
    EXPECT_EQ(melodyNoteOrdinalValue(tg), -1);
    EXPECT_EQ(melodyNoteOrdinalValue(Unknown), -1);
}

TEST(PipeNote, DerivedTimes)
{
    PipeNote doubling(dbe, 1.25f, 0.5f);
    doubling.setMelodyNoteStartOffset_s(0.125f);
    EXPECT_FLOAT_EQ(doubling.getEnd_s(), 1.75f);
    EXPECT_FLOAT_EQ(doubling.melodyNoteStart_s(), 1.375f);
}

TEST(PipeNote, TextFormUsesDefaultStreamFormatting)
{
    EXPECT_EQ(toString(PipeNote(D, 1.5f, 0.25f)), "{D, s: 1.5 + (0), d: 0.25}");
    PipeNote note(tar, 12.3456789f, 0.1f);
    note.setMelodyNoteStartOffset_s(0.075f);
    std::ostringstream stream;
    stream << note;
    EXPECT_EQ(stream.str(), "{tar, s: 12.3457 + (0.075), d: 0.1}");
}

TEST(NoteMap, KeepsNotesWithEqualStartsInInsertionOrder)
{
    NoteMap notes;
    notes.emplace(0.5f, PipeNote(E, 0.5f, 0.1f));
    notes.emplace(0.25f, PipeNote(D, 0.25f, 0.1f));
    notes.emplace(0.5f, PipeNote(gg, 0.5f, 0.02f));
    ASSERT_EQ(notes.size(), 3u);
    auto it = notes.begin();
    EXPECT_EQ((it++)->second.noteName(), D);
    EXPECT_EQ((it++)->second.noteName(), E);
    EXPECT_EQ((it++)->second.noteName(), gg);
}

} // namespace
