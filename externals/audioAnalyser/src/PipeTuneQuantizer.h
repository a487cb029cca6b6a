#pragma once

// Turns the transcription's melody and gracenote maps into a PipeTuneModel:
// cuts the timeline into beats (a crotchet in x/4, a minim in 2/2, a dotted
// crotchet in 6/8), has the group quantizer give each beat's notes their
// values, beams short notes within a beat, packs beats into bars and bars
// into rows. Times in seconds; musical lengths in 32nds. Empty input gives an
// empty model. One quantisation per object in practice; GUI thread.

#include "PipeNote.h"
#include "PipeTuneModel.h"
#include "QuantizerGroup.h"

#include <memory>
#include <vector>

class GroupQuantizer;

class PipeTuneQuantizer
{
public:
    using NoteWrapper = ::NoteWrapper;
    using Group = QuantizerGroup;

    // The bar being filled.
    class BarWrapper
    {
    public:
        virtual ~BarWrapper() = default;
        void clear();

        std::int32_t groupCount = 0;
        PipeTuneModel::Bar bar;
    };

    PipeTuneQuantizer();
    virtual ~PipeTuneQuantizer();
    PipeTuneQuantizer(const PipeTuneQuantizer&) = delete;
    PipeTuneQuantizer& operator=(const PipeTuneQuantizer&) = delete;

    void setTimeSignature(int numerator, int denominator);
    void setCrotchetDuration_s(float crotchet_s) { mCrotchetDuration_s = crotchet_s; }
    // A coarser grid: the smallest note value doubles.
    void setRounding(bool rounding) { mRounding = rounding; }
    // At least 1.
    void setBarsPerRow(int barsPerRow);

    // Rebuilds the model from the maps, shifted by timeShift_s.
    void quantize(float timeShift_s, const NoteMap& melody, const NoteMap& gracenotes);
    PipeTuneModel getModel() const { return mModel; }
    // Groups per bar and the length of one in seconds, set by quantize.
    std::int32_t beatsPerBar() const { return mBeatsPerBar; }
    float beatDuration_s() const { return mBeatDuration_s; }

    // Adds a melody note (with its gracing) to the open beat and returns the
    // beats it completed, a note running past the beat continuing into the
    // next ones.
    std::vector<Group> addNoteWapperToGroup(Group& group, NoteWrapper wrapper, bool isFinal);
    // Gives the beat's notes their items and beams its short notes.
    void finaliseGroup(Group& group);

private:
    void markPickUp(Group& group, const PipeNote& note);
    double thirtySecond_s() const { return static_cast<double>(mCrotchetDuration_s) * 0.125; }

    std::int32_t mTimeSigNumerator = 4;
    std::int32_t mTimeSigDenominator = 4;
    float mCrotchetDuration_s = 1.25f;
    bool mRounding = false;
    PipeTuneModel mModel;
    NoteMap mShiftedMelody;
    NoteMap mShiftedGracenotes;
    std::int32_t mBeatsPerBar = 0;
    bool mNoteSeen = false;
    float mBeatDuration_s = 0.0f;
    std::unique_ptr<GroupQuantizer> mGroupQuantizer;
    std::int32_t mBarsPerRow = 4;
};
