#pragma once

// What the live-path benchmarks share: a seeded tune on the chanter scale,
// played in through the file-backed input, the heap in use, the note
// latency (from a note's end in the audio to the first result holding it),
// and the run of the benchmarks once the application object exists.

#include "AudioDevices.h"
#include "AudioMetaTypes.h"
#include "ChanterSynth.h"
#include "PipeNote.h"
#include "ProjectContents.h"
#include "utils.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <malloc.h>
#include <map>
#include <vector>

namespace liveTune {

constexpr int kRate_Hz = 44100;
constexpr double kBlock_s = 2048.0 / kRate_Hz; // one 4096-byte block of the recorder

inline double heapInUse_MB()
{
    return static_cast<double>(mallinfo2().uordblks) / (1 << 20);
}

// The chanter every tune is played on: Low A at 480 Hz.
inline PipeTuning chanter()
{
    PipeTuning tuning;
    tuning.setLowA_Hz(480.0f);
    return tuning;
}

// A walk over the chanter scale, notes of 0.2 to 0.6 s.
inline std::vector<synth::Segment> tune(float seconds, unsigned int seed)
{
    return synth::randomWalk(chanter(), seconds, 0.2f, 0.6f, seed);
}

inline std::vector<short> render(const std::vector<synth::Segment>& segments)
{
    return utils::toPcm16(synth::renderSegments(segments, kRate_Hz, synth::chanterHarmonics(), 0.5f));
}

// A 20 s tune written to a scratch folder for the file-backed input, which
// plays it at real-time pace, and the latency of each of its notes from the
// note's end in the audio to the first result holding it.
class PlayedTune
{
public:
    explicit PlayedTune(unsigned int seed)
    {
        const std::vector<synth::Segment> segments = tune(20.0f, seed);
        QFile file(mFolder.filePath("tune.wav"));
        file.open(QIODevice::WriteOnly);
        file.write(waveFileBytes(render(segments), kRate_Hz));
        mInput.path = file.fileName();
        float end_s = 0.0f;
        for (const synth::Segment& segment : segments)
            mEnds.push_back(end_s += segment.duration_s);
    }

    QString folder() const { return mFolder.path(); }
    const audioDevices::InputFile& input() const { return mInput; }

    // The audio starts playing now.
    void start() { mClock.start(); }

    // A result holding melody arrived: a note is held once a melody note
    // ends within 50 ms of its end (the last note, still sounding, is not
    // counted).
    void observe(const NoteMap& melody)
    {
        for (std::size_t k = 0; k + 1 < mEnds.size(); ++k) {
            const auto endsWithNote = [&](const auto& entry) {
                return std::abs(entry.second.getEnd_s() - mEnds[k]) < 0.05f;
            };
            if (mLatency_ms.count(k) == 0 && std::any_of(melody.begin(), melody.end(), endsWithNote))
                mLatency_ms[k] = (mClock.nsecsElapsed() * 1e-9 - mEnds[k]) * 1e3;
        }
    }

    // Runs the event loop while the tune plays and margin_ms after it.
    void playOut(int margin_ms) const
    {
        QEventLoop loop;
        QTimer::singleShot(static_cast<int>(mEnds.back() * 1000.0f) + margin_ms, &loop, &QEventLoop::quit);
        loop.exec();
    }

    void report(benchmark::State& state) const
    {
        std::vector<double> latencies_ms;
        for (const auto& note : mLatency_ms)
            latencies_ms.push_back(note.second);
        std::sort(latencies_ms.begin(), latencies_ms.end());
        if (latencies_ms.empty())
            return;
        state.counters["notes"] = static_cast<double>(latencies_ms.size());
        state.counters["latency_min_ms"] = latencies_ms.front();
        state.counters["latency_median_ms"] = latencies_ms[latencies_ms.size() / 2];
        state.counters["latency_p90_ms"] = latencies_ms[latencies_ms.size() * 9 / 10];
        state.counters["latency_max_ms"] = latencies_ms.back();
    }

private:
    QTemporaryDir mFolder;
    audioDevices::InputFile mInput;
    QElapsedTimer mClock;
    std::vector<float> mEnds;
    std::map<std::size_t, double> mLatency_ms; // by note
};

// Runs the benchmarks asked for on the command line.
inline int runBenchmarks(int& argc, char** argv)
{
    registerAudioMetaTypes();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace liveTune
