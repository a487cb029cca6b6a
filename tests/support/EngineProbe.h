#pragma once

// Test access to the transcription engines' tracks and maps, so that tests
// can set a track to a known state and read what a stage left behind.

#include "ProgressiveVantor.h"
#include "Vantor.h"

class VantorProbe : public Vantor
{
public:
    using Vantor::calculateFrequencies;
    using Vantor::mFlatNoteTrack;
    using Vantor::mFrequencies;
    using Vantor::mLowA_Hz;
    using Vantor::mNoteTrack;
    using Vantor::mPickedFrequencies;
    using Vantor::mPickedNoteTrack;
    using Vantor::mQualities;
    using Vantor::mVolumes;
    using Vantor::mTuningSet;
    using Vantor::mTuning;
    using Vantor::mFilterCornerFrequency_Hz;
    using Vantor::mNotes;
    using Vantor::mGraceNotes;
    using Vantor::mConsolidatedNotes;
    using Vantor::mProcessedNotes;
    using Vantor::mGdeRanges;
    using Vantor::advancedGraceNoteSearch;
    using Vantor::consolidate;
    using Vantor::findConfirmedTroughs;
    using Vantor::getGraceNotes;
    using Vantor::initialGraceNoteStrip;
    using Vantor::removeTransitionGraceNotes;
    using Vantor::stretchNoteByQuality;
    using Vantor::stretchNotesByQuality;
    using Vantor::stripCrossingNoises;
    using Vantor::stripImpossibleGracenoteTransitions;
    using Vantor::windowIndex;
    using Vantor::windowTime;
    using Vantor::applyBusinessLogic;
    using Vantor::dealWithContigousGracing;
    using Vantor::dealWithMelodyGaps;
    using Vantor::extractBirls;
    using Vantor::extractHighADoubling;
    using Vantor::extractShortMelodyNotes;
    using Vantor::extractStrikes;
    using Vantor::extractThrd;
    using Vantor::finalGraceNoteCheck;
    using Vantor::getDoublings;
    using Vantor::getGdes;
    using Vantor::getSingleGracenotes;
    using Vantor::overlapsGde;
    using Vantor::reformMelodyAndGracing;
    using Vantor::stripUnlikelyGracenotes;

    // A map of notes keyed by their starts.
    static NoteMap mapOf(std::initializer_list<PipeNote> notes)
    {
        NoteMap map;
        for (const PipeNote& note : notes)
            map.emplace(note.start_s(), note);
        return map;
    }
};

class ProgressiveVantorProbe : public ProgressiveVantor
{
public:
    using ProgressiveVantor::appendToHistory;
    using ProgressiveVantor::mFrequencies;
    using ProgressiveVantor::mHistory;
    using ProgressiveVantor::mNextTranscribeTime_s;
    using ProgressiveVantor::mPendingData;
    using ProgressiveVantor::mProcessedSamples;
    using ProgressiveVantor::mTrimmedTime_s;
    using ProgressiveVantor::mTranscriptionInterval_s;
    using ProgressiveVantor::mVolumes;
};
