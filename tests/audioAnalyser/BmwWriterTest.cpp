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

    // Every other control or line separator a reader might break a line at
    // becomes a space too; other characters stay, bytes that are not UTF-8
    // do not.
    const std::pair<std::string, std::string> rows[] = {
        {"A\vB\fC\tD\x1b" "E\x7f" "F", "A B C D E F"},
        {"Next\xc2\x85line", "Next line"},
        {"Line\xe2\x80\xa8sep\xe2\x80\xa9para", "Line sep para"},
        {"C1\xc2\x9b" "csi", "C1 csi"},
        {"Cr\xc3\xa8me \xe2\x80\x93 \xf0\x9f\x8e\xb5", "Cr\xc3\xa8me \xe2\x80\x93 \xf0\x9f\x8e\xb5"},
        {"Bad\x85\xc0\x8a\xe2\x80", "Bad?????"},
    };
    for (const auto& [name, field] : rows) {
        BmwWriter row;
        row.setTuneName(name);
        EXPECT_NE(row.generateHeaders().find("\"" + field + "\",(T,C"), std::string::npos) << field;
    }

    PipeTuneModel model;
    model.setTimeSigNumerator(2147483647);
    EXPECT_FALSE(writer.write(model).empty());
}

} // namespace
