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

// The transcription quantised into a score with the options.
PipeTuneModel quantizeScore(const TranscriptionResult& result, const ScoreOptions& options);

// The transcription quantised and written as BWW text.
std::string toBww(const TranscriptionResult& result, const ScoreOptions& options);
