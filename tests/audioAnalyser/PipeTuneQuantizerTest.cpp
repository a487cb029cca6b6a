#include "BmwWriter.h"
#include "EngineProbe.h"
#include "PipeTuneQuantizer.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <tuple>

namespace {

using Item = PipeTuneModel::Item;

// 4/4 with a crotchet of 0.5 s: a 32nd is 62.5 ms.
class PipeTuneQuantizerTest : public ::testing::Test
{
protected:
    PipeTuneModel quantize(std::initializer_list<PipeNote> melody, std::initializer_list<PipeNote> grace = {},
                           float shift_s = 0.0f)
    {
        quantizer.quantize(shift_s, mapOf(melody), mapOf(grace));
        return quantizer.getModel();
    }

    static std::vector<Item> allItems(const PipeTuneModel& model)
    {
        std::vector<Item> items;
        for (const auto& part : model.parts)
            for (const auto& bar : part.bars)
                items.insert(items.end(), bar.items.begin(), bar.items.end());
        return items;
    }

    void SetUp() override
    {
        quantizer.setTimeSignature(4, 4);
        quantizer.setCrotchetDuration_s(0.5f);
    }

    PipeTuneQuantizer quantizer;
};

TEST_F(PipeTuneQuantizerTest, BarsFillAndRowsBreak)
{
    quantizer.setBarsPerRow(4);
    NoteMap melody;
    PipeNoteName name = LA;
    for (int beat = 0; beat < 4 * 9; ++beat) {
        melody.emplace(0.5f * static_cast<float>(beat), PipeNote(name, 0.5f * static_cast<float>(beat), 0.5f));
        name = name == HA ? LA : static_cast<PipeNoteName>(name + 1);
    }
    quantizer.quantize(0.0f, melody, NoteMap());
    const PipeTuneModel model = quantizer.getModel();
    ASSERT_EQ(model.parts.size(), 1u);
    ASSERT_EQ(model.parts[0].bars.size(), 9u);
    for (std::size_t b = 0; b < 9; ++b) {
        EXPECT_EQ(model.parts[0].bars[b].items.size(), 4u);
        EXPECT_EQ(model.parts[0].bars[b].rowBreak, b == 3 || b == 7 || b == 8) << b;
    }
    quantizer.setBarsPerRow(0);
    quantizer.quantize(0.0f, melody, NoteMap());
    const PipeTuneModel everyBar = quantizer.getModel();
    for (const auto& bar : everyBar.parts[0].bars)
        EXPECT_TRUE(bar.rowBreak);
}

TEST_F(PipeTuneQuantizerTest, RoundingUsesACoarserGrid)
{
    const auto notes = {PipeNote(LA, 0.0f, 0.1875f), PipeNote(B, 0.1875f, 0.0625f), PipeNote(C, 0.25f, 0.25f)};
    EXPECT_EQ(allItems(quantize(notes))[1].duration, 32);
    quantizer.setRounding(true);
    for (const Item& item : allItems(quantize(notes)))
        EXPECT_LE(item.duration, 16);
}

TEST_F(PipeTuneQuantizerTest, HoursOfSilenceOrOneLongNoteAreWalkedBeatByBeat)
{
    // Each beat a gap or a note spans is one pass of a loop: 60,000 beats
    // must neither exhaust the stack nor lose the note at the end.
    const PipeTuneModel gap = quantize({PipeNote(D, 0.0f, 0.5f), PipeNote(E, 30000.0f, 0.5f)});
    const std::vector<Item> items = allItems(gap);
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(items.front().name, D);
    EXPECT_EQ(items.back().name, E);
    const PipeTuneModel held = quantize({PipeNote(D, 0.0f, 30000.0f)}, {}, 100.0f);
    EXPECT_GT(allItems(held).size(), 10000u);
}

// The score as BWW, from the time signature on, with tabs and line ends as
// single spaces.
std::string bwwBody(const PipeTuneModel& model)
{
    const std::string text = std::regex_replace(BmwWriter().write(model), std::regex("\r"), "");
    return std::regex_replace(text.substr(text.find("& sharpf sharpc")), std::regex("[ \t\n]+"), " ");
}

TEST_F(PipeTuneQuantizerTest, NotesTakeOneValueWhereTheBarAllowsAndTiesElsewhere)
{
    // A crotchet is 0.5 s in every row; notes, melody or gracing, as (name,
    // start, length) in crotchets; the time shift in seconds.
    struct Row {
        int numerator;
        int denominator;
        std::vector<std::tuple<PipeNoteName, float, float>> notes;
        const char* expected;
        float shift_s = 0.0f;
    };
    const std::vector<Row> rows = {
        {4, 4, {{D, 0, 2}, {E, 2, 1}, {F, 3, 1}}, "D_2 E_4 F_4"},
        {4, 4, {{D, 0, 3}, {E, 3, 1}}, "D_2 'd E_4"},
        {4, 4, {{D, 0, 4}}, "D_1"},
        {4, 4, {{D, 0, 1.5f}, {E, 1.5f, 0.5f}, {F, 2, 2}}, "D_4 'd E_8 F_2"},
        {4, 4, {{D, 0, 1.5f}, {E, 1.5f, 0.25f}, {F, 1.75f, 0.25f}, {LA, 2, 2}}, "D_4 'd Er_16 Fl_16 LA_2"},
        // Across the middle of the bar, or over the bar line: tied.
        {4, 4, {{LA, 0, 1}, {D, 1, 2}, {E, 3, 1}}, "LA_4 ^ts D_4 D_4 ^te E_4"},
        {4, 4, {{LA, 0, 1}, {D, 1, 3}}, "LA_4 ^ts D_4 D_2 ^te"},
        {4, 4, {{LA, 0, 1}, {B, 1, 1}, {D, 2, 4}, {E, 6, 2}}, "LA_4 B_4 ^ts D_2 ! D_2 ^te E_2"},
        {4, 4, {{LA, 0, 0.5f}, {D, 0.5f, 1.5f}, {E, 2, 2}}, "LAr_8 ^ts Dl_8 D_4 ^te E_2"},
        {3, 4, {{LA, 0, 1}, {D, 1, 2}}, "LA_4 D_2"},
        {3, 4, {{D, 0, 3}}, "D_2 'd"},
        {2, 4, {{D, 0, 1.5f}, {E, 1.5f, 0.5f}}, "D_4 'd E_8"},
        {2, 2, {{D, 0, 4}}, "D_1"},
        {2, 2, {{D, 0, 3}, {E, 3, 1}}, "D_2 'd E_4"},
        // In 6/8 only whole dotted-crotchet beats join.
        {6, 8, {{D, 0, 3}}, "D_2 'd"},
        {6, 8, {{D, 0, 2.5f}, {E, 2.5f, 0.5f}}, "^ts D_4 'd D_4 ^te E_8"},
        // Two dotted-crotchet beats a bar, quavers beamed within a beat.
        {6, 8, {{LA, 0, 0.5f}, {B, 0.5f, 0.5f}, {C, 1, 0.5f}, {D, 1.5f, 1.5f}, {E, 3, 1.5f}},
         "LAr_8 Bl_8 Cl_8 D_4 'd ! E_4 'e"},
        // A minim after a gracing, a note held from the last beat of a bar
        // into the next, and a beat of an E of five 32nds (a quaver tied to
        // a 32nd), a semiquaver D and a 32nd C.
        {2, 4, {{gg, 0, 0.06f}, {LA, 0, 2}, {B, 2, 1}, {C, 3, 2}, {E, 5, 0.625f}, {D, 5.625f, 0.25f}, {C, 5.875f, 0.125f}, {E, 6, 2}},
         "gg LA_2 ! B_4 ^ts C_4 ! C_4 ^te ^ts Er_8 El_32 ^te Dl_16 Cl_32 ! E_2"},
        // A pick-up before the first bar line keeps its value in a short
        // first bar, the time shift putting it at the end of the score's.
        {2, 4, {{E, 0, 0.5f}, {LA, 0.5f, 1}, {B, 1.5f, 1}, {C, 2.5f, 1}, {D, 3.5f, 1}}, "E_8 ! LA_4 B_4 ! C_4 D_4", 0.75f},
        {6, 8, {{LA, 0, 0.5f}, {B, 0.5f, 1.5f}, {C, 2, 1.5f}}, "LA_8 ! B_4 'b C_4 'c", 1.25f},
    };
    for (const Row& row : rows) {
        quantizer.setTimeSignature(row.numerator, row.denominator);
        NoteMap melody;
        NoteMap grace;
        for (const auto& [name, start, length] : row.notes)
            (isMelodyNote(name) ? melody : grace).emplace(0.5f * start, PipeNote(name, 0.5f * start, 0.5f * length));
        quantizer.quantize(row.shift_s, melody, grace);
        const std::string signature = std::to_string(row.numerator) + "_" + std::to_string(row.denominator);
        EXPECT_EQ(bwwBody(quantizer.getModel()), "& sharpf sharpc " + signature + " I! " + row.expected + " !I ")
            << signature << ": " << row.expected;
    }
    // The beat after a dotted crotchet in 4/4 begins at the F, not the E.
    quantizer.setTimeSignature(4, 4);
    quantize({PipeNote(D, 0.0f, 0.75f), PipeNote(E, 0.75f, 0.25f), PipeNote(F, 1.0f, 1.0f)});
    EXPECT_NE(BmwWriter().write(quantizer.getModel()).find("\tD_4 'd E_8\tF_2"), std::string::npos);
}

} // namespace
