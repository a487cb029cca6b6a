#pragma once

// The calibration of the chanter's nine notes as a state machine, driven by
// a 100 ms timer and fed with the processing thread's analysis results:
// a countdown, then collecting pitches into a ChanterBinnedTuning until all
// nine notes were heard long enough, a success message for two seconds, and
// the end. It computes what the progress dialog shows; the dialog and the
// timer belong to the main window. GUI thread.

#include "BinnedTuning.h"
#include "PipeTuning.h"
#include "PitchFinder.h"

#include <QString>

#include <map>
#include <vector>

class CalibrationFlow
{
public:
    enum State { Start = 0, Countdown = 1, Collecting = 2, Success = 3, Finished = 4 };

    struct Settings {
        int countdown_s = 3;
        float noteDuration_s = 0.5f;
        int volumeCutoff_percent = 30;
        int recordingFrequency_Hz = 44100;
    };

    CalibrationFlow();

    // onCalibrate: back to the start state.
    void begin() { mState = Start; }
    // One timer tick at now_ms (any monotonic clock). cancelled: the dialog's
    // Cancel was pressed. Returns true exactly when the nine notes were found;
    // calibrated then holds the new tuning.
    bool tick(qint64 now_ms, bool cancelled, const Settings& settings, PipeTuning& calibrated);
    // An analysis window from the processing thread; kept only while
    // collecting.
    void add(const PitchFinder::AnalysisResults& results);

    State state() const { return mState; }
    bool collecting() const { return mState == Collecting; }
    // What the progress dialog shows.
    const QString& label() const { return mLabel; }
    int progress() const { return mProgress; }
    bool dialogVisible() const { return mDialogVisible; }

    // The analysis windows a note held for the note duration surely gives:
    // the 2048-sample windows that lie wholly inside it wherever its edges
    // fall, less the one its attack spoils (at least 1).
    static int minimumAverageCount(const Settings& settings);
    // The scale notes not heard long enough yet, as the nine-note scale
    // that best fits the clusters with at least minimumCount windows
    // places them; empty with fewer than kNotesToPlaceScale such clusters.
    static std::vector<PipeTuning::ReferenceNote> missingNotes(const std::map<float, int>& clusters,
                                                               int minimumCount);

    static constexpr int kNoteCount = 9;
    static constexpr qint64 kSuccessShown_ms = 2000;
    static constexpr int kNotesToPlaceScale = 5;

private:
    static QString countdownLabel(qint64 seconds);
    static QString collectingLabel(int notes, const QString& extra);

    State mState = Finished;
    qint64 mStart_ms = 0;
    ChanterBinnedTuning mBinning;
    QString mLabel = "Calibrating";
    int mProgress = 0;
    bool mDialogVisible = false;
    float mLowA_Hz = 0.0f;
    int mMinimumCount = 1;
};
