#pragma once

// The tune the transcription benchmarks play: a seeded random walk over the
// chanter scale, notes of 0.15 to 0.6 s, a 25 ms High G gracenote before
// every third note below High G.

#include "ChanterSynth.h"

#include <vector>

inline std::vector<synth::Segment> gracedWalk(const PipeTuning& chanter, float seconds)
{
    const float highG_Hz = chanter.getReferenceNoteCentreFrequency_Hz(PipeTuning::HighG);
    std::vector<synth::Segment> played;
    for (const synth::Segment& note : synth::randomWalk(chanter, seconds, 0.15f, 0.6f, 42)) {
        if (played.size() % 3 == 0 && note.frequency_Hz < highG_Hz * 0.97f)
            played.push_back({highG_Hz, 0.025f});
        played.push_back(note);
    }
    return played;
}
