// The main window's opening of recordings: project files (saved, autosaved,
// examples) and audio files made elsewhere, from the File menu, the recent
// files, the command line or dropped on the window; and re-transcription.
// A stored recording is transcribed whole in the processing thread, faster
// than it plays, under a progress dialog with a Cancel button. Nothing of
// the tune shown changes until the transcription is done: a file that
// cannot be read, a cancel or a failure leaves it as it was.

#include "MainWindow.h"

#include "AppResources.h"
#include "AudioFileReader.h"
#include "AudioProcessor.h"
#include "FileNames.h"
#include "ScoreEditing.h"

#include <QAction>
#include <QApplication>
#include <QDebug>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QSettings>
#include <QSignalBlocker>
#include <QStatusBar>

namespace {

constexpr int kMaximumRecentFiles = 8;

QString openFilter()
{
    return QString("Vantor files and recordings (*.vnt %1);;Vantor files (*.vnt);;Recordings (%1);;All files (*)")
        .arg(MainWindow::audioFilePatterns().join(' '));
}

QString channelsText(int channels)
{
    return channels == 2 ? QString("Stereo") : QString("%1 channels").arg(channels);
}

} // namespace

const QStringList& MainWindow::audioFilePatterns()
{
    static const QStringList patterns = {"*.wav", "*.flac", "*.ogg", "*.oga", "*.opus", "*.aif", "*.aiff",
                                         "*.aifc", "*.mp3", "*.au", "*.caf", "*.w64"};
    return patterns;
}

TranscriptionOptions MainWindow::transcriptionOptions() const
{
    // The settings the processing thread transcribes a recording with.
    TranscriptionOptions options;
    options.mode = TranscriptionMode::Progressive;
    options.filterCorner_Hz = mSettings.filterCornerFrequency_Hz;
    options.minimumVolume_normalized = static_cast<float>(mSettings.volumeCutoff_percent) / 100.0f;
    options.snacPeakThreshold = mSettings.pitchPeakThreshold;
    options.minimumSnacPeak = mSettings.minimumPitchPeak;
    options.transcriptionInterval_s = 1.0f / mSettings.scoreRefreshRate_Hz;
    options.blockSize_B = 2 * kNotifySamples;
    options.secondLook = mSettings.secondLook;
    options.findDrones = mSettings.findDrones;
    return options;
}

bool MainWindow::openVnt(const QString& name, bool remember)
{
    return openFile(name, remember);
}

bool MainWindow::openFile(const QString& name, bool remember)
{
    if (mPlayback || mRecording || !confirmLeavingEdits("Open another tune"))
        return false;
    auto refuse = [this](const std::string& error) {
        QMessageBox::warning(this, "Unable to open file",
                             QString("There was a problem trying to open the file: %1")
                                 .arg(QString::fromStdString(error)));
        return false;
    };
    QByteArray bytes;
    std::string error;
    if (!readInputFile(name.toStdString(), bytes, error)) {
        forgetRecentFile(name);
        return refuse(error);
    }
    StoredRecording stored;
    stored.fileName = name;
    if (bytes.startsWith("norla_vnt")) {
        if (!ProjectContents::fromBytes(bytes, name.toStdString(), stored.project, error))
            return refuse(error);
        bytes.clear();
        for (const std::string& warning : stored.project.warnings)
            qWarning().noquote() << QString::fromStdString(name.toStdString() + ": " + warning);
        stored.isProject = true;
        stored.rate_Hz = static_cast<int>(stored.project.samplingFrequency_Hz);
        stored.recording = pcmBytes(stored.project.samples);
        stored.project.samples.clear();
        stored.project.samples.shrink_to_fit();
        // A tuning estimated when the recording was made is used again, so
        // the transcription comes out as it did; only a file without any is
        // estimated afresh.
        stored.tuning = stored.project.calibration ? stored.project.calibration : stored.project.estimatedTuning;
        stored.tuningEstimated = !stored.project.calibration.has_value();
        stored.tune = stored.project.scoreSettings();
        for (const ProjectContents::Click& click : stored.project.clicks)
            stored.clicks.push_back(AudioRecorder::ClickMark{click.position, click.sound});
        if (remember)
            mLastSaveRawFileName = name;
    } else {
        AudioData audio;
        if (!decodeAudio(bytes, name.toStdString(), audio, error))
            return refuse(error + "\n\nVantor opens its own files and recordings in WAVE, FLAC, Ogg, AIFF and MP3. "
                                  "A recording in another format (a phone's M4A or AAC) can be converted to one "
                                  "of these first.");
        bytes.clear();
        stored.rate_Hz = static_cast<int>(audio.samplingFrequency_Hz);
        stored.recording = pcmBytes(audio.samples);
        // A recording made elsewhere: the piper's tune settings under the
        // file's name; its tempo, metre and first bar line are followed from
        // the playing, and its Low A estimated from all of it.
        stored.tune = mPlayersTune ? *mPlayersTune : mSettings.scoreSettings();
        stored.tune.tuneName = QFileInfo(name).completeBaseName().toStdString();
        if (audio.channels > 1)
            stored.about << QString("%1, mixed to one channel.").arg(channelsText(audio.channels));
    }
    if (stored.rate_Hz != mSettings.recordingFrequency_Hz)
        stored.about << QString("Transcribed at its own rate of %1 Hz; the input runs at %2 Hz.")
                            .arg(stored.rate_Hz)
                            .arg(mSettings.recordingFrequency_Hz);
    if (!stored.about.isEmpty())
        qInfo().noquote() << QString("%1: %2").arg(name, stored.about.join(' '));
    if (remember)
        rememberRecentFile(name);
    // The recording shown is kept before another takes its place.
    autosave();
    return transcribeStored(std::move(stored));
}

