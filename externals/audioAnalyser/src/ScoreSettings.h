#pragma once

// What turns a transcription into a score, and the one road from the note
// maps to it: tempo (of the score's beat: crotchet, minim or dotted crotchet,
// bpm), time signature, time shift (s), rounding, bars per row, the tune
// details, and the beats followed through the recording when the score
// follows the played beat; with the application's defaults. The application
// and vantor-transcribe fill one from their settings and call the functions
// below, so both write the same score. Plain values and functions; any
// thread.

#include "MetreEstimator.h"
#include "PipeNote.h"
#include "PipeTuneModel.h"

#include <cstddef>
#include <optional>
#include <string>

struct ScoreSettings {
    int timeSigNumerator = 4;
    int timeSigDenominator = 4;
    float bpm = 72.0f;
    float timeShift_s = 0.0f;
    bool rounding = false;
    int barsPerRow = 4;
    std::string tuneName = "Your Tune";
    std::string tuneType = "March";
    std::string composer = "Your Name";
    // Beats followed through the recording: the notes are laid on a steady
    // grid, beat for beat, before they are quantised.
    std::optional<MetreEstimate> followedBeats;
};

// Which of the score's tempo, time signature and time shift are found from
// the playing rather than given.
struct AutomaticMetre {
    bool bpm = true;
    bool signature = true;
    bool shift = true;
};

// The beats a bar of the score's beat: two in 6/8 (dotted crotchets), else
// the numerator.
int beatsPerBar(int numerator, int denominator);
int beatsPerBar(const ScoreSettings& settings);

// "4/4", "3/4", "2/4", "2/2" or "6/8" into its parts; false (and the parts
// untouched) for any other text.
bool parseTimeSignature(const std::string& text, int& numerator, int& denominator);

// The notes, warped to the followed beats when there are any, quantised into
// the score.
PipeTuneModel scoreModel(const NoteMap& melody, const NoteMap& gracing, const ScoreSettings& settings);

// The score as BWW text with the tune details.
std::string scoreBww(const NoteMap& melody, const NoteMap& gracing, const ScoreSettings& settings);
// A score (corrected, say) as BWW text with the settings' tune details.
std::string scoreBww(const PipeTuneModel& score, const ScoreSettings& settings);
// A score as MusicXML text with the settings' tune details.
std::string scoreMusicXml(const PipeTuneModel& score, const ScoreSettings& settings);

// Finds the metre of the playing and writes what is automatic into settings:
// the signature, the tempo (kept within the tempo bounds, and the followed
// beats with it) and the time shift that puts the first bar line on one of
// the score's. Nothing is changed, and the estimate comes back not valid,
// for too few notes; nothing is estimated when nothing is automatic.
MetreEstimate followPlayedMetre(const NoteMap& melody, const NoteMap& gracing, const AutomaticMetre& automatic,
                                ScoreSettings& settings);

// What the score is written with, for people: "tempo 90 bpm (heard 71-73),
// 6/8, pick-up 1 quaver". The tempo and time signature are the settings';
// the range is the tracked one when the beat is followed, else the one
// heard; the pick-up is what the first note of melody leaves of the first
// bar.
std::string describeScore(const MetreEstimate& heard, const ScoreSettings& settings, const NoteMap& melody);

// How many melody notes the time shift moves wholly before the start of the
// score, where the quantizer leaves them out.
std::size_t melodyNotesBeforeTheScore(const NoteMap& melody, const ScoreSettings& settings);
