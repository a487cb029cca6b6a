#include "RowsView.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

RowsView::RowsView(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void RowsView::setContent(const QPixmap& header, const std::map<int, QPixmap>& rows, const QPixmap& emptyPicture)
{
    mItems.clear();
    int y = 0;
    int width = 0;
    auto add = [&](const QPixmap& pixmap) {
        if (pixmap.isNull())
            return;
        mItems.push_back({y, pixmap});
        y += pixmap.height();
        width = std::max(width, pixmap.width());
    };
    add(header);
    for (const auto& entry : rows)
        add(entry.second);
    if (rows.empty() && !emptyPicture.isNull() && header.width() > 0)
        add(emptyPicture.scaledToWidth(header.width(), Qt::SmoothTransformation));
    mSize = QSize(width, y);
    resize(mSize);
    update();
}

void RowsView::clear()
{
    mItems.clear();
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
}
