#pragma once

// How the sheet-music and timing views are put together from rendered rows:
// a header with the tune details above the rows in index order (or the
// empty-view picture when there are none), scaled by the zoom. GUI thread.

#include <QPixmap>
#include <QString>

#include <map>

struct TuneDetails {
    QString name;
    QString type;
    QString composer;
};

namespace viewComposer {

constexpr int kHeaderHeight = 100;
constexpr int kMinimumHeaderWidth = 400;

// Scaled to width x zoom (truncated), aspect kept, only when zoom < 0.9999;
// smooth for headers, fast for rows.
QPixmap scaleByZoom(const QPixmap& pixmap, double zoom, bool smooth);
// The header: the tune name centred at the top, type left and composer right
// below it, "Vantor" at the right under them.
QPixmap generateHeaderPixmap(int width, const TuneDetails& details);
// The header followed by the rows; with no rows the picture, scaled
// smoothly to the header's width, stands in for them.
QPixmap combineRowPixmaps(const std::map<int, QPixmap>& rows, const QPixmap& header, const QPixmap& emptyPicture);

} // namespace viewComposer
