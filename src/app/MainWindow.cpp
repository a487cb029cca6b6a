#include "MainWindow.h"

#include "AppResources.h"
#include "AudioDevices.h"
#include "AudioFileReader.h"
#include "AudioProcessor.h"
#include "AudioProcessorWrapper.h"
#include "AudioRecorderWrapper.h"
#include "RowsView.h"
#include "ScoreEditing.h"
#include "TuningView.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDebug>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QDoubleSpinBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QGuiApplication>
#include <QProgressBar>
#include <QScreen>
#include <QProgressDialog>
#include <QScrollArea>
#include <QSettings>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QUndoStack>
#include <QUuid>

#include <algorithm>
#include <cmath>
#include <utility>

// The icons and the empty-view picture are compiled into this library.
static void initialiseResources()
{
    Q_INIT_RESOURCE(vantor);
}

namespace {

constexpr int kStateVersion = 1;
// The tuning meter's width at a first start: its needles at about 1.5
// pixels a cent.
constexpr int kTuningDockWidth = 380;

} // namespace

MainWindow::MainWindow(audioDevices::InputFile inputFile, QWidget* parent)
    : QMainWindow(parent), mInputFile(std::move(inputFile))
{
    initialiseResources();
    mUi.setup(this);

    mRecorderWrapper = new AudioRecorderWrapper(mInputFile);
    mProcessorWrapper = new AudioProcessorWrapper;
    mCalibrationDialog = new QProgressDialog("Calibrating", "Cancel", 0, CalibrationFlow::kNoteCount, this);
    mCalibrationDialog->setObjectName("calibrationDialog");
    mCalibrationDialog->setWindowTitle("Calibration of chanter notes");
    mCalibrationDialog->setWindowModality(Qt::WindowModal);
    mCalibrationDialog->setMinimumWidth(400);
    mCalibrationDialog->setAutoReset(false);
    mCalibrationDialog->setAutoClose(false);
    mCalibrationDialog->setMinimumDuration(0);
    mCalibrationDialog->reset();
    mCalibrationDialog->hide();
    // The progress bar shows notes found, not a percentage.
    if (auto* bar = mCalibrationDialog->findChild<QProgressBar*>())
        bar->setTextVisible(false);

    loadSettings();

    mRecorderWrapper->moveToThread(&mCaptureThread);
    mProcessorWrapper->moveToThread(&mProcessingThread);
    connect(&mCaptureThread, &QThread::finished, mRecorderWrapper, &QObject::deleteLater);
    connect(&mProcessingThread, &QThread::finished, mProcessorWrapper, &QObject::deleteLater);
    mCaptureThread.start(QThread::InheritPriority);
    mProcessingThread.start(QThread::InheritPriority);
    connect(mRecorderWrapper, &AudioRecorderWrapper::initialised, this, &MainWindow::onAudioRecordingInitalised);
    mRecorderWrapper->initialise();
    connect(mProcessorWrapper, &AudioProcessorWrapper::initialised, this, &MainWindow::onAudioProcessingInitialised);
    mProcessorWrapper->initialise();

    connectActions();
    setupEditing();
    setupOpening();

    for (auto [sound, file] : {std::make_pair(&mClick, "sounds/click1.wav"),
                               std::make_pair(&mBarClick, "sounds/click2.wav")}) {
        sound->setSource(QUrl::fromLocalFile(appResources::path(file)));
        sound->setLoopCount(1);
        // The transcription takes the click back out of what the microphone
        // hears; a sound that cannot be read is never looked for.
        AudioData audio;
        std::string error;
        if (!readAudioFile(appResources::path(file).toStdString(), audio, error))
            qWarning().noquote() << QString::fromStdString(error);
        mClickSounds.push_back({audio.samples, audio.samplingFrequency_Hz});
    }
    mFancyPipes = QPixmap(":/fancy_pipes");
#ifndef QT_NO_SESSIONMANAGER
    // Logging out ends the program without closing the window first.
    connect(qApp, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { keepRecording(); });
#endif

    applyGeneralSettings();
    setActionStates(false);
    displayPixmaps();
    QTimer::singleShot(127, this, &MainWindow::initialise);
}

