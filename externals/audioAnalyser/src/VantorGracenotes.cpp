// Gracenote extraction, consolidation and crossing-noise removal.
//
// Maps and tracks, read (r) and written (w):
//   getGraceNotes            r mNoteTrack, mFlatNoteTrack, mPickedNoteTrack, mQualities, mNotes   w mGraceNotes
//   initialGraceNoteStrip    r mNotes                                     w mGraceNotes
//   advancedGraceNoteSearch  r mNotes, mFrequencies, mProcessedNotes, mGdeRanges   w mGraceNotes
//   consolidate              r mNotes, mGraceNotes   (returns the consolidated map)
//   stripCrossingNoises      r mNotes, mProcessedNotes, mGdeRanges        w mConsolidatedNotes

#include "Vantor.h"

#include "utils.h"

#include <algorithm>
#include <set>

namespace {

// Gracenote candidates are cut with short dominance windows from the note
// tracks: at least 5 ms from the flat track, 2 ms from the others, and under
// 0.15 s (0.2 s for the low notes C, B, Low A and Low G).
constexpr float kFlatCandidateMin_s = 0.005f;
constexpr float kCandidateMin_s = 0.002f;
constexpr float kLowGracenoteMax_s = 0.2f;

// How each name's candidates are accepted: neighbours closer than join_s are
// combined, and what lasts at least min_s (and less than the maximum) is kept.
struct CandidateRule {
    float join_s;
    float min_s;
};
constexpr CandidateRule kDOrE{0.01f, 0.015f};
constexpr CandidateRule kHighA{0.02f, 0.02f};
constexpr CandidateRule kF{0.005f, 0.02f};
constexpr CandidateRule kLowNote{0.005f, 0.02f};
// D and E candidates of 5 to 15 ms, and F ones of 5 to 20 ms, are too short
// to stand alone; they count inside the first 0.2 s of a melody note.
constexpr float kShortCandidateMin_s = 0.005f;
constexpr float kShortCandidateWindow_s = 0.2f;

// High G comes from the peak picker: octave (Low G) and neighbour (F)
// fragments under 20 ms are absorbed across gaps of 5 ms, its edges move out
// across windows of quality under 0.7 unless that makes it 80 ms or longer,
// pieces within 20 ms are joined, and it must last 15 ms.
constexpr float kHighGFragmentGap_s = 0.005f;
constexpr float kHighGFragmentMax_s = 0.02f;
constexpr float kHighGStretchQuality = 0.7f;
constexpr float kHighGStretchMax_s = 0.08f;
constexpr float kHighGJoin_s = 0.02f;
constexpr float kHighGMin_s = 0.015f;

// A High G this close to the end of a High A gracenote is its tail.
constexpr float kHighATail_s = 0.02f;

// A C of 2 to 80 ms between two Low Gs is a D gracenote read flat; the short
// second detection of a transition pair lasts 2 to 40 ms.
constexpr float kFlatDMin_s = 0.002f;
constexpr float kFlatDMax_s = 0.08f;
constexpr float kTransitionSecondMin_s = 0.002f;
constexpr float kTransitionSecondMax_s = 0.04f;

// Hidden D gracenotes in long Low G notes: 5 ms pitch averages (over windows
// at least 75 % voiced), searched from 20 ms into notes longer than 60 ms up
// to 25 ms before their end, clear of other gracenotes by 50 ms.
constexpr float kHiddenDAverage_s = 0.005f;
constexpr float kHiddenDVoicedFraction = 0.75f;
constexpr float kHiddenDMinNote_s = 0.06f;
constexpr float kHiddenDMargin_s = 0.02f;
constexpr float kHiddenDEndMargin_s = 0.025f;
constexpr float kHiddenDClearance_s = 0.05f;

// Same-name neighbours of the consolidated map closer than 0.15 s are joined.
constexpr float kSameNoteJoin_s = 0.15f;
// A crossing noise is a Low A of 5 ms to 0.1 s between a high note and Low G.
constexpr float kCrossingNoiseMin_s = 0.005f;
constexpr float kCrossingNoiseMax_s = 0.1f;

} // namespace

