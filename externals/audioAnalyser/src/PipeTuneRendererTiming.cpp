// The timing view: melody notes as bars against time on a staff, gracing
// as small notes at their onsets, metronome beats as lines (thick at a bar).
// Reads the staff geometry members; writes mRowCount.

#include "PipeTuneRenderer.h"

#include "VantorUtils.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

constexpr int kTimingWidth = 1280;
// A note starting more than this after the last one ended is marked red as
// a new onset.
constexpr float kOnsetGap_s = 0.01f;

} // namespace

QPixmap PipeTuneRenderer::render(const NoteMap& melody, const NoteMap& gracenotes, float timeShift_s,
                                 float beatInterval_s, int beatsPerBar, float secondsPerRow, int row)
{
    NoteMap shiftedMelody;
    NoteMap shiftedGrace;
    timeShiftNotes(timeShift_s, melody, gracenotes, shiftedMelody, shiftedGrace);
    if (shiftedMelody.empty())
        return QPixmap();
    secondsPerRow = std::max(secondsPerRow, 1.0f);
    const float end_s = shiftedMelody.rbegin()->second.getEnd_s();
    mRowCount = static_cast<int>(end_s / secondsPerRow + 1.0f);
    if (mRowCount <= 0)
        return QPixmap();
    if (row == -2)
        row = mRowCount - 1;
    const int rowsDrawn = row >= 0 ? 1 : mRowCount;

    QPixmap pixmap(kTimingWidth, std::max(10, rowPitch() * rowsDrawn));
    pixmap.fill(Qt::white);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(Qt::black);
    const float width = static_cast<float>(kTimingWidth - 2 * mSideMargin);
    const float pixelsPerSecond = width / secondsPerRow;
    const float left = static_cast<float>(mSideMargin);
    drawHorizBarLines(painter, rowsDrawn, width);

    auto isDrawn = [&](int r) { return row < 0 || r == row; };
    auto rowTop = [&](int r) {
        return static_cast<float>(mTopMargin) + (row < 0 ? static_cast<float>(r * rowPitch()) : 0.0f);
    };

    if (end_s > 0.0f && beatInterval_s > 0.0f) {
        const int perBar = std::max(beatsPerBar, 1);
        int k = 0;
        for (float t = 0.0f; t < end_s; t = static_cast<float>(++k) * beatInterval_s) {
            const int r = static_cast<int>(t / secondsPerRow);
            if (!isDrawn(r))
                continue;
            const float x = left + ((t - static_cast<float>(r) * secondsPerRow) / secondsPerRow) * width;
            painter.setPen(k % perBar == 0 ? QPen(Qt::green, 3) : QPen(Qt::green));
            line(&painter, x, rowTop(r), x, rowTop(r) + static_cast<float>(mStaffHeight));
        }
    }

    painter.setPen(Qt::black);
    painter.setBrush(Qt::blue);
    float previousEnd_s = 0.0f;
    for (const auto& entry : shiftedMelody) {
        const PipeNote& note = entry.second;
        const int r = static_cast<int>(note.start_s() / secondsPerRow);
        const float x0 = (note.start_s() - static_cast<float>(r) * secondsPerRow) * pixelsPerSecond;
        const float length = note.duration_s() * pixelsPerSecond;
        const float visible = std::min(length, width - x0);
        const float offset = getNoteYOffset(note.noteName()) - 5.0f;
        if (isDrawn(r)) {
            painter.drawRect(QRectF(left + x0, rowTop(r) + offset, visible, 10.0f));
            if (note.start_s() - previousEnd_s > kOnsetGap_s) {
                painter.save();
                painter.setPen(Qt::NoPen);
                painter.setBrush(Qt::red);
                painter.drawRect(QRectF(left + x0, rowTop(r) + offset, 5.0f, 10.0f));
                painter.restore();
            }
        }
        if (visible < length && isDrawn(r + 1))
            painter.drawRect(QRectF(left, rowTop(r + 1) + offset, length - visible, 10.0f));
        previousEnd_s = note.getEnd_s();
    }

    painter.setBrush(Qt::NoBrush);
    for (const auto& entry : shiftedGrace) {
        const PipeNote& note = entry.second;
        const int r = static_cast<int>(std::floor(note.start_s() / secondsPerRow));
        if (!isDrawn(r))
            continue;
        const float x = left + (note.start_s() - static_cast<float>(r) * secondsPerRow) * pixelsPerSecond;
        drawGraceGroup(&painter, getNoteNames(note.noteName()), x, rowTop(r));
    }
    return pixmap;
}
