// The sheet music on paper: the locale's paper, the print-size staff that
// only a row too wide for the page makes smaller, and PDFs with the pages
// the page breaks give, an empty score's with the header page alone.

#include "ScorePages.h"

#include "PdfPages.h"

#include <QLocale>
#include <gtest/gtest.h>

namespace {

using Item = PipeTuneModel::Item;

// rows rows of barsPerRow bars of four crotchets.
PipeTuneModel score(int rows, int barsPerRow)
{
    PipeTuneModel::Part part;
    for (int row = 0; row < rows; ++row) {
        for (int k = 0; k < barsPerRow; ++k) {
            PipeTuneModel::Bar bar;
            for (PipeNoteName note : {LA, B, C, D})
                bar.items.push_back(Item(note, 8, 0, FlagNone));
            bar.rowBreak = k + 1 == barsPerRow;
            part.bars.push_back(bar);
        }
    }
    PipeTuneModel model;
    model.parts = {part};
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
    // Letter is shorter than A4: never fewer pages.
    EXPECT_GE(tune.pageBreaks(letter).pageCount(), tune.pageBreaks(a4).pageCount());

    // Sixteen bars in a row fit only on a smaller staff, a little larger on
    // Letter, which is wider than A4.
    const ScorePages wide(score(1, 16), settings);
    EXPECT_LT(wide.staffHeight_mm(a4), ScorePages::kStaffHeight_mm);
    EXPECT_GT(wide.staffHeight_mm(a4), 0.0f);
    EXPECT_GT(wide.staffHeight_mm(letter), wide.staffHeight_mm(a4));

    const ScorePages empty(PipeTuneModel(), settings);
    EXPECT_EQ(empty.rowCount(), 0);
    EXPECT_EQ(pdfPageCount(empty.pdf(a4)), 1);
}

} // namespace
