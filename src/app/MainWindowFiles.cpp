// The main window's files: saving the recording and its transcription in
// five formats and the score as MusicXML, the rotating autosaves and
// playback (opening is in MainWindowOpening.cpp). Every failure is said in a
// box (or the log, for autosaves) and leaves the recording as it was.

#include "MainWindow.h"

#include "AppResources.h"
#include "AudioPlaybackDialog.h"
#include "AudioProcessor.h"
#include "AudioRecorderWrapper.h"
#include "FileNames.h"
#include "FileSaving.h"
#include "RowsView.h"
#include "ScoreEditing.h"
#include "ScoreHeader.h"
#include "ViewComposer.h"
#include "utils.h"

#include <QBuffer>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QStandardPaths>

namespace {

QStringList makeFilters()
{
    const std::pair<const char*, const char*> filters[] = {
        {"Vantor files (*.%1)", "vnt"},
        {"BWW Files (*.%1)", "bww"},
        {"PNG Image Files of Sheet Music (*.%1)", "png"},
        {"PNG Image Files of Timing View (*.%1)", "png"},
        {"WAVE audio files (*.%1)", "wav"}};
    QStringList list;
    for (const auto& [text, extension] : filters)
        list << QString(text).arg(extension);
    return list;
}

} // namespace

const QStringList& MainWindow::fileFilters()
{
    static const QStringList filters = makeFilters();
    return filters;
}

bool MainWindow::writeFile(const QString& name, const QByteArray& bytes)
{
    // Written aside and renamed over the old file: a full or read-only
    // folder leaves any file that was there as it was.
    QString error;
    if (fileSaving::writeWholeFile(name, {bytes}, error))
        return true;
    QMessageBox::warning(this, "Unable to save file",
                         QString("There was a problem trying to save the file: %1").arg(error));
    return false;
}

void MainWindow::onSaveAs()
{
    if (mRecordingData.isEmpty()) {
        QMessageBox::warning(this, "Nothing to save", "You have not recorded anything yet");
        return;
    }
    // Both views complete, hidden or not, for the images.
    renderAllViews();
    const QStringList& filters = fileFilters();
    QString selected = filters.contains(mLastSaveFilter) ? mLastSaveFilter : filters[kProjectFilter];
    const QString name = QFileDialog::getSaveFileName(this, "Save current recording as...", getSuggestedFileName(),
                                                      QString("%1;;%2;;%3;;%4;;%5")
                                                          .arg(filters[0], filters[1], filters[2], filters[3],
                                                               filters[4]),
                                                      &selected);
    if (name.isEmpty())
        return;
    // The extension typed wins over the filter left selected.
    const int filter = fileNames::saveFilterFor(name, static_cast<int>(filters.indexOf(selected)));
    selected = filters.value(filter, selected);
    bool saved = false;
    switch (filter) {
    case kBwwFilter: saved = saveBww(name); break;
    case kScorePngFilter: saved = saveScorePng(name); break;
    case kTimingPngFilter: saved = saveTimingPng(name); break;
    case kWaveFilter: saved = saveWav(name); break;
    default: saved = saveVnt(name, true); break;
    }
    if (!saved)
        return;
    if (filter == kProjectFilter || filter < 0) {
        mLastSaveRawFileName = name;
        rememberRecentFile(name);
    } else {
        mLastSaveFileName = name;
        mLastSaveFilter = selected;
    }
}

QString MainWindow::getSuggestedFileName()
{
    // The stored name keeps the stripped form. Before anything was saved,
    // the name is proposed in the documents folder.
    mSettings.tuneName = fileNames::strippedTuneName(mSettings.tuneName);
    const QString last = mLastSaveFileName.isEmpty()
                             ? QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + "/"
                             : mLastSaveFileName;
    return fileNames::suggestedFileName(last, mSettings.tuneName);
}

QString MainWindow::suggestedFileNameAs(const QString& extension)
{
    const QFileInfo suggested(getSuggestedFileName());
    return (suggested.suffix().isEmpty() ? suggested.filePath() : suggested.path() + "/" + suggested.completeBaseName())
           + extension;
}

bool MainWindow::saveBww(const QString& name)
{
    renderAllViews();
    const QString text = QString::fromStdString(scoreBww(mEditing->score(), mLastScore));
    return writeFile(name, text.toLatin1());
}

bool MainWindow::saveMusicXml(const QString& name)
{
    renderAllViews();
    return writeFile(name, QByteArray::fromStdString(scoreMusicXml(mEditing->score(), mLastScore)));
}

void MainWindow::onExportMusicXml()
{
    if (mRecordingData.isEmpty()) {
        QMessageBox::warning(this, "Nothing to save", "You have not recorded anything yet");
        return;
    }
    const QString name = QFileDialog::getSaveFileName(this, "Export MusicXML", suggestedFileNameAs(".musicxml"),
                                                      "MusicXML files (*.musicxml *.xml)");
    if (!name.isEmpty() && saveMusicXml(name))
        mLastSaveFileName = name;
}

