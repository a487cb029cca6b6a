#include "SecondLook.h"

#include "VantorUtils.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <optional>

namespace {

using Run = FinePitchTrack::Run;

// The short windows are timed at their centres, the transcription's at their
// starts: a held run belongs to a note it meets within this much.
constexpr float kAlignment_s = 0.03f;
// Elements this long (10 ms) are clear gracenotes; shorter ones may be the
// crossing from one note to the next, heard through both.
constexpr int kClearElementFrames = 5;
// A crossing from one held note to the next this quick has no gracenote in it.
constexpr float kCleanCrossing_s = 0.012f;
// The transcription's own melody notes last 150 ms or more; a shorter one
// came from its gracenote rules.
constexpr float kShortestKeptNote_s = 0.1f;
// Notes closer than this are played legato: the first lasts until the next.
constexpr float kLegatoGap_s = 0.1f;
// A cut note alone between two notes lasts at least this many times the
// player's gracenotes (played as short as the fingers allow, they vary
// little), judged once this many elements were heard.
constexpr float kCutNoteToGracenote = 2.0f;
constexpr std::size_t kFewestElements = 8;
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

bool isHeld(const Run& run)
{
    return run.duration_s() >= SecondLook::kHeldNote_s;
}

// Whether a note of the transcription that the track did not hear held is a
// gracenote read as melody: a note shorter than 100 ms whose pitch the track
// heard only as a gracenote element, or one over at least half of which the
// track heard gracenote elements, and held notes over less.
bool heardAsGracenotes(const PipeNote& note, const std::vector<Run>& runs)
{
    const float start_s = note.start_s() - kAlignment_s;
    const float end_s = note.getEnd_s() + kAlignment_s;
    float elements_s = 0.0f;
    float held_s = 0.0f;
    bool ownElement = false;
    auto run = std::partition_point(runs.begin(), runs.end(), [&](const Run& r) { return r.end_s <= start_s; });
    for (; run != runs.end() && run->start_s < end_s; ++run) {
        const float shared_s = overlap(note.start_s(), end_s, run->start_s, run->end_s);
        (isHeld(*run) ? held_s : elements_s) += shared_s;
        ownElement = ownElement || (!isHeld(*run) && run->note == note.noteName());
    }
    const float half_s = 0.5f * (end_s - note.start_s());
    return (ownElement && note.duration_s() < kShortestKeptNote_s) || (elements_s >= half_s && held_s < half_s);
}

// The gracenotes of a crossing in playing order, repeats merged, and when
// they sound.
struct Spelling {
    std::vector<PipeNoteName> elements;
    float start_s = 0.0f;
    float end_s = 0.0f;
};

Spelling spell(const std::vector<const Run*>& heard, int minimumFrames)
{
    Spelling spelling;
    for (const Run* run : heard) {
        if (run->frames < minimumFrames)
            continue;
        if (spelling.elements.empty())
            spelling.start_s = run->start_s;
        if (spelling.elements.empty() || spelling.elements.back() != run->note)
            spelling.elements.push_back(run->note);
        spelling.end_s = run->end_s;
    }
    return spelling;
}

// Whether the track heard no chanter note at all over a note of the
// transcription (drones alone, say, or a noise read as a note).
bool heardNothing(const PipeNote& note, const std::vector<Run>& runs)
{
    auto run = std::partition_point(runs.begin(), runs.end(), [&](const Run& r) { return r.end_s <= note.start_s(); });
    return run == runs.end() || run->start_s >= note.getEnd_s();
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

void sortByStart(std::vector<Unit>& units)
{
    std::stable_sort(units.begin(), units.end(), [](const Unit& a, const Unit& b) { return a.start_s < b.start_s; });
}

// Held runs given to the transcription's notes: each to the note of its
// name it overlaps most. An orphan is a held run no note of its name meets;
// an absorbed note is one of the same name that a run given to another note
// holds through (the transcription split it at a dip the track did not
// hear).
struct Assignment {
    std::vector<std::vector<std::size_t>> runsOfNote;
    std::vector<std::size_t> orphans;
    std::vector<bool> absorbed;
};

Assignment assignHeldRuns(const std::vector<Run>& runs, const std::vector<PipeNote>& notes)
{
    Assignment assignment{std::vector<std::vector<std::size_t>>(notes.size()), {},
                          std::vector<bool>(notes.size(), false)};
    for (std::size_t r = 0; r < runs.size(); ++r) {
        const Run& run = runs[r];
        if (!isHeld(run))
            continue;
        // The melody's notes follow one another, so their ends rise too.
        const auto first = static_cast<std::size_t>(
            std::partition_point(notes.begin(), notes.end(),
                                 [&](const PipeNote& note) { return note.getEnd_s() + kAlignment_s <= run.start_s; })
            - notes.begin());
        float best = 0.0f;
        std::size_t owner = notes.size();
        for (std::size_t n = first; n < notes.size() && notes[n].start_s() - kAlignment_s < run.end_s; ++n) {
            if (notes[n].noteName() != run.note)
                continue;
            const float shared =
                overlap(notes[n].start_s() - kAlignment_s, notes[n].getEnd_s() + kAlignment_s, run.start_s, run.end_s);
            if (shared > best) {
                best = shared;
                owner = n;
            }
        }
        if (owner == notes.size()) {
            assignment.orphans.push_back(r);
            continue;
        }
        assignment.runsOfNote[owner].push_back(r);
        for (std::size_t n = first; n < notes.size() && notes[n].start_s() < run.end_s; ++n)
            if (n != owner && notes[n].noteName() == run.note && run.start_s <= notes[n].start_s()
                && notes[n].getEnd_s() <= run.end_s + kAlignment_s)
                assignment.absorbed[n] = true;
    }
    return assignment;
}

// The melody notes as the track hears them: each note's held runs, split
// where a gracenote of another pitch comes between two of them (a strike
// between repeated notes); the transcription's note as it is where the track
// heard nothing clear. Notes the track heard nothing in, or only gracenotes,
// are left out; where the former lay goes to unheard.
std::vector<Unit> unitsOf(const std::vector<PipeNote>& notes, const std::vector<Run>& runs,
                          const Assignment& assignment, std::vector<TimeRange>& unheard)
{
    auto hasElementBetween = [&](std::size_t from, std::size_t to) {
        for (std::size_t r = from + 1; r < to; ++r)
            if (runs[r].note != runs[from].note)
                return true;
        return false;
    };
    std::vector<Unit> units;
    for (std::size_t n = 0; n < notes.size(); ++n) {
        const PipeNote& note = notes[n];
        const std::vector<std::size_t>& held = assignment.runsOfNote[n];
        if (held.empty()) {
            if (assignment.absorbed[n] || heardNothing(note, runs))
                unheard.emplace_back(note.start_s() - kAlignment_s, note.getEnd_s());
            else if (!heardAsGracenotes(note, runs))
                units.push_back(Unit{note.noteName(), note.start_s(), note.getEnd_s(), false, 0, 0});
            continue;
        }
        std::size_t groupStart = held.front();
        for (std::size_t k = 0; k < held.size(); ++k) {
            const bool last = k + 1 == held.size();
            if (last || hasElementBetween(held[k], held[k + 1])) {
                units.push_back(Unit{note.noteName(), runs[groupStart].start_s, runs[held[k]].end_s, true, groupStart,
                                     held[k]});
                if (!last)
                    groupStart = held[k + 1];
            }
        }
    }
    return units;
}

// An orphan short enough to be a note the transcription could not keep, with
// held notes of other pitches around it, is a melody note of its own.
void putBackShortNotes(const std::vector<Run>& runs, const std::vector<std::size_t>& orphans,
                       std::vector<Unit>& units)
{
    auto nearestHeld = [&](std::size_t r, int direction) -> const Run* {
        for (long k = static_cast<long>(r) + direction; k >= 0 && k < static_cast<long>(runs.size()); k += direction)
            if (isHeld(runs[static_cast<std::size_t>(k)]))
                return &runs[static_cast<std::size_t>(k)];
        return nullptr;
    };
    const std::size_t heardBefore = units.size();
    for (std::size_t r : orphans) {
        const Run& run = runs[r];
        if (run.duration_s() >= SecondLook::kLongestRecoveredNote_s)
            continue;
        const Run* before = nearestHeld(r, -1);
        const Run* after = nearestHeld(r, +1);
        if ((before != nullptr && before->note == run.note) || (after != nullptr && after->note == run.note))
            continue;
        if (before != nullptr && after != nullptr && before->note == after->note) {
            // Inside one held note: a misreading, not a note of its own.
            const auto inside = std::find_if(units.begin(), units.begin() + static_cast<long>(heardBefore),
                                             [&](const Unit& unit) {
                                                 return unit.heard && unit.start_s <= before->start_s
                                                        && after->end_s <= unit.end_s;
                                             });
            if (inside != units.begin() + static_cast<long>(heardBefore))
                continue;
        }
        units.push_back(Unit{run.note, run.start_s, run.end_s, true, r, r});
    }
}

// The elements heard in the crossing between two heard units, or nothing
// when a held note no unit took lies in it.
std::optional<std::vector<const Run*>> crossingElements(const std::vector<Run>& runs, const Unit* previous,
                                                        const Unit& unit)
{
    const float from_s = previous != nullptr ? previous->end_s : unit.start_s - SecondLook::kMargin_s;
    std::vector<const Run*> heard;
    for (std::size_t r = previous != nullptr ? previous->lastRun + 1 : 0; r < unit.firstRun; ++r) {
        const Run& run = runs[r];
        if (run.end_s <= from_s || run.start_s >= unit.start_s)
            continue;
        if (isHeld(run))
            return std::nullopt;
        heard.push_back(&run);
    }
    return heard;
}

// The gracing the elements spell between previous and next: from every
// element, or else from the clear ones only (the brief ones may be the
// crossing between two notes).
std::pair<PipeNoteName, Spelling> nameOf(const std::vector<const Run*>& elements, PipeNoteName previous,
                                         PipeNoteName next)
{
    Spelling spelling = spell(elements, SecondLook::kMinimumElementFrames);
    PipeNoteName name = SecondLook::identifyGracing(previous, spelling.elements, next);
    if (name == Unknown) {
        spelling = spell(elements, kClearElementFrames);
        name = SecondLook::identifyGracing(previous, spelling.elements, next);
    }
    return {name, spelling};
}

// A cut note played between two gracings (the semiquaver of a tightly
// pointed pair, gracenote short) is heard as an element, and the crossing
// it stands in then spells no gracing. When the crossing's longest element
// splits it into gracings the vocabulary names on both sides (a side may be
// empty, not both), that element is a melody note of its own.
void putBackCutNotes(const std::vector<Run>& runs, std::vector<Unit>& units)
{
    // The player's gracenotes: the middle length of the elements heard.
    std::vector<float> lengths_s;
    for (const Run& run : runs)
        if (!isHeld(run))
            lengths_s.push_back(run.duration_s());
    float gracenote_s = INFINITY;
    if (lengths_s.size() >= kFewestElements) {
        std::nth_element(lengths_s.begin(), lengths_s.begin() + static_cast<long>(lengths_s.size() / 2), lengths_s.end());
        gracenote_s = lengths_s[lengths_s.size() / 2];
    }
    // A run between previous and next that is a melody note of another pitch
    // than both, put in as a unit of its own.
    std::vector<Unit> cut;
    auto putBack = [&](const Run& run, const Unit& previous, const Unit& next, bool clearly) {
        if (!clearly || !isMelodyNote(run.note) || run.note == previous.name || run.note == next.name)
            return false;
        const std::size_t r = static_cast<std::size_t>(&run - runs.data());
        cut.push_back(Unit{run.note, run.start_s, run.end_s, true, r, r});
        return true;
    };
    for (std::size_t u = 1; u < units.size(); ++u) {
        const Unit& previous = units[u - 1];
        const Unit& unit = units[u];
        if (!previous.heard || !unit.heard)
            continue;
        const std::optional<std::vector<const Run*>> elements = crossingElements(runs, &previous, unit);
        if (!elements || elements->empty())
            continue;
        if (elements->size() == 1) {
            // Alone, an element twice as long as the player's gracenotes is
            // a cut note, whatever gracenote its pitch could have been.
            const Run& note = *elements->front();
            putBack(note, previous, unit, note.duration_s() >= kCutNoteToGracenote * gracenote_s);
            continue;
        }
        if (nameOf(*elements, previous.name, unit.name).first != Unknown)
            continue;
        const auto longest = std::max_element(elements->begin(), elements->end(),
                                              [](const Run* a, const Run* b) { return a->frames < b->frames; });
        const Run& note = **longest;
        const std::vector<const Run*> before(elements->begin(), longest);
        const std::vector<const Run*> after(longest + 1, elements->end());
        const bool namedBefore = before.empty() || nameOf(before, previous.name, note.note).first != Unknown;
        const bool namedAfter = after.empty() || nameOf(after, note.note, unit.name).first != Unknown;
        putBack(note, previous, unit, note.frames >= kClearElementFrames && namedBefore && namedAfter);
    }
    units.insert(units.end(), cut.begin(), cut.end());
    sortByStart(units);
}

void removeGracingsIn(NoteMap& gracing, float from_s, float to_s)
{
    // Two bounds of a map are a range only in order.
    if (from_s < to_s)
        gracing.erase(gracing.lower_bound(from_s), gracing.lower_bound(to_s));
}

// The gracing between each two heard units, named from the elements heard
// between them; the transcription's gracings there give way to it. A
// crossing with no element and no time for one loses the gracings it had.
void nameGracings(const std::vector<Run>& runs, const std::vector<Unit>& units, NoteMap& gracing)
{
    for (std::size_t u = 0; u < units.size(); ++u) {
        const Unit& unit = units[u];
        const Unit* previous = u > 0 ? &units[u - 1] : nullptr;
        if (!unit.heard || (previous != nullptr && !previous->heard))
            continue;
        const float from_s = previous != nullptr ? previous->end_s : unit.start_s - SecondLook::kMargin_s;
        const float to_s = unit.start_s;
        // A held note no unit took: this crossing is left alone.
        const std::optional<std::vector<const Run*>> heard = crossingElements(runs, previous, unit);
        if (!heard)
            continue;
        if (heard->empty()) {
            if (previous != nullptr && to_s - from_s < kCleanCrossing_s)
                removeGracingsIn(gracing, from_s - kAlignment_s, to_s);
            continue;
        }
        const auto [name, spelling] = nameOf(*heard, previous != nullptr ? previous->name : Unknown, unit.name);
        if (name == Unknown)
            continue;
        removeGracingsIn(gracing, (previous != nullptr ? from_s : spelling.start_s) - kAlignment_s,
                         to_s + kAlignment_s);
        PipeNote note(name, spelling.start_s, spelling.end_s - spelling.start_s);
        if (isComplexMovement(name) && !isSingleGraceNote(name))
            note.setMelodyNoteStartOffset_s(unit.start_s - spelling.start_s);
        insertByStart(gracing, note);
    }
}

// The melody notes, each starting where the gracing that leads into it
// starts when that gracing is alone before it (several, one the vocabulary
// has no name for read in pieces, stay where they are and so does the note),
// and lasting until the next when they are played legato.
NoteMap placeMelody(const std::vector<Unit>& units, const NoteMap& gracing)
{
    std::vector<float> starts(units.size());
    for (std::size_t u = 0; u < units.size(); ++u) {
        starts[u] = units[u].start_s;
        if (!units[u].heard)
            continue;
        const float earliest_s = u > 0 ? std::max(units[u - 1].start_s, units[u].start_s - kLongestGracing_s)
                                       : units[u].start_s - kLongestGracing_s;
        const PipeNote* leading = nullptr;
        int leadingCount = 0;
        // Units may start together or out of order, so that the earliest
        // time is not before the unit's start: the walk stops at the end of
        // the map or at the unit's start, whichever comes first.
        for (auto it = gracing.upper_bound(earliest_s); it != gracing.end() && it->first < units[u].start_s; ++it) {
            if (u == 0 || it->first >= units[u - 1].end_s - kAlignment_s) {
                leading = leading != nullptr ? leading : &it->second;
                ++leadingCount;
            }
        }
        if (leadingCount == 1)
            starts[u] = leading->start_s();
    }
    NoteMap melody;
    for (std::size_t u = 0; u < units.size(); ++u) {
        float end_s = units[u].end_s;
        if (u + 1 < units.size() && starts[u + 1] - end_s < kLegatoGap_s)
            end_s = starts[u + 1];
        if (end_s > starts[u])
            insertByStart(melody, PipeNote(units[u].name, starts[u], end_s - starts[u]));
    }
    return melody;
}

// Times that are numbers, as the transcription gives them; a map with any
// other is no transcription to revise (and cannot be put in order).
bool wellFormed(const NoteMap& notes)
{
    return std::all_of(notes.begin(), notes.end(), [](const auto& entry) {
        return std::isfinite(entry.first) && std::isfinite(entry.second.start_s())
               && std::isfinite(entry.second.getEnd_s());
    });
}

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
    if (samples == nullptr || melody.empty() || !wellFormed(melody) || !wellFormed(gracing))
        return;
    const std::vector<Run> runs = readAround(samples, count, melody, gracing);
    std::vector<PipeNote> notes;
    for (const auto& entry : melody)
        notes.push_back(entry.second);

    const Assignment assignment = assignHeldRuns(runs, notes);
    std::vector<TimeRange> unheard;
    std::vector<Unit> units = unitsOf(notes, runs, assignment, unheard);
    putBackShortNotes(runs, assignment.orphans, units);
    sortByStart(units);
    putBackCutNotes(runs, units);

    for (const TimeRange& span : unheard)
        removeGracingsIn(gracing, span.first, span.second);
    nameGracings(runs, units, gracing);
    melody = placeMelody(units, gracing);
}