void Vantor::getGraceNotes()
{
    const float step_s = secondsPerStep();
    const NoteMap flat = extractNotes(mFlatNoteTrack, kFlatCandidateMin_s, kGracenoteMax_s, step_s);
    const NoteMap picked = extractNotes(mPickedNoteTrack, kCandidateMin_s, kGracenoteMax_s, step_s);
    const NoteMap plain = extractNotes(mNoteTrack, kCandidateMin_s, kGracenoteMax_s, step_s);

    NoteMap shortCandidates;
    auto insertAll = [](const NoteMap& from, NoteMap& into) {
        for (const auto& entry : from)
            into.emplace(entry.first, entry.second);
    };
    // Every name is trimmed against the gracenotes accepted before it.
    auto accept = [&](NoteMap& candidates, CandidateRule rule, float max_s) {
        simpleCombineNotes(candidates, rule.join_s);
        trimUsingExisting(mGraceNotes, candidates);
        insertAll(filterByDuration(candidates, rule.min_s, max_s), mGraceNotes);
    };

    for (PipeNoteName name : {D, E}) {
        NoteMap candidates = filterByNote(name, flat);
        accept(candidates, kDOrE, kGracenoteMax_s);
        insertAll(filterByDuration(candidates, kShortCandidateMin_s, kDOrE.min_s), shortCandidates);
    }

    NoteMap highA = filterByNote(HA, plain);
    accept(highA, kHighA, kGracenoteMax_s);

    // High G from the peak picker, with its octave and neighbour fragments
    // absorbed and its edges moved out across poor-quality windows.
    NoteMap highG = picked;
    trimUsingExisting(mGraceNotes, highG);
    recursiveCombineNotes(highG, HG, {LG, HG}, {F}, kHighGFragmentGap_s, kHighGFragmentMax_s);
    highG = stretchNotesByQuality(filterByNote(HG, highG), kHighGStretchQuality, kHighGStretchMax_s);
    simpleCombineNotes(highG, kHighGJoin_s);
    trimUsingExisting(mGraceNotes, highG);
    simpleCombineNotes(highG, kHighGJoin_s);
    insertAll(filterByDuration(highG, kHighGMin_s, kGracenoteMax_s), mGraceNotes);

    NoteMap f = filterByNote(F, flat);
    accept(f, kF, kGracenoteMax_s);
    insertAll(filterByDuration(f, kShortCandidateMin_s, kF.min_s), shortCandidates);

    for (PipeNoteName name : {C, B, LA, LG}) {
        NoteMap candidates = filterByNote(name, flat);
        accept(candidates, kLowNote, kLowGracenoteMax_s);
    }

    // Candidates too short on their own count inside the first 0.2 s of a
    // melody note.
    trimUsingExisting(mGraceNotes, shortCandidates);
    for (const auto& melodyEntry : mNotes) {
        const PipeNote& melody = melodyEntry.second;
        const float until_s = std::min(melody.getEnd_s(), melody.start_s() + kShortCandidateWindow_s);
        for (const auto& candidate : shortCandidates) {
            const float start_s = candidate.second.start_s();
            if (melody.start_s() < start_s && start_s < until_s)
                mGraceNotes.emplace(start_s, candidate.second);
        }
    }
}

void Vantor::initialGraceNoteStrip()
{
    // A High G right at the end of a High A gracenote is the High A's tail.
    for (auto it = mGraceNotes.begin(); it != mGraceNotes.end(); ++it) {
        const auto next = std::next(it);
        if (next == mGraceNotes.end())
            break;
        const PipeNote& g = it->second;
        const PipeNote& x = next->second;
        if (g.noteName() == HA && x.noteName() == HG && g.getEnd_s() - kHighATail_s <= x.start_s()
            && x.start_s() < g.getEnd_s() + kHighATail_s)
            mGraceNotes.erase(next);
    }
    stripImpossibleGracenoteTransitions();
}

