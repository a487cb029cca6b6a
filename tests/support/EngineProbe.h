#pragma once

// Test access to the transcription engine: its shared maps as one value that
// a test sets before a stage and reads after it, its pitch and quality tracks
// (so that a test can draw a dip), and the stages by name.

#include "Vantor.h"

#include <string>

struct EngineMaps {
    NoteMap notes;
    NoteMap graceNotes;
    NoteMap processed;
    NoteMap consolidated;
    std::vector<TimeRange> gdeRanges;
};

class VantorProbe : public Vantor
{
public:
    enum class Stage {
        GetGraceNotes, InitialGraceNoteStrip, AdvancedGraceNoteSearch, Consolidate, StripCrossingNoises, GetGdes,
        GetDoublings, ExtractThrd, GetSingleGracenotes, ReformMelodyAndGracing, StripUnlikelyGracenotes,
        ExtractShortMelodyNotes, ApplyBusinessLogic, ExtractHighADoubling, ExtractBirls, ExtractStrikes,
        DealWithContigousGracing, FinalGraceNoteCheck
    };

    VantorProbe();

    // Sets the maps, runs the stage and returns the maps it left
    // (Consolidate returns its result in consolidated).
    EngineMaps run(Stage stage, const EngineMaps& maps);

    // Tracks of windows every 20 samples at 44100 Hz, all as long.
    void setTracks(std::size_t windows, float frequency_Hz, float quality);
    std::vector<float>& frequencies() { return mFrequencies; }
    std::vector<float>& qualities() { return mQualities; }
    std::vector<float>& volumes() { return mVolumes; }
    std::vector<float>& pickedFrequencies() { return mPickedFrequencies; }
    std::vector<PipeTuning::ReferenceNote>& noteTrack() { return mNoteTrack; }
    std::vector<PipeTuning::ReferenceNote>& flatNoteTrack() { return mFlatNoteTrack; }
    std::vector<PipeTuning::ReferenceNote>& pickedNoteTrack() { return mPickedNoteTrack; }
    int window(float time_s) const { return windowIndex(time_s); }

    TimeRange stretch(TimeRange range, float threshold) const { return stretchNoteByQuality(range, threshold); }
    std::vector<float> troughs(TimeRange range, float centre_Hz, const TroughSearch& search) const
    {
        return findConfirmedTroughs(range, centre_Hz, search);
    }
};

// Notes played back to back from start_s.
NoteMap played(float start_s, std::initializer_list<std::pair<PipeNoteName, float>> notes);
// A map of the notes, keyed by their starts.
NoteMap mapOf(std::initializer_list<PipeNote> notes);
// "NAME START-END" per note, times to the millisecond, a melody-note offset
// as "+OFFSET"; what the stage tables compare.
std::string spans(const NoteMap& notes);