MainWindow::~MainWindow()
{
    // The docks report being hidden while the window is taken down, and the
    // edit history being emptied; this window must not hear it any more.
    for (QObject* sender : std::initializer_list<QObject*>{mUi.scoreDock, mUi.timingDock, mProcessor, mEditing,
                                                           mEditing->undoStack()})
        if (sender != nullptr)
            disconnect(sender, nullptr, this, nullptr);
    mCalibrationTimer.stop();
    mClickTimer.stop();
    // The recorder stops in its own thread before the threads end; the
    // processor lets go of it first.
    if (mProcessor != nullptr)
        mProcessor->setAudioRecorder(nullptr);
    QMetaObject::invokeMethod(mRecorderWrapper, "stop", Qt::BlockingQueuedConnection);
    mCaptureThread.quit();
    mProcessingThread.quit();
    mCaptureThread.wait();
    mProcessingThread.wait();
    saveSettings();
    autosave();
}

void MainWindow::connectActions()
{
    connect(mUi.exit, &QAction::triggered, this, &QWidget::close);
    connect(mUi.calibrate, &QAction::triggered, this, &MainWindow::onCalibrate);
    connect(mUi.zoom100, &QAction::triggered, this, &MainWindow::onZoom100);
    connect(mUi.zoom50, &QAction::triggered, this, &MainWindow::onZoom50);
    connect(mUi.record, &QAction::triggered, this, &MainWindow::onStartRecording);
    connect(mUi.stop, &QAction::triggered, this, &MainWindow::onStop);
    connect(mUi.clear, &QAction::triggered, this, &MainWindow::onClear);
    connect(mUi.followBeat, &QAction::toggled, this, [this](bool following) {
        if (!following)
            withdrawFollowedBeat();
        mFullRerender = true;
        redeliverLastResult();
    });
    connect(mUi.saveAs, &QAction::triggered, this, &MainWindow::onSaveAs);
    connect(mUi.exportPdf, &QAction::triggered, this, &MainWindow::onExportPdf);
    connect(mUi.printPreview, &QAction::triggered, this, &MainWindow::onPrintPreview);
    connect(mUi.printScore, &QAction::triggered, this, &MainWindow::onPrint);
    connect(mUi.exportMusicXml, &QAction::triggered, this, &MainWindow::onExportMusicXml);
    connect(mUi.open, &QAction::triggered, this, &MainWindow::onOpen);
    connect(mUi.openAutosave, &QAction::triggered, this, &MainWindow::onOpenAutosave);
    connect(mUi.openExample, &QAction::triggered, this, &MainWindow::onOpenExample);
    connect(mUi.retranscribe, &QAction::triggered, this, &MainWindow::onRetranscribe);
    connect(mUi.playAudio, &QAction::triggered, this, &MainWindow::onStartAudioPlayback);
    connect(mUi.settings, &QAction::triggered, this, &MainWindow::onSettings);
    connect(mUi.tuneDetails, &QAction::triggered, this, &MainWindow::onTuneDetails);
    connect(mUi.help, &QAction::triggered, this, &MainWindow::onHelp);
    connect(mUi.about, &QAction::triggered, this, &MainWindow::onAbout);
    connect(mRecorderWrapper, &AudioRecorderWrapper::firstDataReceived, this, &MainWindow::onFirstAudioDataReceived);
    connect(mRecorderWrapper, &AudioRecorderWrapper::inputFailed, this, &MainWindow::onInputFailed);
    connect(&mCalibrationTimer, &QTimer::timeout, this, &MainWindow::onCalibrationTimer);
    connect(&mClickLabelTimer, &QTimer::timeout, this, &MainWindow::onClickLabelTimer);
    connect(mUi.timeSignature, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            &MainWindow::onTimeSignatureChanged);
    connect(mUi.bpm, QOverload<int>::of(&QSpinBox::valueChanged), this, &MainWindow::onBpmChanged);
    connect(mUi.clickVolume, &QSlider::valueChanged, this, &MainWindow::setClickVolume);
    connect(&mClickTimer, &QTimer::timeout, this, &MainWindow::onClickTimer);
    connect(mUi.scoreDock, &QDockWidget::visibilityChanged, this, &MainWindow::scoreVisibilityChanged);
    connect(mUi.timingDock, &QDockWidget::visibilityChanged, this, &MainWindow::scoreVisibilityChanged);
    connect(mUi.playedRound, &QCheckBox::toggled, this, &MainWindow::onRoundingToggled);
    connect(mUi.timeShift, QOverload<double>::of(&QDoubleSpinBox::valueChanged), this,
            &MainWindow::onTimeShiftChanged);
    for (QWidget* widget : std::initializer_list<QWidget*>{mUi.bpm, mUi.timeSignature, mUi.playedRound, mUi.timeShift})
        widget->installEventFilter(this);
    mClickLabelTimer.setInterval(kClickIndicator_ms);
    mClickTimer.setTimerType(Qt::PreciseTimer);
}

