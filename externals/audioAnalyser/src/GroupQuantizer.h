#pragma once

// Decides the note values inside one beat: the notes are scaled to fill the
// beat exactly, then either rounded to a grid of 32nds (simple time) or given
// one of a few fixed rhythm patterns (6/8); the values always add up to the
// beat. Each note's items are its gracing
// (duration 32 each) followed by its own note values. Owned by the tune
// quantizer; GUI thread.

#include "PipeTuneModel.h"
#include "QuantizerGroup.h"

#include <map>
#include <vector>

enum QuantizationType : std::int32_t {
    Absolute = 0,  // round each note to the grid
    SetPattern = 1 // choose a 6/8 pattern
};

// Spells n 32nds as note values (unnamed items): the longest value that fits,
// dotted when that fits exactly.
std::vector<PipeTuneModel::Item> getItemsFrom32s(int n);

class GroupQuantizer
{
public:
    explicit GroupQuantizer(double thirtySecond_s);
    virtual ~GroupQuantizer() = default;

    // At least 1 (32nds).
    void setMinQuantizationLevel(int level);
    void setQuantizationType(QuantizationType type) { mType = type; }

    // Items per note-wrapper index of the group.
    std::map<int, std::vector<PipeTuneModel::Item>> quantize(const QuantizerGroup& group);
    // Scales the notes of the stored group to fill it exactly.
    void normalizeGroup();
    std::map<int, std::vector<PipeTuneModel::Item>> quantizeAbsolute();
    std::map<int, std::vector<PipeTuneModel::Item>> quantizeSetPattern();

private:
    std::vector<PipeTuneModel::Item> noteItems(const NoteWrapper& wrapper, int length32) const;
    // The part of the beat the notes fill: all of it, or from a pick-up's
    // first note.
    float filledDuration_s() const;
    // The note's scaled duration minus length32 32nds, in seconds.
    // Whether the note is followed by one of its own pitch, in this beat or
    // (held over, or the next beat's first) in the next.
    bool leadsIntoItsOwnPitch(int note) const;
    double residual(int note, int length32) const;
    // Moves note lengths (32nds) in steps until they add up to target.
    void fitToBeat(std::vector<int>& lengths, int target, int step) const;
    // Each note's items for its length; notes of length 0 are left out.
    std::map<int, std::vector<PipeTuneModel::Item>> items(const std::vector<int>& lengths) const;

    QuantizerGroup mGroup;
    int mMinQuantizationLevel = 1;
    QuantizationType mType = Absolute;
    double mThirtySecond_s;
};