bool MainWindow::transcribeStored(StoredRecording stored)
{
    if (mProcessor == nullptr || stored.recording.isEmpty())
        return false;
    TranscriptionOptions options = transcriptionOptions();
    if (stored.tuning) {
        options.tuningSource = TuningSource::Calibrated;
        options.calibratedTuning = *stored.tuning;
    }
    // A recording that holds the metronome's click is heard with it taken
    // out, as it was while it was made.
    if (!stored.clicks.empty()) {
        options.clickSounds = mClickSounds;
        for (const AudioRecorder::ClickMark& click : stored.clicks)
            options.clicks.push_back(TranscriptionOptions::Click{click.position, click.sound});
    }
    mStored = std::move(stored);
    mPlayback = true;
    setActionStates(true);
    const QString what = mStored.fileName.isEmpty() ? QString("the recording")
                                                      : QFileInfo(mStored.fileName).fileName();
    const QStringList label = QStringList(QString("Transcribing %1...").arg(what)) + mStored.about;
    mTranscribeDialog->setLabelText(label.join('\n'));
    mTranscribeDialog->setValue(0);
    mTranscribeDialog->show();
    mTranscriptionJob = mProcessor->transcribeRecording(mStored.recording, static_cast<float>(mStored.rate_Hz),
                                                        options);
    return true;
}

void MainWindow::hideTranscribeDialog()
{
    // Reset first: it stops the dialog's timer that would show it again.
    mTranscribeDialog->reset();
    const bool wasActive = mTranscribeDialog->isActiveWindow();
    mTranscribeDialog->hide();
    // The window the piper worked in takes the keys again.
    if (wasActive)
        activateWindow();
}

void MainWindow::cancelTranscription()
{
    if (mPlayback && mProcessor != nullptr)
        mProcessor->cancelRecordingTranscriptions();
}

void MainWindow::onRecordingProgress(int job, float fraction)
{
    if (job == mTranscriptionJob && mPlayback)
        mTranscribeDialog->setValue(static_cast<int>(fraction * 100.0f));
}

