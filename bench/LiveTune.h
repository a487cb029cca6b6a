#pragma once

// What the live-path benchmarks share: a seeded tune on the chanter scale,
// played in through the file-backed input, the heap in use, and the note
// latency (from a note's end in the audio to the first result holding it).

#include "AudioDevices.h"
#include "ChanterSynth.h"
#include "PipeNote.h"
#include "ProjectContents.h"
#include "utils.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <malloc.h>
#include <vector>

namespace liveTune {

constexpr int kRate_Hz = 44100;

inline double heapInUse_MB()
{
    return static_cast<double>(mallinfo2().uordblks) / (1 << 20);
}

// A walk over the chanter scale (Low A 480 Hz), notes of 0.2 to 0.6 s.
inline std::vector<synth::Segment> tune(float seconds, unsigned int seed)
{
    PipeTuning tuning;
    tuning.setLowA_Hz(480.0f);
    return synth::randomWalk(tuning, seconds, 0.2f, 0.6f, seed);
}

inline std::vector<short> render(const std::vector<synth::Segment>& segments)
{
    return utils::toPcm16(synth::renderSegments(segments, kRate_Hz, synth::chanterHarmonics(), 0.5f));
}

// The tune written in dir, as the file-backed input at real-time pace.
inline audioDevices::InputFile playIn(const QTemporaryDir& dir, const std::vector<synth::Segment>& segments)
{
    QFile file(dir.filePath("tune.wav"));
    file.open(QIODevice::WriteOnly);
    file.write(waveFileBytes(render(segments), kRate_Hz));
    file.close();
    audioDevices::InputFile input;
    input.path = file.fileName();
    return input;
}

class NoteLatencies
{
public:
    explicit NoteLatencies(const std::vector<synth::Segment>& segments)
    {
        float end_s = 0.0f;
        for (const synth::Segment& segment : segments)
            mEnds.push_back(end_s += segment.duration_s);
        mSeen.assign(mEnds.size(), false);
    }

    // A result holding melody arrived now_s after the audio started: a note
    // is held once a melody note ends within 50 ms of its end (the last
    // note, still sounding, is not counted).
    void observe(const NoteMap& melody, double now_s)
    {
        for (std::size_t k = 0; k + 1 < mEnds.size(); ++k) {
            if (mSeen[k])
                continue;
            for (const auto& entry : melody) {
                if (std::abs(entry.second.getEnd_s() - mEnds[k]) < 0.05f) {
                    mSeen[k] = true;
                    mLatencies_ms.push_back((now_s - mEnds[k]) * 1e3);
                    break;
                }
            }
        }
    }

    float end_s() const { return mEnds.empty() ? 0.0f : mEnds.back(); }

    void report(benchmark::State& state)
    {
        std::sort(mLatencies_ms.begin(), mLatencies_ms.end());
        if (mLatencies_ms.empty())
            return;
        state.counters["notes"] = static_cast<double>(mLatencies_ms.size());
        state.counters["latency_min_ms"] = mLatencies_ms.front();
        state.counters["latency_median_ms"] = mLatencies_ms[mLatencies_ms.size() / 2];
        state.counters["latency_p90_ms"] = mLatencies_ms[mLatencies_ms.size() * 9 / 10];
        state.counters["latency_max_ms"] = mLatencies_ms.back();
    }

private:
    std::vector<float> mEnds;
    std::vector<bool> mSeen;
    std::vector<double> mLatencies_ms;
};

} // namespace liveTune