void MainWindow::loadSettings()
{
    QSettings store;
    if (!restoreGeometry(store.value("geometry").toByteArray())) {
        tabifyDockWidget(mUi.timingDock, mUi.scoreDock);
        // A first start: room for a row of four bars and the tuning meter
        // beside it, within the screen.
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QSize available = screen->availableSize();
            resize(std::min(1280 + kTuningDockWidth, available.width() * 9 / 10),
                   std::min(860, available.height() * 9 / 10));
        }
        mFirstStart = true;
    }
    restoreState(store.value("state").toByteArray(), kStateVersion);
    mSettings = GeneralSettings::load(store);
    mRecordingRate_Hz = mSettings.recordingFrequency_Hz;
    mLastSaveFileName = store.value("lastSaveFileName").toString();
    mLastSaveRawFileName = store.value("lastSaveRawFileName").toString();
    mLastSaveFilter = store.value("lastSaveFilter").toString();
    mLastAutoSaveFileName = store.value("lastAutoSaveFileName").toString();
    QFile eula(appResources::path("licenses/vantorEULA.txt"));
    if (eula.open(QIODevice::ReadOnly))
        mEula = QString::fromUtf8(eula.readAll());
    mZoom = store.value("zoom", 1.0).toDouble();
    if (!(mZoom > 0.0 && mZoom <= 1.0))
        mZoom = 1.0;
    mViews.setZoom(mZoom);
    if (!QDir().mkpath(mSettings.autoSaveDir)) {
        qWarning() << "Cannot create the autosave folder" << mSettings.autoSaveDir << "- using the default";
        mSettings.autoSaveDir = GeneralSettings::defaultAutoSaveDir();
        QDir().mkpath(mSettings.autoSaveDir);
    }
    PipeTuning stored;
    if (loadCalibratedTuning(store, stored)) {
        setCalibratedTuning(stored);
    } else {
        // No calibration yet: each recording's Low A is estimated from the
        // audio until the piper calibrates.
        mCalibrated = false;
        mUi.lowALabel->clear();
        mUi.notCalibratedLabel->show();
    }
    if (!store.contains("installId"))
        store.setValue("installId", QUuid::createUuid().toString(QUuid::WithoutBraces));
    mInstallId = store.value("installId").toString();
    if (!store.contains("FirstRun")) {
        qDebug() << "Recording first run time";
        store.setValue("FirstRun", QDateTime::currentDateTimeUtc());
    }
}

void MainWindow::saveSettings()
{
    QSettings store;
    store.setValue("geometry", saveGeometry());
    store.setValue("state", saveState(kStateVersion));
    store.setValue("zoom", mZoom);
    store.setValue("lastSaveFileName", mLastSaveFileName);
    store.setValue("lastSaveRawFileName", mLastSaveRawFileName);
    store.setValue("lastSaveFilter", mLastSaveFilter);
    store.setValue("lastAutoSaveFileName", mLastAutoSaveFileName);
    // An opened project's tune settings were its own, not the piper's; nor
    // is a followed beat.
    GeneralSettings own = mSettings;
    if (mBeforeFollowing)
        mBeforeFollowing->restore(own);
    if (mPlayersTune)
        own.setTune(*mPlayersTune);
    own.save(store);
    // Only a calibration the piper made is stored: without one the next
    // start estimates the Low A again.
    if (mCalibrated)
        saveCalibratedTuning(store, mCalibratedTuning);
}

void MainWindow::initialise()
{
    // The window is laid out by now: the tuning meter takes its width, the
    // views the rest.
    if (mFirstStart)
        resizeDocks({mUi.tuningDock}, {kTuningDockWidth}, Qt::Horizontal);
    mFirstStart = false;
    setActionStates(mRecording || mPlayback);
    startAudio();
    if (mInputFileMissing)
        QMessageBox::warning(this, "Input file missing",
                             QString("The recording to play in as the input %1:\n%2\n\nVantor cannot "
                                     "record until it is started with --input-file naming an existing file.")
                                 .arg(audioDevices::inputFileProblem(mInputFile.path),
                                      QDir::toNativeSeparators(mInputFile.path)));
}

