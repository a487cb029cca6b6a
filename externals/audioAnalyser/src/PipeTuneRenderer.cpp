// The sheet music: staves, bars, notes with their stems, flags, beams,
// dots and ties, and gracing as small notes; rows justified to the widest.
// The timing view and the signatures at the start of a row are drawn in
// PipeTuneRendererTiming.cpp and PipeTuneRendererSignatures.cpp.

#include "PipeTuneRenderer.h"

#include "VantorUtils.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace {

// Space between the notes of one item, and the bar's basic gap.
constexpr float kNoteGap = 2.0f;
constexpr float kBarGap = 10.0f;
constexpr float kGraceHeadRadius = 2.0f;
constexpr float kGraceStemOffset = 4.0f;
constexpr float kStubLength = 9.0f;
// Bar lines this close to the end of the staff are drawn on it.
constexpr float kSnapToEnd = 5.0f;
constexpr float kJustifyTolerance = 1.0f;

int position(PipeNoteName name)
{
    switch (name) {
    case LG: return 6;
    case LA: return 5;
    case B: return 4;
    case C: return 3;
    case D: return 2;
    case E: return 1;
    case F: return 0;
    case HG: return -1;
    case HA: return -2;
    default: return 0;
    }
}

} // namespace

void PipeTuneRenderer::line(QPainter* painter, float x1, float y1, float x2, float y2)
{
    if (painter != nullptr)
        painter->drawLine(static_cast<int>(x1), static_cast<int>(y1), static_cast<int>(x2), static_cast<int>(y2));
}

int PipeTuneRenderer::flagsForDuration(int duration)
{
    switch (duration) {
    case 32: return 3;
    case 16: return 2;
    case 8: return 1;
    default: return 0;
    }
}

float PipeTuneRenderer::getNoteYOffset(PipeNoteName name) const
{
    return static_cast<float>(position(name)) * mHalfSpace;
}

bool PipeTuneRenderer::isNoteOnALine(PipeNoteName name)
{
    return name == LG || name == B || name == D || name == F;
}

void PipeTuneRenderer::drawHorizBarLines(QPainter& painter, int rows, float width)
{
    for (int r = 0; r < rows; ++r) {
        for (int i = 0; i < mStaffLineCount; ++i) {
            const float y = static_cast<float>(mTopMargin) + static_cast<float>(i) * mLineSpacing
                            + static_cast<float>(r * rowPitch());
            line(&painter, static_cast<float>(mSideMargin), y, static_cast<float>(mSideMargin) + width, y);
        }
    }
}

float PipeTuneRenderer::drawNote(QPainter* painter, float x, float y, PipeNoteName name, PipeNoteType type,
                                 int duration, int dots, NoteFlag flag, float& stemX, float& stemEndY)
{
    const float noteY = y + getNoteYOffset(name);
    const bool unbeamed = flag == FlagNone || duration < 5;
    const bool melody = type == MelodyNote;
    const float r = melody ? mNoteHeadRadius : kGraceHeadRadius;
    float flagStep = 0.0f;
    float flagDx = 0.0f;
    float flagDy = 0.0f;
    if (melody) {
        // Stems hang down from the left of the head to a common beam line
        // below the staff; flags rise from the stem end.
        stemX = x;
        stemEndY = unbeamed ? noteY + 7.0f * mHalfSpace : y + 12.0f * mHalfSpace;
        flagStep = -mBeamSpacing;
        flagDx = 2.0f * r;
        flagDy = -0.75f * 2.0f * r;
    } else {
        // Gracenotes: stems up from the right of the head to a beam line
        // above the staff; flags fall from the stem end.
        stemX = x + kGraceStemOffset;
        stemEndY = unbeamed ? noteY - 4.0f * mHalfSpace : y - 5.0f * mHalfSpace;
        flagStep = mBeamSpacing;
        flagDx = 4.0f;
        flagDy = 3.0f;
    }
    const int flags = flagsForDuration(duration);
    const bool hollow = duration == 1 || duration == 2;
    const float dotRadius = r / 3.0f;
    const float dotPitch = 4.0f * r / 3.0f;
    const int dotCount = std::max(dots, 0);

    if (painter != nullptr) {
        painter->save();
        painter->setBrush(hollow ? Qt::white : Qt::black);
        painter->drawEllipse(QRectF(x, noteY - r, 2.0f * r, 2.0f * r));
        painter->restore();
        if (name == HA)
            line(painter, x - r / 2.0f, noteY, x + 2.0f * r + r / 2.0f, noteY);
        const float dotY = isNoteOnALine(name) ? noteY - mHalfSpace : noteY;
        painter->save();
        painter->setBrush(Qt::black);
        for (int k = 0; k < dotCount; ++k) {
            const float cx = x + 2.0f * r + r + static_cast<float>(k) * dotPitch;
            painter->drawEllipse(QRectF(cx - dotRadius, dotY - dotRadius, 2.0f * dotRadius, 2.0f * dotRadius));
        }
        painter->restore();
        if (duration != 1)
            line(painter, stemX, noteY, stemX, stemEndY);
        if (unbeamed) {
            for (int k = 0; k < flags; ++k) {
                const float startY = stemEndY + static_cast<float>(k) * flagStep;
                line(painter, stemX, startY, stemX + flagDx, startY + flagDy);
            }
        }
    }
    return 2.0f * r + static_cast<float>(dotCount) * dotPitch;
}

