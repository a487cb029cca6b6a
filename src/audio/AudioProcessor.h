#pragma once

// Turns captured audio into results in the processing thread. Pitch-only
// mode (while not recording): each new chunk goes through a PitchFinder and
// its results are signalled for the level meter, the note display and
// calibration. Transcription mode (while recording): the newly recorded
// samples go to a TranscriptionSession, which holds the recording, the
// engine and the Low A rule; a level is signalled after every block and the
// melody, gracing, tuning and drones after every re-run; playbackData feeds
// a stored recording down the same path block by block. A stored recording
// opened or transcribed again goes through transcribeRecording instead: a
// session of its own over the whole recording at once, with progress and
// cancel, leaving the live session as it was.
//
// Settings arrive from any thread through the setters, which store the
// value and then raise an atomic flag; the processing thread clears each
// flag before it reads its value, at the start of the next block, so no
// setting changes in the middle of a block (the values themselves are
// guarded by a small lock). The recorder is read under
// mRecorderMutex, which is always taken before the recorder's own lock.
// Exceptions never leave the thread: they end in a result with its error
// flag set. The metronome's clicks the recorder marks are fetched after the
// samples they may sound in and told to the session before those samples,
// which takes them out (ClickSuppressor).

#include "AudioRecorder.h"
#include "ChanterFilter.h"
#include "ClickSuppressor.h"
#include "DroneSet.h"
#include "PipeNote.h"
#include "PipeTuning.h"
#include "PitchFinder.h"
#include "RecordingTranscriber.h"
#include "TranscriptionSession.h"

#include <QByteArray>
#include <QObject>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

class AudioProcessor : public QObject
{
    Q_OBJECT
public:
    explicit AudioProcessor(QObject* parent = nullptr);
    // Transcribes through the given session (a test's, to make the engine
    // fail).
    explicit AudioProcessor(std::unique_ptr<TranscriptionSession> session, QObject* parent = nullptr);
    ~AudioProcessor() override = default;

    // Any thread.
    void setDataParams(PitchFinder::DataParams params);
    void setParams(PitchFinder::ProcessingParams params);
    void setTranscriptionParams(float filterCornerFrequency_Hz, float snacPeakThreshold, float minimumSnacPeak);
    void setMinimumVolume_normalized(float volume_normalized);
    void setTuning(const PipeTuning& tuning);
    void setTranscribeInterval_s(float interval_s);
    // With no calibration, each recording's Low A is estimated from its first
    // seconds (transcription waits for it) and seeds the running tuning.
    void setEstimateLowA(bool estimate);
    // The closer look at gracings and short notes over every result (on by
    // default); it takes effect with the next recording.
    void setSecondLook(bool enable);
    // Whether the drones and a room's reverberation are found and taken out
    // of what is transcribed (on by default); from the next recording.
    void setFindDrones(bool enable);
    // The session's settings as the setters left them (applied to the
    // session at the next block).
    TranscriptionSession::Settings sessionSettings();
    // The sounds of the metronome's clicks (AudioRecorder::markClick's
    // sound numbers): the clicks the recorder marks are taken out of what
    // is transcribed.
    void setClickSounds(std::vector<ClickSuppressor::Sound> sounds);
    void enableTranscription(bool enable) { mTranscriptionEnabled = enable; }
    void resetTranscription() { mResetPending = true; }
    void setDebugDisable() { mTranscriptionDisabled = true; }
    void stopPlayback() { mPlaybackActive = false; }
    // The recorder to fetch from; it must outlive the processor or be
    // replaced (null) first.
    void setAudioRecorder(AudioRecorder* recorder);

    // Replays data in blocks of chunkSize bytes through the transcription
    // path, in the processor's thread; ignored while a replay is running.
    void playbackData(QByteArray data, int chunkSize);

