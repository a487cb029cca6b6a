#pragma once

// How one chanter is tuned: its Low A in Hz and the ratio of each of its nine
// melody notes to Low A, either the standard just ratios or ratios measured
// from a calibration. classifies a frequency as a drone, a chanter note or
// nothing, with the note's centre frequency and the deviation in cents.
// A Low A of 0 means "not set" and is read as 440 Hz. Small value type,
// copied freely between threads.

#include "PipeNote.h"

#include <map>
#include <ostream>
#include <string>
#include <vector>

class PipeTuning
{
public:
    enum ReferenceNote : int {
        Unknown = 0,
        Bass = 1,
        Tenor = 2,
        LowG = 3,
        LowA = 4,
        B = 5,
        C = 6,
        D = 7,
        E = 8,
        F = 9,
        HighG = 10,
        HighA = 11
    };

    enum TuningScheme : int {
        Standard = 0,
        Calibrated = 3
    };

    static constexpr int kMelodyNoteCount = 9;

    PipeTuning();
    virtual ~PipeTuning() = default;
    PipeTuning(const PipeTuning&) = default;
    PipeTuning& operator=(const PipeTuning&) = default;

    float lowA_Hz() const { return mLowA_Hz; }
    // Leaves the ratios as they are.
    void setLowA_Hz(float lowA_Hz) { mLowA_Hz = lowA_Hz; }

    TuningScheme tuningScheme() const { return mTuningScheme; }
    const std::vector<double>& noteRatios() const { return mNoteRatios; }

    // Standard: the just ratios, Low A unchanged. Calibrated: Low A from the
    // map's non-zero LowA entry, and each other non-zero melody note entry
    // becomes that note's ratio to Low A; missing notes keep standard ratios.
    void setTuningScheme(TuningScheme scheme, std::map<ReferenceNote, float> referenceFrequencies_Hz);

    // Classifies frequency_Hz; centre_Hz and cents receive the note's centre
    // and the deviation from it (positive = sharp), both 0 for Unknown.
    ReferenceNote calculate(float frequency_Hz, float& centre_Hz, float& cents);
    // The note calculate finds, without its centre and cents.
    ReferenceNote note(float frequency_Hz) const;

    // Centre of one of the nine melody reference notes; 0 for other notes.
    float getReferenceNoteCentreFrequency_Hz(ReferenceNote note) const;
    std::map<ReferenceNote, float> getNoteCentreFrequencies() const;

    // LowG..HighA <-> 0..8; -1 and Unknown otherwise.
    static int referenceNoteToNoteIndex(ReferenceNote note);
    static ReferenceNote noteIndexToReferenceNote(int index);

    bool operator==(const PipeTuning& other) const;
    bool operator!=(const PipeTuning& other) const { return !(*this == other); }

    static const std::vector<double>& standardRatios();

private:
    float effectiveLowA_Hz() const;

    TuningScheme mTuningScheme = Standard;
    std::vector<double> mNoteRatios;
    float mLowA_Hz = 440.0f;
};

int meoldyNoteToOrdinal(PipeTuning::ReferenceNote note);
PipeTuning::ReferenceNote ordinalToReferenceMelodyNote(int ordinal);
PipeNoteName referenceNoteToNoteName(PipeTuning::ReferenceNote note);
PipeTuning::ReferenceNote noteNameToReferenceNote(PipeNoteName name);

std::string toString(PipeTuning::ReferenceNote note);
std::ostream& operator<<(std::ostream& stream, PipeTuning::ReferenceNote note);
// "Low G: 480.000000 Low A: Not present ..." over the nine melody notes.
std::string toString(const std::map<PipeTuning::ReferenceNote, float>& frequencies_Hz);
std::ostream& operator<<(std::ostream& stream, const PipeTuning& tuning);
