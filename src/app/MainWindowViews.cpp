// The main window's live views: each transcription result quantised and the
// changed rows rendered (throttled to the refresh rate, hidden views
// skipped), the views composed and shown, zoom, clearing, and the internal
// error report.

#include "MainWindow.h"

#include "AudioProcessor.h"
#include "AudioRecorderWrapper.h"
#include "ProjectContents.h"
#include "RowsView.h"
#include "ScoreEditing.h"
#include "TuningView.h"

#include <QAction>
#include <QComboBox>
#include <QDateTime>
#include <QDebug>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QProgressDialog>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStatusBar>
#include <QStandardPaths>

#include <cmath>
#include <exception>

namespace {

constexpr qint64 kTuningLogInterval_ms = 5000;

} // namespace

void MainWindow::onTranscriptionResult(float time_s, NoteMap melody, NoteMap grace, PipeTuning tuning,
                                       DroneSet drones, bool error)
{
    if (error) {
        onInternalError("Transcription calculation");
        return;
    }
    mLastMelody = std::move(melody);
    mLastGracenotes = std::move(grace);
    mLastTuning = tuning;
    mLastDrones = std::move(drones);
    mLastResultTime_s = time_s;
    // The meter follows every result: a few labels, however fast they come.
    // Until a note or a drone is heard its tuning says nothing of the pipes.
    if (mLastMelody.empty() && mLastDrones.empty())
        mUi.tuningView->clear();
    else
        mUi.tuningView->setReading(TuningReading::of(mLastTuning, mLastMelody, mLastDrones));
    // Live results are drawn at the refresh rate; once the audio has stopped
    // every result is drawn, so the last, which holds the end of the
    // recording, is never dropped behind one that came in just before it.
    const bool live = mRecording || mPlayback;
    if (live && !mForceRender && !mFullRerender && time_s < mNextRenderTime_s)
        return;
    try {
        renderResult();
    } catch (const std::exception& exception) {
        qCritical() << "STD EXCEPTION in transcribe result! : " << exception.what();
        onInternalError("Transcription rendering");
    } catch (...) {
        qCritical() << "UNKNOWN EXCEPTION! in transcribe result";
        onInternalError("Transcription rendering");
    }
    if (mNextRenderTime_s > -1.0f)
        mNextRenderTime_s = time_s + 1.0f / mSettings.scoreRefreshRate_Hz;
    mFullRerender = false;
    mForceRender = false;
    emit resultShown(time_s);
}

ScoreSettings MainWindow::scoreSettings() const
{
    ScoreSettings score = mSettings.scoreSettings();
    timeSignatureComponents(currentTimeSignature(), score.timeSigNumerator, score.timeSigDenominator);
    return score;
}

void MainWindow::renderResult()
{
    ScoreSettings score = scoreSettings();
    if (mUi.followBeat->isChecked() && !mRecording) {
        // A finished recording not made to the click: its own tempo, metre
        // and first bar line.
        // A time signature the piper picked while following stands; the
        // tempo and first bar line are still the playing's.
        AutomaticMetre automatic;
        automatic.signature = !mSignatureChosen;
        const MetreEstimate metre = followPlayedMetre(mLastMelody, mLastGracenotes, automatic, score);
        if (metre.valid) {
            statusBar()->showMessage(QString("Beat followed: %1").arg(QString::fromStdString(describeMetre(metre))));
            showFollowedBeat(score);
        }
    }
    mLastScore = score;
    // A transcription under way is shown as heard; once it is finished the
    // piper's corrections go on it.
    const bool live = mRecording || mPlayback;
    const bool drawScore = mForceRender || hasVisibleRegion(mUi.scoreDock);
    mEditing->setEditable(!live);
    if (drawScore || !live) {
        const int dropped = mEditing->setBase(scoreModel(mLastMelody, mLastGracenotes, score));
        if (dropped > 0) {
            const QString message =
                QString("%1 of the edits no longer fit the transcription and were left out").arg(dropped);
            qWarning().noquote() << message;
            statusBar()->showMessage(message);
        }
    }
    mViews.update(mEditing->score(), mLastMelody, mLastGracenotes, score, mSettings.secsPerRow_s, drawScore,
                  mForceRender || hasVisibleRegion(mUi.timingDock));
    displayPixmaps();
    if (!mTuningLogClock.isValid() || mTuningLogClock.elapsed() >= kTuningLogInterval_ms) {
        logTuning(mLastTuning);
        mTuningLogClock.restart();
    }
}

void MainWindow::showFollowedBeat(const ScoreSettings& score)
{
    if (!mBeforeFollowing)
        mBeforeFollowing = Metre{mSettings.bpm, mSettings.timeSignature, mSettings.timeShift_s};
    TimeSignature signature = currentTimeSignature();
    timeSignatureFromComponents(score.timeSigNumerator, score.timeSigDenominator, signature);
    mSettings.bpm = score.bpm;
    mSettings.timeSignature = signature;
    mSettings.timeShift_s = score.timeShift_s;
    // No tempo preset, no change of the round state: only what was found.
    const QSignalBlocker tempo(mUi.bpm);
    const QSignalBlocker metre(mUi.timeSignature);
    const QSignalBlocker shift(mUi.timeShift);
    mUi.bpm->setValue(static_cast<int>(std::lround(score.bpm)));
    mUi.timeSignature->setCurrentIndex(signature);
    mUi.timeShift->setValue(static_cast<double>(score.timeShift_s));
}