    // Transcribes a whole stored recording (16-bit PCM at rate_Hz) at once,
    // in the processor's thread and apart from the live session, as the
    // command line does: recordingProgress as it goes, recordingTranscribed
    // at the end. Returns the job's number, which both signals carry.
    // Any thread.
    int transcribeRecording(QByteArray recording, float rate_Hz, TranscriptionOptions options);
    // Cancels every job asked for so far: a job under way ends at its next
    // block, one not started ends at once; both with a cancelled result.
    void cancelRecordingTranscriptions() { mCancelledJobs = mRequestedJobs.load(); }

public slots:
    void processData(qint64 totalDataSize_B, bool historicRecordingEnabled);
    // After Stop, with the whole recording: transcribes what of it was not
    // transcribed yet and re-runs the transcription once more, so that the
    // result covers all of it.
    void finishTranscription(QByteArray recording);

signals:
    void dataProcessed(PitchFinder::AnalysisResults analysisResults);
    void transcriptionResult(float duration_s, NoteMap melodyNotes, NoteMap graceNotes, PipeTuning tuning,
                             DroneSet drones, bool error);
    void transcriptionVolume(float volume_normalized);
    void playbackFinised();
    // The Low A a recording is transcribed from, when estimated.
    void lowAEstimated(float lowA_Hz);
    // A whole recording's transcription: the share done (0..1, in steps of
    // a hundredth), then its result (error: the engine failed).
    void recordingProgress(int job, float fraction);
    void recordingTranscribed(int job, TranscriptionResult result, bool error);

private slots:
    void _playbackData(QByteArray data, int chunkSize);
    void _transcribeRecording(int job, QByteArray recording, float rate_Hz, TranscriptionOptions options);

private:
    // One block in the given mode: pitch only, or transcription.
    void processBlock(const QByteArray& block, bool transcribing);
    // The block as the live pitch hears it: as recorded, or with the drones
    // taken out once found (a filter's worth of samples later).
    QByteArray heardLive(const QByteArray& block);
    void applyPendingSettings();
    // Changes the session's settings under the lock, then raises their flag.
    void changeSessionSettings(const std::function<void(TranscriptionSession::Settings&)>& change);
    // Feeds the block to the session; finishing ends the recording with the
    // session's forced last re-run.
    void transcribeBlock(const QByteArray& block, bool finishing);
    // Signals the session's last good result, flagged when a run failed.
    void emitResult(bool error);
    void reportEstimatedLowA();
    // Takes the clicks the recorder marked since the last fetch; under
    // mRecorderMutex, after the samples they may sound in were fetched.
    void fetchClicks();

    std::unique_ptr<TranscriptionSession> mSession;
    PitchFinder mPitchFinder;
    // The setters' values; a flag is raised after its value is stored and
    // cleared before it is read. The values sit under mSettingsMutex, so
    // that a setter writing again while a block reads them is no data race.
    std::mutex mSettingsMutex;
    PitchFinder::DataParams mPendingDataParams;
    PitchFinder::ProcessingParams mPendingProcessingParams;
    PipeTuning mPendingTuning;
    TranscriptionSession::Settings mSessionSettings;
    std::vector<ClickSuppressor::Sound> mClickSounds;
    std::atomic<bool> mTranscriptionEnabled{false};
    std::atomic<bool> mResetPending{true};
    std::atomic<bool> mTuningPending{false};
    std::atomic<bool> mDataParamsPending{false};
    std::atomic<bool> mProcessingParamsPending{false};
    std::atomic<bool> mSessionSettingsPending{false};
    std::atomic<bool> mClickSoundsPending{false};
    std::atomic<bool> mPlaybackActive{false};
    std::atomic<bool> mTranscriptionDisabled{false};
    std::atomic<bool> mEstimateLowA{false};
    // Whole-recording jobs asked for and cancelled, counted from 1.
    std::atomic<int> mRequestedJobs{0};
    std::atomic<int> mCancelledJobs{0};
    // Per recording: the bytes handed to the session (the recording itself
    // is the session's), a byte of a sample split between two blocks, and
    // whether the estimated Low A was signalled.
    int mBytesTranscribed = 0;
    QByteArray mSplitSample;
    bool mLowAReported = false;
    // The click sounds as the session has them, made for this rate.
    float mClickSoundsRate_Hz = 0.0f;
    // Clicks fetched, not yet told to the session.
    std::vector<AudioRecorder::ClickMark> mNewClicks;
    QByteArray mLiveData;
    // Takes the drones out of the live pitch (calibration, the note shown)
    // as the session does for a recording.
    ChanterFilter mLiveFilter;
    std::mutex mRecorderMutex; // guards the four below; taken before the recorder's lock
    AudioRecorder* mRecorder = nullptr;
    qint64 mHistoricBytesProcessed = 0;
    qint64 mLiveBytesProcessed = 0;
    std::size_t mClicksFetched = 0;
};
