#pragma once

// The rows of the sheet-music and timing views, kept between transcription
// results so that each result re-renders only what changed: the score rows
// whose bars differ from the last model (every row when the widest row
// changed, which re-justifies them all), and the timing view's growing last
// row with any rows it has left behind. Rows are kept at full size and
// scaled by the zoom; the views are composed under cached headers. GUI
// thread.

#include "PipeNote.h"
#include "PipeTuneModel.h"
#include "PipeTuneRenderer.h"
#include "ScoreSettings.h"
#include "ViewComposer.h"

#include <QPixmap>

#include <map>
#include <vector>

class LiveViews
{
public:
    // Quantises a result into the score and renders the changed rows of the
    // views asked for; the timing view's rows hold secondsPerRow seconds.
    void update(const NoteMap& melody, const NoteMap& gracenotes, const ScoreSettings& settings,
                float secondsPerRow, bool score, bool timing);
    // The same with the score given (the piper's corrections on it).
    void update(const PipeTuneModel& model, const NoteMap& melody, const NoteMap& gracenotes,
                const ScoreSettings& settings, float secondsPerRow, bool score, bool timing);
    void setZoom(double zoom);
    double zoom() const { return mZoom; }
    // Draws every score row of model again (the piper's corrections).
    void redrawScore(const PipeTuneModel& model);
    // Forgets every row and the model (a new recording, Clear).
    void clear();
    // The headers are drawn again at the next composition (new tune details).
    void dropHeaders();

    // The views as shown, scaled by the zoom, in parts, for a view that
    // draws what is visible.
    const QPixmap& scoreHeader(const TuneDetails& details);
    const QPixmap& timingHeader(const TuneDetails& details);
    const std::map<int, QPixmap>& scaledScoreRows() const { return mScaledScoreRows; }
    const std::map<int, QPixmap>& scaledTimingRows() const { return mScaledTimingRows; }

    const PipeTuneModel& model() const { return mModel; }
    const std::map<int, QPixmap>& scoreRows() const { return mScoreRows; }
    const std::map<int, QPixmap>& timingRows() const { return mTimingRows; }
    // Where each score row's items are drawn, at full size.
    const std::map<int, std::vector<PipeTuneRenderer::ItemPlace>>& scoreItemPlaces() const { return mScorePlaces; }
    int scoreRowCount() const { return mLastRowCount; }
    // How many score rows the last update rendered.
    int rowsRenderedLastUpdate() const { return mRowsRendered; }

private:
    struct Header {
        int width = 0;
        QPixmap scaled;
    };
    void updateScore(const PipeTuneModel& model);
    void updateTiming(const NoteMap& melody, const NoteMap& gracenotes, const ScoreSettings& settings,
                      float secondsPerRow);
    void storeRow(std::map<int, QPixmap>& rows, std::map<int, QPixmap>& scaled, int row, const QPixmap& pixmap);
    // The header for rows, drawn again only when its width changes.
    const QPixmap& header(Header& cached, const std::map<int, QPixmap>& rows, const TuneDetails& details);

    double mZoom = 1.0;
    PipeTuneModel mModel;
    std::map<int, QPixmap> mScoreRows;
    std::map<int, QPixmap> mTimingRows;
    std::map<int, QPixmap> mScaledScoreRows;
    std::map<int, QPixmap> mScaledTimingRows;
    std::map<int, std::vector<PipeTuneRenderer::ItemPlace>> mScorePlaces;
    int mLastRowCount = 0;
    float mLastBiggestRowWidth = 0.0f;
    int mLastTimingRow = 0;
    int mRowsRendered = 0;
    Header mScoreHeader;
    Header mTimingHeader;
};
