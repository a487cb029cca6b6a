#pragma once

// The transcription engine. It turns a recording of a chanter (16-bit signed
// mono PCM) into two time-ordered note maps, the melody notes and the
// gracenotes, through a fixed pipeline of stages over per-window tracks:
// windows of 1024 samples every mStepSize samples (20 at 44100 Hz, 2205
// windows a second) give pitch, picked pitch, SNAC quality and volume tracks,
// which become per-window note tracks under the tuning in force, from which
// melody notes and gracenotes are cut.
//
// One-shot use: reset(), then transcribe(data, count). Incremental use:
// calculateFrequencies for each block, then calculateNotes() and transcribe()
// whenever results are wanted (see ProgressiveVantor). Silent input gives
// empty maps. One instance per thread; not copyable.

#include "IIRFilterFirstOrder.h"
#include "PipeNote.h"
#include "PipeNotePattern.h"
#include "PipeSnacPeakPicker.h"
#include "PipeTuning.h"
#include "PitchFinder.h"
#include "VantorUtils.h"
#include "utils.h"

#include <functional>
#include <limits>
#include <string>
#include <vector>

class Vantor
{
public:
    static constexpr unsigned int kWindowSize = 1024;
    // The first windows after a reset are never gated for volume.
    static constexpr int kUngatedWindows = 10;
    // Melody notes hold for at least this long (the single-precision value
    // just above 0.15 s). They have no longest length: a piper may hold a
    // note for as long as the recording lasts.
    static constexpr float kMinimumMelodyNote_s = 0.1500001f;
    static constexpr float kMaximumMelodyNote_s = std::numeric_limits<float>::infinity();

    // How findConfirmedTroughs looks for a dip: how deep the pitch must fall
    // (Hz) and how far it may wander, the half-width of a dip (s), and the
    // same for the quality track.
    struct TroughSearch {
        float minPitchDepth_Hz;
        float pitchTolerance_Hz;
        float pitchHalfWidth_s;
        float minQualityDepth;
        float qualityTolerance;
        float qualityHalfWidth_s;
    };

    Vantor();
    virtual ~Vantor() = default;
    Vantor(const Vantor&) = delete;
    Vantor& operator=(const Vantor&) = delete;

    // Parameters.
    // At least 8000 Hz; the step becomes round(fs / 2205).
    void setSamplingFrequency_Hz(float samplingFrequency_Hz);
    // 0 switches the input low-pass off.
    void setFilterCornerFrequency_Hz(float cornerFrequency_Hz);
    void setMinimumVolume_normalized(float volume_normalized) { mMinimumVolume_normalized = volume_normalized; }
    void setSnacPeakThreshold(float threshold) { mSnacPeakThreshold = threshold; }
    void setMinimumSnacPeak(float minimumPeak) { mMinimumSnacPeak = minimumPeak; }
    // Threads a block's pitch track may use (1: this one only; 0: all
    // cores). The tracks are the same whatever the count.
    void setJobs(unsigned int jobs) { mJobs = jobs == 0 ? utils::availableCores() : jobs; }
    // The Low A from which the next one-shot transcription estimates the
    // tuning.
    virtual void setLowA_Hz(float lowA_Hz);
    // A tuning to use as it is.
    void setTuning(const PipeTuning& tuning);

    float samplingFrequency_Hz() const { return mSamplingFrequency_Hz; }
    int stepSize() const { return mStepSize; }
    float secondsPerStep() const;
    PipeTuning tuning() const { return mTuning; }
    const NoteMap& notes() const { return mNotes; }
    const NoteMap& graceNotes() const { return mGraceNotes; }

    // Empties all maps and tracks and the filter's memory; the tuning and the
    // parameters stay, the Low A guess returns to 440 Hz.
    virtual void reset();

    // One-shot transcription of a whole recording (after a reset). Always
    // returns true.
    bool transcribe(const short* data, unsigned int count);
    void calculateTuning(const short* data, unsigned int count);
    // Appends one window per whole step of the block to the tracks and
    // returns the samples consumed (windows x step, never more than count):
    // the caller passes the rest again with the next block. Fewer than 1024
    // samples: returns 0.
    unsigned int calculateFrequencies(const short* data, unsigned int count);
    // Rebuilds the note tracks from the whole pitch tracks.
    void calculateNotes();
    // Runs the stage pipeline over the current tracks.
    void transcribe();

protected:
    // Tolerances shared by several stages (each stage file holds its own).
    // Pattern items without a range of their own last under 0.2 s, each note
    // starts within 0.15 s of the previous one's end, and a match may come
    // within 5 ms of a note already taken.
    static constexpr float kPatternMaxItem_s = 0.2f;
    static constexpr float kPatternJoin_s = 0.15f;
    static constexpr float kPatternOverlap_s = 0.005f;
    // How near a pattern note a gracenote entry must start to be the same one.
    static constexpr float kGraceLookup_s = 0.02f;
    // Gracenotes last less than 0.15 s; from 80 ms on they count as long (a
    // short melody note read as a gracenote, or a slow strike).
    static constexpr float kGracenoteMax_s = 0.15f;
    static constexpr float kLongGracenote_s = 0.08f;
    // The consolidated map spans [0, 3600) s, and melody is taken from gaps
    // between gracenotes wider than 20 ms.
    static constexpr float kConsolidatedEnd_s = 3600.0f;
    static constexpr float kConsolidationGap_s = 0.02f;
    // Pitch and quality tracks are smoothed in 3 ms steps when looking for
    // dips inside a held note.
    static constexpr float kTroughSmoothing_s = 0.003f;

