#pragma once

// Which rows of sheet music go on which page, and where: rows are stacked
// from the top of each page's content area, the tune's header above the
// first row of page 1 only, a gap between neighbouring rows of a page and
// none at a page's top or foot. A row is never cut: one that does not fit
// the rest of a page starts the next page; one taller than a whole page is
// put on a page of its own, scaled down to fit it. All lengths are in one
// unit of the caller's choice (the printed pages use the renderer's
// pixels); the page height is what the rows may fill, without margins and
// footer. No rows gives one page holding the header alone. Plain values;
// any thread.

#include <vector>

class PageBreaks
{
public:
    // A row on a page: its index, the top of its box below the top of the
    // page's content area, and the scale it is drawn at (1 unless the row is
    // taller than a page).
    struct Placement {
        int row = 0;
        float top = 0.0f;
        float scale = 1.0f;
        bool operator==(const Placement& other) const
        {
            return row == other.row && top == other.top && scale == other.scale;
        }
    };
    using Page = std::vector<Placement>;

    // pageHeight must be positive; headerHeight, rowGap and the row heights
    // not negative.
    PageBreaks(float pageHeight, float headerHeight, const std::vector<float>& rowHeights, float rowGap);

    // One page at least; the header is on the first.
    const std::vector<Page>& pages() const { return mPages; }
    int pageCount() const { return static_cast<int>(mPages.size()); }

private:
    std::vector<Page> mPages;
};
