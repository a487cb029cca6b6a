#include "PipeTuneRenderer.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>

namespace {

using Item = PipeTuneModel::Item;

bool white(const QImage& image, int x, int y)
{
    return qGray(image.pixel(x, y)) > 240;
}

PipeTuneModel::Bar bar(std::vector<Item> items, bool rowBreak = false)
{
    PipeTuneModel::Bar b;
    b.items = std::move(items);
    b.rowBreak = rowBreak;
    return b;
}

PipeTuneModel modelOf(std::vector<PipeTuneModel::Bar> bars)
{
    PipeTuneModel model;
    PipeTuneModel::Part part;
    part.bars = std::move(bars);
    model.parts = {part};
    return model;
}

// Three rows of increasing width.
PipeTuneModel threeRows()
{
    return modelOf({bar({Item(LA, 4, 0, FlagNone)}, true),
                    bar({Item(LA, 4, 0, FlagNone), Item(B, 4, 0, FlagNone)}, true),
                    bar({Item(LA, 4, 0, FlagNone), Item(B, 4, 0, FlagNone), Item(C, 4, 0, FlagNone)}),
                    bar({Item(D, 4, 0, FlagNone)}, true)});
}

TEST(PipeTuneRenderer, NothingToDrawGivesANullPixmap)
{
    PipeTuneRenderer renderer;
    EXPECT_TRUE(renderer.render(PipeTuneModel(), -1).isNull());
    EXPECT_EQ(renderer.numRows(), 0);
    EXPECT_TRUE(renderer.render(threeRows(), 3).isNull());
    EXPECT_EQ(renderer.numRows(), 3);
    EXPECT_TRUE(renderer.render(threeRows(), 7).isNull());
}

TEST(PipeTuneRenderer, RowSelectionAndImageSize)
{
    PipeTuneRenderer renderer;
    const QPixmap all = renderer.render(threeRows(), -1);
    const int width = static_cast<int>(std::round(40.0f + renderer.biggestRowWidth()));
    EXPECT_EQ(all.width(), width);
    EXPECT_EQ(all.height(), 360);
    const QPixmap last = renderer.render(threeRows(), -2);
    EXPECT_EQ(last.height(), 120);
    EXPECT_EQ(last.toImage(), renderer.render(threeRows(), 2).toImage());
    EXPECT_NE(last.toImage(), renderer.render(threeRows(), 0).toImage());
    renderer.setMinimumScoreWidth(1000.0f);
    EXPECT_EQ(renderer.render(threeRows(), 0).width(), 1040);
}

TEST(PipeTuneRenderer, TimingViewRowsBeatsAndOnsets)
{
    NoteMap melody;
    melody.emplace(0.5f, PipeNote(D, 0.5f, 0.5f));
    melody.emplace(1.0f, PipeNote(E, 1.0f, 1.5f));
    melody.emplace(2.5f, PipeNote(F, 2.5f, 1.0f));
    NoteMap grace;
    grace.emplace(3.9f, PipeNote(gg, 3.9f, 0.02f));
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
    EXPECT_TRUE(white(image, 20 + 620 + 2, 75));
    EXPECT_TRUE(white(image, 20 + 4, 75));

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
