// Embellishments recognised as a whole: GDEs, doublings, throws, single
// gracenotes, and the reform of melody and gracing from what they took.
//
// Maps and tracks, read (r) and written (w):
//   getGdes                  r mNotes                   w mProcessedNotes, mConsolidatedNotes, mGdeRanges
//   getDoublings             r mNotes, mGdeRanges       w mProcessedNotes, mConsolidatedNotes
//   extractThrd              r mNotes, mGdeRanges, mFrequencies, mQualities   w mProcessedNotes, mConsolidatedNotes
//   getSingleGracenotes      r mGdeRanges               w mProcessedNotes, mConsolidatedNotes
//   reformMelodyAndGracing   r mProcessedNotes, mConsolidatedNotes   w mNotes, mGraceNotes
//   stripUnlikelyGracenotes  r mNotes                   w mGraceNotes

#include "Vantor.h"

#include <algorithm>
#include <set>

namespace {

// A note lies in a GDE when its start plus 20 ms does.
constexpr float kGdeProbe_s = 0.02f;
// The High G of a High A doubling starts less than 0.2 s after the High A.
constexpr float kHighADoublingLead_s = 0.2f;
// Throws: a Low G held longer than 0.3 s makes a half throw; a C hidden in
// the D is looked for from 30 ms into a D longer than 0.1 s, over 1 s at most,
// as a pitch dip of at least 1 Hz (50 Hz tolerance, 30 ms half-width) that a
// quality dip of 0.02 below 0.7 (15 ms half-width) confirms.
constexpr float kHalfThrowLowG_s = 0.3f;
constexpr float kThrowDipMinD_s = 0.1f;
constexpr float kThrowDipSkip_s = 0.03f;
constexpr float kThrowDipSpan_s = 1.0f;
// Single gracenotes last 15 ms to 0.15 s.
constexpr float kSingleGraceMin_s = 0.015f;
// A melody note may reach back to its embellishment from up to 0.5 s away.
constexpr float kMelodyReachBack_s = 0.5f;

constexpr Vantor::TroughSearch kThrowDip{1.0f, 50.0f, 0.03f, 0.02f, 0.7f, 0.015f};

} // namespace

void Vantor::getGdes()
{
    const std::set<PipeNoteName> low = {LG, LA, B, C};
    PipeNotePattern pattern(kPatternMaxItem_s, kPatternJoin_s, kPatternOverlap_s);
    pattern.items = {PipeNotePattern::Item(HG), PipeNotePattern::Item(low), PipeNotePattern::Item(D),
                     PipeNotePattern::Item(low), PipeNotePattern::Item(E), PipeNotePattern::Item(low)};
    for (const PipeNotePattern::Match& match : detectPattern(pattern, true)) {
        std::vector<PipeNote> notes;
        for (const auto& entry : match.notes)
            notes.push_back(entry.second);
        // The three gracenotes must fall on one and the same low note.
        if (notes[3].noteName() != notes[1].noteName() || notes[5].noteName() != notes[1].noteName())
            continue;
        PipeNotePattern::Match gracenotes;
        const PipeNoteName names[] = {gg, dg, eg};
        for (int k = 0; k < 3; ++k) {
            const PipeNote& grace = notes[static_cast<std::size_t>(2 * k)];
            PipeNote named = grace;
            named.setNoteName(names[k]);
            insertByStart(mProcessedNotes, named);
            gracenotes.notes.emplace_hint(gracenotes.notes.end(), grace.start_s(), grace);
        }
        mGdeRanges.emplace_back(notes[0].start_s(), notes[4].start_s());
        removePatternMatch(gracenotes, mConsolidatedNotes);
    }
}

bool Vantor::overlapsGde(const PipeNote& note) const
{
    const float probe_s = note.start_s() + kGdeProbe_s;
    return std::any_of(mGdeRanges.begin(), mGdeRanges.end(),
                       [probe_s](const TimeRange& range) { return range.first <= probe_s && probe_s < range.second; });
}

