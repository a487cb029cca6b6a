// Laying played notes on the steady grid of a metre estimate, and saying
// what the estimate found.

#include "MetreEstimator.h"

#include "ScoreSettings.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

float warpedTime_s(const MetreEstimate& estimate, float time_s)
{
    const std::vector<float>& beats = estimate.beats_s;
    const float beat_s = 60.0f / estimate.bpm;
    if (time_s <= beats.front())
        return time_s - beats.front();
    if (time_s >= beats.back())
        return static_cast<float>(beats.size() - 1) * beat_s + (time_s - beats.back());
    const auto next = std::upper_bound(beats.begin(), beats.end(), time_s);
    const std::size_t k = static_cast<std::size_t>(next - beats.begin()) - 1;
    return (static_cast<float>(k) + (time_s - beats[k]) / (beats[k + 1] - beats[k])) * beat_s;
}

void warpToBeats(const MetreEstimate& estimate, const NoteMap& melody, const NoteMap& gracenotes,
                 NoteMap& warpedMelody, NoteMap& warpedGracenotes)
{
    warpedMelody.clear();
    warpedGracenotes.clear();
    for (auto [in, out] : {std::pair(&melody, &warpedMelody), std::pair(&gracenotes, &warpedGracenotes)}) {
        for (const auto& entry : *in) {
            PipeNote note = entry.second;
            if (estimate.valid) {
                const float start_s = warpedTime_s(estimate, note.start_s());
                const float end_s = warpedTime_s(estimate, note.getEnd_s());
                note.setStart_s(start_s);
                note.setDuration_s(std::max(end_s - start_s, 0.0f));
            }
            out->emplace(note.start_s(), note);
        }
    }
}

float barTimeShift_s(const MetreEstimate& estimate, bool warped)
{
    return barTimeShift_s(estimate, warped, estimate.bpm, beatsPerBar(estimate.numerator, estimate.denominator));
}

float barTimeShift_s(const MetreEstimate& estimate, bool warped, float scoreBpm, int scoreBeatsPerBar)
{
    if (!estimate.valid || !(scoreBpm > 0.0f) || scoreBeatsPerBar < 1)
        return 0.0f;
    const float beat_s = 60.0f / estimate.bpm;
    const float barLine_s = warped ? static_cast<float>(estimate.firstBarBeat) * beat_s
                                   : estimate.beats_s[static_cast<std::size_t>(estimate.firstBarBeat)];
    if (!(estimate.pickUp_beats > 0.0f))
        return -barLine_s;
    // The pick-up goes into as many of the score's bars as it needs (one,
    // unless the score's bar is shorter than the estimate's), the first of
    // them short; the bar line after it falls on the score's bar line.
    const float bar_s = static_cast<float>(scoreBeatsPerBar) * 60.0f / scoreBpm;
    constexpr float kBarTolerance = 0.05f; // of a bar, a pick-up that fills one
    const float pickUp_bars = estimate.pickUp_beats * beat_s / bar_s;
    const float bars = std::max(1.0f, std::ceil(pickUp_bars - kBarTolerance));
    return bars * bar_s - barLine_s;
}

std::string describeMetre(const MetreEstimate& metre)
{
    char text[160];
    std::snprintf(text, sizeof text, "tempo %.0f bpm (%.0f-%.0f), %d/%d", static_cast<double>(metre.bpm),
                  static_cast<double>(metre.bpmLow), static_cast<double>(metre.bpmHigh), metre.numerator,
                  metre.denominator);
    std::string description = text;
    if (metre.pickUp_beats > 0.0f) {
        // In the beat's own quavers (two to a crotchet, three to a dotted
        // crotchet), or semiquavers where it is not whole quavers.
        const int semiquavers =
            std::max(1, static_cast<int>(std::lround(metre.pickUp_beats * (metre.denominator == 8 ? 6.0f : 4.0f))));
        const bool quavers = semiquavers % 2 == 0;
        const int count = quavers ? semiquavers / 2 : semiquavers;
        description += ", pick-up " + std::to_string(count) + (quavers ? " quaver" : " semiquaver") + (count > 1 ? "s" : "");
    } else {
        description += ", no pick-up";
    }
    return description;
}
