// The pages under the header: rows stacked in index order at the left under
// a header as wide as the widest (400 at least), the picture standing in for
// no rows.

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
    EXPECT_EQ(page.copy(0, 0, 600, scoreHeader::kHeight), scoreHeader::paint(600, details).toImage());
}

} // namespace
