// The main window's recording: Record and Stop, the metronome kept on the
// audio clock, and a take under way kept (stopped and autosaved) however the
// window goes: closed, the desktop session ending, a termination signal. A
// new recording brings back the piper's own tune settings and calibration
// after an opened project's.

#include "MainWindow.h"

#include "AudioDevices.h"
#include "AudioProcessor.h"
#include "AudioRecorderWrapper.h"
#include "RowsView.h"
#include "ScoreEditing.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDebug>
#include <QLabel>
#include <QMessageBox>

#include <cmath>

void MainWindow::onStartRecording()
{
    // Space typed into a dialog or during the calibration never starts a
    // recording.
    if (mRecording || mPlayback || mProcessor == nullptr || QApplication::activeModalWidget() != nullptr
        || mCalibration.state() != CalibrationFlow::Finished)
        return;
    const QString device = audioDevices::chooseInput(mSettings.audioDevice, mInputFile);
    if (device.isEmpty() || !mInputError.isEmpty()) {
        const QString advice = mInputFileMissing ? "Start Vantor again with --input-file naming an existing "
                                                   "recording, or without it to use a microphone."
                                                 : "Connect a microphone and choose it in Tools->Settings->Audio, or "
                                                   "start Vantor with --input-file FILE to play a recording in.";
        QMessageBox::warning(this, "No audio input",
                             QString("Vantor cannot record: %1\n\n%2")
                                 .arg(mInputError.isEmpty() ? "no audio input device was found." : mInputError,
                                      advice));
        return;
    }
    if (!confirmLeavingEdits("Record"))
        return;
    withdrawFollowedBeat();
    releaseFollowBeatForFile();
    autosave();
    mEditing->clear();
    mEditing->setEditable(false);
    mLoadedProject = ProjectContents();
    mLoadedFromFile = false;
    // A new tune: the piper's own details, metre and calibration.
    restorePlayersTune();
    mRecordingTuning.reset();
    mRecordingTuningEstimated = false;
    if (mCalibrated)
        mRecordingTuning = mCalibratedTuning;
    mEstimatedLowA_Hz = 0.0f;
    applyRecordingTuning();
    reset();
    mRecordingRate_Hz = mSettings.recordingFrequency_Hz;
    setActionStates(true);
    mUi.scoreView->clear();
    mUi.timingView->clear();
    mProcessor->resetTranscription();
    mProcessor->enableTranscription(true);
    if (mSettings.debugDisable)
        mProcessor->setDebugDisable();
    mMetronome.start(mSettings.bpm, currentTimeSignature(), mSettings.subBeatsEnabled);
    mFullRerender = true;
    mClickTimer.setInterval(mMetronome.nominalInterval_ms());
    mRecorderWrapper->enableHistoricRecording(true);
    mRecording = true;
    // A recording played in starts from its beginning with the recording.
    if (device == mInputFile.name())
        startAudio();
}

void MainWindow::onFirstAudioDataReceived()
{
    if (!mRecording)
        return;
    mMetronome.firstClick(mRecorderWrapper->getElapsed_s());
    mClickTimer.start();
    playClick();
}

void MainWindow::playClick()
{
    mUi.clickLabel->setPixmap(mUi.clickOn);
    mClickLabelTimer.start();
    if (!mSettings.metronomeEnabled)
        return;
    const bool barStart = mMetronome.nextClick();
    const bool barClick = mSettings.differentBarBeginClick && barStart;
    (barClick ? mBarClick : mClick).play();
    // Where the recording stands as it sounds: the transcription looks for
    // the click near there.
    mRecorderWrapper->markClick(barClick ? kBarClickSound : kClickSound);
}

void MainWindow::onClickLabelTimer()
{
    mUi.clickLabel->setPixmap(mUi.clickOff);
    mClickLabelTimer.stop();
}

void MainWindow::onClickTimer()
{
    const float elapsed_s = mRecorderWrapper->getElapsed_s();
    const Metronome::Tick tick =
        mMetronome.tick(elapsed_s, mClickTimer.interval(), mSettings.maxClickCompensation_ms);
    if (tick.refused)
        qDebug() << "****************************************************** Max interval reached";
    else if (tick.interval_ms != mClickTimer.interval())
        mClickTimer.setInterval(tick.interval_ms);
    qDebug().nospace() << "PID: " << tick.correction_ms << " for Diff " << tick.difference_s
                       << " Interval: " << mClickTimer.interval() << (tick.overdue ? " **********" : "");
    playClick();
    if (elapsed_s > kMaximumRecordingTime_s) {
        onStop();
        QMessageBox::information(this, "Recording stopped",
                                 QString("Recording stopped as maximum time (%1 seconds) reached%2")
                                     .arg(std::lround(kMaximumRecordingTime_s))
                                     .arg(QString()));
    }
}

void MainWindow::onStop()
{
    if (mProcessor == nullptr)
        return;
    mProcessor->enableTranscription(false);
    if (mPlayback) {
        // A stored recording being transcribed: the tune shown stays.
        cancelTranscription();
        return;
    }
    if (mRecording) {
        mRecordingData = mRecorderWrapper->recordedData();
        if (AudioRecorder* recorder = mRecorderWrapper->recorder())
            mRecordingClicks = recorder->clicksSince(0);
        mRecordingAutosaved = false;
        // The audio after the last scheduled re-run is transcribed too.
        mProcessor->finishTranscription(mRecordingData);
    }
    mRecorderWrapper->enableHistoricRecording(false);
    mClickTimer.stop();
    mRecording = false;
    mFullRerender = true;
    redeliverLastResult();
    mFullRerender = true;
    setActionStates(false);
}

void MainWindow::keepRecording()
{
    if (mRecording || mPlayback)
        onStop();
    autosave();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    keepRecording();
    QMainWindow::closeEvent(event);
}

void MainWindow::restorePlayersTune()
{
    if (!mPlayersTune)
        return;
    mSettings.setTune(*mPlayersTune);
    mPlayersTune.reset();
    applyGeneralSettings();
    mViews.dropHeaders();
}
