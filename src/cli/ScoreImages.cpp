#include "ScoreImages.h"

#include "PipeTuneRenderer.h"

#include <QFont>
#include <QPainter>

#include <algorithm>
#include <string>

namespace {

constexpr int kHeaderHeight = 70;
// Taller images are refused: the painter cannot draw beyond this, and the
// memory grows with every row.
constexpr long long kMaximumImageHeight = 32767;

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

QImage scoreImage(const TranscriptionResult& result, const ScoreOptions& options, std::string& error)
{
    const PipeTuneModel model = quantizeScore(result, options);
    PipeTuneRenderer renderer;
    long long bars = 0;
    for (const PipeTuneModel::Part& part : model.parts)
        bars += static_cast<long long>(part.bars.size());
    const long long rows = bars / std::max(1, options.barsPerRow) + 1;
    if (rows * renderer.rowPitch() + kHeaderHeight > kMaximumImageHeight) {
        error = "the sheet music would be " + std::to_string(rows * renderer.rowPitch()) + " pixels tall (at most "
                + std::to_string(kMaximumImageHeight) + "): give more bars per row";
        return QImage();
    }
    renderer.setLastRowPadded(false);
    renderer.setStaffSignatures(true);
    const QImage image = withHeader(renderer.render(model, -1), options);
    if (image.isNull())
        error = "there are no notes to draw";
    return image;
}

QImage timingImage(const TranscriptionResult& result, const ScoreOptions& options, float secondsPerRow,
                   std::string& error)
{
    // The metronome beat: a crotchet in x/4, a minim in 2/2, a dotted
    // crotchet in 6/8.
    const float beat_s = 60.0f / options.bpm;
    const int beatsPerBar =
        options.timeSigDenominator == 8 ? options.timeSigNumerator / 3 : options.timeSigNumerator;
    float end_s = 0.0f;
    for (const NoteMap* notes : {&result.melody, &result.gracing}) {
        if (!notes->empty())
            end_s = std::max(end_s, std::prev(notes->end())->second.getEnd_s() + options.timeShift_s);
    }
    PipeTuneRenderer renderer;
    const long long rows = static_cast<long long>(end_s / std::max(secondsPerRow, 1.0f)) + 1;
    if (rows * renderer.rowPitch() + kHeaderHeight > kMaximumImageHeight) {
        error = "the timing view would be " + std::to_string(rows * renderer.rowPitch()) + " pixels tall (at most "
                + std::to_string(kMaximumImageHeight) + "): give more seconds per row";
        return QImage();
    }
    const QImage image = withHeader(renderer.render(result.melody, result.gracing, options.timeShift_s, beat_s,
                                                    beatsPerBar, secondsPerRow, -1),
                                    options);
    if (image.isNull())
        error = "there are no notes to draw";
    return image;
}
