#include "GroupQuantizer.h"

#include <gtest/gtest.h>

namespace {

using Item = PipeTuneModel::Item;

constexpr double k32 = 0.05; // seconds per 32nd in these tests

// A beat of beat32 32nds with notes of the given lengths in 32nds.
QuantizerGroup beat(double beat32, std::initializer_list<double> notes32)
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
    EXPECT_EQ(spelled(12), (V{{4, 1}}));
    EXPECT_EQ(spelled(6), (V{{8, 1}}));
    EXPECT_EQ(spelled(5), (V{{8, 0}, {32, 0}}));
    EXPECT_EQ(spelled(7), (V{{8, 0}, {16, 1}}));
    EXPECT_EQ(spelled(10), (V{{4, 0}, {16, 0}}));
    EXPECT_EQ(spelled(40), (V{{1, 0}, {4, 0}}));
    EXPECT_TRUE(spelled(0).empty());
    EXPECT_EQ(getItemsFrom32s(3).front().name, Unknown);
}

TEST(GroupQuantizer, SetPatternChoosesCompoundRhythms)
{
    GroupQuantizer quantizer(k32);
    quantizer.setQuantizationType(SetPattern);
    EXPECT_EQ(lengths(quantizer.quantize(beat(12, {12}))), (std::vector<int>{12}));
    EXPECT_EQ(lengths(quantizer.quantize(beat(12, {8, 4}))), (std::vector<int>{8, 4}));
    EXPECT_EQ(lengths(quantizer.quantize(beat(12, {6, 6}))), (std::vector<int>{4, 4})); // not above 6
    EXPECT_EQ(lengths(quantizer.quantize(beat(12, {4, 4, 4}))), (std::vector<int>{4, 4, 4}));
    EXPECT_EQ(lengths(quantizer.quantize(beat(12, {6, 2, 4}))), (std::vector<int>{6, 2, 4}));
    EXPECT_EQ(lengths(quantizer.quantize(beat(12, {3, 3, 3, 3}))), (std::vector<int>{4, 4, 4, 4}));
    quantizer.setMinQuantizationLevel(4);
    EXPECT_EQ(lengths(quantizer.quantize(beat(12, {6, 2, 4}))), (std::vector<int>{4, 4, 4}));
}

} // namespace
