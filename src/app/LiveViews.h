#pragma once

// The rows of the sheet-music and timing views, kept between transcription
// results so that each result re-renders only what changed: the score rows
// whose bars differ from the last model (every row when the widest row
// changed, which re-justifies them all), and the timing view's growing last
// row with any rows it has left behind. Rows are kept at full size and
// scaled by the zoom; the views are composed under cached headers. GUI
// thread.

#include "MetreEstimator.h"
#include "PipeNote.h"
#include "PipeTuneModel.h"
#include "ViewComposer.h"

#include <QPixmap>

#include <map>
#include <optional>

class LiveViews
{
public:
    struct ScoreSettings {
        TimeSignature timeSignature = FourFour;
        float bpm = 72.0f;
        bool rounded = false;
        int barsPerRow = 4;
        float timeShift_s = 0.0f;
        float secondsPerRow = 5.0f;
        // Beats followed through the recording: the notes are laid on a
        // steady grid at bpm, beat for beat, before they are quantised.
        std::optional<MetreEstimate> followedBeats;
    };

    // Quantises a result and renders the changed rows of the views asked for.
    void update(const NoteMap& melody, const NoteMap& gracenotes, const ScoreSettings& settings, bool score,
                bool timing);
    void setZoom(double zoom);
    double zoom() const { return mZoom; }
    // Forgets every row and the model (a new recording, Clear).
    void clear();
    // The headers are drawn again at the next composition (new tune details).
    void dropHeaders();

    // The views as shown: header and rows, scaled by the zoom, composed
    // into one picture (exports)...
    QPixmap scoreView(const TuneDetails& details, const QPixmap& emptyPicture);
    QPixmap timingView(const TuneDetails& details, const QPixmap& emptyPicture);
    // ...or in parts, for a view that draws what is visible.
    const QPixmap& scoreHeader(const TuneDetails& details);
    const QPixmap& timingHeader(const TuneDetails& details);
    const std::map<int, QPixmap>& scaledScoreRows() const { return mScaledScoreRows; }
    const std::map<int, QPixmap>& scaledTimingRows() const { return mScaledTimingRows; }

    const PipeTuneModel& model() const { return mModel; }
    const std::map<int, QPixmap>& scoreRows() const { return mScoreRows; }
    const std::map<int, QPixmap>& timingRows() const { return mTimingRows; }
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
                      float beatDuration_s, int beatsPerBar);
    void storeRow(std::map<int, QPixmap>& rows, std::map<int, QPixmap>& scaled, int row, const QPixmap& pixmap);
    // The header for rows, drawn again only when its width changes.
    const QPixmap& header(Header& cached, const std::map<int, QPixmap>& rows, const TuneDetails& details);

    double mZoom = 1.0;
    PipeTuneModel mModel;
    std::map<int, QPixmap> mScoreRows;
    std::map<int, QPixmap> mTimingRows;
    std::map<int, QPixmap> mScaledScoreRows;
    std::map<int, QPixmap> mScaledTimingRows;
    int mLastRowCount = 0;
    float mLastBiggestRowWidth = 0.0f;
    int mLastTimingRow = 0;
    int mRowsRendered = 0;
    Header mScoreHeader;
    Header mTimingHeader;
};