void MainWindow::startAudio()
{
    mInputError.clear();
    mInputFileMissing = false;
    const QString device = audioDevices::chooseInput(mSettings.audioDevice, mInputFile);
    mUi.inputLabel->hide();
    if (device.isEmpty()) {
        mInputError = "No audio input device was found.";
        qWarning() << "No audio input device";
        return;
    }
    if (device == mInputFile.name()) {
        // Said in the status bar: a file played in is no microphone.
        const QString file = QFileInfo(mInputFile.path).fileName();
        mUi.inputLabel->setText(mInputFile.chosen
                                    ? QString("Input: file %1").arg(file)
                                    : QString("Input: example recording, no microphone found"));
        mUi.inputLabel->show();
        // A folder is said to be one, not to be missing.
        const QString problem = audioDevices::inputFileProblem(mInputFile.path);
        if (!problem.isEmpty()) {
            mInputFileMissing = true;
            mInputError = QString("the input file %1 %2.").arg(mInputFile.path, problem);
            mUi.inputLabel->setText(QString("Input: file %1 %2").arg(file, QFileInfo::exists(mInputFile.path)
                                                                              ? "cannot be played"
                                                                              : "not found"));
            qWarning().noquote() << "The input file" << mInputFile.path << problem;
            return;
        }
    }
    mRecorderWrapper->start(device, mSettings.recordingFrequency_Hz, kNotifySamples);
}

void MainWindow::onAudioRecordingInitalised()
{
    if (mProcessor != nullptr)
        mProcessor->setAudioRecorder(mRecorderWrapper->recorder());
}

void MainWindow::onAudioProcessingInitialised()
{
    qDebug() << "Initialising processing connections";
    mProcessor = mProcessorWrapper->processor();
    connect(mProcessor, &AudioProcessor::dataProcessed, this, &MainWindow::onDataProcessed);
    connect(mProcessor, &AudioProcessor::transcriptionResult, this, &MainWindow::onTranscriptionResult);
    connect(mProcessor, &AudioProcessor::transcriptionVolume, this, &MainWindow::updateVolumeBar);
    connect(mProcessor, &AudioProcessor::recordingProgress, this, &MainWindow::onRecordingProgress);
    connect(mProcessor, &AudioProcessor::recordingTranscribed, this, &MainWindow::onRecordingTranscribed);
    connect(mProcessor, &AudioProcessor::lowAEstimated, this, &MainWindow::onLowAEstimated);
    connect(mRecorderWrapper, &AudioRecorderWrapper::dataReceived, mProcessor, &AudioProcessor::processData,
            Qt::UniqueConnection);
    initProcessing();
    emit audioReady();
}

void MainWindow::initProcessing()
{
    if (mProcessor == nullptr)
        return;
    mProcessor->setAudioRecorder(mRecorderWrapper->recorder());
    applyRecordingTuning();
    mProcessor->setDataParams(
        PitchFinder::DataParams(kNotifySamples, static_cast<std::uint32_t>(mSettings.recordingFrequency_Hz)));
    mProcessor->setParams(PitchFinder::ProcessingParams());
    mProcessor->setMinimumVolume_normalized(static_cast<float>(mSettings.volumeCutoff_percent) / 100.0f);
    mProcessor->setTranscribeInterval_s(1.0f / mSettings.scoreRefreshRate_Hz);
    mProcessor->setTranscriptionParams(mSettings.filterCornerFrequency_Hz, mSettings.pitchPeakThreshold,
                                       mSettings.minimumPitchPeak);
    mProcessor->setSecondLook(mSettings.secondLook);
    mProcessor->setFindDrones(mSettings.findDrones);
    applyClickSounds();
}

void MainWindow::applyClickSounds()
{
    mProcessor->setClickSounds(mSettings.metronomeEnabled ? mClickSounds : std::vector<ClickSuppressor::Sound>());
}

void MainWindow::redeliverLastResult()
{
    onTranscriptionResult(mLastResultTime_s, NoteMap(mLastMelody), NoteMap(mLastGracenotes), PipeTuning(mLastTuning),
                          DroneSet(mLastDrones), false);
}

