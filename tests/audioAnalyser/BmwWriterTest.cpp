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

TEST(BmwWriter, ItemTokens)
{
    BmwWriter writer;
    EXPECT_EQ(writer.itemToBmw(Item(LA, 4, 0, FlagNone)), "LA_4");
    EXPECT_EQ(writer.itemToBmw(Item(D, 16, 0, FlagRight)), "Dr_16");
    EXPECT_EQ(writer.itemToBmw(Item(E, 16, 0, FlagLeft)), "El_16");
    EXPECT_EQ(writer.itemToBmw(Item(C, 8, 1, FlagNone)), "C_8 'c");
    EXPECT_EQ(writer.itemToBmw(Item(HG, 4, 1, FlagNone)), "HG_4 'hg");
    EXPECT_EQ(writer.itemToBmw(Item(HG, 4, 2, FlagNone)), "HG_4 ''hg");
    EXPECT_EQ(writer.itemToBmw(Item(dbe, 32, 0, FlagNone)), "dbe");
    EXPECT_EQ(writer.itemToBmw(Item(strlg, 32, 0, FlagNone)), "strlg");
    EXPECT_EQ(writer.itemToBmw(Item(Unknown, 4, 0, FlagNone)), "");
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

TEST_F(BmwWriterText, HeaderLines)
{
    const std::string expected =
        "Bagpipe Music Writer Gold:1.0\r\n"
        "\r\n"
        "MIDINoteMappings,(54,56,58,59,61,63,64,66,68,56,58,60,61,63,65,66,68,70,55,57,59,60,62,64,65,67,69)\r\n"
        "FrequencyMappings,(370,415,466,494,554,622,659,740,831,415,466,523,554,622,699,740,831,932,392,440,494,523,"
        "587,659,699,784,880)\r\n"
        "InstrumentMappings,(71,71,45,33,1000,60,70)\r\n"
        "GracenoteDurations,(20,40,30,50,100,200,800,1200,250,250,250,500,200)\r\n"
        "FontSizes,(90,100,100,80,250)\r\n"
        "TuneFormat,(1,0,F,L,500,500,500,500,P,0,0)\r\n"
        "\r\n"
        "\"Automatic music transcription from audio by Vantor by Norla (https://vantor.example)\"\r\n"
        "\"Tune\",(T,C,0,0,Times New Roman,16,700,0,0,18,0,0,0)\r\n"
        "\"March\",(Y,L,0,0,Times New Roman,12,700,255,0,18,0,0,0)\r\n"
        "\"Me\",(M,R,0,0,Times New Roman,12,700,255,0,18,0,0,0)\r\n"
        "\"Transcribed with Vantor by Norla\",(F,R,0,0,Times New Roman,8,400,0,0,18,0,0,0)\r\n"
        "\r\n"
        "\r\n";
    EXPECT_EQ(writer.generateHeaders(), expected);
}

TEST_F(BmwWriterText, EmptyModel)
{
    EXPECT_EQ(writer.write(PipeTuneModel()), headers + "& sharpf sharpc 4_4");
}

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

TEST_F(BmwWriterText, RowBreakAndRepeatedParts)
{
    PipeTuneModel model;
    model.setTimeSigNumerator(6);
    model.setTimeSigDenominator(8);
    PipeTuneModel::Part first;
    first.repeated = true;
    first.bars = {bar({Item(LA, 4, 1, FlagNone), Item(B, 4, 1, FlagNone)}, true),
                  bar({Item(C, 2, 1, FlagNone)}, true)};
    PipeTuneModel::Part second;
    second.bars = {bar({Item(D, 8, 0, FlagNone)}), bar({Item(E, 2, 1, FlagNone)}, true)};
    model.parts = {first, second};
    EXPECT_EQ(writer.write(model), headers + "& sharpf sharpc 6_8\r\n"
                                             "I!''\tLA_4 'la\tB_4 'b !t\r\n\r\n"
                                             "& sharpf sharpc\r\n"
                                             "\tC_2 'c ''!I\r\n\r\n\r\n\r\n"
                                             "& sharpf sharpc I!\tD_8\r\n"
                                             "!\tE_2 'e !I\r\n\r\n\r\n\r\n");
}

TEST(WaveFile, HeaderBytes)
{
    const std::vector<std::uint8_t> bytes = WaveFile::rawHeader(WaveFile::generateHeader(44100, 44100));
    const std::vector<std::uint8_t> expected = {
        'R', 'I', 'F', 'F', 0xAC, 0x58, 0x01, 0x00, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
        16, 0, 0, 0, 1, 0, 1, 0, 0x44, 0xAC, 0, 0, 0x88, 0x58, 0x01, 0, 2, 0, 16, 0,
        'd', 'a', 't', 'a', 0x88, 0x58, 0x01, 0x00};
    EXPECT_EQ(bytes, expected);
}

} // namespace
