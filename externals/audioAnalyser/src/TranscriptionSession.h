#pragma once

// One recording transcribed as it grows: the progressive engine
// (ProgressiveVantor), the closer look at its results (SecondLook), the
// recording's samples and the rule for the chanter's Low A, in one object
// that the processing thread and the command line drive alike.
//
// Input is 16-bit mono PCM at Settings::samplingFrequency_Hz, handed over in
// blocks of any size; the session keeps every sample of the recording and
// feeds them to the engine in pieces of Settings::pieceSamples, counted from
// the first sample, so that the result does not depend on how the blocks
// were cut. Silence gives empty maps.
//
// The Low A the transcription starts from (the reference) is one of:
//   - given: a calibration or a Low A (setReference);
//   - estimated from each recording's first seconds (setEstimateLowA): the
//     engine waits until kLowAWait_s are recorded and estimates from the
//     newest kLowAEstimate_s, tries again a second later while no chanter is
//     heard, and takes what it has when the recording finishes;
//   - estimated from a whole recording at hand before it is fed
//     (estimateReference).
// The reference, kept for the next recordings until replaced, seeds the
// engine's running tuning estimate, which then follows the chanter and
// carries over from one recording to the next.
//
// Runs on the caller's thread (the processing thread or the command line).

#include "ChanterFilter.h"
#include "ClickSuppressor.h"
#include "DroneSet.h"
#include "HistoricPipeTuning.h"
#include "PipeNote.h"
#include "PipeTuning.h"
#include "ProgressiveVantor.h"
#include "SecondLook.h"

#include <cstddef>
#include <vector>

class TranscriptionSession
{
public:
    // The engine's parameters; the defaults are what the engine assumes when
    // none is set.
    struct Settings {
        float samplingFrequency_Hz = 44100.0f;
        float filterCorner_Hz = 0.0f; // 0: no input filter
        float snacPeakThreshold = 0.9f;
        float minimumSnacPeak = 0.3f;
        float minimumVolume_normalized = 0.3f;
        // Audio between re-runs; never less than kMinimumInterval_s.
        float transcriptionInterval_s = kMinimumInterval_s;
        // Samples handed to the engine at a time: the pitch window, as the
        // recorder delivers it.
        std::size_t pieceSamples = 2048;
        // The second look over every result; taken at the next reset.
        bool secondLook = true;
        // Whether drones and a room's reverberation are found and taken out
        // of what the engine hears; off: the engine hears the recording as
        // it is. Taken at the next reset.
        bool findDrones = true;
        // Threads for the work on a whole recording at once (the Low A from
        // all of it, the second look, a long piece's pitch track); 0: all
        // cores. The results are the same whatever the count; live, one.
        unsigned int jobs = 1;
    };

    struct Result {
        NoteMap melody;  // with the second look applied when it is on
        NoteMap gracing;
        PipeTuning tuning;    // the engine's running tuning
        PipeTuning reference; // the tuning the transcription started from
        DroneSet drones;      // the drones heard, as last followed
        float analysed_s = 0.0f;
    };

    // Re-runs more often than this cost more than they show.
    static constexpr float kMinimumInterval_s = 0.05f;
    // Audio recorded before the Low A is estimated, and the newest audio it
    // is estimated from.
    static constexpr float kLowAWait_s = 3.0f;
    static constexpr float kLowAEstimate_s = 6.0f;
    // What is assumed when a whole recording holds no chanter.
    static constexpr float kDefaultLowA_Hz = 440.0f;

    TranscriptionSession() = default;
    virtual ~TranscriptionSession() = default;
    TranscriptionSession(const TranscriptionSession&) = delete;
    TranscriptionSession& operator=(const TranscriptionSession&) = delete;

    // Applies what differs from the settings in force: at once, except the
    // second look, which is taken at the next reset. A new sampling rate
    // resets the engine and its running estimate, which counts windows at
    // the rate.
    void setSettings(const Settings& settings);
    const Settings& settings() const { return mSettings; }

    // A new recording: forgets the samples and results, keeps the reference
    // and the running tuning estimate, and sets the interval again (the
    // engine's reset restores its default).
    void reset();

