// Short chanter phrases rendered as audio and transcribed whole, one-shot and
// progressively as the application does: each embellishment must come out
// under its name, between the right melody notes.

#include "Phrases.h"

#include <gtest/gtest.h>

namespace {

TEST(VantorPhrases, EachEmbellishmentIsHeardByName)
{
    struct Row {
        const char* what;
        const char* played;
        const char* expected;
        // Where the second look hears it otherwise.
        const char* expectedWithSecondLook = nullptr;
    };
    const std::vector<Row> rows = {
        {"doubling on E", "LA:500 HG E F E:500 LA:500", "LA dbe E LA"},
        {"throw on D", "LA:500 LG D:35 C D:500 LA:500", "LA thrd D LA"},
        {"grip", "D:500 LG D LG LA:500 E:500", "D grp LA E"},
        {"taorluath", "D:500 LG D LG E LA:500 E:500", "D tar LA E"},
        {"birl", "E:500 LA:400 LG:10 LA:50 LG:10 LA:500 E:500", "E LA brl LA E"},
        {"strike on Low A", "LA:500 LG:22 LA:500 C:500", "LA strlg LA C"},
        {"strike on E", "E:500 LA:22 E:500 C:500", "E strla E C"},
        {"GDE", "E:500 HG LA D LA E LA:500 E:500", "E gg dg LA eg LA E", "E gg dg eg LA E"},
        {"single gracenotes", "LA:400 HG B:400 D C:400 E LA:400", "LA gg B dg C eg LA"},
        {"a held note", "LA:8000", "LA"},
    };
    for (const Row& row : rows) {
        const std::vector<short> pcm = phrases::render(row.played);
        for (const bool secondLook : {false, true}) {
            const std::string expected =
                secondLook && row.expectedWithSecondLook != nullptr ? row.expectedWithSecondLook : row.expected;
            EXPECT_EQ(phrases::names(phrases::transcribe(pcm, TranscriptionMode::OneShot, secondLook)), expected)
                << row.what << ", one-shot, second look " << secondLook;
            EXPECT_EQ(phrases::names(phrases::transcribe(pcm, TranscriptionMode::Progressive, secondLook)), expected)
                << row.what << ", progressive, second look " << secondLook;
        }
    }
}

} // namespace
