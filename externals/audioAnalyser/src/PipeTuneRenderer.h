#pragma once

// Draws a PipeTuneModel as bagpipe sheet music, row by row, into a QPixmap:
// five-line staves, bar lines, note heads with stems down, flags, beams and
// dots, High A's ledger line, and gracing as small notes with stems up,
// beamed in threes above the staff. Rows are justified to the widest row.
// It also draws the timing view: melody notes as bars against time on a
// staff, gracing as small notes at their onsets, metronome beats as lines.
// All geometry in pixels, y growing downwards; every drawing step also
// measures when given no painter. Needs a Qt Gui application; GUI thread.
// The sheet music is in PipeTuneRenderer.cpp, the timing view in
// PipeTuneRendererTiming.cpp, the start of a row in ...Signatures.cpp.

#include "PipeNote.h"
#include "PipeTuneModel.h"

#include <QPixmap>
#include <QPointF>
#include <QRectF>
#include <QSize>

#include <optional>

#include <utility>
#include <vector>

class QPainter;

class PipeTuneRenderer
{
public:
    // Where the last score render drew an item: the item's part, bar in the
    // part and index in the bar, the row, and the rectangle it covers in the
    // rendered picture (the item's columns, over the notes, stems and beams).
    struct ItemPlace {
        int part = 0;
        int bar = 0;
        int item = 0;
        int row = 0;
        QRectF rect;
    };

    PipeTuneRenderer() = default;
    virtual ~PipeTuneRenderer() = default;

    // row -1: all rows; -2: the last row; 0 .. numRows() - 1: that row. A null
    // pixmap for any other row or a model with nothing to draw.
    QPixmap render(const PipeTuneModel& model, int row);
    // The timing view; rows of secondsPerRow seconds (at least 1). row -1:
    // all rows, -2: the last, any other non-negative value that row.
    QPixmap render(const NoteMap& melody, const NoteMap& gracenotes, float timeShift_s, float beatInterval_s,
                   int beatsPerBar, float secondsPerRow, int row);
    // The picture render(model, row) gives, painted with painter (any
    // device, any transform) with its top left at the painter's origin and
    // no background; its size, empty when there is nothing to draw.
    QSize render(QPainter& painter, const PipeTuneModel& model, int row);

    int numRows() const { return mRowCount; }
    // Every item the last score render drew, in playing order.
    const std::vector<ItemPlace>& itemPlaces() const { return mItemPlaces; }
    float biggestRowWidth() const { return mBiggestRowWidth; }
    void setLastRowPadded(bool padded) { mLastRowPadded = padded; }
    void setMinimumScoreWidth(float width) { mMinimumScoreWidth = width; }
    // Starts every row with the treble clef and pipe music's key signature
    // (F and C sharp), and the first row with the time signature; off by
    // default.
    void setStaffSignatures(bool drawn) { mStaffSignatures = drawn; }

    int rowPitch() const { return mStaffHeight + 2 * mTopMargin; }
    int topMargin() const { return mTopMargin; }
    int sideMargin() const { return mSideMargin; }
    int staffHeight() const { return mStaffHeight; }
    float lineSpacing() const { return mLineSpacing; }

    static int flagsForDuration(int duration);
    // Half spaces below the top staff line, times the half space.
    float getNoteYOffset(PipeNoteName name) const;
    static bool isNoteOnALine(PipeNoteName name);

    // Drawing steps; y is the staff's top line. A null painter only measures.
    void drawHorizBarLines(QPainter& painter, int rows, float width);
    // (width, sum of gaps)
    std::pair<float, float> drawBar(QPainter* painter, const PipeTuneModel::Bar& bar, float y, float x,
                                    float spacingFactor);
    float drawItem(QPainter* painter, const PipeTuneModel::Item& item, float x, float y, float& stemX,
                   float& stemEndY);
    float drawNote(QPainter* painter, float x, float y, PipeNoteName name, PipeNoteType type, int duration, int dots,
                   NoteFlag flag, float& stemX, float& stemEndY);
    void drawShortFlag(QPainter* painter, int fromLevel, int toLevel, NoteFlag flag, float x, float y);
    float calcBarWidth(const PipeTuneModel::Bar& bar, float spacingFactor);

    // A tie from the last tied note to the melody note whose head is at
    // (headX, headY), and the start of the next when item is tied on.
    void drawTie(QPainter* painter, const PipeTuneModel::Item& item, float headX, float headY);
    // The width of what starts row (clef, key and time signatures), drawn
    // at x on the staff whose top line is y when a painter is given.
    float drawStaffSignatures(QPainter* painter, const PipeTuneModel& model, int row, float x, float y);

private:
    // What a score render measured: the row asked for (-1 for all), how
    // many rows are drawn, each row's bar spacing factors, the picture's size.
    struct Layout {
        int row = -1;
        int rowsDrawn = 0;
        std::vector<std::vector<float>> factors;
        QSize size;
    };
    // Measures the whole model and justifies its rows; none when there is
    // nothing to draw or no such row.
    std::optional<Layout> layOut(const PipeTuneModel& model, int row);
    void paintLayout(QPainter& painter, const PipeTuneModel& model, const Layout& layout);

    // A line between two points, when there is a painter.
    static void line(QPainter* painter, float x1, float y1, float x2, float y2);
    // Small notes for the gracenotes of names, 2 pixels apart, beamed when
    // there are several; returns their width.
    float drawGraceGroup(QPainter* painter, const std::vector<PipeNoteName>& names, float x, float y);

    float mLineSpacing = 10.0f;
    int mStaffLineCount = 5;
    int mStaffHeight = 40;
    int mTopMargin = 40;
    int mSideMargin = 20;
    float mBeamSpacing = 5.0f;
    float mHalfSpace = 5.0f;
    float mNoteHeadRadius = 4.5f;
    float mMinimumScoreWidth = 0.0f;
    int mRowCount = 0;
    bool mLastRowPadded = true;
    bool mStaffSignatures = false;
    // The head of a note whose tie is still to be drawn.
    std::optional<QPointF> mTieFrom;
    float mBiggestRowWidth = 0.0f;
    // The bar being drawn, for the item places; none while measuring.
    std::optional<ItemPlace> mPlacing;
    std::vector<ItemPlace> mItemPlaces;
};
