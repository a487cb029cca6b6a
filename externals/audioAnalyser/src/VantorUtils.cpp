#include "VantorUtils.h"

#include "BinnedTuning.h"
#include "utils.h"

#include <QDebug>
#include <QString>

#include <algorithm>

namespace {

// Two notes starting closer than this are taken to start together.
constexpr float kSameStart_s = 0.001f;

template <typename Keep>
NoteMap selectNotes(const NoteMap& notes, Keep keep)
{
    NoteMap selected;
    for (const auto& [key, note] : notes) {
        if (keep(key, note))
            selected.emplace_hint(selected.end(), key, note);
    }
    return selected;
}

PipeNote withSpan(const PipeNote& note, float start_s, float duration_s)
{
    PipeNote copy = note;
    copy.setStart_s(start_s);
    copy.setDuration_s(duration_s);
    return copy;
}

} // namespace

void insertByStart(NoteMap& notes, const PipeNote& note)
{
    notes.emplace(note.start_s(), note);
}

NoteMap filterByNote(PipeNoteName name, const NoteMap& notes)
{
    return selectNotes(notes, [name](float, const PipeNote& note) { return note.noteName() == name; });
}

NoteMap filterByDuration(const NoteMap& notes, float minDuration_s, float maxDuration_s)
{
    return selectNotes(notes, [=](float, const PipeNote& note) {
        return minDuration_s <= note.duration_s() && note.duration_s() < maxDuration_s;
    });
}

NoteMap notesOverlappingRange(const NoteMap& notes, TimeRange range, float tolerance_s)
{
    const float end_s = range.second + tolerance_s;
    const float start_s = range.first - tolerance_s;
    return selectNotes(notes, [=](float, const PipeNote& note) {
        return note.start_s() < end_s && note.getEnd_s() > start_s;
    });
}

NoteMap notesEndingAt(const NoteMap& notes, float time_s, float tolerance_s)
{
    const float from_s = time_s - tolerance_s;
    const float to_s = time_s + tolerance_s;
    return selectNotes(notes, [=](float, const PipeNote& note) {
        return from_s <= note.getEnd_s() && note.getEnd_s() < to_s;
    });
}

NoteMap notesStartingAt(const NoteMap& notes, float time_s, float tolerance_s)
{
    const float from_s = time_s - tolerance_s;
    const float to_s = time_s + tolerance_s;
    return selectNotes(notes, [=](float key, const PipeNote&) { return from_s <= key && key < to_s; });
}

NoteMap constrainNotes(const NoteMap& notes, TimeRange range)
{
    NoteMap constrained;
    for (const auto& entry : notes) {
        PipeNote note = entry.second;
        if (note.start_s() < range.first) {
            const float end_s = note.getEnd_s();
            note.setStart_s(range.first);
            note.setDuration_s(end_s - range.first);
        }
        if (note.duration_s() > range.second - note.start_s())
            note.setDuration_s(range.second - note.start_s());
        if (note.duration_s() > 0.0f)
            insertByStart(constrained, note);
    }
    return constrained;
}

void trimUsingExisting(const NoteMap& existing, NoteMap& notes)
{
    NoteMap trimmed;
    for (const auto& entry : notes) {
        const PipeNote& note = entry.second;
        const float s = note.start_s();
        const float e = note.getEnd_s();
        const NoteMap overlapping = notesOverlappingRange(existing, TimeRange(s, e), 0.0f);
        if (overlapping.empty()) {
            insertByStart(trimmed, note);
            continue;
        }
        float lo = s;
        float hi = e;
        bool remains = true;
        bool split = false;
        for (const auto& other : overlapping) {
            const float os = other.second.start_s();
            const float oe = other.second.getEnd_s();
            if (os < lo && oe > hi) {
                remains = false;
                break;
            }
            if (s <= os && os < e && s <= oe && oe < e) {
                // An accepted note inside this one: keep what lies either side.
                insertByStart(trimmed, withSpan(note, s, os - s));
                insertByStart(trimmed, withSpan(note, oe, e - oe));
                split = true;
                break;
            }
            if (s <= oe && oe < e)
                lo = std::max(lo, oe);
            if (s <= os && os < e)
                hi = std::min(hi, os);
            if (hi - lo <= 0.0f) {
                remains = false;
                break;
            }
        }
        if (remains && !split && hi - lo > 0.0f)
            insertByStart(trimmed, withSpan(note, lo, hi - lo));
    }
    notes = std::move(trimmed);
}

