#include "QuantizerGroup.h"

#include <algorithm>

void NoteWrapper::clear()
{
    note = PipeNote();
    gracenotes.clear();
}

void QuantizerGroup::clear()
{
    start_s = 0.0f;
    duration_s = 0.0f;
    noteWrappers.clear();
    following = Unknown;
    items.clear();
}

float QuantizerGroup::getNoteWrapperDuration_s() const
{
    float total_s = 0.0f;
    for (const NoteWrapper& wrapper : noteWrappers)
        total_s += wrapper.note.duration_s();
    return total_s;
}

int QuantizerGroup::getNextMelodyNote(int i) const
{
    for (int j = i + 1; j < static_cast<int>(items.size()); ++j) {
        if (isMelodyNote(items[static_cast<std::size_t>(j)].name))
            return j;
    }
    return -1;
}

int QuantizerGroup::getPrevMelodyNote(int i) const
{
    for (int j = std::min(i, static_cast<int>(items.size())) - 1; j >= 0; --j) {
        if (isMelodyNote(items[static_cast<std::size_t>(j)].name))
            return j;
    }
    return -1;
}
