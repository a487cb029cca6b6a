// The header and the pages under it: rows stacked in index order at the left
// under a header as wide as the widest (400 at least), the picture standing
// in for no rows, and the tune details drawn where they belong.

#include "ScoreHeader.h"

#include <gtest/gtest.h>

#include <QImage>

namespace {

QPixmap filled(int width, int height, Qt::GlobalColor colour)
{
    QPixmap pixmap(width, height);
    pixmap.fill(colour);
    return pixmap;
}

// Whether any pixel of area is darker than light grey.
bool inked(const QImage& image, const QRect& area)
{
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (qGray(image.pixel(x, y)) < 128)
                return true;
        }
    }
    return false;
}

TEST(ScoreHeader, PagesStackTheRowsUnderTheHeaderOrThePictureWhenThereAreNone)
{
    const TuneDetails details{"Scotland the Brave", "March", "Trad."};
    const QImage empty = scoreHeader::page({}, details, filled(200, 100, Qt::green)).toImage();
    ASSERT_EQ(empty.size(), QSize(scoreHeader::kMinimumWidth, scoreHeader::kHeight + 200));
    EXPECT_EQ(empty.pixelColor(200, scoreHeader::kHeight + 100), QColor(Qt::green));

    const std::map<int, QPixmap> rows{{1, filled(300, 40, Qt::blue)}, {0, filled(600, 50, Qt::red)}};
    const QImage page = scoreHeader::page(rows, details).toImage();
    ASSERT_EQ(page.size(), QSize(600, scoreHeader::kHeight + 90));
    EXPECT_EQ(page.pixelColor(10, scoreHeader::kHeight + 10), QColor(Qt::red));
    EXPECT_EQ(page.pixelColor(10, scoreHeader::kHeight + 60), QColor(Qt::blue));
    EXPECT_EQ(page.pixelColor(400, scoreHeader::kHeight + 60), QColor(Qt::white));
    // The name centred at the top, the type at the left and the composer at
    // the right below it; nothing in the corners of the first line.
    EXPECT_TRUE(inked(page, QRect(200, 5, 200, 35)));
    EXPECT_FALSE(inked(page, QRect(0, 0, 100, 40)));
    EXPECT_TRUE(inked(page, QRect(5, 50, 80, 25)));
    EXPECT_TRUE(inked(page, QRect(520, 50, 75, 25)));
    EXPECT_FALSE(inked(page, QRect(200, 50, 200, 25)));
}

} // namespace
