#include "PipeNotePattern.h"

namespace {

// Where a match "is" when tested against excluded ranges: just after its start.
constexpr float kRangeProbe_s = 0.02f;

bool inAnyRange(float time_s, const std::vector<TimeRange>& ranges)
{
    for (const TimeRange& range : ranges) {
        if (range.first <= time_s && time_s < range.second)
            return true;
    }
    return false;
}

} // namespace

PipeNotePattern::Item::Item(PipeNoteName name, std::pair<float, float> durationRange)
    : notes{name}, durationRange_s(durationRange)
{
}

PipeNotePattern::Item::Item(std::set<PipeNoteName> names, std::pair<float, float> durationRange)
    : notes(std::move(names)), durationRange_s(durationRange)
{
}

TimeRange PipeNotePattern::Match::getRange() const
{
    if (notes.empty())
        return TimeRange(-1.0f, -1.0f);
    return TimeRange(notes.begin()->second.start_s(), notes.rbegin()->second.start_s());
}

PipeNotePattern::PipeNotePattern(float maxItemDuration, float joinTolerance, float overlapTolerance)
    : maxItemDuration_s(maxItemDuration), joinTolerance_s(joinTolerance), overlapTolerance_s(overlapTolerance)
{
}

void PipeNotePattern::clear()
{
    items.clear();
    mustFollowMelodyNote = false;
    shortLastNote = false;
}

std::vector<PipeNotePattern::Match> PipeNotePattern::detect(const NoteMap& searched, const NoteMap& melody,
                                                            const NoteMap& taken,
                                                            const std::vector<TimeRange>& excluded,
                                                            bool limitFirstItemOnly) const
{
    std::vector<Match> matches;
    const std::size_t itemCount = items.size();
    if (itemCount == 0)
        return matches;
    const std::size_t limit = limitFirstItemOnly ? 1 : itemCount - 1;

    std::vector<const PipeNote*> notes;
    notes.reserve(searched.size());
    for (const auto& entry : searched)
        notes.push_back(&entry.second);

    std::size_t p = 0;
    while (p < notes.size()) {
        Match candidate;
        float t = notes[p]->start_s();
        std::size_t j = 0;
        std::size_t q = p;
        while (j < itemCount && q < notes.size()) {
            const PipeNote& note = *notes[q];
            const Item& item = items[j];
            const bool nameFits = item.notes.count(note.noteName()) > 0;
            const bool durationFits = item.hasDurationRange()
                                          ? item.durationRange_s.first <= note.duration_s()
                                                && note.duration_s() < item.durationRange_s.second
                                          : j >= limit || note.duration_s() < maxItemDuration_s;
            const bool joins = t - joinTolerance_s <= note.start_s() && note.start_s() < t + joinTolerance_s;
            if (!(nameFits && durationFits && joins))
                break;
            insertByStart(candidate.notes, note);
            t = note.getEnd_s();
            ++j;
            ++q;
        }

        if (j == itemCount) {
            const PipeNote& first = *notes[p];
            const PipeNote& last = *notes[q - 1];
            bool accepted = true;
            if (mustFollowMelodyNote && notesEndingAt(melody, first.start_s(), joinTolerance_s).empty())
                accepted = false;
            if (shortLastNote && last.duration_s() > 2.0f * maxItemDuration_s)
                accepted = false;
            if (!notesOverlappingRange(taken, TimeRange(first.start_s(), last.start_s()), overlapTolerance_s).empty())
                accepted = false;
            if (inAnyRange(first.start_s() + kRangeProbe_s, excluded))
                accepted = false;
            if (accepted) {
                matches.push_back(std::move(candidate));
                p = q;
                continue;
            }
        }
        ++p;
    }
    return matches;
}

void applyPatternMatches(PipeNoteName name, const std::vector<PipeNotePattern::Match>& matches, NoteMap& destination,
                         NoteMap& source, int melodyNoteIndex, bool keepLastNote)
{
    for (const PipeNotePattern::Match& match : matches) {
        std::vector<PipeNote> matched;
        for (const auto& entry : match.notes)
            matched.push_back(entry.second);

        PipeNote note(name, -1.0f, 0.0f);
        if (!matched.empty()) {
            note.setStart_s(matched.front().start_s());
            note.setDuration_s(matched.back().start_s() - matched.front().start_s());
            if (melodyNoteIndex != 0) {
                const std::size_t k = melodyNoteIndex < 0 ? 0 : static_cast<std::size_t>(melodyNoteIndex);
                const float melodyStart_s = k < matched.size() ? matched[k].start_s() : matched.back().getEnd_s();
                note.setMelodyNoteStartOffset_s(melodyStart_s - note.start_s());
            }
        }
        insertByStart(destination, note);

        if (keepLastNote && !matched.empty())
            matched.pop_back();
        PipeNotePattern::Match removed;
        for (const PipeNote& n : matched)
            insertByStart(removed.notes, n);
        removePatternMatch(removed, source);
    }
}

void removePatternMatch(const PipeNotePattern::Match& match, NoteMap& map)
{
    for (const auto& entry : match.notes) {
        const PipeNote& note = entry.second;
        auto [it, end] = map.equal_range(note.start_s());
        for (; it != end; ++it) {
            if (it->second.noteName() == note.noteName() && it->second.duration_s() == note.duration_s()) {
                map.erase(it);
                break;
            }
        }
    }
}

bool patternMatchOverlapsRange(const PipeNotePattern::Match& match, const std::vector<TimeRange>& ranges)
{
    const float start_s = match.notes.empty() ? -1.0f : match.notes.begin()->second.start_s();
    return inAnyRange(start_s + kRangeProbe_s, ranges);
}