void Vantor::getDoublings()
{
    using Item = PipeNotePattern::Item;
    const std::pair<float, float> taorluathNote(0.02f, 0.2f);
    const std::pair<float, float> gripNote(0.02f, 0.15f);

    struct Row {
        std::vector<Item> items;
        PipeNoteName name;
        int melodyNoteIndex = 0;
        bool keepLastNote = true;
        bool mustFollowMelodyNote = false;
        bool shortLastNote = false;
    };
    // Earlier rows take precedence: what a row matches leaves the
    // consolidated map before the next row is searched.
    const std::vector<Row> rows = {
        {{Item(LG, taorluathNote), Item(D, {0.005f, 0.2f}), Item(LG, taorluathNote), Item(E, taorluathNote),
          Item({LG, LA, B, C})},
         tar, 3},
        {{Item(LG, taorluathNote), Item(B, taorluathNote), Item(LG, taorluathNote), Item(E, taorluathNote),
          Item({LG, LA, B, C})},
         tarb},
        {{Item(HG), Item(LG), Item(D), Item(LG)}, dblg},
        {{Item(HA), Item(LG), Item(D), Item(LG)}, tdblg},
        {{Item(LG), Item(D), Item(LG)}, grp, 3, false, false, true},
        {{Item(LG), Item(D), Item(LG)}, hdblg, 0, true, true},
        {{Item(HG), Item(LA), Item(D), Item(LA)}, dbla},
        {{Item(HA), Item(LA), Item(D), Item(LA)}, tdbla},
        {{Item(LA), Item(D), Item(LA)}, hdbla, 0, true, true},
        {{Item(HG), Item(B), Item(D), Item(B)}, dbb},
        {{Item(HA), Item(B), Item(D), Item(B)}, tdbb},
        {{Item(B), Item(D), Item(B)}, hdbb, 0, true, true},
        {{Item(HG), Item(C), Item(D), Item(C)}, dbc},
        {{Item(HA), Item(C), Item(D), Item(C)}, tdbc},
        {{Item(C), Item(D), Item(C)}, hdbc, 0, true, true},
        {{Item(HG), Item(D), Item(E), Item(D)}, dbd},
        {{Item(HA), Item(D), Item(E), Item(D)}, tdbd},
        {{Item(D), Item(E), Item(D)}, hdbd, 0, true, true},
        {{Item(HG), Item(E), Item(F), Item(E)}, dbe},
        {{Item(HA), Item(E), Item(F), Item(E)}, tdbe},
        {{Item(E), Item(F), Item(E)}, hdbe, 0, true, true},
        {{Item(HG), Item(F), Item(HG), Item(F)}, dbf},
        {{Item(HA), Item(F), Item(HG), Item(F)}, tdbf},
        {{Item(F), Item(HG), Item(F)}, hdbf, 0, true, true},
        // The tdbf row again, deliberately: a second pass over what the half
        // doubling on F left behind. Rows are precedence, so it stays here.
        {{Item(HA), Item(F), Item(HG), Item(F)}, tdbf},
        {{Item(HG), Item(F), Item(HG)}, dbhg},
        {{Item(HA), Item(HG, gripNote), Item(HA)}, dbha},
        {{Item(LG, gripNote), Item(D, gripNote), Item({LA, B, C}, {kMinimumMelodyNote_s, kMaximumMelodyNote_s})}, grp},
    };

    PipeNotePattern pattern(kPatternMaxItem_s, kPatternJoin_s, kPatternOverlap_s);
    for (const Row& row : rows) {
        pattern.clear();
        pattern.items = row.items;
        pattern.mustFollowMelodyNote = row.mustFollowMelodyNote;
        pattern.shortLastNote = row.shortLastNote;
        std::vector<PipeNotePattern::Match> matches = detectPattern(pattern, false);
        if (row.name == dbha) {
            // The High G of a High A doubling follows the High A closely.
            matches.erase(std::remove_if(matches.begin(), matches.end(),
                                         [](const PipeNotePattern::Match& match) {
                                             const auto first = match.notes.begin();
                                             return !(std::next(first)->second.start_s() - first->second.start_s()
                                                      < kHighADoublingLead_s);
                                         }),
                          matches.end());
        }
        myApplyPatternMatches(row.name, matches, row.melodyNoteIndex, row.keepLastNote);
    }
}

