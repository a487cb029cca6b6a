// Scores and the timing view painted: rows chosen and sized, beat lines
// and onset marks where the times put them, nothing to draw as a null
// pixmap.

#include "PipeTuneRenderer.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>

namespace {

using Item = PipeTuneModel::Item;

// Three rows of increasing width: a bar of one note, a bar of two, and bars
// of three notes and of one.
PipeTuneModel threeRows()
{
    const std::vector<std::vector<PipeNoteName>> bars = {{LA}, {LA, B}, {LA, B, C}, {D}};
    PipeTuneModel::Part part;
    for (std::size_t k = 0; k < bars.size(); ++k) {
        PipeTuneModel::Bar bar;
        for (const PipeNoteName note : bars[k])
            bar.items.push_back(Item(note, 4, 0, FlagNone));
        bar.rowBreak = k != 2;
        part.bars.push_back(bar);
    }
    PipeTuneModel model;
    model.parts = {part};
    return model;
}

TEST(PipeTuneRenderer, RowSelectionAndImageSizeAndNothingToDrawGivesANullPixmap)
{
    PipeTuneRenderer renderer;
    EXPECT_TRUE(renderer.render(PipeTuneModel(), -1).isNull());
    EXPECT_EQ(renderer.numRows(), 0);
    const QPixmap all = renderer.render(threeRows(), -1);
    EXPECT_EQ(renderer.numRows(), 3);
    const int width = static_cast<int>(std::round(40.0f + renderer.biggestRowWidth()));
    EXPECT_EQ(all.width(), width);
    EXPECT_EQ(all.height(), 360);
    const QPixmap last = renderer.render(threeRows(), -2);
    EXPECT_EQ(last.height(), 120);
    EXPECT_EQ(last.toImage(), renderer.render(threeRows(), 2).toImage());
    EXPECT_NE(last.toImage(), renderer.render(threeRows(), 0).toImage());
    EXPECT_TRUE(renderer.render(threeRows(), 3).isNull());
    EXPECT_TRUE(renderer.render(threeRows(), 7).isNull());
    renderer.setMinimumScoreWidth(1000.0f);
    EXPECT_EQ(renderer.render(threeRows(), 0).width(), 1040);

    // Painted with a painter of one's own (a printer's), the same picture.
    QImage painted(1040, 120, QImage::Format_RGB32);
    painted.fill(Qt::white);
    QPainter painter(&painted);
    EXPECT_EQ(renderer.render(painter, threeRows(), 1), QSize(1040, 120));
    EXPECT_TRUE(renderer.render(painter, threeRows(), 3).isEmpty());
    painter.end();
    EXPECT_EQ(painted, renderer.render(threeRows(), 1).toImage().convertToFormat(QImage::Format_RGB32));
}

TEST(PipeTuneRenderer, TimingViewRowsBeatsAndOnsets)
{
    const NoteMap melody{
        {0.5f, PipeNote(D, 0.5f, 0.5f)}, {1.0f, PipeNote(E, 1.0f, 1.5f)}, {2.5f, PipeNote(F, 2.5f, 1.0f)}};
    const NoteMap grace{{3.9f, PipeNote(gg, 3.9f, 0.02f)}};
    PipeTuneRenderer renderer;
    // Rows of at least one second: the melody ends at 3.5 s.
    const QImage image = renderer.render(melody, grace, 0.0f, 0.5f, 4, 0.5f, -1).toImage();
    EXPECT_EQ(renderer.numRows(), 4);
    EXPECT_EQ(image.width(), 1280);
    EXPECT_EQ(image.height(), 480);

    // Beat lines: t = 0 thick (bar start), t = 0.5 thin, t = 1.0 on the next row.
    // (between staff lines and clear of the notes, at y 75)
    const QColor barStart = image.pixelColor(20, 75);
    EXPECT_GT(barStart.green(), 200);
    EXPECT_LT(barStart.red(), 60);
    EXPECT_GT(image.pixelColor(20 + 620, 75).green(), 200);
    EXPECT_GT(qGray(image.pixel(20 + 620 + 2, 75)), 240); // white
    EXPECT_GT(qGray(image.pixel(20 + 4, 75)), 240);

    // The D after half a second of silence gets a red onset mark; the E that
    // follows it directly does not.
    const QColor onset = image.pixelColor(20 + 620 + 2, 40 + 10);
    EXPECT_GT(onset.red(), 200);
    EXPECT_LT(onset.blue(), 60);
    const QColor joined = image.pixelColor(20 + 2, 160 + 5);
    EXPECT_GT(joined.blue(), 200);
    EXPECT_LT(joined.red(), 60);

    // Single rows, and a row past the end is empty staff.
    EXPECT_EQ(renderer.render(melody, grace, 0.0f, 0.5f, 4, 1.0f, 2).height(), 120);
    EXPECT_EQ(renderer.render(melody, grace, 0.0f, 0.5f, 4, 1.0f, -2).height(), 120);
    EXPECT_FALSE(renderer.render(melody, grace, 0.0f, 0.5f, 4, 1.0f, 9).isNull());
    EXPECT_TRUE(renderer.render(NoteMap(), grace, 0.0f, 0.5f, 4, 1.0f, -1).isNull());
}

} // namespace