    void getMelodyNotes();

    // Stages of the pipeline, in the order transcribe() runs them.
    void getGraceNotes();
    void initialGraceNoteStrip();
    void advancedGraceNoteSearch();
    NoteMap consolidate();
    void stripCrossingNoises();
    void getGdes();
    void getDoublings();
    void extractThrd();
    void getSingleGracenotes();
    void reformMelodyAndGracing();
    void stripUnlikelyGracenotes();
    void extractShortMelodyNotes();
    void applyBusinessLogic();
    void extractHighADoubling();
    void extractBirls();
    void extractStrikes();
    void dealWithMelodyGaps();
    void dealWithContigousGracing();
    void finalGraceNoteCheck();

    // The pattern matcher over the consolidated map, against the melody, the
    // embellishments already taken and the GDE ranges.
    std::vector<PipeNotePattern::Match> detectPattern(const PipeNotePattern& pattern, bool limitFirstItemOnly) const;
    // Turns matches into mProcessedNotes entries and removes them from the
    // consolidated map.
    void myApplyPatternMatches(PipeNoteName name, const std::vector<PipeNotePattern::Match>& matches,
                               int melodyNoteIndex, bool keepLastNote);

    // Refinement helpers shared by the stages.
    // Widens range outward across neighbouring windows whose quality is below
    // threshold, up to the nearest good window on each side.
    TimeRange stretchNoteByQuality(TimeRange range, float threshold) const;
    // stretchNoteByQuality for each note, keeping a note's timing when the
    // stretched note would last maxDuration_s or more.
    NoteMap stretchNotesByQuality(const NoteMap& notes, float threshold, float maxDuration_s) const;
    // Offsets from range.first of the pitch dips inside a held note that a
    // quality dip confirms within 40 ms.
    std::vector<float> findConfirmedTroughs(TimeRange range, float centre_Hz, const TroughSearch& search) const;
    // Removes short gracenotes whose move to or from the neighbouring melody
    // note cannot be fingered.
    void stripImpossibleGracenoteTransitions();
    // Merges a gracenote and an adjacent very short detection of second into
    // one gracenote named grace, in either order; before and after (or
    // Unknown) are the notes around them in notes.
    void removeTransitionGraceNotes(const NoteMap& notes, PipeNoteName before, PipeNoteName grace,
                                    PipeNoteName second, PipeNoteName after, TimeRange secondRange);

    // The gracenote entry starting within 20 ms of note, preferring one of
    // note's name; null when there is none.
    const PipeNote* findGraceEntry(const PipeNote& note) const;

    // Window index of a time and time of a window index.
    int windowIndex(float time_s) const;
    float windowTime(int index) const;

    // Whether the note starts (plus 20 ms) inside a GDE recorded by getGdes.
    bool overlapsGde(const PipeNote& note) const;
    // Rebuilds mNotes and mGraceNotes from their merged time-ordered
    // sequence: rule may rename the current note and change the ones after
    // it in the sequence. Fewer than three notes are left alone.
    void rebuildWalk(const std::function<void(std::vector<PipeNote>&, std::size_t, PipeNote&)>& rule);

    // Debug hook called after the stages; it writes nothing.
    void myOutputNotes(std::string label, const NoteMap& notes);

    void initialiseInputFilter();
    void clearResults();

    float mLowA_Hz = 440.0f;
    PipeTuning mTuning;
    float mSamplingFrequency_Hz = 44100.0f;
    float mMinimumVolume_normalized = 0.3f;
    int mStepSize = 20;
    NoteMap mNotes;
    NoteMap mGraceNotes;
    NoteMap mProcessedNotes;
    NoteMap mConsolidatedNotes;
    std::vector<TimeRange> mGdeRanges;
    bool mTuningSet = false;
    void configurePitchFinder(PitchFinder& finder, PipeSnacPeakPicker& picker) const;
    // Windows first..last of the block into the tracks from index base on.
    void analyseWindows(PitchFinder& finder, const short* data, const float* filtered, std::size_t base,
                        std::size_t first, std::size_t last);

    unsigned int mJobs = 1;
    PitchFinder mPitchFinder;
    // Bound into mPitchFinder's peak-picker callable; both live as long as
    // the engine.
    PipeSnacPeakPicker mSnacPeakPicker;
    IIRFilterFirstOrder mInputFilter;
    float mFilterCornerFrequency_Hz = 0.0f;
    float mSnacPeakThreshold = 0.9f;
    float mMinimumSnacPeak = 0.3f;
    std::vector<PipeTuning::ReferenceNote> mNoteTrack;
    std::vector<PipeTuning::ReferenceNote> mFlatNoteTrack;
    std::vector<PipeTuning::ReferenceNote> mPickedNoteTrack;
    std::vector<float> mFrequencies;
    std::vector<float> mPickedFrequencies;
    std::vector<float> mQualities;
    std::vector<float> mVolumes;
};