void MainWindow::withdrawFollowedBeat()
{
    statusBar()->clearMessage();
    mSignatureChosen = false;
    if (!mBeforeFollowing)
        return;
    mBeforeFollowing->restore(mSettings);
    mBeforeFollowing.reset();
    applyGeneralSettings();
}

bool MainWindow::hasVisibleRegion(const QWidget* view) const
{
    return view->isVisible() && !view->visibleRegion().isEmpty();
}

TuneDetails MainWindow::tuneDetails() const
{
    return TuneDetails{mSettings.tuneName, mSettings.tuneType, mSettings.composer};
}

void MainWindow::displayPixmaps()
{
    const TuneDetails details = tuneDetails();
    mUi.scoreView->setContent(mViews.scoreHeader(details), mViews.scaledScoreRows(), mFancyPipes);
    mUi.scoreView->setItemPlaces(mViews.scoreItemPlaces(), mZoom);
    mUi.timingView->setContent(mViews.timingHeader(details), mViews.scaledTimingRows(), mFancyPipes);
    if (mRecording) {
        for (QScrollArea* scroll : {mUi.scoreScroll, mUi.timingScroll})
            scroll->verticalScrollBar()->setValue(scroll->verticalScrollBar()->maximum());
    }
}

void MainWindow::logTuning(const PipeTuning& tuning) const
{
    for (const auto& entry : tuning.getNoteCentreFrequencies())
        qDebug().noquote() << QString("%1: %2 Hz").arg(QString::fromStdString(toString(entry.first))).arg(entry.second);
}

void MainWindow::onZoom100()
{
    mZoom = 1.0;
    mUi.zoom100->setChecked(true);
    mViews.setZoom(mZoom);
    displayPixmaps();
}

void MainWindow::onZoom50()
{
    mZoom = 0.5;
    mUi.zoom50->setChecked(true);
    mViews.setZoom(mZoom);
    displayPixmaps();
}

void MainWindow::scoreVisibilityChanged(bool /*visible*/)
{
    mFullRerender = true;
    redeliverLastResult();
}

void MainWindow::reset()
{
    mRecording = false;
    mPlayback = false;
    mClickTimer.stop();
    mMetronome.reset();
    mRecordingData.clear();
    mRecordingAutosaved = false;
    mNextRenderTime_s = 0.0f;
    mFullRerender = false;
    mForceRender = false;
    resetViews();
}

void MainWindow::resetViews()
{
    mLastResultTime_s = 0.0f;
    mLastMelody.clear();
    mLastGracenotes.clear();
    mLastDrones = DroneSet();
    mUi.tuningView->clear();
    mViews.clear();
    displayPixmaps();
    // A followed beat belongs to the recording it was found in.
    statusBar()->clearMessage();
}

void MainWindow::onClear()
{
    if (!confirmLeavingEdits("Clear"))
        return;
    mEditing->clear();
    resetViews();
}

void MainWindow::onInternalError(QString text)
{
    if (mInternalErrorShown)
        return;
    mInternalErrorShown = true;
    qWarning().noquote() << "!main:codeerr:Internal err: " + text;
    mClickTimer.stop();
    if (mProcessor != nullptr)
        mProcessor->setAudioRecorder(nullptr);
    QMetaObject::invokeMethod(mRecorderWrapper, "stop");
    cancelTranscription();
    hideTranscribeDialog();
    const QByteArray recording = mRecording ? mRecorderWrapper->recordedData() : mRecordingData;
    const bool recorded = mRecording;
    mRecording = false;
    mPlayback = false;
    // What was recorded is kept first, whatever happens next.
    if (!recording.isEmpty()) {
        mRecordingData = recording;
        if (recorded)
            mRecordingAutosaved = false;
        autosave();
    }
    const QString details = text.isEmpty() ? QString() : "\n\nAdditional details: " + text;
    QMessageBox::warning(this, "Internal error",
                         QString("There was an internal error in processing. A dump of the audio being recored has "
                                 "been taken, and you will be prompted to save it.\n\nIt would be really helpful if "
                                 "you could email this file to support@vantor.app so we can investigate.%2")
                             .arg(details));
    if (recording.isEmpty()) {
        QMessageBox::warning(this, "Nothing to save", "You have not recorded anything yet");
    } else {
        const QString proposed =
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)
            + QString("/vantorError_%1.%2").arg(QDateTime::currentDateTime().toString("yyyyMMdd_hh-mm-ss"), "vnt");
        QString name = QFileDialog::getSaveFileName(this, "Save current recording as...", proposed, "*.vnt");
        if (!name.isEmpty()) {
            if (QFileInfo(name).suffix().isEmpty())
                name += ".vnt";
            mRecordingData = recording;
            saveVnt(name, true);
        }
    }
    close();
}
