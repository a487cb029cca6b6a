#include "BmwWriter.h"

#include "BmwCode.h"
#include "WaveFile.h"

#include <gtest/gtest.h>

namespace {

using Item = PipeTuneModel::Item;

TEST(BmwCode, TokenTableAndNoteMapping)
{
    EXPECT_EQ(toString(BmwUnknown), "Unknown");
    EXPECT_EQ(toString(BmwPartStartRepeat), "I!''");
    EXPECT_EQ(toString(BmwStaffEnd), "!t");
    EXPECT_EQ(toString(BmwEnd), "");
    EXPECT_EQ(toString(static_cast<BmwCode>(86)), "Unknown");
    for (int value = LG; value <= strhg; ++value) {
        const auto name = static_cast<PipeNoteName>(value);
        const BmwCode code = toBmwCode(name);
        EXPECT_EQ(toPipeNoteName(code), name);
        // Gracing tokens are the note vocabulary's own texts.
        EXPECT_EQ(toString(code), toString(name));
    }
    EXPECT_EQ(toBmwCode(Unknown), BmwUnknown);
    EXPECT_EQ(toBmwCode(static_cast<PipeNoteName>(58)), BmwUnknown);
    EXPECT_EQ(toPipeNoteName(BmwSharpF), Unknown);
    EXPECT_EQ(toPipeNoteName(static_cast<BmwCode>(59)), Unknown);
    EXPECT_EQ(toString(static_cast<BmwCode>(59)), "'lg");
    EXPECT_EQ(toString(static_cast<BmwCode>(76)), "''ha");
    EXPECT_EQ(numDots(static_cast<BmwCode>(67)), 1);
    EXPECT_EQ(numDots(static_cast<BmwCode>(68)), 2);
    EXPECT_EQ(numDots(BmwHA), 0);
    EXPECT_TRUE(isMelodyNote(BmwHA));
    EXPECT_FALSE(isMelodyNote(static_cast<BmwCode>(19)));
}

class BmwWriterText : public ::testing::Test
{
protected:
    static PipeTuneModel::Bar bar(std::vector<Item> items, bool rowBreak = false)
    {
        PipeTuneModel::Bar b;
        b.items = std::move(items);
        b.rowBreak = rowBreak;
        return b;
    }
    BmwWriter writer;
    const std::string headers = [] {
        BmwWriter w;
        w.setTuneName("Tune");
        w.setTuneType("March");
        w.setComposer("Me");
        return w.generateHeaders();
    }();

    void SetUp() override
    {
        writer.setTuneName("Tune");
        writer.setTuneType("March");
        writer.setComposer("Me");
    }
};

TEST_F(BmwWriterText, TwoBarTuneWithBeatsAndGracing)
{
    PipeTuneModel model;
    model.setTimeSigNumerator(2);
    PipeTuneModel::Part part;
    part.bars = {bar({Item(gg, 32, 0, FlagNone), Item(LA, 4, 0, FlagNone), Item(D, 16, 0, FlagRight),
                      Item(E, 8, 1, FlagLeft)}),
                 bar({Item(C, 2, 0, FlagNone)}, true)};
    model.parts = {part};
    EXPECT_EQ(writer.write(model), headers + "& sharpf sharpc 2_4\r\n"
                                             "I!\tgg LA_4\tDr_16 El_8 'e\r\n"
                                             "!\tC_2 !I\r\n\r\n\r\n\r\n");
}

} // namespace