void Vantor::advancedGraceNoteSearch()
{
    const NoteMap consolidated = consolidate();

    // A short C between two Low Gs is a D gracenote read flat.
    PipeNotePattern lowGC(kPatternMaxItem_s, kPatternJoin_s, kPatternOverlap_s);
    lowGC.items = {PipeNotePattern::Item(LG), PipeNotePattern::Item(C, {kFlatDMin_s, kFlatDMax_s}), PipeNotePattern::Item(LG)};
    for (const PipeNotePattern::Match& match : lowGC.detect(consolidated, mNotes, mProcessedNotes, mGdeRanges, false)) {
        const PipeNote& c = std::next(match.notes.begin())->second;
        const PipeNote* found = findGraceEntry(c);
        if (found == nullptr)
            continue;
        const auto renamed = mGraceNotes.find(found->start_s());
        if (renamed != mGraceNotes.end())
            renamed->second.setNoteName(D);
    }

    const TimeRange shortSecond(kTransitionSecondMin_s, kTransitionSecondMax_s);
    removeTransitionGraceNotes(consolidated, LG, D, C, LG, shortSecond);
    removeTransitionGraceNotes(consolidated, Unknown, E, D, Unknown, shortSecond);
    removeTransitionGraceNotes(consolidated, Unknown, HG, D, C, shortSecond);
    removeTransitionGraceNotes(consolidated, LG, D, E, LG, shortSecond);

    // D gracenotes hidden in long Low G notes show as a stretch of pitch above B.
    const float threshold_Hz = mTuning.getReferenceNoteCentreFrequency_Hz(PipeTuning::B);
    const int averageWindows =
        utils::truncateToInt(mSamplingFrequency_Hz * kHiddenDAverage_s / static_cast<float>(mStepSize));
    const float windowsPerSecond = mSamplingFrequency_Hz / static_cast<float>(mStepSize);
    for (const auto& entry : consolidated) {
        const PipeNote& lowG = entry.second;
        if (lowG.noteName() != LG || !(lowG.duration_s() > kHiddenDMinNote_s))
            continue;
        int i = windowIndex(lowG.start_s() + kHiddenDMargin_s);
        const int last = utils::truncateToInt(mSamplingFrequency_Hz * (lowG.getEnd_s() - kHiddenDMargin_s - kHiddenDAverage_s)
                                              / static_cast<float>(mStepSize));
        const float limit_s = lowG.getEnd_s() - kHiddenDEndMargin_s;
        while (i < last) {
            float average_Hz = calcWindowAverage(mFrequencies, i, averageWindows, kHiddenDVoicedFraction);
            if (average_Hz > threshold_Hz) {
                const float start_s = windowTime(i);
                do {
                    ++i;
                    average_Hz = calcWindowAverage(mFrequencies, i, averageWindows, kHiddenDVoicedFraction);
                } while (average_Hz > threshold_Hz && i < last);
                const float end_s = std::min(windowTime(i), limit_s);
                const NoteMap near = notesOverlappingRange(mGraceNotes, TimeRange(start_s, end_s), kHiddenDClearance_s);
                const bool onlyLowG = std::all_of(near.begin(), near.end(),
                                                  [](const auto& n) { return n.second.noteName() == LG; });
                if (end_s > start_s && onlyLowG) {
                    mGraceNotes.emplace(start_s, PipeNote(D, start_s, end_s - start_s));
                    i = utils::truncateToInt(windowsPerSecond * (end_s + kHiddenDClearance_s));
                }
            }
            ++i;
        }
    }
}

