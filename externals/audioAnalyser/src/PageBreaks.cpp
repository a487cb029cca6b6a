#include "PageBreaks.h"

#include <cassert>

PageBreaks::PageBreaks(float pageHeight, float headerHeight, const std::vector<float>& rowHeights, float rowGap)
{
    assert(pageHeight > 0.0f && headerHeight >= 0.0f && rowGap >= 0.0f);
    mPages.emplace_back();
    // Where the next row would go on the last page: under the header on
    // the first.
    float y = headerHeight;
    for (std::size_t index = 0; index < rowHeights.size(); ++index) {
        const float height = rowHeights[index];
        assert(height >= 0.0f);
        float top = mPages.back().empty() ? y : y + rowGap;
        // Only an empty page's very top is as good as it gets: anywhere
        // else, a row that does not fit goes over to the next page, which
        // also gives a row too tall for any page the most room.
        const bool atEmptyTop = mPages.back().empty() && y <= 0.0f;
        if (top + height > pageHeight && !atEmptyTop) {
            mPages.emplace_back();
            top = 0.0f;
        }
        const float scale = top + height <= pageHeight ? 1.0f : pageHeight / height;
        mPages.back().push_back(Placement{static_cast<int>(index), top, scale});
        y = top + height * scale;
    }
}
