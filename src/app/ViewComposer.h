#pragma once

// How the sheet-music and timing views are scaled by the zoom; the header
// and the stacking of rows under it are scoreHeader's. GUI thread.

#include "ScoreHeader.h"

#include <QPixmap>

namespace viewComposer {

// Scaled to width x zoom (truncated), aspect kept, only when zoom < 0.9999;
// smooth for headers, fast for rows.
QPixmap scaleByZoom(const QPixmap& pixmap, double zoom, bool smooth);

} // namespace viewComposer
