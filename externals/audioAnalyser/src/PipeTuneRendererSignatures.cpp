// What starts a row of sheet music: the treble clef, the pipe key signature
// (sharps on F and C) and, on the first row, the time signature. Reads the
// staff geometry members only.

#include "PipeTuneRenderer.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// A smooth curve through points (Catmull-Rom as cubic Beziers).
QPainterPath smoothCurve(const std::vector<QPointF>& points)
{
    QPainterPath path(points.front());
    for (std::size_t k = 0; k + 1 < points.size(); ++k) {
        const QPointF p0 = points[k == 0 ? 0 : k - 1];
        const QPointF p1 = points[k];
        const QPointF p2 = points[k + 1];
        const QPointF p3 = points[std::min(k + 2, points.size() - 1)];
        path.cubicTo(p1 + (p2 - p0) / 6.0, p2 - (p3 - p1) / 6.0, p2);
    }
    return path;
}

// In line spaces, x from the clef's centre, y down from the top staff line:
// the spiral round the G line, the stem up through the loop above the staff
// and down to the hook below it.
const std::vector<QPointF>& clefOutline()
{
    static const std::vector<QPointF> points{
        {0.15, 3.0},  {0.6, 2.55},  {0.1, 2.0},   {-0.65, 2.4}, {-0.9, 3.25}, {-0.35, 4.05}, {0.5, 4.1},
        {1.05, 3.3},  {0.85, 2.25}, {0.3, 1.3},   {-0.1, 0.35}, {0.0, -0.8},  {0.35, -1.6},  {0.6, -2.0},
        {0.35, -2.1}, {0.0, -1.5},  {-0.1, -0.5}, {0.1, 1.0},   {0.3, 2.6},   {0.45, 4.5},   {0.4, 5.3},
        {0.05, 5.65}, {-0.4, 5.4}};
    return points;
}

} // namespace

float PipeTuneRenderer::drawStaffSignatures(QPainter* painter, const PipeTuneModel& model, int row, float x,
                                            float y)
{
    if (!mStaffSignatures)
        return 0.0f;
    const float space = mLineSpacing;
    const float clefWidth = 3.0f * space;
    const float sharpWidth = 1.1f * space;
    const bool timeShown = row == 0;
    const float timeWidth = timeShown ? 2.6f * space : 0.0f;
    const float width = clefWidth + 2.0f * sharpWidth + 0.6f * space + timeWidth;
    if (painter == nullptr)
        return width;

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const float clefX = x + 1.4f * space;
    std::vector<QPointF> points;
    for (const QPointF& point : clefOutline())
        points.emplace_back(clefX + point.x() * space, y + point.y() * space);
    painter->setBrush(Qt::NoBrush);
    painter->setPen(QPen(Qt::black, 0.22f * space, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter->drawPath(smoothCurve(points));
    painter->setBrush(Qt::black);
    painter->setPen(Qt::NoPen);
    painter->drawEllipse(QPointF(clefX - 0.35f * space, y + 5.25f * space), 0.3f * space, 0.3f * space);

    // F sharp on the top line, C sharp in the third space down.
    float sharpX = x + clefWidth;
    for (const float lineY : {0.0f, 1.5f}) {
        const float cy = y + lineY * space;
        painter->setPen(QPen(Qt::black, 0.12f * space));
        for (const float dx : {0.35f, 0.7f})
            line(painter, sharpX + dx * space, cy - 1.2f * space, sharpX + dx * space, cy + 1.2f * space);
        painter->setPen(QPen(Qt::black, 0.32f * space));
        for (const float dy : {-0.4f, 0.4f})
            line(painter, sharpX + 0.1f * space, cy + dy * space + 0.15f * space, sharpX + 0.95f * space,
                 cy + dy * space - 0.15f * space);
        sharpX += sharpWidth;
    }

    if (timeShown) {
        const QRectF box(sharpX + 0.6f * space, y, 2.0f * space, 4.0f * space);
        QFont font("Serif");
        font.setBold(true);
        font.setPixelSize(static_cast<int>(2.6f * space));
        painter->setFont(font);
        painter->setPen(Qt::black);
        const int numerator = model.timeSigNumerator();
        const int denominator = model.timeSigDenominator();
        if (numerator == 2 && denominator == 2) {
            // Cut common time: a C struck through.
            painter->drawText(box, Qt::AlignCenter, "C");
            painter->setPen(QPen(Qt::black, 0.2f * space));
            line(painter, static_cast<float>(box.center().x()), y - 0.6f * space,
                 static_cast<float>(box.center().x()), y + 4.6f * space);
        } else {
            painter->drawText(QRectF(box.left(), y - 0.2f * space, box.width(), 2.2f * space), Qt::AlignCenter,
                              QString::number(numerator));
            painter->drawText(QRectF(box.left(), y + 1.9f * space, box.width(), 2.2f * space), Qt::AlignCenter,
                              QString::number(denominator));
        }
    }
    painter->restore();
    return width;
}
