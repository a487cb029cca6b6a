// The main window's chanter side: calibration through the progress dialog,
// the tuning in use and its Low A in the status bar, and the level meter.

#include "MainWindow.h"

#include "AudioProcessor.h"

#include <QDebug>
#include <QLabel>
#include <QPalette>
#include <QProgressBar>
#include <QProgressDialog>

void MainWindow::onCalibrate()
{
    mCalibrationTimer.stop();
    mCalibration.begin();
    mCalibrationDialog->reset();
    mCalibrationClock.start();
    mCalibrationTimer.start(100);
}

void MainWindow::onCalibrationTimer()
{
    mCalibrationTimer.stop();
    CalibrationFlow::Settings settings;
    settings.countdown_s = mSettings.calibrationCountdown_s;
    settings.noteDuration_s = mSettings.calibrationDuration_s;
    settings.volumeCutoff_percent = mSettings.volumeCutoff_percent;
    settings.recordingFrequency_Hz = mSettings.recordingFrequency_Hz;
    PipeTuning calibrated;
    const bool found =
        mCalibration.tick(mCalibrationClock.elapsed(), mCalibrationDialog->wasCanceled(), settings, calibrated);
    if (found)
        setCalibratedTuning(calibrated);
    mCalibrationDialog->setLabelText(mCalibration.label());
    if (mCalibration.state() == CalibrationFlow::Countdown && !mCalibrationDialog->isVisible()) {
        mCalibrationDialog->setMaximum(CalibrationFlow::kNoteCount);
        mCalibrationDialog->setValue(0);
        mCalibrationDialog->show();
    }
    if (mCalibration.state() == CalibrationFlow::Collecting || found)
        mCalibrationDialog->setValue(mCalibration.progress());
    if (!mCalibration.dialogVisible())
        mCalibrationDialog->hide();
    mCalibrationTimer.start(100);
}

void MainWindow::setCalibratedTuning(const PipeTuning& tuning)
{
    mCalibratedTuning = tuning;
    mCalibrated = true;
    mUi.notCalibratedLabel->hide();
    mRecordingTuning = tuning;
    mRecordingTuningEstimated = false;
    applyRecordingTuning();
    logTuning(tuning);
}

void MainWindow::applyRecordingTuning()
{
    if (mRecordingTuning)
        showLowA(mRecordingTuning->getReferenceNoteCentreFrequency_Hz(PipeTuning::LowA));
    else if (mEstimatedLowA_Hz > 0.0f)
        showLowA(mEstimatedLowA_Hz);
    else
        mUi.lowALabel->clear();
    if (mProcessor == nullptr)
        return;
    mProcessor->setEstimateLowA(!mRecordingTuning);
    if (mRecordingTuning)
        mProcessor->setTuning(*mRecordingTuning);
}

void MainWindow::onLowAEstimated(float lowA_Hz)
{
    mEstimatedLowA_Hz = lowA_Hz;
    if (!mRecordingTuning)
        showLowA(lowA_Hz);
}

void MainWindow::showLowA(float lowA_Hz)
{
    mUi.lowALabel->setText(QString("Low A = %1 Hz  ").arg(static_cast<double>(lowA_Hz), 0, 'f', 1));
}

void MainWindow::onDataProcessed(PitchFinder::AnalysisResults analysisResults)
{
    updateVolumeBar(analysisResults.volume_normalized);
    mCalibration.add(analysisResults);
}

void MainWindow::updateVolumeBar(float volume_normalized)
{
    const float value = volume_normalized * 100.0f;
    mUi.volumeBar->setValue(static_cast<int>(value));
    const bool warning = value > static_cast<float>(mSettings.volumeWarning_percent);
    if (warning == mVolumeWarning)
        return;
    mVolumeWarning = warning;
    QPalette palette = mUi.volumeBar->palette();
    palette.setColor(QPalette::Highlight, warning ? QColor(200, 30, 30) : QColor(40, 150, 60));
    mUi.volumeBar->setPalette(palette);
}