NoteMap Vantor::consolidate()
{
    NoteMap working;
    working.emplace(-1.0f, PipeNote(Unknown, -1.0f, 1.0f));
    for (const auto& entry : mGraceNotes)
        working.emplace_hint(working.end(), entry.first, entry.second);
    working.emplace_hint(working.end(), kConsolidatedEnd_s, PipeNote(Unknown, kConsolidatedEnd_s, 0.0f));

    NoteMap consolidated;
    auto insert = [&consolidated](const PipeNote& note) {
        insertByStart(consolidated, note);
    };
    for (auto it = working.begin(); it != working.end(); ++it) {
        const PipeNote& g = it->second;
        if (g.start_s() >= 0.0f && g.getEnd_s() < kConsolidatedEnd_s)
            insert(g);
        const auto next = std::next(it);
        if (next == working.end() || !(next->second.start_s() - g.getEnd_s() > kConsolidationGap_s))
            continue;
        // The melody between two gracenotes.
        const TimeRange gap(g.getEnd_s(), next->second.start_s());
        const NoteMap pieces = filterByDuration(constrainNotes(notesOverlappingRange(mNotes, gap, 0.0f), gap),
                                                kConsolidationGap_s, kMaximumMelodyNote_s);
        for (const auto& piece : pieces)
            insert(piece.second);
    }

    if (consolidated.empty())
        return consolidated;
    std::size_t before = 0;
    do {
        before = consolidated.size();
        auto it = consolidated.begin();
        while (it != consolidated.end()) {
            const auto next = std::next(it);
            if (next == consolidated.end())
                break;
            const PipeNote c = it->second;
            const PipeNote x = next->second;
            const float gap_s = x.start_s() - c.getEnd_s();
            if (gap_s < kSameNoteJoin_s && x.noteName() == c.noteName()) {
                const float start_s = std::min(c.start_s(), x.start_s());
                const float end_s = std::max(c.getEnd_s(), x.getEnd_s());
                consolidated.erase(next);
                consolidated.erase(it);
                it = consolidated.emplace(start_s, PipeNote(c.noteName(), start_s, end_s - start_s));
            } else if (gap_s < 0.0f) {
                // Overlapping notes of different names: the later one starts
                // where the earlier ends; one lying wholly inside is dropped.
                consolidated.erase(next);
                if (x.getEnd_s() > c.getEnd_s())
                    consolidated.emplace(c.getEnd_s(), PipeNote(x.noteName(), c.getEnd_s(), x.getEnd_s() - c.getEnd_s()));
                it = std::next(it);
            } else {
                it = next;
            }
        }
    } while (consolidated.size() != before);
    return consolidated;
}

void Vantor::stripCrossingNoises()
{
    const std::set<PipeNoteName> high = {E, F, HG, HA};
    const std::pair<float, float> noise(kCrossingNoiseMin_s, kCrossingNoiseMax_s);
    PipeNotePattern pattern(kPatternMaxItem_s, kPatternJoin_s, kPatternOverlap_s);

    // High note, short Low A, Low G: the Low G starts where the Low A did.
    pattern.items = {PipeNotePattern::Item(high), PipeNotePattern::Item(LA, noise), PipeNotePattern::Item(LG)};
    for (const PipeNotePattern::Match& match : detectPattern(pattern, false)) {
        auto it = match.notes.begin();
        const PipeNote la = (++it)->second;
        const PipeNote lg = (++it)->second;
        mConsolidatedNotes.erase(la.start_s());
        const auto found = mConsolidatedNotes.find(lg.start_s());
        if (found == mConsolidatedNotes.end())
            continue;
        mConsolidatedNotes.erase(found);
        mConsolidatedNotes.emplace(la.start_s(), PipeNote(LG, la.start_s(), lg.getEnd_s() - la.start_s()));
    }

    // Low G, short Low A, high note: the Low G runs on to the Low A's end.
    pattern.clear();
    pattern.items = {PipeNotePattern::Item(LG), PipeNotePattern::Item(LA, noise), PipeNotePattern::Item(high)};
    for (const PipeNotePattern::Match& match : detectPattern(pattern, false)) {
        auto it = match.notes.begin();
        const PipeNote lg = it->second;
        const PipeNote la = (++it)->second;
        mConsolidatedNotes.erase(la.start_s());
        const auto found = mConsolidatedNotes.find(lg.start_s());
        if (found != mConsolidatedNotes.end())
            found->second.setDuration_s(la.getEnd_s() - found->second.start_s());
    }
}