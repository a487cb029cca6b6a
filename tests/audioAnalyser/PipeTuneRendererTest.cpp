#include "PipeTuneRenderer.h"

#include <QColor>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <cmath>

namespace {

using Item = PipeTuneModel::Item;

bool dark(const QImage& image, int x, int y)
{
    return qGray(image.pixel(x, y)) < 100;
}

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

TEST(PipeTuneRenderer, StaffLinesRunAcrossEveryRow)
{
    PipeTuneRenderer renderer;
    const QImage image = renderer.render(threeRows(), -1).toImage();
    for (int row = 0; row < 3; ++row) {
        for (int line = 0; line < 5; ++line) {
            const int y = 40 + line * 10 + row * 120;
            for (int x = 21; x < image.width() - 21; x += 7)
                EXPECT_TRUE(dark(image, x, y)) << x << "," << y;
        }
        EXPECT_TRUE(white(image, image.width() / 2, 30 + row * 120));
    }
}

TEST(PipeTuneRenderer, JustifiedRowsEndOnTheStaffEnd)
{
    PipeTuneRenderer renderer;
    const QImage image = renderer.render(threeRows(), -1).toImage();
    const int end = static_cast<int>(20.0f + renderer.biggestRowWidth());
    for (int row = 0; row < 3; ++row) {
        EXPECT_TRUE(dark(image, end, 65 + row * 120)) << row;   // closing bar line
        EXPECT_TRUE(dark(image, 20, 65 + row * 120)) << row;    // opening bar line
    }
    // Unpadded, the short first row would end early; only the last row is
    // affected, so render a model whose last row is the shortest.
    PipeTuneModel shortLast = modelOf({bar({Item(LA, 4, 0, FlagNone), Item(B, 4, 0, FlagNone)}, true),
                                       bar({Item(C, 4, 0, FlagNone)}, true)});
    renderer.setLastRowPadded(false);
    const QImage unpadded = renderer.render(shortLast, -1).toImage();
    const int shortEnd = static_cast<int>(20.0f + renderer.biggestRowWidth());
    EXPECT_TRUE(dark(unpadded, shortEnd, 65));
    EXPECT_FALSE(dark(unpadded, shortEnd, 185 + 3));
}

TEST(PipeTuneRenderer, HighAHasALedgerLineAndDotsSitInSpaces)
{
    PipeTuneRenderer renderer;
    const QImage highA = renderer.render(modelOf({bar({Item(HA, 4, 0, FlagNone)}, true)}), 0).toImage();
    // The head's left edge is at 20 + 10; the ledger line at y = 40 - 10
    // reaches r / 2 to the left of it.
    EXPECT_TRUE(dark(highA, 28, 30));
    EXPECT_TRUE(white(highA, 28, 20));

    // B sits on the middle line (y 60); its dot is raised into the C space
    // (y 55), centred 3r to the right of the head's left edge. Drawn
    // without staff lines to see the dot alone.
    QImage dotted(100, 100, QImage::Format_RGB32);
    dotted.fill(Qt::white);
    QPainter painter(&dotted);
    painter.setPen(QPen(Qt::black, 2));
    float stemX = 0.0f;
    float stemEndY = 0.0f;
    const float width = renderer.drawNote(&painter, 30.0f, 40.0f, B, MelodyNote, 8, 1, FlagNone, stemX, stemEndY);
    painter.end();
    EXPECT_FLOAT_EQ(width, 9.0f + 6.0f);
    const int dotX = 30 + static_cast<int>(3 * 4.5f);
    EXPECT_TRUE(dark(dotted, dotX, 55));
    EXPECT_TRUE(white(dotted, dotX, 60));
}

TEST(PipeTuneRenderer, BeamsAndStubs)
{
    PipeTuneRenderer renderer;
    QImage image(400, 200, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(QPen(Qt::black, 2));
    // Two beamed semiquavers: two full beams at 60 and 55 below the top line.
    const float y = 40.0f;
    renderer.drawBar(&painter, bar({Item(D, 16, 0, FlagRight), Item(E, 16, 0, FlagLeft)}), y, 0.0f, 3.0f);
    // A semiquaver then a beamed quaver: one full beam and a stub on the first.
    renderer.drawBar(&painter, bar({Item(D, 16, 0, FlagRight), Item(E, 8, 0, FlagLeft)}), y, 200.0f, 3.0f);
    painter.end();
    // Stems at x + 30 and at 30 + 9 + 30 = 69.
    EXPECT_TRUE(dark(image, 50, 100));
    EXPECT_TRUE(dark(image, 50, 95));
    EXPECT_TRUE(white(image, 50, 90));
    EXPECT_TRUE(dark(image, 250, 100));
    EXPECT_TRUE(dark(image, 235, 95));   // the stub, 9 pixels from the first stem
    EXPECT_TRUE(white(image, 250, 95));
    EXPECT_EQ(PipeTuneRenderer::flagsForDuration(32), 3);
    EXPECT_EQ(PipeTuneRenderer::flagsForDuration(4), 0);
}

TEST(PipeTuneRenderer, EmbellishmentIsThreeSmallNotesBeamedAboveTheStaff)
{
    PipeTuneRenderer renderer;
    float stemX = 0.0f;
    float stemEndY = 0.0f;
    // Three small notes of 4 pixels, 2 apart.
    EXPECT_FLOAT_EQ(renderer.drawItem(nullptr, Item(dbe, 32, 0, FlagNone), 0.0f, 40.0f, stemX, stemEndY), 16.0f);
    QImage image(100, 100, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setPen(QPen(Qt::black, 2));
    renderer.drawItem(&painter, Item(dbe, 32, 0, FlagNone), 20.0f, 40.0f, stemX, stemEndY);
    painter.end();
    // Beams from the first stem (24) to the last (36) at 15, 20 and 25.
    for (int beamY : {15, 20, 25})
        EXPECT_TRUE(dark(image, 30, beamY)) << beamY;
    EXPECT_TRUE(white(image, 30, 10));
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
