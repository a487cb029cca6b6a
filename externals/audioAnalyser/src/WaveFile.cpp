#include "WaveFile.h"

namespace {

void append(std::vector<std::uint8_t>& bytes, const char (&text)[4])
{
    bytes.insert(bytes.end(), text, text + 4);
}

void appendLittleEndian(std::vector<std::uint8_t>& bytes, std::uint32_t value, int size)
{
    for (int i = 0; i < size; ++i)
        bytes.push_back(static_cast<std::uint8_t>((value >> (8 * i)) & 0xffu));
}

} // namespace

WaveFile::Header WaveFile::generateHeader(int sampleCount, int sampleRate)
{
    Header header;
    header.sampleRate = static_cast<std::uint32_t>(sampleRate);
    header.byteRate = static_cast<std::uint32_t>(sampleRate) * 2u;
    header.dataSize = static_cast<std::uint32_t>(sampleCount) * 2u;
    header.chunkSize = 36u + header.dataSize;
    return header;
}

std::vector<std::uint8_t> WaveFile::rawHeader(const Header& header)
{
    std::vector<std::uint8_t> bytes;
    bytes.reserve(44);
    append(bytes, header.riff);
    appendLittleEndian(bytes, header.chunkSize, 4);
    append(bytes, header.wave);
    append(bytes, header.fmt);
    appendLittleEndian(bytes, header.fmtChunkSize, 4);
    appendLittleEndian(bytes, header.audioFormat, 2);
    appendLittleEndian(bytes, header.channels, 2);
    appendLittleEndian(bytes, header.sampleRate, 4);
    appendLittleEndian(bytes, header.byteRate, 4);
    appendLittleEndian(bytes, header.blockAlign, 2);
    appendLittleEndian(bytes, header.bitsPerSample, 2);
    append(bytes, header.data);
    appendLittleEndian(bytes, header.dataSize, 4);
    return bytes;
}
