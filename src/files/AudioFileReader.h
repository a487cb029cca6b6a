#pragma once

// Reads an audio file in any format libsndfile knows (WAV, FLAC, OGG, AIFF...)
// as 16-bit mono PCM at the file's own rate, the form the transcription
// engine takes: channels are averaged and samples scaled to full scale 32768.

#include <string>
#include <vector>

struct AudioData {
    std::vector<short> samples;
    float samplingFrequency_Hz = 0.0f;
    int channels = 0;
};

// Returns false with a one-line message naming the file when the file is
// missing or unreadable, not audio libsndfile reads, below 8000 Hz or empty.
bool readAudioFile(const std::string& path, AudioData& audio, std::string& error);