void simpleCombineNotes(NoteMap& notes, float gap_s)
{
    if (notes.empty())
        return;
    std::size_t before = 0;
    do {
        before = notes.size();
        auto current = notes.begin();
        while (current != notes.end()) {
            const auto next = std::next(current);
            if (next == notes.end())
                break;
            const PipeNote& c = current->second;
            const PipeNote& x = next->second;
            if (x.start_s() - c.getEnd_s() < gap_s) {
                const float start_s = std::min(c.start_s(), x.start_s());
                const float end_s = std::max(c.getEnd_s(), x.getEnd_s());
                const PipeNote merged(c.noteName(), start_s, end_s - start_s);
                notes.erase(next);
                notes.erase(current);
                current = notes.emplace(merged.start_s(), merged);
            } else {
                current = next;
            }
        }
    } while (notes.size() != before);
}

void combineNotes(NoteMap& notes, PipeNoteName target, std::set<PipeNoteName> always,
                  std::set<PipeNoteName> ifShort, float gap_s, float maxDuration_s)
{
    const std::vector<PipeNote> ordered = [&notes] {
        std::vector<PipeNote> v;
        v.reserve(notes.size());
        for (const auto& entry : notes)
            v.push_back(entry.second);
        return v;
    }();
    auto inSet = [](const std::set<PipeNoteName>& names, PipeNoteName name) { return names.count(name) > 0; };

    NoteMap combined;
    std::size_t i = 0;
    while (i < ordered.size()) {
        const PipeNote& c = ordered[i];
        bool merge = false;
        if (i + 1 < ordered.size()) {
            const PipeNote& x = ordered[i + 1];
            if (x.start_s() - c.getEnd_s() < gap_s) {
                if (c.noteName() == target)
                    merge = x.duration_s() < maxDuration_s && (inSet(always, x.noteName()) || inSet(ifShort, x.noteName()));
                else if (x.noteName() == target)
                    merge = inSet(always, c.noteName())
                            || (c.duration_s() < maxDuration_s && inSet(ifShort, c.noteName()));
            }
        }
        if (merge) {
            const PipeNote& x = ordered[i + 1];
            insertByStart(combined, PipeNote(target, c.start_s(), x.getEnd_s() - c.start_s()));
            i += 2;
        } else {
            insertByStart(combined, c);
            i += 1;
        }
    }
    notes = std::move(combined);
}

void recursiveCombineNotes(NoteMap& notes, PipeNoteName target, std::set<PipeNoteName> always,
                           std::set<PipeNoteName> ifShort, float gap_s, float maxDuration_s)
{
    if (notes.empty())
        return;
    std::size_t before = 0;
    do {
        before = notes.size();
        combineNotes(notes, target, always, ifShort, gap_s, maxDuration_s);
    } while (notes.size() != before);
}

