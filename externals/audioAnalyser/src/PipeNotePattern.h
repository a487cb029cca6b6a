#pragma once

// A sequence of notes to look for in a time-ordered note map: embellishments
// (a doubling is a High G gracenote, a gracenote on the melody note and the
// melody note again), crossing noises and transition artefacts are described
// as ordered items, each a set of accepted names with an optional duration
// range, plus timing tolerances. detect() finds every occurrence; the free
// functions turn occurrences into one note each and remove the matched notes.
// Times in seconds (32-bit floats, compared in single precision); intervals
// are half-open. Empty maps give no matches. Used on the transcription thread.

#include "PipeNote.h"
#include "VantorUtils.h"

#include <set>
#include <utility>
#include <vector>

class PipeNotePattern
{
public:
    class Item
    {
    public:
        Item(PipeNoteName name, std::pair<float, float> durationRange_s = {0.0f, 0.0f});
        Item(std::set<PipeNoteName> names, std::pair<float, float> durationRange_s = {0.0f, 0.0f});
        virtual ~Item() = default;

        // (0, 0) means no range of its own.
        bool hasDurationRange() const { return durationRange_s.second - durationRange_s.first > 0.0f; }

        std::set<PipeNoteName> notes;
        std::pair<float, float> durationRange_s;
    };

    class Match
    {
    public:
        virtual ~Match() = default;
        // (start of the first note, start of the last note); (-1, -1) if empty.
        TimeRange getRange() const;

        NoteMap notes;
    };

    PipeNotePattern(float maxItemDuration_s, float joinTolerance_s, float overlapTolerance_s);
    virtual ~PipeNotePattern() = default;

    // Removes the items and clears both flags; the tolerances stay.
    void clear();

    // Every occurrence in searched, in order, sharing no notes. Items without
    // a range must be shorter than maxItemDuration_s: only the first item with
    // limitFirstItemOnly, every item but the last without it. An occurrence is
    // refused when it overlaps a taken note, starts (plus 20 ms) inside an
    // excluded range, or breaks the flags.
    std::vector<Match> detect(const NoteMap& searched, const NoteMap& melody, const NoteMap& taken,
                              const std::vector<TimeRange>& excluded, bool limitFirstItemOnly) const;

    std::vector<Item> items;
    // Only after a melody note that ends where the match begins.
    bool mustFollowMelodyNote = false;
    // Only when the last note lasts at most 2 x maxItemDuration_s.
    bool shortLastNote = false;
    float maxItemDuration_s;
    float joinTolerance_s;
    float overlapTolerance_s;
};

// One note named name per match into destination (from the first matched
// note's start to the last one's start), the matched notes out of source
// (all but the last with keepLastNote). A non-zero melodyNoteIndex k records
// where the melody note begins: at the k-th matched note, or at the end of the
// last one when k is past it.
void applyPatternMatches(PipeNoteName name, const std::vector<PipeNotePattern::Match>& matches, NoteMap& destination,
                         NoteMap& source, int melodyNoteIndex, bool keepLastNote);
// Removes from map, for each matched note, the first entry at its start with
// its name and duration.
void removePatternMatch(const PipeNotePattern::Match& match, NoteMap& map);
// Whether the match's first start plus 20 ms lies in one of the ranges.
bool patternMatchOverlapsRange(const PipeNotePattern::Match& match, const std::vector<TimeRange>& ranges);