void MainWindow::onRecordingTranscribed(int job, TranscriptionResult result, bool error)
{
    if (job != mTranscriptionJob || !mPlayback)
        return;
    mPlayback = false;
    hideTranscribeDialog();
    setActionStates(false);
    StoredRecording stored = std::move(mStored);
    mStored = StoredRecording();
    if (result.cancelled) {
        statusBar()->showMessage(stored.fileName.isEmpty()
                                     ? QString("Re-transcription cancelled")
                                     : QString("Opening %1 cancelled").arg(QFileInfo(stored.fileName).fileName()));
        return;
    }
    if (error) {
        if (stored.fileName.isEmpty()) {
            onInternalError("Transcription calculation");
        } else {
            QMessageBox::warning(this, "Unable to open file",
                                 QString("There was a problem trying to open the file: %1 could not be "
                                         "transcribed")
                                     .arg(stored.fileName));
        }
        return;
    }
    if (!stored.fileName.isEmpty())
        takeOverFile(stored);
    else
        mEditing->clear();
    // The tuning it was transcribed with: what was given, or the Low A
    // estimated from the whole recording.
    mRecordingTuning = stored.tuning ? stored.tuning : std::optional<PipeTuning>(result.reference);
    mRecordingTuningEstimated = !stored.tuning || stored.tuningEstimated;
    mEstimatedLowA_Hz = stored.tuning ? 0.0f : result.lowA_Hz;
    applyRecordingTuning();
    resetViews();
    mRecordingData = stored.recording;
    mRecordingRate_Hz = stored.rate_Hz;
    mRecordingClicks = stored.clicks;
    mFullRerender = true;
    onTranscriptionResult(result.audio_s, std::move(result.melody), std::move(result.gracing), result.tuning,
                          std::move(result.drones), false);
    mFullRerender = true;
}

void MainWindow::takeOverFile(const StoredRecording& stored)
{
    withdrawFollowedBeat();
    // The file's tune settings and tuning hold while it is open; the
    // piper's own come back with the next recording.
    if (!mPlayersTune)
        mPlayersTune = mSettings.scoreSettings();
    mSettings.setTune(stored.tune);
    {
        // A recording made elsewhere was not played to this metronome: its
        // beat is followed. A project is shown as it was saved.
        const QSignalBlocker blocker(mUi.followBeat);
        if (!stored.isProject && !mUi.followBeat->isChecked()) {
            mUi.followBeat->setChecked(true);
            mFollowBeatForFile = true;
        } else if (stored.isProject && mFollowBeatForFile) {
            mUi.followBeat->setChecked(false);
            mFollowBeatForFile = false;
        }
    }
    applyGeneralSettings();
    mViews.dropHeaders();
    // The piper's corrections go on the score once it is shown.
    mEditing->clear();
    mEditing->setEditable(false);
    mEditing->setEdits(stored.project.scoreEdits);
    ProjectContents project = stored.project;
    project.samples.clear();
    mLoadedProject = project;
    mLoadedFromFile = true;
    mRecordingAutosaved = false;
}

void MainWindow::releaseFollowBeatForFile()
{
    if (!mFollowBeatForFile)
        return;
    const QSignalBlocker blocker(mUi.followBeat);
    mUi.followBeat->setChecked(false);
    mFollowBeatForFile = false;
}

void MainWindow::onOpen()
{
    const QString name =
        QFileDialog::getOpenFileName(this, "Select Vantor file or recording", mLastSaveRawFileName, openFilter());
    if (!name.isEmpty())
        openFile(name, true);
}

void MainWindow::onOpenAutosave()
{
    qDebug() << "Last autosave:" << mLastAutoSaveFileName;
    const QString folder = QDir(mSettings.autoSaveDir).absolutePath();
    auto inside = [&](const QString& file) {
        return !file.isEmpty() && QFileInfo(file).absolutePath().startsWith(folder);
    };
    const QString start = inside(mLastAutoSaveFileName) ? mLastAutoSaveFileName : mSettings.autoSaveDir;
    const QString name =
        QFileDialog::getOpenFileName(this, "Select Vantor file", start, fileFilters()[kProjectFilter]);
    if (name.isEmpty())
        return;
    openFile(name, false);
    if (inside(name))
        mLastAutoSaveFileName = name;
}

void MainWindow::onOpenExample()
{
    const QString name = QFileDialog::getOpenFileName(this, "Select Example Vantor file",
                                                      appResources::path("examples/"), fileFilters()[kProjectFilter]);
    if (!name.isEmpty())
        openFile(name, false);
}

