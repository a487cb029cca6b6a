#pragma once

// Free helpers of the transcription: operations on note maps (selection,
// trimming, combining, cutting notes out of a per-window note track, merging
// and splitting the melody and gracenote maps), on per-window sample tracks
// (smoothing, trough detection), the one-pass estimate of a whole
// recording's tuning and the pitch finder's chanter configuration.
// Operations that return a map build a new one; notes keep all their fields
// and are keyed by their start, after notes with an equal key. Empty input
// gives empty output; track indexes outside a track throw std::out_of_range.
// Stateless and reentrant.

#include "PipeNote.h"
#include "PipeTuning.h"
#include "PitchFinder.h"

#include <set>
#include <string>
#include <utility>
#include <vector>

class PipeSnacPeakPicker;

// Start and end in seconds.
using TimeRange = std::pair<float, float>;

// Inserts note under its start, after notes with an equal key.
void insertByStart(NoteMap& notes, const PipeNote& note);

// Selection: new maps of the notes for which the condition holds.
NoteMap filterByNote(PipeNoteName name, const NoteMap& notes);
// minDuration_s <= duration < maxDuration_s.
NoteMap filterByDuration(const NoteMap& notes, float minDuration_s, float maxDuration_s);
// start < range end + tolerance and end > range start - tolerance.
NoteMap notesOverlappingRange(const NoteMap& notes, TimeRange range, float tolerance_s);
// time - tolerance <= end < time + tolerance.
NoteMap notesEndingAt(const NoteMap& notes, float time_s, float tolerance_s);
// time - tolerance <= key < time + tolerance.
NoteMap notesStartingAt(const NoteMap& notes, float time_s, float tolerance_s);

// Clips every note to range; notes left without duration are dropped.
NoteMap constrainNotes(const NoteMap& notes, TimeRange range);
// Shortens, splits or drops the notes of notes so that none overlaps a note
// of existing.
void trimUsingExisting(const NoteMap& existing, NoteMap& notes);
// Merges neighbours less than gap_s apart (names ignored, the first one's
// kept) until nothing changes.
void simpleCombineNotes(NoteMap& notes, float gap_s);
// Absorbs neighbours of target notes into them: names in always whenever
// they touch (closer than gap_s), names in ifShort only when shorter than
// maxDuration_s (a fragment after the target must be short either way).
void combineNotes(NoteMap& notes, PipeNoteName target, std::set<PipeNoteName> always,
                  std::set<PipeNoteName> ifShort, float gap_s, float maxDuration_s);
// combineNotes repeated until it no longer changes the number of notes.
void recursiveCombineNotes(NoteMap& notes, PipeNoteName target, std::set<PipeNoteName> always,
                           std::set<PipeNoteName> ifShort, float gap_s, float maxDuration_s);
// Cuts the stretches of track in which one melody note dominates for
// minDuration_s <= length < maxDuration_s into notes.
NoteMap extractNotes(const std::vector<PipeTuning::ReferenceNote>& track, float minDuration_s, float maxDuration_s,
                     float secondsPerStep);
// Moves both maps by shift_s into the output maps (not cleared first).
// Melody notes are clipped at 0 and dropped when they end at or before it;
// gracenotes are kept while they end at or after 0.
void timeShiftNotes(float shift_s, const NoteMap& melodyIn, const NoteMap& graceIn, NoteMap& melodyOut,
                    NoteMap& graceOut);

// One time-ordered sequence; a gracenote starting within 1 ms of a melody
// note comes first.
std::vector<PipeNote> combineMelodyAndGraceNotes(const NoteMap& melody, const NoteMap& grace);
// Melody notes into melody, everything else into grace (not cleared first).
void splitMelodyAndGraceNotes(const std::vector<PipeNote>& notes, NoteMap& melody, NoteMap& grace);
// The first entry with note's name starting within [start - 1 ms, start + 1 ms).
NoteMap::iterator getIteratorForNote(PipeNote note, NoteMap& notes);

// One value per block of blockSize samples of x[from .. to): the mean of the
// samples in [minValue, maxValue) when at least half the block is and their
// spread is below maxSpread; else 0.
std::vector<float> smoothSamples(const std::vector<float>& x, int blockSize, int from, int to, float minValue,
                                 float maxValue, float maxSpread);
// Centres of the V-shaped dips of x, halfWidth windows to each side, deeper
// than minDepth and shallower than maxDepth.
std::vector<int> detectTroughs(const std::vector<float>& x, int halfWidth, float minDepth, float maxDepth);
// Whether x[i], x[i + halfWidth], x[i + 2 halfWidth] form a dip; the three
// values are returned through left, middle and right.
bool validTrough(const std::vector<float>& x, int i, int halfWidth, float minDepth, float& left, float& middle,
                 float& right);

// Writes the map to the debug log under label.
void outputNotes(std::string label, const NoteMap& notes);

// The pitch finder's processing for chanter audio under tuning: the period
// search limited to 0.9 x Low G .. 1.1 x High A.
PitchFinder::ProcessingParams chanterProcessingParams(const PipeTuning& tuning);

// Hands finder's peak picking to picker and enables it. picker must outlive
// every analysis finder runs.
void bindPeakPicker(PitchFinder& finder, PipeSnacPeakPicker& picker);

// Sets a finder bound to picker up for the chanter of tuning: windows of
// windowSize samples at the rate, the search band of the chanter's compass,
// the peak picker on, the note grid on the tuning's Low A. The thresholds
// are the caller's.
void configureChanterPitchFinder(PitchFinder& finder, PipeSnacPeakPicker& picker, const PipeTuning& tuning,
                                 float samplingFrequency_Hz, unsigned int windowSize);

// Analyses consecutive, non-overlapping windows of the recording (the last
// whole window is left out) and estimates the tuning from them, starting
// from the standard tuning at lowA_Hz. A recording shorter than two windows
// gives that standard tuning. jobs: threads to read the windows with (the
// tuning is the same).
PipeTuning calculateTuningFromData(const short* samples, unsigned int sampleCount, float samplingFrequency_Hz,
                                   int windowSize, float lowA_Hz, float minimumVolume, unsigned int jobs = 1);

// Estimates the tuning from per-window frequencies, SNAC qualities and
// volumes: each note's frequency is the mean of its accepted windows.
// Series of different sizes give the standard tuning at lowA_Hz.
PipeTuning calculateTuningFromFrequencies(float lowA_Hz, float minimumVolume, const std::vector<float>& frequencies,
                                          const std::vector<float>& qualities, const std::vector<float>& volumes);

// Mean of the non-zero values among values[start .. start + count - 1] when
// more than count x minimumFraction of them are non-zero; else 0.
float calcWindowAverage(const std::vector<float>& values, int start, int count, float minimumFraction);
