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

// The timing view draws only its growing last row: the rows that row left
// behind are kept, all of them, however far it grew since the last result.
TEST(LiveViewsTest, AGrowingTuneRendersOnlyWhatChangedAndFollowsTheZoom)
{
    LiveViews views;
    const ScoreSettings settings; // 4/4, 72 BPM, 4 bars a row
    const TuneDetails details{"Scotland the Brave", "March", "Trad."};
    EXPECT_EQ(views.scoreHeader(details).size(), QSize(scoreHeader::kMinimumWidth, scoreHeader::kHeight));
    auto expectTimingRows = [&](std::size_t count) {
        EXPECT_EQ(views.timingRows().size(), count);
        for (const auto& entry : views.timingRows())
            EXPECT_FALSE(entry.second.isNull()) << entry.first;
    };
    views.update(crotchets(20), NoteMap(), settings, 5.0f, true, true); // 5 bars: two rows; 16.7 s: 4 timing rows
    ASSERT_EQ(views.scoreRowCount(), 2);
    EXPECT_EQ(views.rowsRenderedLastUpdate(), 2);
    expectTimingRows(4);
    // The same result again draws nothing.
    views.update(crotchets(20), NoteMap(), settings, 5.0f, true, true);
    EXPECT_EQ(views.rowsRenderedLastUpdate(), 0);
    // Four more crotchets only add to the last row.
    views.update(crotchets(24), NoteMap(), settings, 5.0f, true, true);
    EXPECT_EQ(views.rowsRenderedLastUpdate(), 1);
    EXPECT_EQ(views.scoreRows().size(), 2u);
    // Twelve more open a third row, which gets wider than the first two:
    // they are all justified again.
    views.update(crotchets(40), NoteMap(), settings, 5.0f, true, true); // 33.3 s: 7 timing rows
    EXPECT_EQ(views.scoreRowCount(), 3);
    EXPECT_EQ(views.scoreRows().size(), 3u);
    const int width = views.scoreRows().at(0).width();
    for (const auto& entry : views.scoreRows())
        EXPECT_EQ(entry.second.width(), width) << entry.first;
    expectTimingRows(7);
    // The header is as wide as the rows, or its own minimum; both follow the
    // zoom, and the full-size rows are kept, so going back loses nothing.
    const QPixmap row = views.scoreRows().at(0);
    EXPECT_EQ(views.scoreHeader(details).width(), std::max(width, scoreHeader::kMinimumWidth));
    views.setZoom(0.5);
    EXPECT_EQ(views.scaledScoreRows().at(0).width(), width / 2);
    EXPECT_EQ(views.scoreHeader(details).width(), std::max(width, scoreHeader::kMinimumWidth) / 2);
    views.setZoom(1.0);
    EXPECT_EQ(views.scaledScoreRows().at(0).toImage(), row.toImage());
    // A hidden score view is left alone.
    views.update(crotchets(48), NoteMap(), settings, 5.0f, false, true);
    EXPECT_EQ(views.rowsRenderedLastUpdate(), 0);
    EXPECT_EQ(views.scoreRowCount(), 3);
    views.clear();
    EXPECT_TRUE(views.timingRows().empty());
    EXPECT_TRUE(views.scoreRows().empty());
}

} // namespace
