#include "BmwCode.h"

#include <gtest/gtest.h>

namespace {


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

} // namespace