// The images are the pages drawn whole from the score, at the zoom the
// views show: at full size the same tune gives the same picture as
// vantor-transcribe's.
bool MainWindow::saveScorePng(const QString& name)
{
    renderAllViews();
    return savePng(name, viewComposer::scaleByZoom(scoreHeader::scorePage(mViews.model(), mLastScore, mFancyPipes),
                                                   mViews.zoom(), true));
}

bool MainWindow::saveTimingPng(const QString& name)
{
    renderAllViews();
    return savePng(name, viewComposer::scaleByZoom(scoreHeader::timingPage(mLastMelody, mLastGracenotes, mLastScore,
                                                                           mSettings.secsPerRow_s, mFancyPipes),
                                                   mViews.zoom(), true));
}

void MainWindow::renderAllViews()
{
    // A hidden view is not kept up to date while recording.
    mForceRender = true;
    redeliverLastResult();
}

bool MainWindow::savePng(const QString& name, const QPixmap& picture)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (picture.isNull() || !picture.save(&buffer, "PNG")) {
        QMessageBox::warning(this, "Unable to save file",
                             "There was a problem trying to save the file: there is no picture to save");
        return false;
    }
    return writeFile(name, bytes);
}

bool MainWindow::saveWav(const QString& name)
{
    // The recording is already the file's PCM: the header goes in front of it.
    return writeFile(name, waveFileBytes(mRecordingData, static_cast<float>(mRecordingRate_Hz)));
}

bool MainWindow::saveVnt(const QString& name, bool showErrors)
{
    ProjectContents project;
    project.samples = utils::decodePcm16(mRecordingData.constData(), static_cast<std::size_t>(mRecordingData.size()));
    project.samplingFrequency_Hz = static_cast<float>(mRecordingRate_Hz);
    project.setScoreSettings(scoreSettings());
    // The tuning this recording was transcribed with, and whether it was
    // known or estimated from the recording.
    if (mRecordingTuning) {
        (mRecordingTuningEstimated ? project.estimatedTuning : project.calibration) = mRecordingTuning;
    } else if (mEstimatedLowA_Hz > 0.0f) {
        PipeTuning estimated;
        estimated.setLowA_Hz(mEstimatedLowA_Hz);
        project.estimatedTuning = estimated;
    }
    // An opened file keeps where its recording came from; a new recording
    // is stamped by the writer.
    project.recordedAppVersion = mLoadedProject.recordedAppVersion;
    project.recordedTime = mLoadedProject.recordedTime;
    project.recordedInstallId = mLoadedProject.recordedInstallId;
    for (const AudioRecorder::ClickMark& click : mRecordingClicks)
        project.clicks.push_back(ProjectContents::Click{click.position, click.sound});
    project.scoreEdits = mEditing->edits();
    std::string error;
    if (project.write(name.toStdString(), kAppVersion, mInstallId.toStdString(), error)) {
        mEditing->markSaved();
        return true;
    }
    const QString message =
        QString("There was a problem trying to save the file: %1").arg(QString::fromStdString(error));
    if (showErrors)
        QMessageBox::warning(this, "Unable to save file", message);
    else
        qWarning().noquote() << message;
    return false;
}

void MainWindow::autosave()
{
    if (mLoadedFromFile || mRecordingData.isEmpty() || mSettings.autoSaveCount == 0 || mRecordingAutosaved)
        return;
    for (const QString& deleted : fileNames::makeRoomForAutosave(mSettings.autoSaveDir, mSettings.autoSaveCount))
        qDebug() << "Autosave removed" << deleted;
    mSettings.tuneName = fileNames::strippedTuneName(mSettings.tuneName);
    const QString name =
        fileNames::autosaveName(mSettings.autoSaveDir, QDateTime::currentDateTime(), mSettings.tuneName);
    if (saveVnt(name, false)) {
        mLastAutoSaveFileName = name;
        mRecordingAutosaved = true;
    }
}

void MainWindow::onStartAudioPlayback()
{
    if (mRecordingData.isEmpty()) {
        QMessageBox::warning(this, "Nothing to play", "There is no audio to play yet");
        return;
    }
    qDebug() << "Rec buff size " << mRecordingData.size();
    AudioPlaybackDialog dialog(this);
    dialog.setObjectName("playbackDialog");
    dialog.initialise(mRecordingRate_Hz, mSettings.audioOutputDevice, mRecordingData);
    const QString output = dialog.outputDevice();
    dialog.exec();
    // An output chosen there because the usual one could not play is kept.
    if (dialog.outputDevice() != output)
        mSettings.audioOutputDevice = dialog.outputDevice();
}
