#include "BeatTracker.h"

#include <algorithm>
#include <cmath>
#include <complex>

namespace beatTracking {

namespace {

// Beat periods looked at, seconds: 43 to 150 BPM, the tempi of pipe music's
// beats (crotchet, minim, dotted crotchet).
constexpr float kShortestBeat_s = 0.4f;
constexpr float kLongestBeat_s = 1.4f;
// How far, in octaves, the prior for beats other than the typical one falls
// off.
constexpr float kPriorWidth_octaves = 0.35f;
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
        const std::optional<BeatPhase> at = beatPhase(beats, onset.time_s, kLeadIn_s);
        if (!at)
            continue;
        const float beat_s = beats[at->beat + 1] - beats[at->beat];
        const bool marks = onset.embellished || onset.duration_s >= 0.5f * beat_s;
        const float vote = marks ? 1.0f : onset.graced ? kGracedVote : 0.0f;
        const float phase = at->phase;
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

} // namespace

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

float beatPeriod_s(const std::vector<Onset>& onsets)
{
    return refinedBeat_s(onsets, globalBeat_s(onsets));
}

std::vector<float> followBeats(const std::vector<Onset>& onsets, float period_s, float end_s)
{
    return smoothBeats(onTheBeat(onsets, trackBeats(onsets, period_s, end_s)));
}

std::optional<BeatPhase> beatPhase(const std::vector<float>& beats, float time_s, float lead_s)
{
    const auto next = std::upper_bound(beats.begin(), beats.end(), time_s + lead_s);
    if (next == beats.begin() || next == beats.end())
        return std::nullopt;
    const std::size_t k = static_cast<std::size_t>(next - beats.begin()) - 1;
    return BeatPhase{k, (time_s - beats[k]) / (beats[k + 1] - beats[k])};
}

} // namespace beatTracking
