#include "SecondLook.h"

#include "VantorUtils.h"

#include <algorithm>
#include <climits>

namespace {

using Run = FinePitchTrack::Run;

// Same-note runs closer than this are one run: a dropout of a frame or two,
// not an element (an element hidden in the gap would leave 20 ms or more).
constexpr float kDropout_s = 0.02f;
// The short windows are timed at their centres, the transcription's at their
// starts: a held run belongs to a note it meets within this much.
constexpr float kAlignment_s = 0.03f;
// A crossing from one held note to the next this quick has no gracenote in it.
constexpr float kCleanCrossing_s = 0.012f;
// Notes closer than this are played legato: the first lasts until the next.
constexpr float kLegatoGap_s = 0.1f;
// How far before a note a gracing that leads into it may start.
constexpr float kLongestGracing_s = 0.3f;

// The note an embellishment is played on; Unknown when it leads into any.
PipeNoteName embellishedNote(PipeNoteName name)
{
    if (dblg <= name && name <= dbha)
        return static_cast<PipeNoteName>(LG + (name - dblg));
    if (tdblg <= name && name <= tdbf)
        return static_cast<PipeNoteName>(LG + (name - tdblg));
    if (hdblg <= name && name <= hdbf)
        return static_cast<PipeNoteName>(LG + (name - hdblg));
    if (name == thrd || name == hthrd)
        return D;
    if (brl <= name && name <= tbr)
        return LA;
    return Unknown;
}

// How many of the spelling's notes the neighbours hide when it sounds as
// elements between previous and next; -1 when it cannot.
int hiddenNotes(const std::vector<PipeNoteName>& spelling, const std::vector<PipeNoteName>& elements,
                PipeNoteName previous, PipeNoteName next)
{
    int best = -1;
    for (int left = 0; left <= 1; ++left) {
        for (int right = 0; right <= 1; ++right) {
            if (left + right > static_cast<int>(spelling.size()))
                continue;
            if (left == 1 && spelling.front() != previous)
                continue;
            if (right == 1 && spelling.back() != next)
                continue;
            const auto first = spelling.begin() + left;
            const auto last = spelling.end() - right;
            if (std::equal(first, last, elements.begin(), elements.end()) && (best < 0 || left + right < best))
                best = left + right;
        }
    }
    return best;
}

float overlap(float start1, float end1, float start2, float end2)
{
    return std::max(0.0f, std::min(end1, end2) - std::max(start1, start2));
}

// Known runs of at least the minimum length, same-note neighbours across
// dropouts joined.
std::vector<Run> cleanRuns(const std::vector<Run>& runs)
{
    std::vector<Run> clean;
    for (const Run& run : runs) {
        if (run.note == Unknown || run.frames < SecondLook::kMinimumElementFrames)
            continue;
        if (!clean.empty() && clean.back().note == run.note && run.start_s - clean.back().end_s < kDropout_s) {
            clean.back().end_s = run.end_s;
            clean.back().frames += run.frames;
        } else {
            clean.push_back(run);
        }
    }
    return clean;
}

bool isHeld(const Run& run)
{
    return run.duration_s() >= SecondLook::kHeldNote_s;
}

// Whether the track heard only gracenotes where the transcription put a note
// it did not hear held: gracenote elements over at least half of it, and no
// held note. Such a note is a gracenote read as melody.
bool heardAsGracenotes(const PipeNote& note, const std::vector<Run>& runs)
{
    const float start_s = note.start_s();
    const float end_s = note.getEnd_s() + kAlignment_s;
    float covered_s = 0.0f;
    auto run = std::partition_point(runs.begin(), runs.end(), [&](const Run& r) { return r.end_s <= start_s; });
    for (; run != runs.end() && run->start_s < end_s; ++run) {
        if (isHeld(*run))
            return false;
        covered_s += overlap(start_s, end_s, run->start_s, run->end_s);
    }
    return covered_s >= 0.5f * (end_s - start_s);
}

// One melody note of the revised transcription: the held runs it is heard
// in, or the transcription's own note where the track heard none.
struct Unit {
    PipeNoteName name = Unknown;
    float start_s = 0.0f;
    float end_s = 0.0f;
    bool heard = false;
    std::size_t firstRun = 0;
    std::size_t lastRun = 0;
};

} // namespace

