#include "GroupQuantizer.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

using Item = PipeTuneModel::Item;

constexpr double k32 = 0.05; // seconds per 32nd in these tests

// A beat of beat32 32nds with notes of the given lengths in 32nds.
QuantizerGroup beat(double beat32, const std::vector<double>& notes32)
{
    QuantizerGroup group;
    group.start_s = 0.0f;
    group.duration_s = static_cast<float>(beat32 * k32);
    PipeNoteName name = LA;
    float t = 0.0f;
    for (double n : notes32) {
        NoteWrapper wrapper;
        wrapper.note = PipeNote(name, t, static_cast<float>(n * k32));
        t += wrapper.note.duration_s();
        name = static_cast<PipeNoteName>(name + 1);
        group.noteWrappers.push_back(wrapper);
    }
    return group;
}

// Each note's length in 32nds, from its items.
std::vector<int> lengths(const std::map<int, std::vector<Item>>& items)
{
    std::vector<int> result;
    for (const auto& [index, noteItems] : items) {
        int total = 0;
        for (const Item& item : noteItems) {
            if (isMelodyNote(item.name))
                total += item.totalDuration32();
        }
        result.push_back(total);
    }
    return result;
}

TEST(GroupQuantizer, SpellsThirtySecondsAsNoteValues)
{
    auto spelled = [](int n) {
        std::vector<std::pair<int, int>> values;
        for (const Item& item : getItemsFrom32s(n))
            values.emplace_back(item.duration, item.dots);
        return values;
    };
    using V = std::vector<std::pair<int, int>>;
    const std::pair<int, V> rows[] = {{12, {{4, 1}}},         {6, {{8, 1}}},          {5, {{8, 0}, {32, 0}}},
                                      {7, {{8, 0}, {16, 1}}}, {10, {{4, 0}, {16, 0}}}, {40, {{1, 0}, {4, 0}}},
                                      {0, {}}};
    for (const auto& [thirtySeconds, values] : rows)
        EXPECT_EQ(spelled(thirtySeconds), values) << thirtySeconds;
    EXPECT_EQ(getItemsFrom32s(3).front().name, Unknown);
}

TEST(GroupQuantizer, EveryBeatAddsUpAndALeadInIsNoNoteOfItsOwn)
{
    GroupQuantizer quantizer(k32);
    // Rounded one by one these come to 9, 7 and 10 32nds in a beat of 8.
    const std::pair<std::vector<double>, int> beats[] = {
        {{3.4, 3.4, 1.2}, 8}, {{2.6, 2.6, 2.8}, 8}, {{1.4, 1.4, 1.4, 1.4, 1.4, 1.0}, 8}, {{5, 5, 6}, 16}};
    for (const auto& [notes, beat32] : beats) {
        const std::vector<int> fitted = lengths(quantizer.quantize(beat(beat32, notes)));
        int sum = 0;
        for (int length : fitted) {
            EXPECT_GT(length, 0);
            sum += length;
        }
        EXPECT_EQ(sum, beat32);
    }
    // A throw's lead-in D, a 32nd, before the D it leads into: not written;
    // its gracing goes with the D.
    QuantizerGroup throwOnD = beat(8, {1, 8});
    for (NoteWrapper& wrapper : throwOnD.noteWrappers)
        wrapper.note.setNoteName(D);
    throwOnD.noteWrappers[0].gracenotes.push_back(PipeNote(gg, 0.0f, 0.02f));
    throwOnD.noteWrappers[1].gracenotes.push_back(PipeNote(strc, 0.05f, 0.02f));
    const auto items = quantizer.quantize(throwOnD);
    EXPECT_EQ(lengths(items), (std::vector<int>{0, 8}));
    ASSERT_EQ(items.at(1).size(), 3u);
    EXPECT_EQ(items.at(1)[0].name, gg);
    EXPECT_EQ(items.at(1)[1].name, strc);
    // A cut note as short before a note of another pitch is a note: the
    // note rounded up most gives the excess back.
    EXPECT_EQ(lengths(quantizer.quantize(beat(8, {1.4, 2.55, 2.55, 1.5}))), (std::vector<int>{1, 3, 3, 1}));
    // A note started a hair before the beat it is held into: not written
    // here.
    QuantizerGroup early = beat(8, {3.55, 3.55, 0.9});
    early.noteWrappers[2].continues = true;
    EXPECT_EQ(lengths(quantizer.quantize(early)), (std::vector<int>{4, 4, 0}));
    // Nor is the lead-in of an embellishment on the next beat's first note.
    early.noteWrappers[2].continues = false;
    early.following = early.noteWrappers[2].note.noteName();
    EXPECT_EQ(lengths(quantizer.quantize(early)), (std::vector<int>{4, 4, 0}));
}

TEST(GroupQuantizer, SetPatternChoosesCompoundRhythms)
{
    GroupQuantizer quantizer(k32);
    quantizer.setQuantizationType(SetPattern);
    // Played exactly, each pattern comes out as played: two even notes as
    // two dotted quavers; a crotchet and two semiquavers, where the
    // pattern's dotted quaver would leave the beat two 32nds short.
    for (const std::vector<int>& exact : {std::vector<int>{12}, {8, 4}, {6, 6}, {8, 2, 2}, {4, 4, 4}, {6, 2, 4}})
        EXPECT_EQ(lengths(quantizer.quantize(beat(12, std::vector<double>(exact.begin(), exact.end())))), exact);
    // Four notes: every one kept, the beat exactly full.
    const std::vector<int> four = lengths(quantizer.quantize(beat(12, {3, 3, 3, 3})));
    ASSERT_EQ(four.size(), 4u);
    EXPECT_EQ(four[0] + four[1] + four[2] + four[3], 12);
    EXPECT_EQ(std::count(four.begin(), four.end(), 0), 0);
    quantizer.setMinQuantizationLevel(4);
    EXPECT_EQ(lengths(quantizer.quantize(beat(12, {6, 2, 4}))), (std::vector<int>{4, 4, 4}));
}

} // namespace
