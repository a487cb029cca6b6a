// Rows on pages: each case gives the rows per page it must come to, and
// every case must keep the rules: all rows once and in order, none cut by a
// page's foot, the header's room kept on page 1, the gap between rows, a
// row shrunk only when it is taller than a page and then to fill one.

#include "PageBreaks.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

struct Case {
    std::string name;
    float pageHeight;
    float header;
    float gap;
    std::vector<float> rows;
    std::vector<int> rowsPerPage;
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class PageBreaksTest : public ::testing::TestWithParam<Case>
{
};

TEST_P(PageBreaksTest, RowsFillPagesWholeAndInOrder)
{
    const Case& c = GetParam();
    const PageBreaks breaks(c.pageHeight, c.header, c.rows, c.gap);
    std::vector<int> rowsPerPage;
    int next = 0;
    for (std::size_t page = 0; page < breaks.pages().size(); ++page) {
        const PageBreaks::Page& placed = breaks.pages()[page];
        rowsPerPage.push_back(static_cast<int>(placed.size()));
        float below = page == 0 ? c.header : 0.0f;
        for (std::size_t k = 0; k < placed.size(); ++k) {
            const PageBreaks::Placement& row = placed[k];
            ASSERT_EQ(row.row, next++);
            const float height = c.rows[static_cast<std::size_t>(row.row)];
            EXPECT_GE(row.top, below + (k > 0 ? c.gap : 0.0f) - 1e-3f) << "row " << row.row;
            EXPECT_LE(row.top + height * row.scale, c.pageHeight + 1e-3f) << "row " << row.row;
            if (height <= c.pageHeight)
                EXPECT_EQ(row.scale, 1.0f) << "row " << row.row;
            else
                EXPECT_FLOAT_EQ(height * row.scale, c.pageHeight) << "row " << row.row;
            below = row.top + height * row.scale;
        }
    }
    EXPECT_EQ(next, static_cast<int>(c.rows.size()));
    EXPECT_EQ(rowsPerPage, c.rowsPerPage);
    EXPECT_EQ(breaks.pageCount(), static_cast<int>(c.rowsPerPage.size()));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PageBreaksTest,
    ::testing::Values(Case{"NoRowsIsOnePageWithTheHeader", 1000, 100, 0, {}, {0}},
                      Case{"RowsThatFitAreOnePage", 1000, 100, 0, std::vector<float>(7, 120), {7}},
                      Case{"RowsFillingThePageExactlyStayOnIt", 1000, 100, 0, std::vector<float>(9, 100), {9}},
                      Case{"OneRowMoreStartsAPageAndLaterPagesHaveNoHeader", 1000, 100, 0,
                           std::vector<float>(21, 100), {9, 10, 2}},
                      Case{"GapsBetweenRowsCountButNotAtThePagesTop", 1000, 100, 20, std::vector<float>(9, 180),
                           {4, 5}},
                      Case{"ARowTooTallForPageOneUnderTheHeaderWaitsForPageTwo", 1000, 100, 0, {950, 50}, {0, 2}},
                      Case{"ARowTallerThanAPageIsShrunkOntoAPageOfItsOwn", 1000, 100, 10, {100, 2000, 100, 100},
                           {1, 1, 2}},
                      Case{"WithoutAHeaderATallFirstRowShrinksOntoPageOne", 1000, 0, 0, {2500, 300}, {1, 1}}),
    [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

} // namespace