void MainWindow::onInputFailed(QString message)
{
    mInputError = message;
    if (!mRecording)
        return;
    onStop();
    QMessageBox::warning(this, "Recording stopped",
                         QString("%1\n\nThe recording so far is kept.").arg(message));
}

void MainWindow::setActionStates(bool busy)
{
    mUi.stop->setEnabled(busy);
    for (QAction* action : {mUi.record, mUi.calibrate, mUi.zoom100, mUi.zoom50, mUi.settings, mUi.tuneDetails,
                            mUi.help, mUi.about, mUi.clear, mUi.retranscribe, mUi.openExample, mUi.playAudio,
                            mUi.open, mUi.openAutosave, mUi.saveAs, mUi.exportPdf, mUi.printPreview, mUi.printScore,
                            mUi.exportMusicXml})
        action->setEnabled(!busy);
    mUi.bpm->setEnabled(!busy);
    mUi.recentMenu->setEnabled(!busy);
}

TimeSignature MainWindow::currentTimeSignature() const
{
    const int index = mUi.timeSignature->currentIndex();
    return index >= 0 && index <= SixEight ? static_cast<TimeSignature>(index) : FourFour;
}

void MainWindow::applyGeneralSettings()
{
    mUi.tuningView->setDronesListenedFor(mSettings.findDrones);
    (mZoom > 0.9 ? mUi.zoom100 : mUi.zoom50)->setChecked(true);
    {
        // The stored tempo and round state stand: no preset here.
        const QSignalBlocker blocker(mUi.timeSignature);
        const int index = mSettings.timeSignature;
        mUi.timeSignature->setCurrentIndex(index >= 0 && index <= SixEight ? index : 0);
    }
    mUi.bpm->setValue(static_cast<int>(std::lround(mSettings.bpm)));
    {
        const QSignalBlocker blocker(mUi.clickVolume);
        mUi.clickVolume->setValue(mSettings.clickVolume_percent);
    }
    setClickVolume(mSettings.clickVolume_percent);
    mUi.playedRound->setChecked(mSettings.isRounded);
    mUi.timeShift->setValue(mSettings.timeShift_s);
}

void MainWindow::onTimeSignatureChanged(int index)
{
    if (index > SixEight || index < 0)
        return;
    const ScoreSettings before = tuneState();
    const bool applyingHistory = mApplyingHistory;
    if (!applyingHistory && mUi.followBeat->isChecked())
        mSignatureChosen = true;
    mApplyingHistory = true;
    mSettings.timeSignature = index;
    int bpm = 72;
    bool roundOff = false;
    if (metronome::tempoPreset(static_cast<TimeSignature>(index), bpm, roundOff)) {
        mSettings.bpm = static_cast<float>(bpm);
        if (roundOff)
            mSettings.isRounded = false;
    }
    mUi.bpm->setValue(static_cast<int>(std::lround(mSettings.bpm)));
    mUi.playedRound->setChecked(mSettings.isRounded);
    mApplyingHistory = applyingHistory;
    tuneSettingsChanged(before, QString("Time signature %1").arg(mUi.timeSignature->currentText()),
                        "Change the time signature");
}

namespace {

// Steps of the edit history that merge while they follow each other.
enum MergeId { kTempoSteps = 1, kTimeShiftSteps = 2 };

} // namespace

void MainWindow::onBpmChanged(int value)
{
    const ScoreSettings before = tuneState();
    mSettings.bpm = static_cast<float>(value);
    tuneSettingsChanged(before, QString("Tempo %1").arg(value), "Change the tempo", kTempoSteps);
}

void MainWindow::onTimeShiftChanged(double value)
{
    const ScoreSettings before = tuneState();
    mSettings.timeShift_s = static_cast<float>(value);
    tuneSettingsChanged(before, QString("Time shift %1 s").arg(value), "Change the time shift", kTimeShiftSteps);
}

void MainWindow::onRoundingToggled(bool checked)
{
    const ScoreSettings before = tuneState();
    mSettings.isRounded = checked;
    tuneSettingsChanged(before, checked ? "Played round" : "Not played round", "Change the rounding");
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    // The tool-bar inputs would swallow Space, which records and stops.
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space) {
        qDebug() << "Space!";
        if (mUi.record->isEnabled())
            mUi.record->trigger();
        else if (mUi.stop->isEnabled())
            mUi.stop->trigger();
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}
