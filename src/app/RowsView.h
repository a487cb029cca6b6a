#pragma once

// Shows a view (a header above rendered rows, or the empty-view picture
// when there are none) inside a scroll area, drawing only what is visible:
// a new result changes a few rows, and the whole tune is never composed
// into one picture just to be shown. composite() gives that picture when it
// is wanted (exports, tests). GUI thread.

#include "PipeTuneRenderer.h"
#include "ScoreEditor.h"

#include <QPixmap>
#include <QWidget>

#include <map>
#include <optional>
#include <vector>

class RowsView : public QWidget
{
    Q_OBJECT
public:
    explicit RowsView(QWidget* parent = nullptr);

    // Pixmaps are shared, not copied.
    void setContent(const QPixmap& header, const std::map<int, QPixmap>& rows, const QPixmap& emptyPicture);
    void clear();
    // Header and rows as one picture, as the view shows them.
    QPixmap composite() const;
    bool isEmpty() const { return mItems.empty(); }

    // Where the items of each row are drawn in the full-size rows, which
    // are shown scaled by zoom.
    void setItemPlaces(const std::map<int, std::vector<PipeTuneRenderer::ItemPlace>>& places, double zoom);
    void setSelection(const std::vector<ScorePosition>& selection);
    // The selected items' area in the view, empty when nothing is selected.
    QRect selectionRect() const;
    // The top of row's picture in the view; -1 when it is not shown.
    int rowTop(int row) const { return mRowY.count(row) > 0 ? mRowY.at(row) : -1; }
    // The item whose area holds point (view coordinates), if any.
    std::optional<ScorePosition> itemAt(const QPoint& point) const;

    QSize sizeHint() const override { return mSize; }

signals:
    // A click on an item (with Shift: extending the selection), and the
    // context menu asked for over one.
    void itemClicked(ScorePosition position, bool extend);
    void contextMenuWanted(QPoint globalPosition);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    struct Item {
        int y;
        QPixmap pixmap;
    };
    // The item's area in view coordinates.
    QRectF placeRect(const PipeTuneRenderer::ItemPlace& place) const;
    std::vector<QRectF> selectedRects() const;

    std::vector<Item> mItems;
    // The y of each row's picture, by row.
    std::map<int, int> mRowY;
    std::map<int, std::vector<PipeTuneRenderer::ItemPlace>> mPlaces;
    double mZoom = 1.0;
    std::vector<ScorePosition> mSelection;
    QSize mSize;
};