PipeNoteName SecondLook::identifyGracing(PipeNoteName previous, const std::vector<PipeNoteName>& elements,
                                         PipeNoteName next)
{
    if (elements.empty() || !isMelodyNote(next))
        return Unknown;
    PipeNoteName found = Unknown;
    int fewestHidden = INT_MAX;
    for (int value = ag; value <= strhg; ++value) {
        const auto name = static_cast<PipeNoteName>(value);
        int hidden = -1;
        if (isSingleGraceNote(name)) {
            // A single gracenote is above the note it graces, a strike below.
            if (elements.size() != 1)
                continue;
            const bool strike = noteTypeFromName(name) == Strike;
            const PipeNoteName note = strike ? strikeToMelodyNote(name) : graceNoteToMelodyNote(name);
            const bool below = melodyNoteOrdinalValue(note) < melodyNoteOrdinalValue(next);
            if (note == elements.front() && below == strike)
                hidden = 0;
        } else {
            const PipeNoteName on = embellishedNote(name);
            if (on != Unknown && on != next)
                continue;
            hidden = hiddenNotes(getNoteNames(name), elements, previous, next);
        }
        if (hidden >= 0 && hidden < fewestHidden) {
            fewestHidden = hidden;
            found = name;
        }
    }
    return found;
}