void Vantor::extractThrd()
{
    PipeNotePattern pattern(kPatternMaxItem_s, kPatternJoin_s, kPatternOverlap_s);
    // A Low G held this long stays a note of its own: the throw is a half throw.
    auto throwKind = [](const PipeNote& lowG, const PipeNote& d) {
        return lowG.duration_s() > kHalfThrowLowG_s ? std::make_pair(hthrd, d.start_s())
                                                      : std::make_pair(thrd, lowG.start_s());
    };

    // Throws whose C was detected as a note of its own.
    pattern.items = {PipeNotePattern::Item(LG, {0.02f, 30.0f}), PipeNotePattern::Item(D, {0.03f, 1.0f}),
                     PipeNotePattern::Item(C, {0.02f, 0.15f}), PipeNotePattern::Item(D, {0.02f, 30.0f})};
    for (const PipeNotePattern::Match& match : detectPattern(pattern, false)) {
        auto it = match.notes.begin();
        const PipeNote a = (it++)->second;
        const PipeNote b = (it++)->second;
        const PipeNote c = it->second;
        const auto [name, start_s] = throwKind(a, b);
        PipeNote made(name, start_s, c.getEnd_s() - start_s);
        made.setMelodyNoteStartOffset_s(b.start_s() - start_s);
        mProcessedNotes.emplace(start_s, made);
        PipeNotePattern::Match removed;
        if (name == thrd)
            removed.notes.emplace(a.start_s(), a);
        removed.notes.emplace(b.start_s(), b);
        removed.notes.emplace(c.start_s(), c);
        removePatternMatch(removed, mConsolidatedNotes);
    }

    // Throws whose C shows only as a dip in the held D.
    pattern.clear();
    pattern.items = {PipeNotePattern::Item(LG, {0.02f, 30.0f}), PipeNotePattern::Item(D, {0.02f, 30.0f})};
    const float centre_Hz = mTuning.getReferenceNoteCentreFrequency_Hz(PipeTuning::D);
    for (const PipeNotePattern::Match& match : detectPattern(pattern, false)) {
        const PipeNote a = match.notes.begin()->second;
        const PipeNote b = std::next(match.notes.begin())->second;
        const auto [name, start_s] = throwKind(a, b);
        if (!(b.duration_s() > kThrowDipMinD_s))
            continue;
        const TimeRange range(b.start_s() + kThrowDipSkip_s, std::min(b.getEnd_s(), b.start_s() + kThrowDipSpan_s));
        const std::vector<float> dips = findConfirmedTroughs(range, centre_Hz, kThrowDip);
        if (dips.empty())
            continue;
        PipeNote made(name, start_s, range.first + dips.front() - start_s);
        made.setMelodyNoteStartOffset_s(b.start_s() - start_s);
        mProcessedNotes.emplace(start_s, made);
        if (name == thrd) {
            PipeNotePattern::Match removed;
            removed.notes.emplace(a.start_s(), a);
            removePatternMatch(removed, mConsolidatedNotes);
        }
    }
}

void Vantor::getSingleGracenotes()
{
    PipeNotePattern::Match taken;
    for (auto it = mConsolidatedNotes.begin(); it != mConsolidatedNotes.end(); ++it) {
        const PipeNote& note = it->second;
        if (!(kSingleGraceMin_s <= note.duration_s() && note.duration_s() < kGracenoteMax_s))
            continue;
        PipeNoteName name = Unknown;
        if (note.noteName() == LG) {
            if (overlapsGde(note))
                continue;
            // A short Low G between two different long notes is a High G
            // gracenote read an octave low; anywhere else it is a strike.
            name = strlg;
            if (it != mConsolidatedNotes.begin() && std::next(it) != mConsolidatedNotes.end()) {
                const PipeNote& before = std::prev(it)->second;
                const PipeNote& after = std::next(it)->second;
                if (before.duration_s() > kMinimumMelodyNote_s && after.duration_s() > kMinimumMelodyNote_s
                    && before.noteName() != after.noteName())
                    name = gg;
            }
        } else {
            name = melodyToSingleGraceNote(note.noteName());
            if (name == Unknown)
                continue;
        }
        PipeNote grace = note;
        grace.setNoteName(name);
        insertByStart(mProcessedNotes, grace);
        taken.notes.emplace_hint(taken.notes.end(), it->first, note);
    }
    // Neighbours were judged on the map as it stood; remove only now.
    removePatternMatch(taken, mConsolidatedNotes);
}

