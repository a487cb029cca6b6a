#pragma once

// What turns a transcription into a score: tempo, time signature, time
// shift, rounding, layout and the tune details, with the application's
// defaults.

#include "MetreEstimator.h"
#include "PipeTuneModel.h"
#include "PipeTuning.h"
#include "ProjectContents.h"
#include "RecordingTranscriber.h"

#include <optional>
#include <string>

struct ScoreOptions {
    float bpm = 72.0f;
    int timeSigNumerator = 4;
    int timeSigDenominator = 4;
    float timeShift_s = 0.0f;
    bool rounding = false;
    int barsPerRow = 4;
    std::string tuneName = "Your Tune";
    std::string tuneType = "March";
    std::string composer = "Your Name";
    // Beats followed through the recording: the notes are laid on a steady
    // grid at bpm, beat for beat, before they are quantised.
    std::optional<MetreEstimate> followedBeats;
};


// A project's own tune details, tempo, time signature and time shift; the
// layout options at their defaults.
ScoreOptions scoreOptionsOf(const ProjectContents& project);
// The project with the options' tune details, tempo, time signature and
// time shift.
void applyScoreOptions(const ScoreOptions& options, ProjectContents& project);

// "4/4", "3/4", "2/4", "2/2" or "6/8".
bool parseTimeSignature(const std::string& text, int& numerator, int& denominator);

// The score's beats a bar: two in 6/8, else the numerator.
int beatsPerBar(const ScoreOptions& options);

// What the score is written with, for people: "tempo 90 bpm (heard 71-73),
// 6/8, pick-up 1 quaver". The tempo and time signature are the options'; the
// range is the tracked one when the beat is followed, else the one heard;
// the pick-up is what the first note of melody leaves of the first bar.
std::string describeScore(const MetreEstimate& heard, const ScoreOptions& options, const NoteMap& melody);

// How many melody notes the time shift moves wholly before the start of the
// score, where the quantizer leaves them out.
std::size_t melodyNotesBeforeTheScore(const NoteMap& melody, const ScoreOptions& options);

// The transcription quantised into a score with the options.
PipeTuneModel quantizeScore(const TranscriptionResult& result, const ScoreOptions& options);

// The transcription quantised and written as BWW text.
std::string toBww(const TranscriptionResult& result, const ScoreOptions& options);
