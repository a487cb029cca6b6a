// The live views' bookkeeping: a growing transcription re-renders only the
// rows that changed, a wider widest row re-renders all of them, the timing
// view keeps the rows its growing last row left behind, and the composed
// views follow the zoom.

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
    const ScoreSettings settings; // 4/4, 72 BPM, 4 bars a row
    views.update(crotchets(20), NoteMap(), settings, 5.0f, true, true); // 5 bars: two rows
    ASSERT_EQ(views.scoreRowCount(), 2);
    EXPECT_EQ(views.rowsRenderedLastUpdate(), 2);
    // The same result again draws nothing.
    views.update(crotchets(20), NoteMap(), settings, 5.0f, true, true);
    EXPECT_EQ(views.rowsRenderedLastUpdate(), 0);
    // Four more crotchets only add to the last row.
    views.update(crotchets(24), NoteMap(), settings, 5.0f, true, true);
    EXPECT_EQ(views.rowsRenderedLastUpdate(), 1);
    EXPECT_EQ(views.scoreRows().size(), 2u);
    // Twelve more open a third row, which gets wider than the first two:
    // they are all justified again.
    views.update(crotchets(40), NoteMap(), settings, 5.0f, true, true);
    EXPECT_EQ(views.scoreRowCount(), 3);
    EXPECT_EQ(views.scoreRows().size(), 3u);
    const int width = views.scoreRows().at(0).width();
    for (const auto& entry : views.scoreRows())
        EXPECT_EQ(entry.second.width(), width) << entry.first;
    // A hidden score view is left alone.
    views.update(crotchets(48), NoteMap(), settings, 5.0f, false, true);
    EXPECT_EQ(views.rowsRenderedLastUpdate(), 0);
    EXPECT_EQ(views.scoreRowCount(), 3);
}

TEST(LiveViewsTest, TheTimingViewKeepsTheRowsItsLastRowLeftBehind)
{
    LiveViews views;
    const ScoreSettings settings;
    views.update(crotchets(4), NoteMap(), settings, 5.0f, false, true); // 3.3 s: row 0
    EXPECT_EQ(views.timingRows().size(), 1u);
    views.update(crotchets(16), NoteMap(), settings, 5.0f, false, true); // 13.3 s: rows 0 to 2
    EXPECT_EQ(views.timingRows().size(), 3u);
    for (const auto& entry : views.timingRows())
        EXPECT_FALSE(entry.second.isNull()) << entry.first;
    views.clear();
    EXPECT_TRUE(views.timingRows().empty());
    EXPECT_TRUE(views.scoreRows().empty());
}

TEST(LiveViewsTest, TheViewsFollowTheZoomAndKeepTheirRowsFullSize)
{
    const TuneDetails details{"Scotland the Brave", "March", "Trad."};
    LiveViews views;
    EXPECT_EQ(views.scoreHeader(details).size(), QSize(scoreHeader::kMinimumWidth, scoreHeader::kHeight));
    views.update(crotchets(16), NoteMap(), ScoreSettings(), 5.0f, true, true);
    const QPixmap row = views.scoreRows().at(0);
    const int width = std::max(row.width(), scoreHeader::kMinimumWidth);
    EXPECT_EQ(views.scoreHeader(details).width(), width);
    views.setZoom(0.5);
    EXPECT_EQ(views.scaledScoreRows().at(0).width(), row.width() / 2);
    EXPECT_EQ(views.scoreHeader(details).width(), width / 2);
    // Full-size rows are kept, so going back loses nothing.
    views.setZoom(1.0);
    EXPECT_EQ(views.scaledScoreRows().at(0).toImage(), row.toImage());
}

} // namespace
