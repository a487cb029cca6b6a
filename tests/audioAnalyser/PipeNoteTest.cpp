#include "PipeNote.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

PipeNoteName name(int value) { return static_cast<PipeNoteName>(value); }

struct NameRow {
    PipeNoteName name;
    const char* text;
    std::vector<PipeNoteName> notes;
};

// A name's text is its symbol's.
#define ROW(name, ...) NameRow{name, #name, {__VA_ARGS__}}

// The vocabulary in value order, each name with the notes it sounds.
const std::vector<NameRow>& vocabulary()
{
    static const std::vector<NameRow> rows = {
        ROW(Unknown), ROW(LG, LG), ROW(LA, LA), ROW(B, B), ROW(C, C), ROW(D, D), ROW(E, E), ROW(F, F), ROW(HG, HG),
        ROW(HA, HA), ROW(ag, LA), ROW(bg, B), ROW(cg, C), ROW(dg, D), ROW(eg, E), ROW(fg, F), ROW(gg, HG), ROW(tg, HA),
        ROW(dblg, HG, LG, D), ROW(dbla, HG, LA, D), ROW(dbb, HG, B, D), ROW(dbc, HG, C, D), ROW(dbd, HG, D, E),
        ROW(dbe, HG, E, F), ROW(dbf, HG, F, HG), ROW(dbhg, HG, F), ROW(dbha, HA, HG),
        ROW(tdblg, HA, LG, D), ROW(tdbla, HA, LA, D), ROW(tdbb, HA, B, D), ROW(tdbc, HA, C, D), ROW(tdbd, HA, D, E),
        ROW(tdbe, HA, E, F), ROW(tdbf, HA, F, HG),
        ROW(hdblg, LG, D), ROW(hdbla, LA, D), ROW(hdbb, B, D), ROW(hdbc, C, D), ROW(hdbd, D, E), ROW(hdbe, E, F),
        ROW(hdbf, F, HG), ROW(grp, LG, D, LG), ROW(thrd, LG, D, C), ROW(hthrd, D, C), ROW(tar, LG, D, LG, E),
        ROW(tarb, LG, B, LG, E), ROW(brl, LG, LA, LG), ROW(abr, LA, LG, LA, LG), ROW(gbr, HG, LA, LG, LA, LG),
        ROW(tbr, HA, LA, LG, LA, LG), ROW(strlg, LG), ROW(strla, LA), ROW(strb, B), ROW(strc, C), ROW(strd, D),
        ROW(stre, E), ROW(strf, F), ROW(strhg, HG),
    };
    return rows;
}

// Melody notes 1 to 9, single gracenotes 10 to 17, strikes 50 to 57; the
// rest (Unknown and the movements) draw as complex movements.
PipeNoteType typeOf(int value)
{
    if (value >= 1 && value <= 9)
        return MelodyNote;
    if (value >= 10 && value <= 17)
        return GraceNote;
    return value >= 50 && value <= 57 ? Strike : ComplexMovement;
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
        EXPECT_EQ(noteTypeFromName(row.name), typeOf(static_cast<int>(value)));
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
