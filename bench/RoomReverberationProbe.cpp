// Runs RoomReverberation over audio files and prints, per file, the blind
// reverberation time after 3 s, 6 s and at the end, and when a room was
// first reported: the check of the estimator on rendered or recorded tunes.
//
//     roomProbe [--max-seconds S] [--trace] FILE...
//
// --trace also prints every change of the estimate with its time.

#include "AudioFileReader.h"
#include "PowerSpectra.h"
#include "RoomReverberation.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    float maxSeconds = 1e9f;
    int first = 1;
    if (argc > 2 && std::strcmp(argv[1], "--max-seconds") == 0) {
        maxSeconds = std::strtof(argv[2], nullptr);
        first = 3;
    }
    bool trace = false;
    if (first < argc && std::strcmp(argv[first], "--trace") == 0) {
        trace = true;
        ++first;
    }
    if (first >= argc) {
        std::fprintf(stderr, "usage: roomProbe [--max-seconds S] [--trace] FILE...\n");
        return 2;
    }
    std::printf("file\trt60_3s\trt60_6s\trt60_end\tfirst_room_s\n");
    for (int a = first; a < argc; ++a) {
        AudioData audio;
        std::string error;
        if (!readAudioFile(argv[a], audio, error)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        const float rate_Hz = audio.samplingFrequency_Hz;
        const std::size_t count = std::min(audio.samples.size(), static_cast<std::size_t>(maxSeconds * rate_Hz));
        std::vector<float> signal(count);
        for (std::size_t i = 0; i < count; ++i)
            signal[i] = static_cast<float>(audio.samples[i]) / 32768.0f;

        const std::size_t length = powerspectra::frameLength(rate_Hz);
        const float hop_s = static_cast<float>(length / 4) / rate_Hz;
        RoomReverberation room(rate_Hz, length, length / 4);
        float at3 = 0.0f, at6 = 0.0f, firstRoom_s = -1.0f;
        std::size_t frames = 0;
        powerspectra::forEachFrame(signal, rate_Hz, [&](const std::vector<float>& power) {
            const float before = room.reverberationTime_s();
            room.addFrame(power.data());
            ++frames;
            const float end_s = static_cast<float>(frames - 1) * hop_s + static_cast<float>(length) / rate_Hz;
            if (end_s <= 3.0f)
                at3 = room.reverberationTime_s();
            if (end_s <= 6.0f)
                at6 = room.reverberationTime_s();
            if (trace && room.reverberationTime_s() != before)
                std::printf("  %.2f s: %.2f\n", end_s, room.reverberationTime_s());
            if (firstRoom_s < 0.0f && room.reverberationTime_s() > 0.0f)
                firstRoom_s = end_s;
        });
        std::printf("%s\t%.2f\t%.2f\t%.2f\t%.1f\n", argv[a], at3, at6, room.reverberationTime_s(), firstRoom_s);
    }
    return 0;
}
