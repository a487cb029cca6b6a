// The main window's files: the recording saved as a project.

#include "MainWindow.h"

#include "utils.h"

#include <QDateTime>
#include <QDebug>
#include <QMessageBox>

bool MainWindow::saveVnt(const QString& name, bool showErrors)
{
    ProjectContents project;
    project.samples = utils::decodePcm16(mRecordingData.constData(), static_cast<std::size_t>(mRecordingData.size()));
    project.samplingFrequency_Hz = static_cast<float>(mSettings.recordingFrequency_Hz);
    project.tuneName = mSettings.tuneName.toStdString();
    project.tuneType = mSettings.tuneType.toStdString();
    project.composer = mSettings.composer.toStdString();
    timeSignatureComponents(currentTimeSignature(), project.timeSigNumerator, project.timeSigDenominator);
    project.bpm = mSettings.bpm;
    project.timeShift_s = mSettings.timeShift_s;
    project.calibration = mCalibratedTuning;
    // An opened file keeps where its recording came from.
    project.recordedAppVersion = mLoadedProject.recordedAppVersion;
    project.recordedTime = mLoadedProject.recordedTime;
    project.recordedInstallId = mLoadedProject.recordedInstallId;
    std::string error;
    if (project.write(name.toStdString(), kAppVersion, mInstallId.toStdString(), error))
        return true;
    const QString message = QString("There was a problem trying to save the file: %1").arg(QString::fromStdString(error));
    if (showErrors)
        QMessageBox::warning(this, "Unable to save file", message);
    else
        qWarning().noquote() << message;
    return false;
}
