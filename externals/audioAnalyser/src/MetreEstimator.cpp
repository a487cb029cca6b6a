#include "MetreEstimator.h"

#include "VantorUtils.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <initializer_list>
#include <numeric>
#include <optional>

namespace {

// Beat periods looked at, seconds: 43 to 150 BPM, the tempi of pipe music's
// beats (crotchet, minim, dotted crotchet).
constexpr float kShortestBeat_s = 0.4f;
constexpr float kLongestBeat_s = 1.4f;
// The beat a piper's tunes most often have (about 77 BPM) and how far,
// in octaves, the prior for others falls off.
constexpr float kTypicalBeat_s = 0.78f;
constexpr float kPriorWidth_octaves = 0.35f;
// A gracing ending this close before its melody note leads into it: the
// note's beat is where the gracing starts.
constexpr float kLeadIn_s = 0.04f;
// The onset envelope: its step and the width of each onset's bump.
constexpr float kEnvelopeStep_s = 0.01f;
constexpr float kOnsetWidth_s = 0.02f;
// How far (a fraction of the period) and in what steps the beat heard over
// the whole tune is corrected by the onsets' resemblance to their neighbours.
constexpr float kRefinement = 0.08f;
constexpr float kRefinementStep_s = 0.002f;
// What a note led into by a single gracenote counts, against an
// embellishment or a long note, when telling the beat from the off-beat.
constexpr float kGracedVote = 0.5f;
// How strongly the tracked beat keeps its period (larger: steadier).
constexpr float kTightness = 100.0f;
// The beats either side that each tracked beat is smoothed over.
constexpr int kSmoothing_beats = 2;
// Where in the beat an onset counts as on a half or quarter (simple time)
// or a third (compound time), in beats.
constexpr float kSubdivisionTolerance = 0.06f;
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

struct Onset {
    float time_s;
    float weight;
    float duration_s;
    bool embellished; // led into by an embellishment of several gracenotes
    bool graced;      // led into by any gracing
};

std::vector<Onset> onsetsOf(const NoteMap& melody, const NoteMap& gracenotes)
{
    std::vector<Onset> onsets;
    for (const auto& entry : melody) {
        const PipeNote& note = entry.second;
        float time_s = note.start_s();
        bool embellished = false;
        bool graced = false;
        // The gracing leading into the note starts its beat.
        auto grace = gracenotes.upper_bound(note.start_s());
        while (grace != gracenotes.begin()) {
            --grace;
            const PipeNote& g = grace->second;
            if (g.getEnd_s() < note.start_s() - kLeadIn_s)
                break;
            time_s = std::min(time_s, g.start_s());
            embellished = embellished || !isSingleGraceNote(g.noteName());
            graced = true;
        }
        // Long notes carry the beat.
        onsets.push_back({time_s, std::clamp(note.duration_s(), 0.05f, 2.0f), note.getEnd_s() - time_s, embellished, graced});
    }
    return onsets;
}

// How closely the onsets gather at one phase of period_s (0..1).
float salience(const std::vector<Onset>& onsets, float period_s)
{
    std::complex<double> sum = 0.0;
    double total = 0.0;
    for (const Onset& onset : onsets) {
        sum += static_cast<double>(onset.weight)
               * std::polar(1.0, 2.0 * M_PI * static_cast<double>(onset.time_s / period_s));
        total += onset.weight;
    }
    return total > 0.0 ? static_cast<float>(std::abs(sum) / total) : 0.0f;
}

float globalBeat_s(const std::vector<Onset>& onsets)
{
    float best = 0.0f;
    float bestScore = -1.0f;
    for (float period = kShortestBeat_s; period <= kLongestBeat_s; period *= 1.005f) {
        const float octaves = std::log2(period / kTypicalBeat_s) / kPriorWidth_octaves;
        // A beat stands on its subdivision: halves or quarters (simple
        // time) or thirds (compound time) gather the onsets too. Even notes
        // cancel out at their own beat, so a run of even semiquavers shows
        // its beat only in its quarters.
        const float divided =
            std::max({salience(onsets, period / 2.0f), salience(onsets, period / 3.0f), salience(onsets, period / 4.0f)});
        const float score = (salience(onsets, period) + 0.5f * divided) * std::exp(-0.5f * octaves * octaves);
        if (score > bestScore) {
            bestScore = score;
            best = period;
        }
    }
    return best;
}

// The beat period near period_s at which the onsets most resemble
// themselves one and two beats later. Salience over the whole tune blurs
// when the player's tempo drifts, and its best period then favours one part
// of the tune; onsets compared only with their neighbours a beat or two away
// hardly see the drift, so their period is the tune's mean beat.
float refinedBeat_s(const std::vector<Onset>& onsets, float period_s)
{
    const float width_s = std::sqrt(2.0f) * kOnsetWidth_s;
    auto resemblance = [&](float apart_s) {
        double sum = 0.0;
        for (std::size_t i = 0; i < onsets.size(); ++i) {
            for (std::size_t j = i + 1; j < onsets.size(); ++j) {
                const float d = (onsets[j].time_s - onsets[i].time_s - apart_s) / width_s;
                if (d > 3.0f)
                    break;
                sum += d > -3.0f ? static_cast<double>(onsets[i].weight * onsets[j].weight * std::exp(-0.5f * d * d)) : 0.0;
            }
        }
        return sum;
    };
    std::pair<double, float> best{-1.0, period_s};
    for (float lag = (1.0f - kRefinement) * period_s; lag <= (1.0f + kRefinement) * period_s; lag += kRefinementStep_s)
        best = std::max(best, {resemblance(lag) + resemblance(2.0f * lag), lag});
    return best.second;
}

// Beats through the onset envelope (dynamic programming: each beat is an
// onset peak and about a period after the one before).
std::vector<float> trackBeats(const std::vector<Onset>& onsets, float period_s, float end_s)
{
    const int count = static_cast<int>(end_s / kEnvelopeStep_s) + 1;
    std::vector<float> envelope(static_cast<std::size_t>(count), 0.0f);
    const int reach = static_cast<int>(3.0f * kOnsetWidth_s / kEnvelopeStep_s);
    for (const Onset& onset : onsets) {
        const int centre = static_cast<int>(std::lround(onset.time_s / kEnvelopeStep_s));
        for (int n = std::max(0, centre - reach); n <= std::min(count - 1, centre + reach); ++n) {
            const float d = (static_cast<float>(n) * kEnvelopeStep_s - onset.time_s) / kOnsetWidth_s;
            envelope[static_cast<std::size_t>(n)] += onset.weight * std::exp(-0.5f * d * d);
        }
    }
    const float peak = *std::max_element(envelope.begin(), envelope.end());
    if (!(peak > 0.0f))
        return {};
    for (float& value : envelope)
        value /= peak;

    const int period = std::max(1, static_cast<int>(std::lround(period_s / kEnvelopeStep_s)));
    std::vector<float> score(envelope.begin(), envelope.end());
    std::vector<int> previous(static_cast<std::size_t>(count), -1);
    for (int n = 0; n < count; ++n) {
        float best = 0.0f;
        int from = -1;
        for (int t = n - 2 * period; t <= n - period / 2; ++t) {
            if (t < 0)
                continue;
            const float stretch = std::log(static_cast<float>(n - t) / static_cast<float>(period));
            const float candidate = score[static_cast<std::size_t>(t)] - kTightness * stretch * stretch;
            if (from < 0 || candidate > best) {
                best = candidate;
                from = t;
            }
        }
        if (from >= 0 && best > 0.0f) {
            score[static_cast<std::size_t>(n)] += best;
            previous[static_cast<std::size_t>(n)] = from;
        }
    }
    // The last beat: the best in the last period.
    int last = count - 1;
    for (int n = std::max(0, count - period); n < count; ++n)
        if (score[static_cast<std::size_t>(n)] > score[static_cast<std::size_t>(last)])
            last = n;
    std::vector<float> beats;
    for (int n = last; n >= 0; n = previous[static_cast<std::size_t>(n)])
        beats.push_back(static_cast<float>(n) * kEnvelopeStep_s);
    std::reverse(beats.begin(), beats.end());
    return beats;
}

// A player's beat moves slowly, while the onsets that mark it scatter by a
// few tens of milliseconds either way: each beat is laid on the straight
// line through the tracked beats around it (kSmoothing_beats either side),
// which follows the tempo's drift and averages the scatter out.
std::vector<float> smoothBeats(const std::vector<float>& beats)
{
    const int count = static_cast<int>(beats.size());
    std::vector<float> smoothed(beats.size());
    for (int k = 0; k < count; ++k) {
        const int from = std::max(0, k - kSmoothing_beats);
        const int to = std::min(count - 1, k + kSmoothing_beats);
        double sumX = 0.0, sumY = 0.0, sumXX = 0.0, sumXY = 0.0;
        for (int j = from; j <= to; ++j) {
            const double x = j - k;
            const double y = beats[static_cast<std::size_t>(j)];
            sumX += x;
            sumY += y;
            sumXX += x * x;
            sumXY += x * y;
        }
        const double n = to - from + 1;
        const double spread = n * sumXX - sumX * sumX;
        const double slope = spread > 0.0 ? (n * sumXY - sumX * sumY) / spread : 0.0;
        smoothed[static_cast<std::size_t>(k)] = static_cast<float>((sumY - slope * sumX) / n);
    }
    return smoothed;
}

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
        const auto next = std::upper_bound(beats.begin(), beats.end(), onset.time_s);
        if (next == beats.begin() || next == beats.end())
            continue;
        const float from = *(next - 1);
        const float phase = (onset.time_s - from) / (*next - from);
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

// Embellishments and long notes fall on the beat, and so do more of the
// notes a single gracenote leads into (these also part notes within the
// beat, so each counts for less): when more of them fall half way between
// the tracked beats than on them, the tracker followed the off-beat, and the
// beats move half a beat.
std::vector<float> onTheBeat(const std::vector<Onset>& onsets, std::vector<float> beats)
{
    float onBeats = 0.0f;
    float between = 0.0f;
    for (const Onset& onset : onsets) {
        const auto next = std::upper_bound(beats.begin(), beats.end(), onset.time_s + kLeadIn_s);
        if (next == beats.begin() || next == beats.end())
            continue;
        const float beat_s = *next - *(next - 1);
        const bool marks = onset.embellished || onset.duration_s >= 0.5f * beat_s;
        const float vote = marks ? 1.0f : onset.graced ? kGracedVote : 0.0f;
        const float phase = (onset.time_s - *(next - 1)) / beat_s;
        if (phase < kSubdivisionTolerance || phase > 1.0f - kSubdivisionTolerance)
            onBeats += vote;
        else if (std::abs(phase - 0.5f) < kSubdivisionTolerance)
            between += vote;
    }
    if (between <= onBeats)
        return beats;
    std::vector<float> moved;
    for (std::size_t k = 0; k + 1 < beats.size(); ++k)
        moved.push_back(0.5f * (beats[k] + beats[k + 1]));
    return moved;
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
        const auto next = std::upper_bound(beats.begin(), beats.end(), onset.time_s + kLeadIn_s);
        if (next == beats.begin())
            continue;
        std::size_t k = static_cast<std::size_t>(next - beats.begin()) - 1;
        if (k + 1 >= beats.size())
            continue;
        const float phase = (onset.time_s - beats[k]) / (beats[k + 1] - beats[k]);
        std::size_t position = static_cast<std::size_t>(std::lround(std::max(0.0f, phase) * kPositions));
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
        const auto next = std::upper_bound(beats.begin(), beats.end(), onset.time_s + kLeadIn_s);
        if (next == beats.begin() || next == beats.end())
            continue;
        const std::size_t k = static_cast<std::size_t>(next - beats.begin()) - 1;
        const float phase = (onset.time_s - beats[k]) / (*next - beats[k]);
        played[k] = 1;
        if (std::abs(phase - 0.375f) < kEighthTolerance || std::abs(phase - 0.875f) < kEighthTolerance)
            pointed[k] = 1;
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
    const float period_s = refinedBeat_s(onsets, globalBeat_s(onsets));
    const float end_s = std::prev(melody.end())->second.getEnd_s() + period_s;
    estimate.beats_s = smoothBeats(onTheBeat(onsets, trackBeats(onsets, period_s, end_s)));
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
