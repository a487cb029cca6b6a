#include "ScoreHeader.h"

#include "PipeTuneRenderer.h"

#include <QFont>
#include <QPainter>

#include <algorithm>
#include <vector>

namespace scoreHeader {

namespace {

// Inside a margin of 5 px: the title's line, then the details', then the
// brand's, each this far below the one before.
constexpr int kMargin_px = 5;
constexpr int kTitleSize_px = 30;
constexpr int kDetailsOffset_px = 45;
constexpr int kDetailsSize_px = 20;
constexpr int kBrandOffset_px = 30;
constexpr int kBrandSize_px = 10;

QFont fontOf(int pixelSize, bool italic)
{
    QFont font;
    font.setPixelSize(pixelSize);
    font.setItalic(italic);
    return font;
}

} // namespace

int widthFor(const std::map<int, QPixmap>& rows)
{
    int width = kMinimumWidth;
    for (const auto& entry : rows)
        width = std::max(width, entry.second.width());
    return width;
}

void draw(QPainter& painter, int width, const TuneDetails& details)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(Qt::black);
    QRect area = QRect(0, 0, width, kHeight).adjusted(kMargin_px, kMargin_px, -kMargin_px, -kMargin_px);

    painter.setFont(fontOf(kTitleSize_px, false));
    painter.drawText(area, Qt::AlignHCenter | Qt::AlignTop, details.name);

    area.setTop(area.top() + kDetailsOffset_px);
    painter.setFont(fontOf(kDetailsSize_px, true));
    painter.drawText(area, Qt::AlignLeft | Qt::AlignTop, details.type);
    painter.drawText(area, Qt::AlignRight | Qt::AlignTop, details.composer);

    area.setTop(area.top() + kBrandOffset_px);
    painter.setFont(fontOf(kBrandSize_px, true));
    painter.drawText(area, Qt::AlignRight | Qt::AlignTop, "Vantor");
    painter.restore();
}

QPixmap paint(int width, const TuneDetails& details)
{
    QPixmap header(width, kHeight);
    header.fill(Qt::white);
    QPainter painter(&header);
    draw(painter, width, details);
    return header;
}

QPixmap stack(const std::map<int, QPixmap>& rows, const QPixmap& header, const QPixmap& emptyPicture)
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

QPixmap page(const std::map<int, QPixmap>& rows, const TuneDetails& details, const QPixmap& emptyPicture)
{
    return stack(rows, paint(widthFor(rows), details), emptyPicture);
}

TuneDetails details(const ScoreSettings& score)
{
    return TuneDetails{QString::fromStdString(score.tuneName), QString::fromStdString(score.tuneType),
                       QString::fromStdString(score.composer)};
}

QPixmap scorePage(const PipeTuneModel& model, const ScoreSettings& score, const QPixmap& emptyPicture)
{
    PipeTuneRenderer renderer;
    renderer.setLastRowPadded(false);
    renderer.setStaffSignatures(true);
    std::map<int, QPixmap> rows;
    const QPixmap last = renderer.render(model, -2);
    for (int row = 0; row + 1 < renderer.numRows(); ++row)
        rows[row] = renderer.render(model, row);
    if (!last.isNull())
        rows[renderer.numRows() - 1] = last;
    return page(rows, details(score), emptyPicture);
}

QPixmap timingPage(const NoteMap& melody, const NoteMap& gracing, const ScoreSettings& score, float secondsPerRow,
                   const QPixmap& emptyPicture)
{
    // The metronome's beat: a crotchet in x/4, a minim in 2/2, a dotted
    // crotchet in 6/8.
    const float beat_s = 60.0f / score.bpm;
    const int barBeats = beatsPerBar(score);
    PipeTuneRenderer renderer;
    auto render = [&](int row) {
        return renderer.render(melody, gracing, score.timeShift_s, beat_s, barBeats, secondsPerRow, row);
    };
    std::map<int, QPixmap> rows;
    const QPixmap last = render(-2);
    for (int row = 0; row + 1 < renderer.numRows(); ++row)
        rows[row] = render(row);
    if (!last.isNull())
        rows[renderer.numRows() - 1] = last;
    return page(rows, details(score), emptyPicture);
}

} // namespace scoreHeader
