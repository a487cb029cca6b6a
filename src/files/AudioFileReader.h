#pragma once

// Reads an audio file in any format libsndfile knows (WAV, FLAC, OGG, AIFF...)
// as 16-bit mono PCM at the file's own rate, the form the transcription
// engine takes: channels are averaged and samples scaled to full scale 32768.
// Files are read whole first, so a pipe (/dev/stdin) reads like a file.

#include <QByteArray>

#include <string>
#include <vector>

struct AudioData {
    std::vector<short> samples;
    float samplingFrequency_Hz = 0.0f;
    int channels = 0;
};

// The whole content of a file, pipe or device ("-" is standard input) of at
// most kMaximumInputSize_B bytes; false with a one-line message naming it
// (missing, a folder, unreadable, too large).
constexpr long long kMaximumInputSize_B = 1024LL * 1024 * 1024;
bool readInputFile(const std::string& path, QByteArray& bytes, std::string& error);

// Decodes audio bytes; name is used in messages. Returns false with a
// one-line message when they are not audio libsndfile reads, the rate is
// outside 8000 to 192000 Hz, or there are no samples.
bool decodeAudio(const QByteArray& bytes, const std::string& name, AudioData& audio, std::string& error);

// readInputFile, then decodeAudio.
bool readAudioFile(const std::string& path, AudioData& audio, std::string& error);