float PipeTuneRenderer::drawGraceGroup(QPainter* painter, const std::vector<PipeNoteName>& names, float x, float y)
{
    float width = 0.0f;
    float firstStemX = 0.0f;
    float stemX = 0.0f;
    float stemEndY = 0.0f;
    for (std::size_t k = 0; k < names.size(); ++k) {
        const NoteFlag flag = names.size() == 1 ? FlagNone : (k == 0 ? FlagRight : FlagLeft);
        if (k > 0)
            width += kNoteGap;
        width += drawNote(painter, x + width, y, names[k], GraceNote, 32, 0, flag, stemX, stemEndY);
        if (k == 0)
            firstStemX = stemX;
    }
    if (names.size() > 1) {
        for (int level = 0; level < 3; ++level) {
            const float beamY = stemEndY + static_cast<float>(level) * mBeamSpacing;
            line(painter, firstStemX, beamY, stemX, beamY);
        }
    }
    return width;
}

float PipeTuneRenderer::drawItem(QPainter* painter, const PipeTuneModel::Item& item, float x, float y, float& stemX,
                                 float& stemEndY)
{
    const std::vector<PipeNoteName> names = getNoteNames(item.name);
    if (noteTypeFromName(item.name) != MelodyNote) {
        if (names.empty())
            return 0.0f;
        const float width = drawGraceGroup(painter, names, x, y);
        stemX = x;
        stemEndY = y;
        return width;
    }
    return drawNote(painter, x, y, item.name, MelodyNote, item.duration, item.dots, item.flag, stemX, stemEndY);
}

void PipeTuneRenderer::drawShortFlag(QPainter* painter, int fromLevel, int toLevel, NoteFlag flag, float x, float y)
{
    const float direction = flag == FlagRight ? 1.0f : -1.0f;
    for (int level = fromLevel; level < toLevel; ++level) {
        const float levelY = y - static_cast<float>(level) * mBeamSpacing;
        line(painter, x, levelY, x + direction * kStubLength, levelY);
    }
}

std::pair<float, float> PipeTuneRenderer::drawBar(QPainter* painter, const PipeTuneModel::Bar& bar, float y, float x,
                                                   float spacingFactor)
{
    const float gap = spacingFactor * kBarGap;
    float current = x + gap;
    float gapSum = gap;

    // The previous melody note of a beamed run.
    bool hasPrevious = false;
    float previousStemX = 0.0f;
    float previousEndY = 0.0f;
    NoteFlag previousFlag = FlagNone;
    int previousLevels = 0;
    int previousJoined = 0;
    auto finishRun = [&]() {
        if (hasPrevious && previousFlag == FlagLeft && previousLevels > previousJoined)
            drawShortFlag(painter, previousJoined, previousLevels, FlagLeft, previousStemX, previousEndY);
        hasPrevious = false;
    };

    for (std::size_t i = 0; i < bar.items.size(); ++i) {
        const PipeTuneModel::Item& item = bar.items[i];
        float stemX = 0.0f;
        float stemEndY = 0.0f;
        const float width = drawItem(painter, item, current, y, stemX, stemEndY);
        const bool melody = noteTypeFromName(item.name) == MelodyNote;
        if (painter != nullptr && mPlacing) {
            // Melody notes from High A's ledger line to the beams below the
            // staff; gracing from its beams above the staff to Low G.
            ItemPlace place = *mPlacing;
            place.item = static_cast<int>(i);
            const float top = melody ? y - 3.0f * mHalfSpace : y - 6.0f * mHalfSpace;
            const float bottom = melody ? y + 13.0f * mHalfSpace : y + 7.0f * mHalfSpace;
            place.rect = QRectF(current - 1.0f, top, width + 2.0f, bottom - top);
            mItemPlaces.push_back(place);
        }
        if (melody)
            drawTie(painter, item, stemX + mNoteHeadRadius, y + getNoteYOffset(item.name));
        if (melody) {
            const int levels = flagsForDuration(item.duration);
            if (item.flag == FlagNone || item.duration < 5) {
                finishRun();
            } else if (item.flag == FlagRight || !hasPrevious) {
                finishRun();
                hasPrevious = true;
                previousStemX = stemX;
                previousEndY = stemEndY;
                previousFlag = FlagRight;
                previousLevels = levels;
                previousJoined = 0;
            } else {
                const int common = std::min(levels, previousLevels);
                for (int k = 0; k < common; ++k) {
                    const float offset = static_cast<float>(k) * mBeamSpacing;
                    line(painter, previousStemX, previousEndY - offset, stemX, stemEndY - offset);
                }
                const NoteFlag stubDirection =
                    previousFlag == FlagRight || (previousFlag == FlagLeft && common > previousJoined) ? FlagRight
                                                                                                      : FlagLeft;
                drawShortFlag(painter, std::max(previousJoined, common), previousLevels, stubDirection, previousStemX,
                              previousEndY);
                if (i + 1 == bar.items.size() && levels > common)
                    drawShortFlag(painter, common, levels, FlagLeft, stemX, stemEndY);
                previousStemX = stemX;
                previousEndY = stemEndY;
                previousFlag = FlagLeft;
                previousLevels = levels;
                previousJoined = common;
            }
        }
        const float step = melody ? gap : gap / 2.0f;
        current += width + step;
        gapSum += step;
    }
    return {current - x, gapSum};
}

