#include "MetreEstimator.h"

#include "BeatTracker.h"
#include "VantorUtils.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <initializer_list>
#include <numeric>
#include <optional>

namespace {

using namespace beatTracking;

// How much clearer, against the mean accent, the accent of a bar one beat
// longer must be.
constexpr float kLongerBarMargin = 0.1f;
// How much less likely, per beat, a pick-up is: a tune that starts on a beat
// starts on its bar line unless the accents clearly say otherwise.
constexpr float kPickUpPenalty = 1.0f;
// Melodic repetition is judged over at least this many beats, and a phrase
// is heard to come back when more of its notes than this recur.
constexpr int kMinimumCompared_beats = 8;
constexpr float kPhraseRepetition = 0.3f;
// How near an odd eighth of the beat an onset must be to count as on it, in
// beats: nearer than a triplet's third of the beat (1/24 away).
constexpr float kEighthTolerance = 0.04f;
// A first note this much of a beat before a bar line is a pick-up: half the
// shortest pick-up, a semiquaver (a sixth of a compound beat).
constexpr float kPickUpLead_beats = 0.08f;
// The beat is tracked through an envelope of the whole tune, so a tune is
// estimated only with every note inside this span from the start (an hour).
constexpr float kLongestTune_s = 3600.0f;

// The tracker's first beat can come after the first note, even a beat or
// more after it where the opening notes do not yet repeat: the beats are
// carried back, a beat at a time, until the first note is on a beat or
// after one, so that the pick-up is measured from the beat it was played
// on and not from the next.
void coverTheFirstNote(std::vector<float>& beats, float first_s)
{
    while (beats.size() >= 2 && beats[0] - first_s > kPickUpLead_beats * (beats[1] - beats[0]))
        beats.insert(beats.begin(), beats[0] - (beats[1] - beats[0]));
}

bool compoundMetre(const std::vector<Onset>& onsets, const std::vector<float>& beats)
{
    int thirds = 0;
    int halvesAndQuarters = 0;
    for (const Onset& onset : onsets) {
        const std::optional<BeatPhase> where = beatPhase(beats, onset.time_s, 0.0f);
        if (!where)
            continue;
        const float phase = where->phase;
        auto near = [&](float at) { return std::abs(phase - at) < kSubdivisionTolerance; };
        if (near(1.0f / 3.0f) || near(2.0f / 3.0f))
            ++thirds;
        else if (near(0.25f) || near(0.5f) || near(0.75f))
            ++halvesAndQuarters;
    }
    return thirds > halvesAndQuarters;
}

// The first bar line of a phase not before the first note (less a
// pick-up's lead), and the beats played before it.
std::pair<int, float> firstBarLine(const std::vector<float>& beats, float first_s, int phase, int perBar)
{
    int bar = phase;
    while (bar + perBar < static_cast<int>(beats.size()) && beats[static_cast<std::size_t>(bar)] < first_s - kPickUpLead_beats * (beats[1] - beats[0]))
        bar += perBar;
    float lead = 0.0f;
    const std::size_t k = static_cast<std::size_t>(bar);
    if (k < beats.size()) {
        // Whole beats from the first note's beat, and the part of its own.
        std::size_t from = 0;
        while (from + 1 < beats.size() && beats[from + 1] <= first_s)
            ++from;
        const float within = from + 1 < beats.size() ? (first_s - beats[from]) / (beats[from + 1] - beats[from]) : 0.0f;
        lead = static_cast<float>(k) - static_cast<float>(from) - within;
    }
    return {bar, lead};
}

// Each beat's rhythm: its onsets in twelfths of the beat (halves, thirds and
// quarters), and whether a note is held past its end.
using BeatRhythm = std::array<float, 13>;

std::vector<BeatRhythm> beatRhythms(const std::vector<Onset>& onsets, const std::vector<float>& beats)
{
    constexpr std::size_t kPositions = 12;
    std::vector<BeatRhythm> rhythm(beats.empty() ? 0 : beats.size() - 1);
    for (auto& beat : rhythm)
        beat.fill(0.0f);
    for (const Onset& onset : onsets) {
        const std::optional<BeatPhase> at = beatPhase(beats, onset.time_s, kLeadIn_s);
        if (!at)
            continue;
        std::size_t k = at->beat;
        std::size_t position = static_cast<std::size_t>(std::lround(std::max(0.0f, at->phase) * kPositions));
        if (position >= kPositions) {
            position = 0;
            if (++k + 1 >= beats.size())
                continue;
        }
        rhythm[k][position] += 1.0f;
        if (onset.time_s + onset.duration_s > beats[k + 1] + kLeadIn_s)
            rhythm[k][kPositions] += 1.0f;
    }
    return rhythm;
}

// How alike the rhythm of beats lag apart is (0..1).
float rhythmPeriodicity(const std::vector<BeatRhythm>& rhythm, std::size_t lag)
{
    double total = 0.0;
    std::size_t pairs = 0;
    for (std::size_t k = 0; k + lag < rhythm.size(); ++k) {
        const BeatRhythm& a = rhythm[k];
        const BeatRhythm& b = rhythm[k + lag];
        const double dot = std::inner_product(a.begin(), a.end(), b.begin(), 0.0);
        const double norms = std::sqrt(std::inner_product(a.begin(), a.end(), a.begin(), 0.0)
                                       * std::inner_product(b.begin(), b.end(), b.begin(), 0.0));
        total += norms > 0.0 ? dot / norms : 0.0;
        ++pairs;
    }
    return pairs > 0 ? static_cast<float>(total / static_cast<double>(pairs)) : 0.0f;
}

constexpr int kSamplesPerBeat = 4;

// The melody note sounding four times a beat (Unknown in the gaps).
std::vector<PipeNoteName> soundingNotes(const NoteMap& melody, const std::vector<float>& beats)
{
    std::vector<PipeNoteName> sounding;
    for (std::size_t k = 0; k + 1 < beats.size(); ++k) {
        for (int q = 0; q < kSamplesPerBeat; ++q) {
            const float at_s = beats[k] + (beats[k + 1] - beats[k]) * (static_cast<float>(q) + 0.5f) / kSamplesPerBeat;
            auto next = melody.upper_bound(at_s);
            PipeNoteName name = Unknown;
            if (next != melody.begin() && at_s < std::prev(next)->second.getEnd_s() + kLeadIn_s)
                name = std::prev(next)->second.noteName();
            sounding.push_back(name);
        }
    }
    return sounding;
}

// How often the melody plays the same note lag beats later (0..1); nullopt
// when too little of the tune is that long.
std::optional<float> melodicRepetition(const std::vector<PipeNoteName>& sounding, std::size_t lag)
{
    const std::size_t offset = lag * kSamplesPerBeat;
    int same = 0;
    int compared = 0;
    for (std::size_t n = 0; n + offset < sounding.size(); ++n) {
        if (sounding[n] == Unknown || sounding[n + offset] == Unknown)
            continue;
        ++compared;
        same += sounding[n] == sounding[n + offset] ? 1 : 0;
    }
    if (compared < kMinimumCompared_beats * kSamplesPerBeat)
        return std::nullopt;
    return static_cast<float>(same) / static_cast<float>(compared);
}

// Cut time (2/2): a reel's beat is a minim whose halves are pointed pairs,
// a dotted quaver and a semiquaver, so its onsets fall three and seven
// eighths into the beat, where a march at the same beat points the beat
// itself (three quarters into it). When most played beats hold such a
// pointed half, the beat is a minim.
bool cutTime(const std::vector<Onset>& onsets, const std::vector<float>& beats)
{
    std::vector<char> played(beats.size(), 0);
    std::vector<char> pointed(beats.size(), 0);
    for (const Onset& onset : onsets) {
        const std::optional<BeatPhase> at = beatPhase(beats, onset.time_s, kLeadIn_s);
        if (!at)
            continue;
        played[at->beat] = 1;
        if (std::abs(at->phase - 0.375f) < kEighthTolerance || std::abs(at->phase - 0.875f) < kEighthTolerance)
            pointed[at->beat] = 1;
    }
    const int playedBeats = std::accumulate(played.begin(), played.end(), 0);
    const int pointedBeats = std::accumulate(pointed.begin(), pointed.end(), 0);
    return 2 * pointedBeats > playedBeats;
}

// The strongest return of the melody after any of lags beats, if the tune is
// long enough to tell.
std::optional<float> strongestReturn(const std::vector<PipeNoteName>& sounding, std::initializer_list<std::size_t> lags)
{
    std::optional<float> strongest;
    for (std::size_t lag : lags) {
        const std::optional<float> repetition = melodicRepetition(sounding, lag);
        if (repetition && (!strongest || *repetition > *strongest))
            strongest = repetition;
    }
    return strongest;
}

// Whether the tune goes in threes of beats (3/4) rather than in twos or
// fours (2/4, 4/4). A tune's bars and phrases repeat their rhythm, so the
// rhythm must repeat more closely after 3 or 6 beats than after 2, 4 or 8;
// and where the melody can tell (the tune is long enough and a phrase comes
// back at all), it must come back more clearly after four or eight bars of
// three (12 or 24 beats) than after four or eight bars of two (8 or 16
// beats). Beats of much the same rhythm throughout repeat at every lag, so
// the rhythm alone cannot say three.
bool tripleMetre(const std::vector<Onset>& onsets, const std::vector<float>& beats,
                 const std::vector<PipeNoteName>& sounding)
{
    const std::vector<BeatRhythm> rhythm = beatRhythms(onsets, beats);
    const float triple = std::max(rhythmPeriodicity(rhythm, 3), rhythmPeriodicity(rhythm, 6));
    float duple = 0.0f;
    for (std::size_t lag : {2, 4, 8})
        duple = std::max(duple, rhythmPeriodicity(rhythm, lag));
    if (!(triple > duple))
        return false;
    const std::optional<float> inThrees = strongestReturn(sounding, {12, 24});
    const std::optional<float> inTwos = strongestReturn(sounding, {8, 16});
    return !inThrees || !inTwos || !(std::max(*inThrees, *inTwos) > kPhraseRepetition) || *inThrees > *inTwos;
}

// Two or four beats a bar, from where the melody comes back: pipe tunes are
// built of four-bar phrases, so a melody that returns after eight beats about
// as clearly as after sixteen (two thirds or more) has bars of two beats, one
// that returns after sixteen and hardly after eight (a third or less) bars of
// four. Between, or when it cannot tell, both: the accents decide.
std::vector<int> dupleBars(const std::vector<PipeNoteName>& sounding)
{
    const std::optional<float> afterEight = melodicRepetition(sounding, 8);
    const std::optional<float> afterSixteen = melodicRepetition(sounding, 16);
    if (!afterEight || !afterSixteen || !(*afterSixteen > kPhraseRepetition))
        return {2, 4};
    const float ratio = *afterEight / *afterSixteen;
    if (ratio >= 2.0f / 3.0f)
        return {2};
    if (ratio <= 1.0f / 3.0f)
        return {4};
    return {2, 4};
}

// Beats per bar (one of candidates) and the phase of the bar lines: the bar
// whose first beats are most accented against its others.
std::pair<int, int> barOf(const std::vector<Onset>& onsets, const std::vector<float>& beats,
                          const std::vector<int>& candidates)
{
    std::vector<float> accents(beats.size(), 0.0f);
    for (const Onset& onset : onsets) {
        const auto next = std::lower_bound(beats.begin(), beats.end(), onset.time_s);
        std::size_t nearest = static_cast<std::size_t>(next - beats.begin());
        if (nearest > 0 && (nearest == beats.size() || onset.time_s - beats[nearest - 1] < beats[nearest] - onset.time_s))
            --nearest;
        if (nearest < beats.size() && std::abs(beats[nearest] - onset.time_s) < 0.15f * kTypicalBeat_s)
            accents[nearest] += onset.weight;
    }
    float mean = 0.0f;
    for (float accent : accents)
        mean += accent;
    mean = accents.empty() ? 0.0f : mean / static_cast<float>(accents.size());
    if (!(mean > 0.0f))
        return {2, 0};
    // Beats from the first note to the first bar line of a phase.
    auto pickUpBeats = [&](int phase, int perBar) {
        return firstBarLine(beats, onsets.front().time_s, phase, perBar).second;
    };
    // How likely bar lines every perBar beats from phase are: how much more
    // the bar's first beats are accented than its others, against the
    // tune's mean accent; a longer bar must show it more clearly to be
    // chosen, and the longer the pick-up a bar line leaves before it, the
    // less likely that bar line is.
    auto likelihood = [&](int perBar, int phase) {
        float on = 0.0f;
        float off = 0.0f;
        int onCount = 0;
        int offCount = 0;
        for (std::size_t k = 0; k < accents.size(); ++k) {
            if (static_cast<int>(k) % perBar == phase) {
                on += accents[k];
                ++onCount;
            } else {
                off += accents[k];
                ++offCount;
            }
        }
        if (onCount == 0 || offCount == 0)
            return -1e9f;
        return (on / static_cast<float>(onCount) - off / static_cast<float>(offCount)) / mean
               - kLongerBarMargin * static_cast<float>(perBar - 2) - kPickUpPenalty * pickUpBeats(phase, perBar);
    };
    int bestBeats = 2;
    int bestPhase = 0;
    float best = -1e9f;
    for (int perBar : candidates) {
        std::vector<int> phases(static_cast<std::size_t>(perBar));
        std::iota(phases.begin(), phases.end(), 0);
        if (perBar == 4) {
            // The third beat of four is strong too: the half bar is found
            // as a bar of two, then which half starts the bar.
            const int half = likelihood(2, 1) > likelihood(2, 0) ? 1 : 0;
            phases = {half, half + 2};
        }
        for (int phase : phases) {
            const float value = likelihood(perBar, phase);
            if (value > best) {
                best = value;
                bestBeats = perBar;
                bestPhase = phase;
            }
        }
    }
    return {bestBeats, bestPhase};
}

} // namespace