void Vantor::reformMelodyAndGracing()
{
    mGraceNotes.clear();
    mNotes.clear();
    if (mConsolidatedNotes.empty())
        return;

    NoteMap timeline;
    PipeNote head(Unknown, -1.0f, 1.0f);
    head.setMelodyNoteStartOffset_s(mConsolidatedNotes.begin()->second.start_s() + 1.0f);
    timeline.emplace(head.start_s(), head);
    for (const auto& entry : mProcessedNotes)
        timeline.emplace(entry.first, entry.second);
    timeline.emplace_hint(timeline.end(), kConsolidatedEnd_s, PipeNote(Unknown, kConsolidatedEnd_s, 0.0f));

    for (auto it = timeline.begin(); it != timeline.end(); ++it) {
        const PipeNote& p = it->second;
        if (p.start_s() >= 0.0f && p.getEnd_s() < kConsolidatedEnd_s)
            insertByStart(mGraceNotes, p);
        const auto next = std::next(it);
        if (next == timeline.end())
            continue;
        const PipeNote& q = next->second;
        const float gapStart_s = p.getEnd_s();
        if (!(q.start_s() - gapStart_s > kConsolidationGap_s))
            continue;
        const NoteMap overlapping = notesOverlappingRange(mConsolidatedNotes, TimeRange(gapStart_s, q.start_s()),
                                                          kConsolidationGap_s);
        const NoteMap clipped = constrainNotes(overlapping, TimeRange(std::max(p.start_s(), 0.0f), q.start_s()));
        std::vector<PipeNote> melody;
        for (const auto& entry : filterByDuration(clipped, kConsolidationGap_s, kMaximumMelodyNote_s))
            melody.push_back(entry.second);
        if (melody.empty())
            continue;
        // The melody note an embellishment leads into starts where the
        // embellishment says, and the last one lasts until the next
        // embellishment's melody note begins.
        PipeNote& first = melody.front();
        if (first.start_s() - gapStart_s < kMelodyReachBack_s) {
            const float end_s = first.getEnd_s();
            const float start_s = std::max(p.melodyNoteStart_s(), 0.0f);
            first.setStart_s(start_s);
            first.setDuration_s(end_s - start_s);
        }
        PipeNote& last = melody.back();
        last.setDuration_s(last.duration_s() + q.melodyNoteStartOffset_s());
        for (const PipeNote& note : melody)
            insertByStart(mNotes, note);
    }
}

void Vantor::stripUnlikelyGracenotes()
{
    for (auto it = mGraceNotes.begin(); it != mGraceNotes.end();) {
        const auto next = std::next(it);
        const PipeNote& grace = it->second;
        auto sameName = [&grace](const NoteMap& notes) {
            return std::any_of(notes.begin(), notes.end(),
                               [&grace](const auto& entry) { return entry.second.noteName() == grace.noteName(); });
        };
        bool erase = sameName(notesStartingAt(mNotes, grace.start_s(), kGraceLookup_s))
                     || sameName(notesEndingAt(mNotes, grace.start_s(), kGraceLookup_s));
        if (!erase && grace.duration_s() < kLongGracenote_s) {
            // A short gracenote crowding the embellishment right after it.
            for (const auto& entry : notesStartingAt(mGraceNotes, grace.getEnd_s(), kPatternJoin_s)) {
                const PipeNoteName name = entry.second.noteName();
                if (name != grace.noteName() && isComplexMovement(name))
                    erase = true;
            }
        }
        if (!erase && isMelodyNote(grace.noteName()) && grace.duration_s() > kGracenoteMax_s)
            erase = true;
        if (erase)
            mGraceNotes.erase(it);
        it = next;
    }
}