#include "RowsView.h"

#include <QContextMenuEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

RowsView::RowsView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
}

void RowsView::setContent(const QPixmap& header, const std::map<int, QPixmap>& rows, const QPixmap& emptyPicture)
{
    mItems.clear();
    mRowY.clear();
    int y = 0;
    int width = 0;
    auto add = [&](const QPixmap& pixmap) {
        if (pixmap.isNull())
            return false;
        mItems.push_back({y, pixmap});
        y += pixmap.height();
        width = std::max(width, pixmap.width());
        return true;
    };
    add(header);
    for (const auto& entry : rows) {
        const int rowY = y;
        if (add(entry.second))
            mRowY[entry.first] = rowY;
    }
    if (rows.empty() && !emptyPicture.isNull() && header.width() > 0)
        add(emptyPicture.scaledToWidth(header.width(), Qt::SmoothTransformation));
    mSize = QSize(width, y);
    resize(mSize);
    update();
}

void RowsView::clear()
{
    mItems.clear();
    mRowY.clear();
    mPlaces.clear();
    mSelection.clear();
    mSize = QSize();
    resize(0, 0);
    update();
}

QPixmap RowsView::composite() const
{
    if (mSize.isEmpty())
        return QPixmap();
    QPixmap picture(mSize);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    for (const Item& item : mItems)
        painter.drawPixmap(0, item.y, item.pixmap);
    return picture;
}

void RowsView::paintEvent(QPaintEvent* event)
{
    QPainter painter(this);
    const QRect area = event->rect();
    painter.fillRect(area, Qt::white);
    for (const Item& item : mItems) {
        const QRect bounds(0, item.y, item.pixmap.width(), item.pixmap.height());
        if (bounds.intersects(area))
            painter.drawPixmap(bounds.topLeft(), item.pixmap);
    }
    if (mSelection.empty())
        return;
    // The selected items under a light blue wash, outlined.
    painter.setPen(QPen(QColor(30, 100, 220), 1));
    painter.setBrush(QColor(60, 140, 255, 70));
    for (const QRectF& rect : selectedRects())
        painter.drawRect(rect);
}

void RowsView::setItemPlaces(const std::map<int, std::vector<PipeTuneRenderer::ItemPlace>>& places, double zoom)
{
    mPlaces = places;
    mZoom = zoom;
    update();
}

void RowsView::setSelection(const std::vector<ScorePosition>& selection)
{
    mSelection = selection;
    update();
}

QRectF RowsView::placeRect(const PipeTuneRenderer::ItemPlace& place) const
{
    const auto rowY = mRowY.find(place.row);
    if (rowY == mRowY.end())
        return QRectF();
    const QRectF& rect = place.rect;
    return QRectF(rect.x() * mZoom, rowY->second + rect.y() * mZoom, rect.width() * mZoom, rect.height() * mZoom);
}

std::vector<QRectF> RowsView::selectedRects() const
{
    std::vector<QRectF> rects;
    for (const auto& [row, places] : mPlaces)
        for (const PipeTuneRenderer::ItemPlace& place : places)
            if (std::find(mSelection.begin(), mSelection.end(), ScorePosition{place.part, place.bar, place.item})
                != mSelection.end())
                rects.push_back(placeRect(place));
    return rects;
}

QRect RowsView::selectionRect() const
{
    QRectF area;
    for (const QRectF& rect : selectedRects())
        area = area.united(rect);
    return area.toAlignedRect();
}

std::optional<ScorePosition> RowsView::itemAt(const QPoint& point) const
{
    for (const auto& [row, places] : mPlaces)
        for (const PipeTuneRenderer::ItemPlace& place : places)
            if (placeRect(place).contains(point))
                return ScorePosition{place.part, place.bar, place.item};
    return std::nullopt;
}

void RowsView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        if (const std::optional<ScorePosition> position = itemAt(event->pos()))
            emit itemClicked(*position, (event->modifiers() & Qt::ShiftModifier) != 0);
    }
    QWidget::mousePressEvent(event);
}

void RowsView::contextMenuEvent(QContextMenuEvent* event)
{
    const std::optional<ScorePosition> position = itemAt(event->pos());
    if (!position)
        return;
    // A right click on an item outside the selection selects it first.
    if (std::find(mSelection.begin(), mSelection.end(), *position) == mSelection.end())
        emit itemClicked(*position, false);
    emit contextMenuWanted(event->globalPos());
}
