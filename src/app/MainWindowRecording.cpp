// The main window's recording: Record and Stop, the count-in and the
// metronome kept on the audio clock, the click's volume, and a take under
// way kept (stopped and autosaved) however the window goes: closed, the
// desktop session ending, a termination signal. A new recording brings back
// the piper's own tune settings and calibration after an opened project's.

#include "MainWindow.h"

#include "AudioDevices.h"
#include "AudioProcessor.h"
#include "AudioRecorderWrapper.h"
#include "RowsView.h"
#include "ScoreEditing.h"

#include <QApplication>
#include <QAudio>
#include <QCloseEvent>
#include <QDebug>
#include <QLabel>
#include <QMessageBox>
#include <QStringList>

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
    mMetronome.start(mSettings.bpm, currentTimeSignature(), mSettings.subBeatsEnabled, mSettings.countInBars);
    mFullRerender = true;
    mClickTimer.setInterval(mMetronome.nominalInterval_ms());
    // The recording starts on the beat after the count-in, which the input
    // delivers but the recorder does not keep. (Without the metronome's
    // sound the count-in still runs, shown in the status bar: the bars the
    // transcription writes start where it ends.) A recording played in
    // starts from its beginning with the recording, which begins when the
    // input starts again.
    const bool playedIn = device == mInputFile.name();
    mRecorderWrapper->enableHistoricRecording(true, mMetronome.countInLength_samples(mRecordingRate_Hz),
                                              playedIn ? AudioRecorder::HistoricStart::AtInputStart
                                                       : AudioRecorder::HistoricStart::Now);
    mRecording = true;
    if (playedIn)
        startAudio();
}

void MainWindow::onFirstAudioDataReceived()
{
    if (!mRecording)
        return;
    // The first click is due with the input's first sample, so that the
    // click due on the beat after the count-in (or the first, without one)
    // is due with the recording's first sample.
    const double due_s =
        -static_cast<double>(mMetronome.countInLength_samples(mRecordingRate_Hz)) / mRecordingRate_Hz;
    mClickTimer.start(mMetronome.firstClick(mRecorderWrapper->getPosition_s(), due_s));
    playClick();
}

void MainWindow::playClick()
{
    mUi.clickLabel->setPixmap(mUi.clickOn);
    mClickLabelTimer.start();
    const bool countIn = mMetronome.inCountIn();
    if (const int beat = mMetronome.countInBeat()) {
        QStringList beats;
        for (int counted = 1; counted <= beat; ++counted)
            beats << QString::number(counted);
        mUi.countInLabel->setText("Count-in " + beats.join(' '));
        mUi.countInLabel->show();
    } else if (!countIn) {
        mUi.countInLabel->hide();
    }
    const bool barStart = mMetronome.nextClick();
    emit clickPlayed(mRecorderWrapper->getPosition_s(), countIn);
    if (!mSettings.metronomeEnabled)
        return;
    const bool barClick = mSettings.differentBarBeginClick && barStart;
    (barClick ? mBarClick : mClick).play();
    // Where the recording stands as it sounds: the transcription looks for
    // the click near there. The count-in's clicks come before it.
    if (!countIn)
        mRecorderWrapper->markClick(barClick ? kBarClickSound : kClickSound);
}

void MainWindow::setClickVolume(int percent)
{
    mSettings.clickVolume_percent = percent;
    // The slider's travel on the ear's scale; the sounds take an amplitude.
    const qreal volume =
        QAudio::convertVolume(percent / 100.0, QAudio::LogarithmicVolumeScale, QAudio::LinearVolumeScale);
    mClick.setVolume(volume);
    mBarClick.setVolume(volume);
}

void MainWindow::onClickLabelTimer()
{
    mUi.clickLabel->setPixmap(mUi.clickOff);
    mClickLabelTimer.stop();
}

void MainWindow::onClickTimer()
{
    // The clicks are timed on the clock between chunks, which a chunk's
    // worth of lag would have the controller take for clicks early; what has
    // been recorded decides the time limit.
    const float elapsed_s = mRecorderWrapper->getElapsed_s();
    const Metronome::Tick tick =
        mMetronome.tick(mRecorderWrapper->getPosition_s(), mClickTimer.interval(), mSettings.maxClickCompensation_ms);
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
    mUi.countInLabel->hide();
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