NoteMap extractNotes(const std::vector<PipeTuning::ReferenceNote>& track, float minDuration_s, float maxDuration_s,
                     float secondsPerStep)
{
    NoteMap notes;
    if (track.empty() || !(secondsPerStep > 0.0f))
        return notes;
    const int windowLength = std::max(0, utils::truncateToInt(minDuration_s / secondsPerStep));
    DominantNote dominant(track, static_cast<unsigned int>(windowLength));

    PipeTuning::ReferenceNote previous = PipeTuning::Unknown;
    float start_s = 0.0f;
    const std::size_t last = track.size() - 1;
    for (std::size_t i = 0; i < track.size(); ++i) {
        const PipeTuning::ReferenceNote current = dominant.atPos(static_cast<unsigned int>(i), false);
        if (current == previous && i != last)
            continue;
        const float change_s = static_cast<float>(dominant.getNoteChangePos(current)) * secondsPerStep;
        if (previous == PipeTuning::Unknown) {
            start_s = change_s;
            previous = current;
            continue;
        }
        const float duration_s = change_s - start_s;
        if (minDuration_s <= duration_s && duration_s < maxDuration_s)
            insertByStart(notes, PipeNote(referenceNoteToNoteName(previous), start_s, duration_s));
        start_s = change_s;
        previous = current;
    }
    return notes;
}

void timeShiftNotes(float shift_s, const NoteMap& melodyIn, const NoteMap& graceIn, NoteMap& melodyOut,
                    NoteMap& graceOut)
{
    for (const auto& entry : melodyIn) {
        PipeNote note = entry.second;
        note.setStart_s(note.start_s() + shift_s);
        const float end_s = note.getEnd_s();
        if (!(end_s > 0.0f))
            continue;
        if (note.start_s() < 0.0f) {
            note.setStart_s(0.0f);
            note.setDuration_s(end_s);
        }
        insertByStart(melodyOut, note);
    }
    for (const auto& entry : graceIn) {
        PipeNote note = entry.second;
        note.setStart_s(note.start_s() + shift_s);
        if (note.getEnd_s() >= 0.0f)
            insertByStart(graceOut, note);
    }
}

std::vector<PipeNote> combineMelodyAndGraceNotes(const NoteMap& melody, const NoteMap& grace)
{
    std::vector<PipeNote> combined;
    combined.reserve(melody.size() + grace.size());
    auto m = melody.begin();
    auto g = grace.begin();
    while (m != melody.end() && g != grace.end()) {
        const float melodyStart_s = m->second.start_s();
        const float graceStart_s = g->second.start_s();
        if (graceStart_s < melodyStart_s - kSameStart_s || graceStart_s >= melodyStart_s + kSameStart_s) {
            if (melodyStart_s <= graceStart_s)
                combined.push_back((m++)->second);
            else
                combined.push_back((g++)->second);
        } else {
            combined.push_back((g++)->second);
            combined.push_back((m++)->second);
        }
    }
    for (; m != melody.end(); ++m)
        combined.push_back(m->second);
    for (; g != grace.end(); ++g)
        combined.push_back(g->second);
    return combined;
}

void splitMelodyAndGraceNotes(const std::vector<PipeNote>& notes, NoteMap& melody, NoteMap& grace)
{
    for (const PipeNote& note : notes)
        insertByStart(isMelodyNote(note.noteName()) ? melody : grace, note);
}

NoteMap::iterator getIteratorForNote(PipeNote note, NoteMap& notes)
{
    const float from_s = note.start_s() - kSameStart_s;
    const float to_s = note.start_s() + kSameStart_s;
    for (auto it = notes.begin(); it != notes.end(); ++it) {
        const PipeNote& candidate = it->second;
        if (candidate.noteName() == note.noteName() && from_s <= candidate.start_s() && candidate.start_s() < to_s)
            return it;
    }
    return notes.end();
}

void outputNotes(std::string label, const NoteMap& notes)
{
    qDebug() << "Vantor: " << QString::fromStdString(label);
    float previousEnd_s = 0.0f;
    bool first = true;
    for (const auto& entry : notes) {
        const PipeNote& note = entry.second;
        const float gap_s = first ? 0.0f : note.start_s() - previousEnd_s;
        qDebug() << note.start_s() << " - " << note.getEnd_s() << " = " << QString::fromStdString(toString(note.noteName()))
                 << " dur: " << note.duration_s() << " diff: " << gap_s;
        previousEnd_s = note.getEnd_s();
        first = false;
    }
    qDebug() << " ";
}
