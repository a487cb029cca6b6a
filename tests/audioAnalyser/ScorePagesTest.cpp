// The sheet music on paper: the locale's paper, the print-size staff that
// only a row too wide for the page makes smaller, and PDFs with the pages
// the page breaks give, an empty score's with the header page alone.

#include "ScorePages.h"

#include "PdfPages.h"

#include <QLocale>
#include <gtest/gtest.h>

namespace {

// Rows of bars of four crotchets.
PipeTuneModel score(int rows, int barsPerRow)
{
    PipeTuneModel model;
    model.parts.emplace_back();
    for (int bar = 0; bar < rows * barsPerRow; ++bar) {
        PipeTuneModel::Bar& added = model.parts[0].bars.emplace_back();
        for (PipeNoteName note : {LA, B, C, D})
            added.items.emplace_back(note, 8, 0, FlagNone);
        added.rowBreak = (bar + 1) % barsPerRow == 0;
    }
    return model;
}

TEST(ScorePages, PaperIsLetterInNorthAmericaAndA4Elsewhere)
{
    const std::pair<const char*, QPageSize::PageSizeId> rows[] = {
        {"en_US", QPageSize::Letter}, {"en_CA", QPageSize::Letter}, {"fr_CA", QPageSize::Letter},
        {"es_MX", QPageSize::Letter}, {"en_GB", QPageSize::A4},     {"de_DE", QPageSize::A4},
        {"en_AU", QPageSize::A4},     {"C", QPageSize::A4}};
    for (const auto& [name, paper] : rows)
        EXPECT_EQ(ScorePages::defaultPaper(QLocale(name)), paper) << name;
}

TEST(ScorePages, StaffIsPrintSizeUnlessARowIsTooWideAndThePdfHasThePagesOfTheBreaks)
{
    const QPageLayout a4 = ScorePages::pageLayout(QPageSize::A4);
    const QPageLayout letter = ScorePages::pageLayout(QPageSize::Letter);
    ScoreSettings settings;
    settings.barsPerRow = 2;
    const ScorePages tune(score(25, 2), settings);
    EXPECT_EQ(tune.rowCount(), 25);
    EXPECT_FLOAT_EQ(tune.staffHeight_mm(a4), ScorePages::kStaffHeight_mm);
    for (const QPageLayout& paper : {a4, letter}) {
        const int pages = tune.pageBreaks(paper).pageCount();
        EXPECT_GE(pages, 2);
        EXPECT_EQ(pdfPageCount(tune.pdf(paper)), pages);
    }
    EXPECT_GE(tune.pageBreaks(letter).pageCount(), tune.pageBreaks(a4).pageCount());

    // Sixteen bars in a row fit only on a smaller staff, less small on the
    // wider Letter.
    const ScorePages wide(score(1, 16), settings);
    EXPECT_LT(wide.staffHeight_mm(a4), ScorePages::kStaffHeight_mm);
    EXPECT_GT(wide.staffHeight_mm(a4), 0.0f);
    EXPECT_GT(wide.staffHeight_mm(letter), wide.staffHeight_mm(a4));

    const ScorePages empty(PipeTuneModel(), settings);
    EXPECT_EQ(empty.rowCount(), 0);
    EXPECT_EQ(pdfPageCount(empty.pdf(a4)), 1);
}

} // namespace