    // The reference from a calibration or a given Low A; it seeds the
    // running estimate at once.
    void setReference(const PipeTuning& reference);
    // Whether each recording's Low A is estimated from its first seconds.
    void setEstimateLowA(bool estimate) { mEstimateLowA = estimate; }
    // For a whole recording at hand, before it is fed: its reference
    // (wholeRecordingReference) seeds the running estimate, and the
    // recording does not wait for its first seconds.
    void estimateReference(const short* samples, std::size_t count);
    // The standard tuning at the Low A estimated from all of samples, or at
    // kDefaultLowA_Hz when no chanter is heard.
    static PipeTuning wholeRecordingReference(const short* samples, std::size_t count, float samplingFrequency_Hz,
                                              unsigned int jobs = 1);

    // Appends count samples to the recording and feeds the engine the whole
    // pieces it may take; true when the result changed. An exception from the
    // engine leaves the last good result and the samples not yet taken,
    // which the next call feeds.
    bool feed(const short* samples, std::size_t count);
    // The metronome's clicks heard in the recording: told their sounds and,
    // as each is played, where the recording stood, it takes them out of the
    // samples before anything else reads them (see ClickSuppressor). Never
    // told a click, it leaves the samples as they are. A reset forgets the
    // clicks, not the sounds.
    ClickSuppressor& clickSuppressor() { return mClickSuppressor; }
    // The end of the recording: the Low A's last chance, the rest fed, and
    // one forced re-run so that the result covers every sample; true when
    // the result changed.
    bool finish();

    // The last good result; the second look runs here, once per change.
    const Result& result();
    // The Low A estimated for this recording, 0 while none is (from a whole
    // recording: its reference's, kDefaultLowA_Hz when no chanter is heard).
    float estimatedLowA_Hz() const { return mEstimatedLowA_Hz; }
    // Whether the engine still waits for the Low A.
    bool waitingForLowA() const { return mEstimateLowA && !mLowAKnown; }
    // Seconds recorded so far.
    float recorded_s() const;
    // For a level meter, 0 at -120 dB or below to 1 at full scale: the
    // engine's last windows, or the last block while the engine waits.
    float level_normalized() const;

protected:
    // What the engine hears: the recording as recorded, or cleaned of its
    // drones once they are found.
    const std::vector<short>& heard() const { return mFilterOn && mFilter.cleaning() ? mCleaned : mSamples; }

    // Hands samples to the engine, or forces a re-run; true when it re-ran.
    // A test overrides it to make the engine fail.
    virtual bool advanceEngine(const short* samples, unsigned int count, bool forceRerun);

private:
    // feed, after the clicks are taken out.
    bool feedHeard(const short* samples, std::size_t count);
    // Whether the Low A is known for this recording, estimating it when due
    // (or at once when lastChance).
    bool lowAReady(bool lastChance);
    // Feeds what the engine has not taken, then re-runs when forced.
    bool advance(bool forceRerun);
    void applyInterval();
    // Passes the samples to the filter; when it has just found drones, the
    // engine starts the recording again on the cleaned samples.
    void filterInput(const short* samples, std::size_t count, bool last);
    static float levelOf(const short* samples, std::size_t count);

    ClickSuppressor mClickSuppressor;
    ProgressiveVantor mEngine;
    SecondLook mSecondLook;
    Settings mSettings;
    bool mSecondLookActive = true;
    PipeTuning mReference;
    bool mReferenceGiven = false;
    bool mEstimateLowA = false;
    // Per recording.
    HistoricPipeTuning mHistoricAtStart;
    bool mFilterOn = false;
    ChanterFilter mFilter;
    std::vector<short> mCleaned;
    std::vector<short> mSamples;
    std::size_t mFed = 0;
    bool mLowAKnown = false;
    float mNextEstimateAt_s = kLowAWait_s;
    float mEstimatedLowA_Hz = 0.0f;
    float mBlockLevel_normalized = 0.0f;
    Result mResult;
    bool mResultStale = false;
};