void MainWindow::onRetranscribe()
{
    if (mRecordingData.isEmpty() || mPlayback || mRecording
        || !confirmLosingEdits("Re-transcribe", static_cast<int>(mEditing->edits().size())))
        return;
    StoredRecording stored;
    stored.recording = mRecordingData;
    stored.rate_Hz = mRecordingRate_Hz;
    stored.tuning = mRecordingTuning;
    stored.tuningEstimated = mRecordingTuningEstimated;
    // A recording made here with its Low A estimated from its first
    // seconds is heard again from that Low A, as a project saved of it is.
    if (!stored.tuning && mEstimatedLowA_Hz > 0.0f) {
        PipeTuning estimated;
        estimated.setLowA_Hz(mEstimatedLowA_Hz);
        stored.tuning = estimated;
        stored.tuningEstimated = true;
    }
    stored.clicks = mRecordingClicks;
    transcribeStored(std::move(stored));
}

void MainWindow::setupOpening()
{
    mTranscribeDialog = new QProgressDialog("Transcribing", "Cancel", 0, 100, this);
    mTranscribeDialog->setObjectName("transcribeDialog");
    mTranscribeDialog->setWindowTitle("Transcribing");
    mTranscribeDialog->setWindowModality(Qt::WindowModal);
    mTranscribeDialog->setMinimumWidth(420);
    mTranscribeDialog->setAutoReset(false);
    mTranscribeDialog->setAutoClose(false);
    mTranscribeDialog->setMinimumDuration(0);
    mTranscribeDialog->reset();
    mTranscribeDialog->hide();
    connect(mTranscribeDialog, &QProgressDialog::canceled, this, &MainWindow::cancelTranscription);
    setAcceptDrops(true);
    QSettings store;
    mRecentFiles = store.value("recentFiles").toStringList();
    while (mRecentFiles.size() > kMaximumRecentFiles)
        mRecentFiles.removeLast();
    connect(mUi.recentMenu, &QMenu::aboutToShow, this, &MainWindow::fillRecentMenu);
    fillRecentMenu();
}

void MainWindow::rememberRecentFile(const QString& name)
{
    const QString path = QFileInfo(name).absoluteFilePath();
    mRecentFiles.removeAll(path);
    mRecentFiles.prepend(path);
    while (mRecentFiles.size() > kMaximumRecentFiles)
        mRecentFiles.removeLast();
    QSettings().setValue("recentFiles", mRecentFiles);
    fillRecentMenu();
}

void MainWindow::forgetRecentFile(const QString& name)
{
    if (mRecentFiles.removeAll(QFileInfo(name).absoluteFilePath()) == 0)
        return;
    QSettings().setValue("recentFiles", mRecentFiles);
    fillRecentMenu();
}

void MainWindow::fillRecentMenu()
{
    QMenu* menu = mUi.recentMenu;
    menu->clear();
    for (int index = 0; index < mRecentFiles.size(); ++index) {
        const QString path = mRecentFiles[index];
        QAction* item = menu->addAction(QString("&%1 %2").arg(index + 1).arg(QFileInfo(path).fileName()));
        item->setToolTip(QDir::toNativeSeparators(path));
        item->setStatusTip(QDir::toNativeSeparators(path));
        connect(item, &QAction::triggered, this, [this, path] { openFile(path, true); });
    }
    if (!mRecentFiles.isEmpty())
        menu->addSeparator();
    QAction* clear = menu->addAction("&Clear Menu");
    clear->setObjectName("clearRecentAction");
    clear->setEnabled(!mRecentFiles.isEmpty());
    connect(clear, &QAction::triggered, this, [this] {
        mRecentFiles.clear();
        QSettings().setValue("recentFiles", mRecentFiles);
        fillRecentMenu();
    });
    menu->setEnabled(!mPlayback && !mRecording);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (!mRecording && !mPlayback && !urls.isEmpty() && urls.first().isLocalFile())
        event->acceptProposedAction();
}

void MainWindow::dropEvent(QDropEvent* event)
{
    const QList<QUrl> urls = event->mimeData()->urls();
    if (urls.isEmpty() || !urls.first().isLocalFile())
        return;
    event->acceptProposedAction();
    // Opened once the drop is over: the file's source must not wait on the
    // questions and the transcription.
    const QString name = urls.first().toLocalFile();
    QMetaObject::invokeMethod(this, [this, name] { openFile(name, true); }, Qt::QueuedConnection);
}
