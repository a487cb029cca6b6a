#pragma once

// The 44-byte RIFF/WAVE header of mono 16-bit PCM, for the WAV export. Builds
// bytes only; the caller writes the file.

#include <cstdint>
#include <vector>

class WaveFile
{
public:
    struct Header {
        char riff[4] = {'R', 'I', 'F', 'F'};
        std::uint32_t chunkSize = 36;
        char wave[4] = {'W', 'A', 'V', 'E'};
        char fmt[4] = {'f', 'm', 't', ' '};
        std::uint32_t fmtChunkSize = 16;
        std::uint16_t audioFormat = 1;
        std::uint16_t channels = 1;
        std::uint32_t sampleRate = 0;
        std::uint32_t byteRate = 0;
        std::uint16_t blockAlign = 2;
        std::uint16_t bitsPerSample = 16;
        char data[4] = {'d', 'a', 't', 'a'};
        std::uint32_t dataSize = 0;
    };

    static Header generateHeader(int sampleCount, int sampleRate);
    // The header's 44 bytes, little-endian.
    static std::vector<std::uint8_t> rawHeader(const Header& header);
};
