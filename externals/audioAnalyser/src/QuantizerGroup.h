#pragma once

// What the tune quantizer hands the group quantizer: one beat of melody
// notes, each with the gracing heard since the previous one, and the items
// the beat becomes. Plain values; any thread.

#include "PipeNote.h"
#include "PipeTuneModel.h"

#include <vector>

// One melody note with the gracing heard since the previous one.
class NoteWrapper
{
public:
    virtual ~NoteWrapper() = default;
    void clear();

    PipeNote note;
    std::vector<PipeNote> gracenotes;
    // The note goes on in the next beat (it was split at the beat line).
    bool continues = false;
};

// One beat.
class QuantizerGroup
{
public:
    virtual ~QuantizerGroup() = default;
    void clear();
    float getNoteWrapperDuration_s() const;
    float getEnd_s() const { return start_s + duration_s; }
    // Index of the nearest melody item after (before) item i, or -1.
    int getNextMelodyNote(int i) const;
    int getPrevMelodyNote(int i) const;

    float start_s = 0.0f;
    float duration_s = 0.0f;
    // The silence before the tune's first note when it starts inside this
    // beat (a pick-up): the notes keep their values and the beat is short.
    float pickUp_s = 0.0f;
    std::vector<NoteWrapper> noteWrappers;
    // The pitch of the note the next beat starts with, when a note closed
    // this beat by falling into the next one (Unknown otherwise).
    PipeNoteName following = Unknown;
    std::vector<PipeTuneModel::Item> items;
};
