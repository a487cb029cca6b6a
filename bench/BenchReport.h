#pragma once

// One way of reporting speed for every benchmark that processes audio.

#include <benchmark/benchmark.h>

// Reports "times_realtime": seconds of audio processed per second of
// processing (20 means twenty times faster than the audio plays), given the
// seconds of audio one iteration covers.
inline void reportTimesRealtime(benchmark::State& state, double audioPerIteration_s)
{
    state.counters["times_realtime"] = benchmark::Counter(
        audioPerIteration_s * static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
