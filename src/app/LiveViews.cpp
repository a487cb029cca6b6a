#include "LiveViews.h"

#include "PipeTuneRenderer.h"

#include <algorithm>
#include <cmath>
#include <set>

void LiveViews::update(const NoteMap& melody, const NoteMap& gracenotes, const ScoreSettings& settings,
                       float secondsPerRow, bool score, bool timing)
{
    update(score ? scoreModel(melody, gracenotes, settings) : PipeTuneModel(), melody, gracenotes, settings,
           secondsPerRow, score, timing);
}

void LiveViews::update(const PipeTuneModel& model, const NoteMap& melody, const NoteMap& gracenotes,
                       const ScoreSettings& settings, float secondsPerRow, bool score, bool timing)
{
    mRowsRendered = 0;
    if (score)
        updateScore(model);
    if (timing)
        updateTiming(melody, gracenotes, settings, secondsPerRow);
}

void LiveViews::updateScore(const PipeTuneModel& model)
{
    const std::vector<std::int32_t> changed = getChangedRows(model, mModel);
    PipeTuneRenderer renderer;
    renderer.setLastRowPadded(false);
    renderer.setStaffSignatures(true);
    std::set<int> rendered;
    auto renderRow = [&](int row) {
        storeRow(mScoreRows, mScaledScoreRows, row, renderer.render(model, row));
        mScorePlaces[row] = renderer.itemPlaces();
    };
    for (std::int32_t row : changed) {
        renderRow(row);
        rendered.insert(row);
    }
    if (!rendered.empty()) {
        // A wider widest row re-justifies every row; otherwise only new rows
        // need drawing.
        int first = mLastRowCount;
        if (std::abs(renderer.biggestRowWidth() - mLastBiggestRowWidth) > 0.5f) {
            mLastBiggestRowWidth = renderer.biggestRowWidth();
            first = 0;
        }
        mLastRowCount = renderer.numRows();
        for (int row = first; row < mLastRowCount; ++row) {
            if (rendered.insert(row).second)
                renderRow(row);
        }
        // A revised transcription can end a row earlier: rows past the end go.
        mScoreRows.erase(mScoreRows.lower_bound(mLastRowCount), mScoreRows.end());
        mScaledScoreRows.erase(mScaledScoreRows.lower_bound(mLastRowCount), mScaledScoreRows.end());
        mScorePlaces.erase(mScorePlaces.lower_bound(mLastRowCount), mScorePlaces.end());
    }
    mRowsRendered = static_cast<int>(rendered.size());
    mModel = model;
}

void LiveViews::updateTiming(const NoteMap& melody, const NoteMap& gracenotes, const ScoreSettings& settings,
                             float secondsPerRow)
{
    // The metronome's beat, as played: the notes are not warped here.
    const float beatDuration_s = 60.0f / settings.bpm;
    const int barBeats = beatsPerBar(settings);
    PipeTuneRenderer renderer;
    const QPixmap last = renderer.render(melody, gracenotes, settings.timeShift_s, beatDuration_s, barBeats,
                                         secondsPerRow, -2);
    const int lastRow = renderer.numRows() - 1;
    if (lastRow < 0 || last.isNull())
        return;
    storeRow(mTimingRows, mScaledTimingRows, lastRow, last);
    // The rows the growing row has left since the last result are drawn
    // complete.
    for (int row = mLastTimingRow; row < lastRow; ++row)
        storeRow(mTimingRows, mScaledTimingRows, row,
                 renderer.render(melody, gracenotes, settings.timeShift_s, beatDuration_s, barBeats,
                                 secondsPerRow, row));
    mLastTimingRow = std::max(lastRow, 0);
}

void LiveViews::storeRow(std::map<int, QPixmap>& rows, std::map<int, QPixmap>& scaled, int row,
                         const QPixmap& pixmap)
{
    rows[row] = pixmap;
    scaled[row] = viewComposer::scaleByZoom(pixmap, mZoom, false);
}

void LiveViews::setZoom(double zoom)
{
    mZoom = zoom;
    for (auto& [rows, scaled] : {std::pair(&mScoreRows, &mScaledScoreRows), std::pair(&mTimingRows, &mScaledTimingRows)}) {
        scaled->clear();
        for (const auto& entry : *rows)
            (*scaled)[entry.first] = viewComposer::scaleByZoom(entry.second, mZoom, false);
    }
    dropHeaders();
}

void LiveViews::redrawScore(const PipeTuneModel& model)
{
    mModel = PipeTuneModel();
    mScoreRows.clear();
    mScaledScoreRows.clear();
    mScorePlaces.clear();
    mLastRowCount = 0;
    mLastBiggestRowWidth = 0.0f;
    updateScore(model);
    mScoreHeader = Header();
}

void LiveViews::clear()
{
    mModel = PipeTuneModel();
    mScoreRows.clear();
    mTimingRows.clear();
    mScaledScoreRows.clear();
    mScaledTimingRows.clear();
    mScorePlaces.clear();
    mLastRowCount = 0;
    mLastBiggestRowWidth = 0.0f;
    mLastTimingRow = 0;
    dropHeaders();
}

void LiveViews::dropHeaders()
{
    mScoreHeader = Header();
    mTimingHeader = Header();
}

const QPixmap& LiveViews::header(Header& cached, const std::map<int, QPixmap>& rows, const TuneDetails& details)
{
    const int width = scoreHeader::widthFor(rows);
    if (width != cached.width) {
        cached.width = width;
        cached.scaled = viewComposer::scaleByZoom(scoreHeader::paint(width, details), mZoom, true);
    }
    return cached.scaled;
}

const QPixmap& LiveViews::scoreHeader(const TuneDetails& details)
{
    return header(mScoreHeader, mScoreRows, details);
}

const QPixmap& LiveViews::timingHeader(const TuneDetails& details)
{
    return header(mTimingHeader, mTimingRows, details);
}
