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

// At most as many samples (frames x channels) are decoded as a 16-bit file
// of kMaximumInputSize_B holds: a compressed file (an hour of silence is a
// few megabytes of FLAC) is held to the same bound as an uncompressed one.
constexpr long long kMaximumDecodedSamples = kMaximumInputSize_B / 2;

// Decodes audio bytes; name is used in messages. Returns false with a
// one-line message when they are not audio libsndfile reads, the rate is
// outside 8000 to 192000 Hz, there are no samples or more than
// kMaximumDecodedSamples (refused before decoding).
bool decodeAudio(const QByteArray& bytes, const std::string& name, AudioData& audio, std::string& error);

// readInputFile, then decodeAudio.
bool readAudioFile(const std::string& path, AudioData& audio, std::string& error);
