#pragma once

// The application's controller and only top-level window. It owns the
// capture and processing workers, each in a thread of its own, keeps the
// input running from start-up (level meter, calibration), and turns Record
// and Stop into a metronome kept on the audio clock, a recording, a
// progressive transcription and live sheet-music and timing views. The
// arithmetic lives beside it: Metronome, LiveViews, CalibrationFlow,
// GeneralSettings. GUI thread; the workers are reached through queued
// signals and their thread-safe setters only.

#include "AudioDevices.h"
#include "AudioRecorder.h"
#include "CalibrationFlow.h"
#include "ClickSuppressor.h"
#include "DroneSet.h"
#include "GeneralSettings.h"
#include "LiveViews.h"
#include "MainWindowUi.h"
#include "Metronome.h"
#include "PipeNote.h"
#include "PipeTuning.h"
#include "PitchFinder.h"
#include "ProjectContents.h"
#include "RecordingTranscriber.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QSoundEffect>
#include <QThread>
#include <QTimer>

#include <optional>
#include <vector>

class AudioProcessor;
class AudioProcessorWrapper;
class AudioRecorderWrapper;
class QProgressDialog;
class ScoreEditing;

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    // inputFile: the recording offered as the file input, if any.
    explicit MainWindow(audioDevices::InputFile inputFile = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    // The longest recording; Record stops by itself after it.
    static constexpr float kMaximumRecordingTime_s = 179.9f;
    // How long the click indicator in the status bar shows red after each
    // click (the click-label timer's interval).
    static constexpr int kClickIndicator_ms = 100;
    // The version written into project files.
    static constexpr int kAppVersion = 8;
    // Samples a chunk of the input.
    static constexpr int kNotifySamples = 2048;
    // The save dialog's filters, in order.
    enum FileFilter { kProjectFilter = 0, kBwwFilter, kScorePngFilter, kTimingPngFilter, kWaveFilter };
    static const QStringList& fileFilters();
    // The audio files Open offers besides projects ("*.wav", ...).
    static const QStringList& audioFilePatterns();

    // State, for the status of the window and for tests.
    bool isRecording() const { return mRecording; }
    const audioDevices::InputFile& inputFile() const { return mInputFile; }
    // A stored recording (opened or re-transcribed) is being transcribed.
    bool isPlayingBack() const { return mPlayback; }
    bool isCalibrated() const { return mCalibrated; }
    const QByteArray& recording() const { return mRecordingData; }
    const NoteMap& lastMelody() const { return mLastMelody; }
    const NoteMap& lastGracenotes() const { return mLastGracenotes; }
    const DroneSet& lastDrones() const { return mLastDrones; }
    // The piper's own calibration, which opening a project never changes.
    const PipeTuning& calibratedTuning() const { return mCalibratedTuning; }
    // The tuning the current recording is transcribed with (none while its
    // Low A is being estimated from it), and whether it was estimated.
    const std::optional<PipeTuning>& recordingTuning() const { return mRecordingTuning; }
    bool isRecordingTuningEstimated() const { return mRecordingTuningEstimated; }
    const GeneralSettings& settings() const { return mSettings; }
    const LiveViews& views() const { return mViews; }
    const Metronome& metronome() const { return mMetronome; }
    int clickTimerInterval_ms() const { return mClickTimer.interval(); }
    const QSoundEffect& clickSound() const { return mClick; }
    const QSoundEffect& barClickSound() const { return mBarClick; }
    // The capture worker (tests pace a file input through it).
    AudioRecorderWrapper* recorderWrapper() const { return mRecorderWrapper; }
    AudioProcessor* processor() const { return mProcessor; }
    // The piper's corrections and their undo history; the score the views
    // show and the exports write is its score().
    ScoreEditing* editing() const { return mEditing; }

signals:
    // Both workers are up and connected.
    void audioReady();
    // A result was shown (rendered or stored).
    void resultShown(float time_s);
    // The metronome clicked (or only showed it, its sound switched off) at
    // time_s on the recording's clock, negative in the count-in.
    void clickPlayed(float time_s, bool countIn);

public slots:
    void onStartRecording();
    void onStop();
    void onClickTimer();
    void onFirstAudioDataReceived();
    void playClick();
    void onClickLabelTimer();
    void onDataProcessed(PitchFinder::AnalysisResults analysisResults);
    void updateVolumeBar(float volume_normalized);
    void onTranscriptionResult(float time_s, NoteMap melody, NoteMap grace, PipeTuning tuning, DroneSet drones,
                               bool error);
    void onInternalError(QString text);
    void onAudioRecordingInitalised();
    void onAudioProcessingInitialised();
    void initProcessing();
    void startAudio();
    void initialise();
    void reset();
    void resetViews();
    void onClear();
    void setActionStates(bool busy);
    void applyGeneralSettings();
    void onTimeSignatureChanged(int index);
    void onBpmChanged(int value);
    void onTimeShiftChanged(double value);
    void onRoundingToggled(bool checked);
    void scoreVisibilityChanged(bool visible);
    void onZoom100();
    void onZoom50();
    void displayPixmaps();
    void onCalibrate();
    void onCalibrationTimer();
    void setCalibratedTuning(const PipeTuning& tuning);
    // Stops a recording or re-transcription under way, keeping what was
    // recorded, and autosaves it: before the window closes, the desktop
    // session ends or the processing fails.
    void keepRecording();

    void onSaveAs();
    void onExportMusicXml();
    void onOpen();
    void onOpenAutosave();
    void onOpenExample();
    void onRetranscribe();
    void onStartAudioPlayback();
    void onSettings();
    void onTuneDetails();
    void onHelp(bool checked = false);
    // The sheet music on pages (MainWindowPrinting.cpp).
    void onExportPdf();
    void onPrintPreview();
    void onPrint();
    void onAbout(bool checked = false);

public:
    // Each save returns true on success and says why it failed in a box
    // (saveVnt: in the log unless showErrors).
    bool saveBww(const QString& name);
    bool saveMusicXml(const QString& name);
    bool saveScorePng(const QString& name);
    bool saveTimingPng(const QString& name);
    bool saveWav(const QString& name);
    bool saveVnt(const QString& name, bool showErrors);
    // The sheet music as PDF on the locale's paper.
    bool savePdf(const QString& name);
    // Opens a project (its details, tempo, calibration and recording) or an
    // audio file, which is then transcribed in the processing thread under a
    // progress dialog; the tune shown changes only when that is done. False
    // (with a box) when it cannot be read. remember: the name goes to the
    // recent files (and, for a project, is where Open starts next time).
    bool openFile(const QString& name, bool remember);
    bool openVnt(const QString& name, bool remember);
    // Keeps the recording in the autosave folder, the oldest files making
    // room; nothing for an opened file or an empty recording.
    void autosave();
    QString getSuggestedFileName();
    // The suggested name as a file of one format (".pdf"), for the export
    // dialogs: without a tune name the suggestion is the last file saved,
    // whose extension gives way.
    QString suggestedFileNameAs(const QString& extension);
    // Stops the transcription of a stored recording under way; the tune
    // shown stays as it was.
    void cancelTranscription();
    const QStringList& recentFiles() const { return mRecentFiles; }
    int recordingRate_Hz() const { return mRecordingRate_Hz; }
    const QString& lastAutoSaveFileName() const { return mLastAutoSaveFileName; }
    const QString& eula() const { return mEula; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private slots:
    void onLowAEstimated(float lowA_Hz);
    void onRecordingProgress(int job, float fraction);
    void onRecordingTranscribed(int job, TranscriptionResult result, bool error);
    void onInputFailed(QString message);

private:
    void loadSettings();
    void saveSettings();
    void connectActions();
    void redeliverLastResult();
    void renderResult();
    // Following the played beat puts the tempo, time signature and time
    // shift found into force; withdrawing it (following switched off, a new
    // recording, a project opened) brings back those set before.
    void showFollowedBeat(const ScoreSettings& score);
    void withdrawFollowedBeat();
    void logTuning(const PipeTuning& tuning) const;
    // Both click sounds at once, and kept in the settings.
    void setClickVolume(int percent);
    // The metronome's sounds to listen for in live input: none without the
    // click, so nothing is held back for it.
    void applyClickSounds();
    // Hands the recording's tuning (or the request to estimate it) to the
    // processing thread and shows its Low A.
    void applyRecordingTuning();
    // The piper's own tune settings again after a project was open.
    void restorePlayersTune();
    void showLowA(float lowA_Hz);
    bool hasVisibleRegion(const QWidget* view) const;
    bool writeFile(const QString& name, const QByteArray& bytes);
    // Says so when there is nothing to print; otherwise both views are
    // brought up to date for it.
    bool readyToPrint();
    void renderAllViews();
    bool savePng(const QString& name, const QPixmap& picture);
    TimeSignature currentTimeSignature() const;
    // The score the settings write, in the time signature shown.
    ScoreSettings scoreSettings() const;
    TuneDetails tuneDetails() const;

    // Opening and re-transcription (MainWindowOpening.cpp). A stored
    // recording on its way to the views, with what comes with it.
    struct StoredRecording {
        QString fileName; // empty: the recording shown, re-transcribed
        bool isProject = false;
        QByteArray recording;
        int rate_Hz = 44100;
        // A project's contents (without audio); its tune settings, or an
        // audio file's.
        ProjectContents project;
        ScoreSettings tune;
        // The tuning to transcribe with; none: estimated from the recording.
        std::optional<PipeTuning> tuning;
        bool tuningEstimated = false;
        std::vector<AudioRecorder::ClickMark> clicks;
        // What the piper is told of the file (rate, channels).
        QStringList about;
    };
    void setupOpening();
    TranscriptionOptions transcriptionOptions() const;
    bool transcribeStored(StoredRecording stored);
    void hideTranscribeDialog();
    // An opened file's settings, details and edits in force.
    void takeOverFile(const StoredRecording& stored);
    // Following the played beat, switched on for a recording made
    // elsewhere, goes off again with the next recording or project.
    void releaseFollowBeatForFile();
    void rememberRecentFile(const QString& name);
    void forgetRecentFile(const QString& name);
    void fillRecentMenu();

    // Score editing (MainWindowEditing.cpp).
    void setupEditing();
    // Draws the corrected score again and shows the selection.
    void onScoreEdited();
    void onSelectionChanged();
    // Asks before what would throw away the piper's edits ("Re-transcribe
    // and lose 7 edits?"); true to go on. lost: how many would go.
    bool confirmLosingEdits(const QString& doing, int lost);
    // Unsaved edits of a project opened from a file, which no autosave
    // keeps: asked about before a new recording, project or Clear.
    bool confirmLeavingEdits(const QString& doing);
    // The tempo, time signature, rounding, time shift and tune details in
    // force (rounding in ScoreSettings::rounding).
    ScoreSettings tuneState() const;
    void restoreTuneState(const ScoreSettings& state);
    // A change of those from before, made in the tool bar or a dialog: on a
    // finished transcription a step in the edit history that rebuilds the
    // score, asked about first when it would drop edits (undone at once
    // when the piper says no). False when it was undone.
    bool tuneSettingsChanged(const ScoreSettings& before, const QString& step, const QString& doing,
                             int mergeId = -1);

    MainWindowUi mUi;
    GeneralSettings mSettings;
    // The tempo, time signature and time shift in force before a followed
    // beat took their place; empty while none is shown.
    struct Metre {
        float bpm = 72.0f;
        int timeSignature = 0;
        float timeShift_s = 0.0f;
        void restore(GeneralSettings& settings) const
        {
            settings.bpm = bpm;
            settings.timeSignature = timeSignature;
            settings.timeShift_s = timeShift_s;
        }
    };
    std::optional<Metre> mBeforeFollowing;
    // The piper picked the time signature while the beat is followed.
    bool mSignatureChosen = false;
    PipeTuning mCalibratedTuning;
    bool mCalibrated = false;
    std::optional<PipeTuning> mRecordingTuning;
    bool mRecordingTuningEstimated = false;
    // The Low A the processing thread estimated for the current recording.
    float mEstimatedLowA_Hz = 0.0f;
    // The piper's own tune settings, kept aside while an opened project's
    // are in force.
    std::optional<ScoreSettings> mPlayersTune;
    // No window layout was stored: the docks take their first sizes.
    bool mFirstStart = false;
    // The recording as it stands is in the autosave folder already.
    bool mRecordingAutosaved = false;

    QThread mCaptureThread;
    QThread mProcessingThread;
    AudioRecorderWrapper* mRecorderWrapper = nullptr;
    AudioProcessorWrapper* mProcessorWrapper = nullptr;
    AudioProcessor* mProcessor = nullptr;
    const audioDevices::InputFile mInputFile;
    QString mInputError;
    bool mInputFileMissing = false;
    QString mInstallId;
    // The project opened last (no audio); empty for a recording of this run.
    ProjectContents mLoadedProject;
    bool mLoadedFromFile = false;
    int mRecordingRate_Hz = 44100;
    QString mLastSaveFileName;
    QString mLastSaveRawFileName;
    QString mLastSaveFilter;
    QString mLastAutoSaveFileName;
    QString mEula;

    bool mRecording = false;
    // A stored recording is being transcribed: mStored, as job
    // mTranscriptionJob of the processor, under mTranscribeDialog.
    bool mPlayback = false;
    StoredRecording mStored;
    int mTranscriptionJob = 0;
    QProgressDialog* mTranscribeDialog = nullptr;
    bool mFollowBeatForFile = false;
    QStringList mRecentFiles;
    QByteArray mRecordingData;

    Metronome mMetronome;
    QTimer mClickTimer;
    QTimer mClickLabelTimer;
    QSoundEffect mClick;
    QSoundEffect mBarClick;
    // Their samples, in the order the recorder's click marks number them.
    std::vector<ClickSuppressor::Sound> mClickSounds;
    // The clicks played during the last recording made here (none for a
    // project opened), for its re-transcription.
    std::vector<AudioRecorder::ClickMark> mRecordingClicks;
    static constexpr int kClickSound = 0;
    static constexpr int kBarClickSound = 1;

    NoteMap mLastMelody;
    NoteMap mLastGracenotes;
    PipeTuning mLastTuning;
    DroneSet mLastDrones;
    // The score settings the last result was drawn with, followed beat and
    // all: the exports write the score the views show.
    ScoreSettings mLastScore;
    float mLastResultTime_s = 0.0f;
    float mNextRenderTime_s = 0.0f;
    bool mFullRerender = false;
    bool mForceRender = false;
    bool mVolumeWarning = false;
    bool mInternalErrorShown = false;
    QElapsedTimer mTuningLogClock;

    LiveViews mViews;
    QPixmap mFancyPipes;
    double mZoom = 1.0;

    ScoreEditing* mEditing = nullptr;
    // A step of the edit history is putting settings back: the widgets'
    // signals make no new step.
    bool mApplyingHistory = false;

    CalibrationFlow mCalibration;
    QTimer mCalibrationTimer;
    QElapsedTimer mCalibrationClock;
    QProgressDialog* mCalibrationDialog = nullptr;
};
