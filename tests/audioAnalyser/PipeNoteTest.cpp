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

} // namespace
