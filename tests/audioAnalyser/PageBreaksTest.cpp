// Rows on pages: each case gives the rows per page it must come to, and
// every case keeps the rules: all rows once and in order, none cut by a
// page's foot, the header's room kept on page 1, the gap between rows, a
// row shrunk only when it is taller than a page and then to fill one.

#include "PageBreaks.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

TEST(PageBreaks, RowsFillPagesWholeAndInOrder)
{
    const struct {
        const char* name;
        float pageHeight, header, gap;
        std::vector<float> rows;
        std::vector<int> rowsPerPage;
    } cases[] = {
        {"no rows: one page with the header", 1000, 100, 0, {}, {0}},
        {"rows that fit", 1000, 100, 0, std::vector<float>(7, 120), {7}},
        {"rows filling the page exactly", 1000, 100, 0, std::vector<float>(9, 100), {9}},
        {"one row more; later pages have no header", 1000, 100, 0, std::vector<float>(21, 100), {9, 10, 2}},
        {"gaps count, not at a page's top", 1000, 100, 20, std::vector<float>(9, 180), {4, 5}},
        {"too tall for page 1 under the header", 1000, 100, 0, {950, 50}, {0, 2}},
        {"taller than a page: shrunk onto its own", 1000, 100, 10, {100, 2000, 100, 100}, {1, 1, 2}},
        {"no header: a tall first row shrinks onto page 1", 1000, 0, 0, {2500, 300}, {1, 1}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const PageBreaks breaks(c.pageHeight, c.header, c.rows, c.gap);
        std::vector<int> rowsPerPage;
        int next = 0;
        for (std::size_t page = 0; page < breaks.pages().size(); ++page) {
            rowsPerPage.push_back(static_cast<int>(breaks.pages()[page].size()));
            float below = page == 0 ? c.header : 0.0f;
            for (const PageBreaks::Placement& row : breaks.pages()[page]) {
                ASSERT_EQ(row.row, next++);
                const float height = c.rows[static_cast<std::size_t>(row.row)];
                EXPECT_GE(row.top, below - 1e-3f) << row.row;
                EXPECT_LE(row.top + height * row.scale, c.pageHeight + 1e-3f) << row.row;
                EXPECT_FLOAT_EQ(height * row.scale, std::min(height, c.pageHeight)) << row.row;
                below = row.top + height * row.scale + c.gap;
            }
        }
        EXPECT_EQ(next, static_cast<int>(c.rows.size()));
        EXPECT_EQ(rowsPerPage, c.rowsPerPage);
        EXPECT_EQ(breaks.pageCount(), static_cast<int>(c.rowsPerPage.size()));
    }
}

} // namespace
