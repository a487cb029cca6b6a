// The live views' bookkeeping: a growing transcription re-renders only the
// rows that changed, a wider widest row re-renders all of them, the timing
// view keeps the rows its growing last row left behind, and the composed
// views follow the zoom and show the picture when empty.

#include "LiveViews.h"
#include "ViewComposer.h"

#include <gtest/gtest.h>

namespace {

// A melody of n crotchets at 72 BPM (0.833 s each), Low A and E alternating.
NoteMap crotchets(int n)
{
    NoteMap melody;
    const float beat_s = 60.0f / 72.0f;
    for (int k = 0; k < n; ++k) {
        const float start_s = k * beat_s;
        melody.emplace(start_s, PipeNote(k % 2 == 0 ? LA : E, start_s, beat_s));
    }
    return melody;
}

TEST(LiveViewsTest, AGrowingTuneRendersOnlyWhatChanged)
{
    LiveViews views;
    LiveViews::ScoreSettings settings; // 4/4, 72 BPM, 4 bars a row
    views.update(crotchets(20), NoteMap(), settings, true, true); // 5 bars: two rows
    ASSERT_EQ(views.scoreRowCount(), 2);
    EXPECT_EQ(views.rowsRenderedLastUpdate(), 2);
    // The same result again draws nothing.
    views.update(crotchets(20), NoteMap(), settings, true, true);
    EXPECT_EQ(views.rowsRenderedLastUpdate(), 0);
    // Four more crotchets only add to the last row.
    views.update(crotchets(24), NoteMap(), settings, true, true);
    EXPECT_EQ(views.rowsRenderedLastUpdate(), 1);
    EXPECT_EQ(views.scoreRows().size(), 2u);
    // Twelve more open a third row, which gets wider than the first two:
    // they are all justified again.
    views.update(crotchets(40), NoteMap(), settings, true, true);
    EXPECT_EQ(views.scoreRowCount(), 3);
    EXPECT_EQ(views.scoreRows().size(), 3u);
    const int width = views.scoreRows().at(0).width();
    for (const auto& entry : views.scoreRows())
        EXPECT_EQ(entry.second.width(), width) << entry.first;
    // A hidden score view is left alone.
    views.update(crotchets(48), NoteMap(), settings, false, true);
    EXPECT_EQ(views.rowsRenderedLastUpdate(), 0);
    EXPECT_EQ(views.scoreRowCount(), 3);
}

TEST(LiveViewsTest, TheTimingViewKeepsTheRowsItsLastRowLeftBehind)
{
    LiveViews views;
    LiveViews::ScoreSettings settings;
    settings.secondsPerRow = 5.0f;
    views.update(crotchets(4), NoteMap(), settings, false, true); // 3.3 s: row 0
    EXPECT_EQ(views.timingRows().size(), 1u);
    views.update(crotchets(16), NoteMap(), settings, false, true); // 13.3 s: rows 0 to 2
    EXPECT_EQ(views.timingRows().size(), 3u);
    for (const auto& entry : views.timingRows())
        EXPECT_FALSE(entry.second.isNull()) << entry.first;
    views.clear();
    EXPECT_TRUE(views.timingRows().empty());
    EXPECT_TRUE(views.scoreRows().empty());
}

TEST(LiveViewsTest, ViewsAreComposedUnderTheHeaderAndFollowTheZoom)
{
    const TuneDetails details{"Scotland the Brave", "March", "Trad."};
    QPixmap picture(200, 100);
    picture.fill(Qt::green);
    LiveViews views;
    // Nothing transcribed: the header and the picture at the header's width.
    const QPixmap empty = views.scoreView(details, picture);
    EXPECT_EQ(empty.width(), viewComposer::kMinimumHeaderWidth);
    EXPECT_EQ(empty.height(), viewComposer::kHeaderHeight + 200);
    EXPECT_EQ(empty.toImage().pixelColor(200, viewComposer::kHeaderHeight + 100), QColor(Qt::green));

    views.update(crotchets(16), NoteMap(), LiveViews::ScoreSettings(), true, true);
    const QPixmap full = views.scoreView(details, picture);
    const QPixmap row = views.scoreRows().at(0);
    EXPECT_EQ(full.width(), std::max(row.width(), viewComposer::kMinimumHeaderWidth));
    EXPECT_EQ(full.height(), viewComposer::kHeaderHeight + row.height());
    views.setZoom(0.5);
    const QPixmap half = views.scoreView(details, picture);
    EXPECT_EQ(half.width(), full.width() / 2);
    EXPECT_NEAR(half.height(), full.height() / 2, 1);
    // Full-size rows are kept, so going back loses nothing.
    views.setZoom(1.0);
    EXPECT_EQ(views.scoreView(details, picture).size(), full.size());
}

} // namespace
