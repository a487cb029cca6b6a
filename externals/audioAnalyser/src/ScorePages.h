#pragma once

// The sheet music on paper, for print and PDF: the score's rows as the
// renderer draws them (clef, key and time signatures, every row justified
// to the width of the page), painted as vector graphics at a staff height
// pipers read, the tune's header (name, type, composer) above the first row
// of page 1 and "1 / 3" at the foot of every page. A row is never cut
// across pages (PageBreaks). The staff is kStaffHeight_mm tall unless the
// widest row needs a smaller one to fit the page's width. A score with no
// rows gives one page with the header alone. Input: the score (corrected,
// as the views show it) and its settings, for the tune details and bars
// per row. Needs a Qt Gui application; GUI thread.

#include "PageBreaks.h"
#include "PipeTuneModel.h"
#include "ScoreSettings.h"

#include <QByteArray>
#include <QPageLayout>
#include <QPageSize>

class QLocale;
class QPagedPaintDevice;

class ScorePages
{
public:
    // Printed pipe music reads at 7 to 8 mm a staff, larger than ordinary
    // scores' parts: tune books, pipe band sets and the sheets on a
    // practice chanter's stand are read at arm's length, and the gracenotes
    // are small notes at half a head. 7.5 mm still puts four bars of a
    // busy jig across a portrait page.
    static constexpr float kStaffHeight_mm = 7.5f;
    // All round the page, the most a home or office printer leaves blank.
    static constexpr float kMargin_mm = 15.0f;
    // The band at the foot of the printed area that holds the page number.
    static constexpr float kFooter_mm = 8.0f;
    static constexpr float kPageNumberSize_pt = 9.0f;

    ScorePages(const PipeTuneModel& model, const ScoreSettings& score);

    // The score's rows (none: nothing to draw).
    int rowCount() const { return mRowCount; }
    // The pages on paper laid out as layout.
    PageBreaks pageBreaks(const QPageLayout& layout) const;
    // The staff height on that paper.
    float staffHeight_mm(const QPageLayout& layout) const;
    // Paints the pages fromPage to toPage (from 1; as QPrinter gives them,
    // 0 and 0 for all) on device (a QPdfWriter, a QPrinter) in its page
    // layout; false when no painter can be opened on it.
    bool paint(QPagedPaintDevice& device, int fromPage = 0, int toPage = 0) const;
    // The pages as a PDF document, titled with the tune's name.
    QByteArray pdf(const QPageLayout& layout) const;

    // Letter where the locale measures in US units or its country prints on
    // Letter (the Americas from Canada to Chile, the Philippines), else A4.
    static QPageSize::PageSizeId defaultPaper(const QLocale& locale);
    // Portrait paper with kMargin_mm margins.
    static QPageLayout pageLayout(QPageSize::PageSizeId paper);

private:
    // The page in the renderer's pixels: the scale from points, the width
    // the rows are justified to, and the height they may fill.
    struct Frame {
        float points_per_px = 1.0f;
        float width_px = 0.0f;
        float height_px = 0.0f;
    };
    Frame frameOf(const QPageLayout& layout) const;

    PipeTuneModel mModel;
    ScoreSettings mScore;
    int mRowCount = 0;
    // The widest row at its natural spacing, side margins included.
    float mNaturalWidth_px = 0.0f;
    int mRowPitch_px = 0;
    int mStaffHeight_px = 0;
    int mSideMargin_px = 0;
    // A last row as full as the others is justified like them; a shorter
    // one keeps its natural spacing.
    bool mLastRowPadded = false;
};
