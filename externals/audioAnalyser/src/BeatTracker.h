#pragma once

// Follows the beat of a transcription played without (or off) a click, from
// its melody onsets: the beat period that best gathers the onsets (long
// notes weigh most, a prior favours the tempi of pipe music), refined by how
// the onsets resemble themselves a beat or two later, then beats followed
// through an onset envelope by dynamic programming (each beat an onset peak
// about a period after the one before: D. P. W. Ellis, "Beat Tracking by
// Dynamic Programming", Journal of New Music Research 36(1), 2007), moved
// half a beat when embellishments and long notes fall between them, and
// smoothed along the player's drift. MetreEstimator builds the metre and the
// bar lines on these beats. Empty input gives empty beats. Plain functions
// over values; any thread.

#include "PipeNote.h"

#include <cstddef>
#include <optional>
#include <vector>

namespace beatTracking {

// The beat a piper's tunes most often have (about 77 BPM).
inline constexpr float kTypicalBeat_s = 0.78f;
// A gracing ending this close before its melody note leads into it: the
// note's beat is where the gracing starts.
inline constexpr float kLeadIn_s = 0.04f;
// Where in the beat an onset counts as on a half or quarter (simple time)
// or a third (compound time), in beats.
inline constexpr float kSubdivisionTolerance = 0.06f;

// One melody note as the tracker hears it: where its beat starts (the
// gracing leading into it included), how much it weighs, how long it lasts.
struct Onset {
    float time_s;
    float weight;
    float duration_s;
    bool embellished; // led into by an embellishment of several gracenotes
    bool graced;      // led into by any gracing
};

std::vector<Onset> onsetsOf(const NoteMap& melody, const NoteMap& gracenotes);

// The mean beat period of the onsets, seconds.
float beatPeriod_s(const std::vector<Onset>& onsets);

// The beats of period_s followed through the onsets up to end_s, seconds,
// in order; empty when no onset sounds.
std::vector<float> followBeats(const std::vector<Onset>& onsets, float period_s, float end_s);

// Where time_s falls in its beat: the tracked beat before time_s + lead_s
// and the phase of time_s from it (0 on that beat, 1 on the next). None
// before the first beat or from the last on.
struct BeatPhase {
    std::size_t beat;
    float phase;
};
std::optional<BeatPhase> beatPhase(const std::vector<float>& beats, float time_s, float lead_s);

} // namespace beatTracking
