#include "BmwWriter.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

TEST(BmwWriter, NoTextCanLeaveItsHeaderFieldAndAnyTimeSignatureIsSafe)
{
    BmwWriter writer;
    writer.setTuneName("Scotland\r\n\"the\" Brave");
    writer.setTuneType("March\",(T,C,0,0)\r\n& sharpf");
    writer.setComposer("Trad.\n");
    const std::string text = writer.generateHeaders();
    EXPECT_NE(text.find("\"Scotland  'the' Brave\",(T,C"), std::string::npos) << text;
    EXPECT_NE(text.find("\"March',(T,C,0,0)  & sharpf\",(Y,L"), std::string::npos) << text;
    EXPECT_NE(text.find("\"Trad. \",(M,R"), std::string::npos) << text;
    // One quoted field a line, as many lines as an untouched header.
    BmwWriter plain;
    const std::string plainText = plain.generateHeaders();
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), std::count(plainText.begin(), plainText.end(), '\n'));

    PipeTuneModel model;
    model.setTimeSigNumerator(2147483647);
    EXPECT_FALSE(writer.write(model).empty());
}

} // namespace