float PipeTuneRenderer::calcBarWidth(const PipeTuneModel::Bar& bar, float spacingFactor)
{
    return drawBar(nullptr, bar, 0.0f, 0.0f, spacingFactor).first;
}

QPixmap PipeTuneRenderer::render(const PipeTuneModel& model, int row)
{
    const std::optional<Layout> layout = layOut(model, row);
    if (!layout)
        return QPixmap();
    QPixmap pixmap(layout->size);
    pixmap.fill(Qt::white);
    QPainter painter(&pixmap);
    paintLayout(painter, model, *layout);
    return pixmap;
}

QSize PipeTuneRenderer::render(QPainter& painter, const PipeTuneModel& model, int row)
{
    const std::optional<Layout> layout = layOut(model, row);
    if (!layout)
        return QSize();
    painter.save();
    paintLayout(painter, model, *layout);
    painter.restore();
    return layout->size;
}

std::optional<PipeTuneRenderer::Layout> PipeTuneRenderer::layOut(const PipeTuneModel& model, int row)
{
    struct Row {
        std::vector<float> widths;
        std::vector<float> gaps;
    };
    std::vector<Row> rows;
    Row open;
    mItemPlaces.clear();
    mPlacing.reset();
    float rowWidth = 0.0f;
    mBiggestRowWidth = 0.0f;
    std::vector<float> prefixes;
    rowWidth = drawStaffSignatures(nullptr, model, 0, 0.0f, 0.0f);
    prefixes.push_back(rowWidth);
    for (const PipeTuneModel::Part& part : model.parts) {
        for (const PipeTuneModel::Bar& bar : part.bars) {
            const auto [width, gaps] = drawBar(nullptr, bar, 1000.0f, 0.0f, 1.0f);
            open.widths.push_back(width);
            open.gaps.push_back(gaps);
            rowWidth += width;
            if (bar.rowBreak) {
                rows.push_back(open);
                open = Row();
                mBiggestRowWidth = std::max(mBiggestRowWidth, rowWidth);
                rowWidth = drawStaffSignatures(nullptr, model, static_cast<int>(rows.size()), 0.0f, 0.0f);
                prefixes.push_back(rowWidth);
            }
        }
    }
    if (rows.empty())
        mBiggestRowWidth = open.widths.empty() ? 0.0f : rowWidth;
    mRowCount = static_cast<int>(rows.size());
    if (!(mBiggestRowWidth > 0.0f))
        return std::nullopt;
    mBiggestRowWidth = std::max(mBiggestRowWidth, mMinimumScoreWidth);

    if (row == -2)
        row = mRowCount - 1;
    int rowsDrawn = 0;
    if (row < 0)
        rowsDrawn = mRowCount;
    else if (row < mRowCount)
        rowsDrawn = 1;
    else
        return std::nullopt;

    // Each bar takes its share of the slack by widening its gaps.
    std::vector<std::vector<float>> factors(rows.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
        float sum = 0.0f;
        for (float width : rows[r].widths)
            sum += width;
        const float slack = mBiggestRowWidth - prefixes[r] - sum;
        for (std::size_t b = 0; b < rows[r].widths.size(); ++b) {
            const float gaps = rows[r].gaps[b];
            factors[r].push_back(slack <= kJustifyTolerance || !(gaps > 0.0f)
                                     ? 1.0f
                                     : ((rows[r].widths[b] / sum) * slack + gaps) / gaps);
        }
    }

    Layout layout;
    layout.row = row;
    layout.rowsDrawn = rowsDrawn;
    layout.factors = std::move(factors);
    layout.size = QSize(static_cast<int>(std::round(2.0f * static_cast<float>(mSideMargin) + mBiggestRowWidth)),
                        static_cast<int>(std::round(std::max(10.0f, static_cast<float>(rowPitch() * rowsDrawn)))));
    return layout;
}

