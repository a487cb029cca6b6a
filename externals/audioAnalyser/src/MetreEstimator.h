#pragma once

// Finds the tempo, the metre and the pick-up of a transcription played
// without (or off) a click, from its melody onsets: on the beats that
// BeatTracker follows through the tune (a tempo curve, not one number), the
// metre family from where the onsets fall inside the beat (halves and
// quarters, or thirds), cut time from pointed halves, three beats a bar from
// a rhythm and a melody that repeat in threes, two or four from where the
// melody comes back (four-bar phrases), the bar from the accents of the
// beats, and the first bar line. warpToBeats then lays the notes on a steady grid, beat
// for beat, so that the quantizer writes the bars the player meant.
// Plain functions over values; any thread.

#include "PipeNote.h"

#include <string>
#include <vector>

struct MetreEstimate {
    bool valid = false;
    float bpm = 0.0f;     // of the score's beat (crotchet, minim or dotted crotchet)
    float bpmLow = 0.0f;  // the tracked tempo's range, 10th to 90th percentile
    float bpmHigh = 0.0f;
    int numerator = 4;
    int denominator = 4;
    // Beats played before the first bar line (0: none), in beats.
    float pickUp_beats = 0.0f;
    // The tracked beat times, seconds, in order.
    std::vector<float> beats_s;
    // Index in beats_s of the first bar line.
    int firstBarBeat = 0;
};

// Not valid for fewer than eight melody notes, or for notes not all within
// the first hour (times that are no numbers, negative or later).
MetreEstimate estimateMetre(const NoteMap& melody, const NoteMap& gracenotes);

// What was found, for people: "tempo 76 bpm (72-79), 2/4, pick-up 1 quaver".
std::string describeMetre(const MetreEstimate& metre);

// Where time_s falls on the steady grid: beat k of estimate at k x beat_s
// (beat_s: the estimate's nominal beat); before the first and after the
// last tracked beat at the nominal pace.
float warpedTime_s(const MetreEstimate& estimate, float time_s);

// The notes with their times moved so that beat k of estimate falls at
// k x beat_s (beat_s: the estimate's nominal beat); before the first and
// after the last tracked beat at the nominal pace.
void warpToBeats(const MetreEstimate& estimate, const NoteMap& melody, const NoteMap& gracenotes,
                 NoteMap& warpedMelody, NoteMap& warpedGracenotes);

// The time shift that puts the first bar line one bar from the start (the
// pick-up then ends the first, short bar) or, with no pick-up, at 0; of the
// warped notes, or of the notes as played.
float barTimeShift_s(const MetreEstimate& estimate, bool warped);
// The same for a score of its own tempo (of the score's beat) and beats a
// bar, given instead of the estimate's: the first bar line falls on one of
// the score's bar lines, after as few of its bars as hold the pick-up.
float barTimeShift_s(const MetreEstimate& estimate, bool warped, float scoreBpm, int scoreBeatsPerBar);
