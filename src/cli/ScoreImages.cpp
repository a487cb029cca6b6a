#include "ScoreImages.h"

#include "PipeTuneRenderer.h"

#include <QFont>
#include <QPainter>

namespace {

constexpr int kHeaderHeight = 70;

// rows under a header: tune name centred, type left, composer right, and the
// product name in small italics at the right.
QImage withHeader(const QPixmap& rows, const ScoreOptions& options)
{
    if (rows.isNull())
        return QImage();
    QImage image(rows.width(), rows.height() + kHeaderHeight, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(Qt::black);
    const int margin = 20;
    const int width = rows.width() - 2 * margin;

    QFont title;
    title.setPointSize(16);
    title.setBold(true);
    painter.setFont(title);
    painter.drawText(QRect(margin, 6, width, 28), Qt::AlignHCenter | Qt::AlignVCenter,
                     QString::fromStdString(options.tuneName));

    QFont details;
    details.setPointSize(11);
    details.setBold(true);
    painter.setFont(details);
    painter.drawText(QRect(margin, 38, width, 22), Qt::AlignLeft | Qt::AlignVCenter,
                     QString::fromStdString(options.tuneType));
    painter.drawText(QRect(margin, 38, width, 22), Qt::AlignRight | Qt::AlignVCenter,
                     QString::fromStdString(options.composer));

    QFont brand;
    brand.setPointSize(7);
    brand.setItalic(true);
    painter.setFont(brand);
    painter.drawText(QRect(margin, 2, width, 14), Qt::AlignRight | Qt::AlignTop, "Vantor");

    painter.drawPixmap(0, kHeaderHeight, rows);
    return image;
}

} // namespace

QImage scoreImage(const TranscriptionResult& result, const ScoreOptions& options)
{
    PipeTuneRenderer renderer;
    renderer.setLastRowPadded(false);
    return withHeader(renderer.render(quantizeScore(result, options), -1), options);
}

QImage timingImage(const TranscriptionResult& result, const ScoreOptions& options, float secondsPerRow)
{
    // The metronome beat: a crotchet in x/4, a minim in 2/2, a dotted
    // crotchet in 6/8.
    const float beat_s = 60.0f / options.bpm;
    const int beatsPerBar =
        options.timeSigDenominator == 8 ? options.timeSigNumerator / 3 : options.timeSigNumerator;
    PipeTuneRenderer renderer;
    return withHeader(renderer.render(result.melody, result.gracing, options.timeShift_s, beat_s, beatsPerBar,
                                      secondsPerRow, -1),
                      options);
}