void SecondLook::revise(const short* samples, std::size_t count, NoteMap& melody, NoteMap& gracing)
{
    if (samples == nullptr || melody.empty())
        return;

    // The stretches to read: every note and gracing with a margin.
    std::vector<TimeRange> spans;
    for (const NoteMap* notes : {&melody, &gracing})
        for (const auto& entry : *notes)
            spans.emplace_back(entry.second.start_s() - kMargin_s, entry.second.getEnd_s() + kMargin_s);
    std::sort(spans.begin(), spans.end());
    std::vector<Run> raw;
    float readTo_s = -1.0f;
    for (TimeRange span : spans) {
        span.first = std::max({span.first, readTo_s, 0.0f});
        if (span.second <= span.first)
            continue;
        const std::vector<Run> part = mTrack.runs(samples, count, span.first, span.second);
        raw.insert(raw.end(), part.begin(), part.end());
        readTo_s = span.second;
    }
    const std::vector<Run> runs = cleanRuns(raw);

    // Each held run goes to the transcription's note of its name it overlaps
    // most; a held run no note of its name meets is an orphan.
    const std::vector<PipeNote> notes = [&] {
        std::vector<PipeNote> list;
        for (const auto& entry : melody)
            list.push_back(entry.second);
        return list;
    }();
    std::vector<std::vector<std::size_t>> runsOfNote(notes.size());
    std::vector<std::size_t> orphans;
    for (std::size_t r = 0; r < runs.size(); ++r) {
        if (!isHeld(runs[r]))
            continue;
        float best = 0.0f;
        std::size_t owner = notes.size();
        for (std::size_t n = 0; n < notes.size(); ++n) {
            const PipeNote& note = notes[n];
            if (note.noteName() != runs[r].note)
                continue;
            const float shared = overlap(note.start_s() - kAlignment_s, note.getEnd_s() + kAlignment_s,
                                         runs[r].start_s, runs[r].end_s);
            if (shared > best) {
                best = shared;
                owner = n;
            }
        }
        if (owner < notes.size())
            runsOfNote[owner].push_back(r);
        else
            orphans.push_back(r);
    }

    // Units: a note's held runs, split where a gracenote of another pitch
    // comes between two of them (a strike between repeated notes).
    auto hasElementBetween = [&](std::size_t from, std::size_t to) {
        for (std::size_t r = from + 1; r < to; ++r)
            if (runs[r].note != runs[from].note)
                return true;
        return false;
    };
    std::vector<Unit> units;
    for (std::size_t n = 0; n < notes.size(); ++n) {
        const std::vector<std::size_t>& held = runsOfNote[n];
        if (held.empty()) {
            if (!heardAsGracenotes(notes[n], runs))
                units.push_back(Unit{notes[n].noteName(), notes[n].start_s(), notes[n].getEnd_s(), false, 0, 0});
            continue;
        }
        std::size_t groupStart = held.front();
        for (std::size_t k = 0; k < held.size(); ++k) {
            const bool last = k + 1 == held.size();
            if (last || hasElementBetween(held[k], held[k + 1])) {
                units.push_back(Unit{notes[n].noteName(), runs[groupStart].start_s, runs[held[k]].end_s, true,
                                     groupStart, held[k]});
                if (!last)
                    groupStart = held[k + 1];
            }
        }
    }
    // An orphan short enough to be a note the transcription could not keep,
    // between held runs of other notes, is put back.
    auto nearestHeld = [&](std::size_t r, int direction) -> const Run* {
        for (long k = static_cast<long>(r) + direction; k >= 0 && k < static_cast<long>(runs.size()); k += direction)
            if (isHeld(runs[static_cast<std::size_t>(k)]))
                return &runs[static_cast<std::size_t>(k)];
        return nullptr;
    };
    for (std::size_t r : orphans) {
        const Run& run = runs[r];
        if (run.duration_s() >= kLongestRecoveredNote_s)
            continue;
        const Run* before = nearestHeld(r, -1);
        const Run* after = nearestHeld(r, +1);
        if ((before != nullptr && before->note == run.note) || (after != nullptr && after->note == run.note))
            continue;
        if (before != nullptr && after != nullptr && before->note == after->note && before->end_s > run.start_s - kHeldNote_s
            && after->start_s < run.end_s + kHeldNote_s) {
            // Inside one held note: a misreading, not a note of its own.
            bool sameUnit = false;
            for (const Unit& unit : units)
                if (unit.heard && unit.start_s <= before->start_s && after->end_s <= unit.end_s)
                    sameUnit = true;
            if (sameUnit)
                continue;
        }
        units.push_back(Unit{run.note, run.start_s, run.end_s, true, r, r});
    }
    std::stable_sort(units.begin(), units.end(), [](const Unit& a, const Unit& b) { return a.start_s < b.start_s; });

    // The gracing between each two heard units, named from its elements.
    NoteMap revisedGracing = gracing;
    auto removeGracingsIn = [&](float from_s, float to_s) {
        for (auto it = revisedGracing.begin(); it != revisedGracing.end();) {
            if (from_s <= it->second.start_s() && it->second.start_s() < to_s)
                it = revisedGracing.erase(it);
            else
                ++it;
        }
    };
    for (std::size_t u = 0; u < units.size(); ++u) {
        const Unit& unit = units[u];
        const Unit* previous = u > 0 ? &units[u - 1] : nullptr;
        if (!unit.heard || (previous != nullptr && !previous->heard))
            continue;
        const float from_s = previous != nullptr ? previous->end_s : unit.start_s - kMargin_s;
        const float to_s = unit.start_s;
        std::vector<PipeNoteName> elements;
        float elementsStart_s = 0.0f;
        float elementsEnd_s = 0.0f;
        bool blocked = false;
        for (std::size_t r = previous != nullptr ? previous->lastRun + 1 : 0; r < unit.firstRun; ++r) {
            const Run& run = runs[r];
            if (run.end_s <= from_s || run.start_s >= to_s)
                continue;
            if (isHeld(run)) {
                blocked = true; // a held note no unit took: leave this crossing alone
                break;
            }
            if (elements.empty())
                elementsStart_s = run.start_s;
            if (elements.empty() || elements.back() != run.note)
                elements.push_back(run.note);
            elementsEnd_s = run.end_s;
        }
        if (blocked)
            continue;
        if (elements.empty()) {
            if (previous != nullptr && to_s - from_s < kCleanCrossing_s)
                removeGracingsIn(from_s - kAlignment_s, to_s);
            continue;
        }
        const PipeNoteName name = identifyGracing(previous != nullptr ? previous->name : Unknown, elements, unit.name);
        if (name == Unknown)
            continue;
        removeGracingsIn(previous != nullptr ? from_s - kAlignment_s : elementsStart_s - kAlignment_s,
                         to_s + kAlignment_s);
        PipeNote note(name, elementsStart_s, elementsEnd_s - elementsStart_s);
        if (isComplexMovement(name) && !isSingleGraceNote(name))
            note.setMelodyNoteStartOffset_s(unit.start_s - elementsStart_s);
        insertByStart(revisedGracing, note);
    }

    // Each melody note starts where the gracing leading into it starts.
    std::vector<float> starts(units.size());
    for (std::size_t u = 0; u < units.size(); ++u) {
        const float earliest_s = u > 0 ? std::max(units[u - 1].start_s, units[u].start_s - kLongestGracing_s)
                                       : units[u].start_s - kLongestGracing_s;
        starts[u] = units[u].start_s;
        if (!units[u].heard)
            continue;
        // Only a gracing alone before its note: several (one the vocabulary
        // has no name for, read in pieces) stay where they are, and so does
        // the note after them.
        const auto last = revisedGracing.lower_bound(units[u].start_s);
        const PipeNote* leading = nullptr;
        int count = 0;
        for (auto it = revisedGracing.upper_bound(earliest_s); it != last; ++it) {
            if (u == 0 || it->first >= units[u - 1].end_s - kAlignment_s) {
                leading = leading != nullptr ? leading : &it->second;
                ++count;
            }
        }
        if (count == 1)
            starts[u] = leading->start_s();
    }
    NoteMap revisedMelody;
    for (std::size_t u = 0; u < units.size(); ++u) {
        float end_s = units[u].end_s;
        if (u + 1 < units.size() && starts[u + 1] - end_s < kLegatoGap_s)
            end_s = starts[u + 1];
        if (end_s <= starts[u])
            continue;
        insertByStart(revisedMelody, PipeNote(units[u].name, starts[u], end_s - starts[u]));
    }
    melody = std::move(revisedMelody);
    gracing = std::move(revisedGracing);
}
