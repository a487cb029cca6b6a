#include "ViewComposer.h"

namespace viewComposer {

QPixmap scaleByZoom(const QPixmap& pixmap, double zoom, bool smooth)
{
    if (!(zoom < 0.9999) || pixmap.isNull())
        return pixmap;
    return pixmap.scaledToWidth(static_cast<int>(pixmap.width() * zoom),
                                smooth ? Qt::SmoothTransformation : Qt::FastTransformation);
}

} // namespace viewComposer
