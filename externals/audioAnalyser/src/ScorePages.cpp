#include "ScorePages.h"

#include "PipeTuneRenderer.h"
#include "ScoreHeader.h"

#include <QBuffer>
#include <QFont>
#include <QLocale>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <cmath>

namespace {

constexpr float kPoints_per_mm = 72.0f / 25.4f;
// The renderer's rows follow each other at their own pitch, which already
// leaves room for the gracenotes above a staff and the stems below it.
constexpr float kRowGap_px = 0.0f;
// Fine enough for print; the PDF's own default.
constexpr int kPdfResolution_dpi = 1200;

PipeTuneRenderer makeRenderer(bool lastRowPadded, float minimumScoreWidth_px)
{
    PipeTuneRenderer renderer;
    renderer.setStaffSignatures(true);
    renderer.setLastRowPadded(lastRowPadded);
    renderer.setMinimumScoreWidth(minimumScoreWidth_px);
    return renderer;
}

} // namespace

ScorePages::ScorePages(const PipeTuneModel& model, const ScoreSettings& score) : mModel(model), mScore(score)
{
    PipeTuneRenderer renderer = makeRenderer(false, 0.0f);
    // Rendering one row measures them all.
    renderer.render(mModel, 0);
    mRowCount = renderer.numRows();
    mNaturalWidth_px = renderer.biggestRowWidth() + 2.0f * static_cast<float>(renderer.sideMargin());
    mRowPitch_px = renderer.rowPitch();
    mStaffHeight_px = renderer.staffHeight();
    mSideMargin_px = renderer.sideMargin();

    // The bars of the last row, which ends at the last row break.
    int barsInRow = 0;
    int lastRowBars = 0;
    for (const PipeTuneModel::Part& part : mModel.parts) {
        for (const PipeTuneModel::Bar& bar : part.bars) {
            ++barsInRow;
            if (bar.rowBreak) {
                lastRowBars = barsInRow;
                barsInRow = 0;
            }
        }
    }
    mLastRowPadded = lastRowBars >= std::max(1, mScore.barsPerRow);
}

ScorePages::Frame ScorePages::frameOf(const QPageLayout& layout) const
{
    const QRectF paper_pt = layout.paintRect(QPageLayout::Point);
    const float width_pt = static_cast<float>(paper_pt.width());
    const float height_pt = static_cast<float>(paper_pt.height()) - kFooter_mm * kPoints_per_mm;
    Frame frame;
    frame.points_per_px = kStaffHeight_mm * kPoints_per_mm / static_cast<float>(mStaffHeight_px);
    if (mNaturalWidth_px * frame.points_per_px > width_pt)
        frame.points_per_px = width_pt / mNaturalWidth_px;
    frame.width_px = width_pt / frame.points_per_px;
    frame.height_px = std::max(1.0f, height_pt / frame.points_per_px);
    return frame;
}

PageBreaks ScorePages::pageBreaks(const QPageLayout& layout) const
{
    const Frame frame = frameOf(layout);
    return PageBreaks(frame.height_px, static_cast<float>(scoreHeader::kHeight),
                      std::vector<float>(static_cast<std::size_t>(mRowCount), static_cast<float>(mRowPitch_px)),
                      kRowGap_px);
}

float ScorePages::staffHeight_mm(const QPageLayout& layout) const
{
    return static_cast<float>(mStaffHeight_px) * frameOf(layout).points_per_px / kPoints_per_mm;
}

bool ScorePages::paint(QPagedPaintDevice& device, int fromPage, int toPage) const
{
    const QPageLayout layout = device.pageLayout();
    const Frame frame = frameOf(layout);
    const PageBreaks breaks = pageBreaks(layout);
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    // The painter's origin is the top left of the printed area; from here
    // on a unit is one of the renderer's pixels.
    const qreal device_per_pt = device.logicalDpiY() / 72.0;
    painter.scale(device_per_pt * frame.points_per_px, device_per_pt * frame.points_per_px);

    PipeTuneRenderer renderer =
        makeRenderer(mLastRowPadded, frame.width_px - 2.0f * static_cast<float>(mSideMargin_px));
    const QString name = QString::fromStdString(mScore.tuneName);
    QFont numberFont;
    numberFont.setPixelSize(std::max(1, static_cast<int>(std::lround(kPageNumberSize_pt / frame.points_per_px))));
    const int pages = breaks.pageCount();
    const int first = fromPage > 0 ? std::min(fromPage, pages) - 1 : 0;
    const int last = toPage > 0 ? std::min(toPage, pages) - 1 : pages - 1;
    for (int page = first; page <= last; ++page) {
        if (page > first)
            device.newPage();
        if (page == 0)
            scoreHeader::draw(painter, static_cast<int>(frame.width_px), scoreHeader::details(mScore));
        for (const PageBreaks::Placement& placement : breaks.pages()[static_cast<std::size_t>(page)]) {
            painter.save();
            painter.translate(0.0, placement.top);
            painter.scale(placement.scale, placement.scale);
            renderer.render(painter, mModel, placement.row);
            painter.restore();
        }
        painter.save();
        painter.setFont(numberFont);
        painter.setPen(Qt::black);
        const qreal footer_px = kFooter_mm * kPoints_per_mm / frame.points_per_px;
        painter.drawText(QRectF(0.0, frame.height_px, frame.width_px, footer_px), Qt::AlignHCenter | Qt::AlignBottom,
                         QString("%1 / %2").arg(page + 1).arg(pages));
        painter.restore();
    }
    return painter.end();
}

QByteArray ScorePages::pdf(const QPageLayout& layout) const
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setResolution(kPdfResolution_dpi);
        writer.setPageLayout(layout);
        writer.setTitle(QString::fromStdString(mScore.tuneName));
        writer.setCreator("Vantor");
        if (!paint(writer))
            return QByteArray();
    }
    return bytes;
}

QPageSize::PageSizeId ScorePages::defaultPaper(const QLocale& locale)
{
    static const QLocale::Country letterCountries[] = {
        QLocale::UnitedStates, QLocale::Canada,     QLocale::Mexico,    QLocale::Guatemala,
        QLocale::ElSalvador,   QLocale::Nicaragua,  QLocale::CostaRica, QLocale::Panama,
        QLocale::Colombia,     QLocale::Venezuela,  QLocale::Chile,     QLocale::DominicanRepublic,
        QLocale::PuertoRico,   QLocale::Philippines};
    const bool letter = locale.measurementSystem() == QLocale::ImperialUSSystem
                        || std::find(std::begin(letterCountries), std::end(letterCountries), locale.country())
                               != std::end(letterCountries);
    return letter ? QPageSize::Letter : QPageSize::A4;
}

QPageLayout ScorePages::pageLayout(QPageSize::PageSizeId paper)
{
    return QPageLayout(QPageSize(paper), QPageLayout::Portrait,
                       QMarginsF(kMargin_mm, kMargin_mm, kMargin_mm, kMargin_mm), QPageLayout::Millimeter);
}
