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
