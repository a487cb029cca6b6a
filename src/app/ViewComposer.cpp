#include "ViewComposer.h"

#include <QFont>
#include <QPainter>

#include <algorithm>
#include <vector>

namespace viewComposer {

QPixmap scaleByZoom(const QPixmap& pixmap, double zoom, bool smooth)
{
    if (!(zoom < 0.9999) || pixmap.isNull())
        return pixmap;
    return pixmap.scaledToWidth(static_cast<int>(pixmap.width() * zoom),
                                smooth ? Qt::SmoothTransformation : Qt::FastTransformation);
}

QPixmap generateHeaderPixmap(int width, const TuneDetails& details)
{
    QPixmap header(width, kHeaderHeight);
    header.fill(Qt::white);
    QPainter painter(&header);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(Qt::black);
    QRect area = header.rect().adjusted(5, 5, -5, -5);

    QFont title;
    title.setPixelSize(30);
    painter.setFont(title);
    painter.drawText(area, Qt::AlignHCenter | Qt::AlignTop, details.name);

    area.setTop(area.top() + 45);
    QFont detailsFont;
    detailsFont.setPixelSize(20);
    detailsFont.setItalic(true);
    painter.setFont(detailsFont);
    painter.drawText(area, Qt::AlignLeft | Qt::AlignTop, details.type);
    painter.drawText(area, Qt::AlignRight | Qt::AlignTop, details.composer);

    area.setTop(area.top() + 30);
    QFont brand;
    brand.setPixelSize(10);
    brand.setItalic(true);
    painter.setFont(brand);
    painter.drawText(area, Qt::AlignRight | Qt::AlignTop, "Vantor");
    return header;
}

QPixmap combineRowPixmaps(const std::map<int, QPixmap>& rows, const QPixmap& header, const QPixmap& emptyPicture)
{
    std::vector<QPixmap> items{header};
    for (const auto& entry : rows)
        items.push_back(entry.second);
    if (rows.empty() && !emptyPicture.isNull() && header.width() > 0)
        items.push_back(emptyPicture.scaledToWidth(header.width(), Qt::SmoothTransformation));
    int width = 0;
    int height = 0;
    for (const QPixmap& item : items) {
        width = std::max(width, item.width());
        height += item.height();
    }
    if (width == 0 || height == 0)
        return QPixmap();
    QPixmap combined(width, height);
    combined.fill(Qt::white);
    QPainter painter(&combined);
    int y = 0;
    for (const QPixmap& item : items) {
        if (item.isNull())
            continue;
        painter.drawPixmap(0, y, item);
        y += item.height();
    }
    return combined;
}

} // namespace viewComposer
