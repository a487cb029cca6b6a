#include "PipeTuneModel.h"

#include <gtest/gtest.h>

namespace {

using Item = PipeTuneModel::Item;

TEST(PipeTuneModel, ItemLengthsInThirtySeconds)
{
    EXPECT_EQ(Item(D, 8, 1, FlagNone).totalDuration32(), 6);
    EXPECT_EQ(Item(D, 8, 2, FlagNone).totalDuration32(), 6);
    EXPECT_EQ(Item(D, 16, 1, FlagNone).totalDuration32(), 3);
    EXPECT_EQ(Item(D, 32, 1, FlagNone).totalDuration32(), 2); // 1 + round(0.5)
    EXPECT_EQ(Item(D, 4, 0, FlagNone).totalDuration32(), 8);
    EXPECT_EQ(Item(D, 0, 1, FlagNone).totalDuration32(), 0);
    PipeTuneModel::Bar bar;
    bar.items = {Item(gg, 32, 0, FlagNone), Item(D, 8, 1, FlagRight), Item(E, 16, 0, FlagLeft)};
    EXPECT_EQ(bar.totalDuration32(), 1 + 6 + 2);
}

// A model of rows of four one-item bars.
PipeTuneModel rows(int count)
{
    PipeTuneModel model;
    PipeTuneModel::Part part;
    for (int b = 0; b < count * 4; ++b) {
        PipeTuneModel::Bar bar;
        bar.items = {Item(LA, 4, 0, FlagNone)};
        bar.rowBreak = b % 4 == 3;
        part.bars.push_back(bar);
    }
    model.parts = {part};
    return model;
}

TEST(PipeTuneModel, ChangedRows)
{
    const PipeTuneModel previous = rows(5);
    EXPECT_TRUE(getChangedRows(previous, previous).empty());
    EXPECT_EQ(getChangedRows(previous, PipeTuneModel()), (std::vector<std::int32_t>{0, 1, 2, 3, 4}));

    PipeTuneModel current = previous;
    current.parts[0].bars[13].items[0].name = B; // a bar in the middle of row 3
    EXPECT_EQ(getChangedRows(current, previous), std::vector<std::int32_t>{3});

    current = previous;
    current.parts[0].bars[5].rowBreak = true; // only the row break differs
    // Bars are compared by index: the new row 1 (bars 4 and 5) differs; the
    // following rows hold the same bars as before.
    EXPECT_EQ(getChangedRows(current, previous), std::vector<std::int32_t>{1});

    // Rows that only the previous model had are not reported.
    EXPECT_TRUE(getChangedRows(rows(2), previous).empty());
}

} // namespace