MetreEstimate estimateMetre(const NoteMap& melody, const NoteMap& gracenotes)
{
    MetreEstimate estimate;
    auto inTune = [](float time_s) { return time_s >= 0.0f && time_s <= kLongestTune_s; };
    for (const NoteMap* notes : {&melody, &gracenotes})
        for (const auto& [start_s, note] : *notes)
            if (!inTune(start_s) || !inTune(note.start_s()) || !inTune(note.getEnd_s()))
                return estimate;
    const std::vector<Onset> onsets = onsetsOf(melody, gracenotes);
    if (onsets.size() < 8)
        return estimate;
    const float period_s = beatPeriod_s(onsets);
    const float end_s = std::prev(melody.end())->second.getEnd_s() + period_s;
    estimate.beats_s = followBeats(onsets, period_s, end_s);
    if (estimate.beats_s.size() < 4)
        return estimate;

    std::vector<float> intervals;
    for (std::size_t k = 1; k < estimate.beats_s.size(); ++k)
        intervals.push_back(estimate.beats_s[k] - estimate.beats_s[k - 1]);
    std::vector<float> sorted = intervals;
    std::sort(sorted.begin(), sorted.end());
    auto percentile = [&](float p) { return sorted[static_cast<std::size_t>(p * static_cast<float>(sorted.size() - 1))]; };
    estimate.bpm = 60.0f / percentile(0.5f);
    estimate.bpmLow = 60.0f / percentile(0.9f);
    estimate.bpmHigh = 60.0f / percentile(0.1f);

    const bool compound = compoundMetre(onsets, estimate.beats_s);
    const std::vector<PipeNoteName> sounding = soundingNotes(melody, estimate.beats_s);
    // Compound time has two beats a bar; simple time two minims in cut time
    // (beats of pointed halves are a reel's, whatever its phrases), else
    // three when it goes in threes, else two or four.
    const bool cut = !compound && cutTime(onsets, estimate.beats_s);
    const bool triple = !compound && !cut && tripleMetre(onsets, estimate.beats_s, sounding);
    const std::vector<int> candidates = compound || cut ? std::vector<int>{2}
                                        : triple        ? std::vector<int>{3}
                                                        : dupleBars(sounding);
    // The bar lines lie on beats that reach back to the first note.
    const float first_s = onsets.front().time_s;
    coverTheFirstNote(estimate.beats_s, first_s);
    const auto [perBar, phase] = barOf(onsets, estimate.beats_s, candidates);
    estimate.numerator = compound ? 6 : perBar;
    estimate.denominator = compound ? 8 : cut ? 2 : 4;

    // The first bar line: the first beat of the bar's phase not before the
    // first note (less a pick-up's lead).
    const int firstBar = firstBarLine(estimate.beats_s, first_s, phase, perBar).first;
    estimate.firstBarBeat = firstBar;
    const float lead_beats = (warpedTime_s(estimate, estimate.beats_s[static_cast<std::size_t>(firstBar)])
                              - warpedTime_s(estimate, first_s)) / (60.0f / estimate.bpm);
    estimate.pickUp_beats = lead_beats > kPickUpLead_beats ? lead_beats : 0.0f;
    estimate.valid = true;
    return estimate;
}
