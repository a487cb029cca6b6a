#pragma once

// The header above the sheet music and the timing view, and the pages of
// rows under it: the tune name centred at the top, the tune type at the left
// and the composer at the right below it, "Vantor" at the right under them,
// on white, 100 pixels tall and at least 400 wide. The application's views
// scale it by their zoom; the application's image exports and
// vantor-transcribe's images are the pages, drawn whole from the score at
// full size, so the same tune gives the same picture. Needs a Qt Gui
// application; GUI thread.

#include "PipeNote.h"
#include "PipeTuneModel.h"
#include "ScoreSettings.h"

#include <QPixmap>
#include <QString>

class QPainter;

#include <map>

struct TuneDetails {
    QString name;
    QString type;
    QString composer;
};

namespace scoreHeader {

constexpr int kHeight = 100;
constexpr int kMinimumWidth = 400;

// As wide as the widest row, kMinimumWidth at least.
int widthFor(const std::map<int, QPixmap>& rows);
// The header of that width.
QPixmap paint(int width, const TuneDetails& details);
// The same drawn with painter at its origin, without the white background
// (the printed pages draw it this way).
void draw(QPainter& painter, int width, const TuneDetails& details);
// The header followed by the rows in index order, each at the left edge, on
// white, as wide as the widest; with no rows the empty picture, scaled
// smoothly to the header's width, stands in for them (null when it is null).
QPixmap stack(const std::map<int, QPixmap>& rows, const QPixmap& header, const QPixmap& emptyPicture);
// The rows at full size under their header.
QPixmap page(const std::map<int, QPixmap>& rows, const TuneDetails& details,
             const QPixmap& emptyPicture = QPixmap());

// The tune details of a score's settings.
TuneDetails details(const ScoreSettings& score);
// The sheet music of model, every row justified, the last not padded, staff
// signatures at each row's start, under the header of score's details.
QPixmap scorePage(const PipeTuneModel& model, const ScoreSettings& score, const QPixmap& emptyPicture = QPixmap());
// The timing view of the notes as played (not warped), rows of
// secondsPerRow seconds, the beat and bar of score, under its header.
QPixmap timingPage(const NoteMap& melody, const NoteMap& gracing, const ScoreSettings& score, float secondsPerRow,
                   const QPixmap& emptyPicture = QPixmap());

} // namespace scoreHeader