void PipeTuneRenderer::paintLayout(QPainter& painter, const PipeTuneModel& model, const Layout& layout)
{
    const int row = layout.row;
    const int rowsDrawn = layout.rowsDrawn;
    const std::vector<std::vector<float>>& factors = layout.factors;
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(QPen(Qt::black, 2));
    drawHorizBarLines(painter, rowsDrawn, mBiggestRowWidth);

    const float left = static_cast<float>(mSideMargin);
    const float right = left + mBiggestRowWidth;
    const float staff = static_cast<float>(mStaffHeight);
    float y = static_cast<float>(mTopMargin);
    float x = left;
    line(&painter, x, y, x, y + staff);
    auto startRow = [&](int index) {
        x = left;
        x += drawStaffSignatures(&painter, model, index, x, y);
        // A tie does not reach over a row break.
        mTieFrom.reset();
    };
    startRow(row < 0 ? 0 : row);

    // All rows stack downwards; a single row is drawn at the top.
    const bool allRows = row < 0;
    int rowIndex = 0;
    std::size_t barInRow = 0;
    std::size_t barsLeft = 0;
    for (const PipeTuneModel::Part& part : model.parts)
        barsLeft += part.bars.size();
    for (std::size_t p = 0; p < model.parts.size(); ++p) {
        const PipeTuneModel::Part& part = model.parts[p];
        for (std::size_t b = 0; b < part.bars.size(); ++b) {
            const PipeTuneModel::Bar& bar = part.bars[b];
            --barsLeft;
            const bool drawn = (allRows || rowIndex == row) && static_cast<std::size_t>(rowIndex) < factors.size();
            if (drawn) {
                mPlacing = ItemPlace{static_cast<int>(p), static_cast<int>(b), 0, rowIndex, QRectF()};
                const bool lastRow = rowIndex == mRowCount - 1;
                const float factor =
                    lastRow && !mLastRowPadded ? 1.0f : factors[static_cast<std::size_t>(rowIndex)][barInRow];
                x += drawBar(&painter, bar, y, x, factor).first;
                mPlacing.reset();
                const float barLineX = std::fabs(x - right) <= kSnapToEnd ? right : x;
                line(&painter, barLineX, y, barLineX, y + staff);
            }
            ++barInRow;
            if (bar.rowBreak) {
                ++rowIndex;
                barInRow = 0;
                if (allRows) {
                    y += static_cast<float>(rowPitch());
                    x = left;
                    if (barsLeft > 0) {
                        line(&painter, x, y, x, y + staff);
                        startRow(rowIndex);
                    }
                } else {
                    // A single row was started at the top; rows before it
                    // are only passed over.
                    x = left + drawStaffSignatures(nullptr, model, rowIndex, left, y);
                }
            }
        }
    }
}

void PipeTuneRenderer::drawTie(QPainter* painter, const PipeTuneModel::Item& item, float headX, float headY)
{
    if (painter == nullptr)
        return;
    if (mTieFrom) {
        // Over the heads (the stems point down), from one head to the next.
        const QPointF from(mTieFrom->x() + mNoteHeadRadius, mTieFrom->y() - mNoteHeadRadius - 1.0);
        const QPointF to(headX - mNoteHeadRadius, headY - mNoteHeadRadius - 1.0);
        const double lift = std::min(8.0, 4.0 + 0.05 * (to.x() - from.x()));
        QPainterPath arc(from);
        arc.cubicTo(from + QPointF((to.x() - from.x()) * 0.25, -lift), to + QPointF((from.x() - to.x()) * 0.25, -lift),
                    to);
        painter->save();
        painter->setPen(QPen(Qt::black, 1.3));
        painter->setBrush(Qt::NoBrush);
        painter->drawPath(arc);
        painter->restore();
        mTieFrom.reset();
    }
    if (item.tied)
        mTieFrom = QPointF(headX, headY);
}
