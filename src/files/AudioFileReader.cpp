#include "AudioFileReader.h"

#include "InputBounds.h"
#include "utils.h"

#include <QFile>
#include <QFileInfo>

#include <sndfile.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

// Samples (frames x channels) decoded at a time.
constexpr sf_count_t kSamplesPerRead = 65536;

struct SndFileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};

// libsndfile reads from memory through these.
struct MemoryFile {
    const QByteArray* bytes;
    sf_count_t position;
};

sf_count_t memoryLength(void* data) { return static_cast<MemoryFile*>(data)->bytes->size(); }

sf_count_t memorySeek(sf_count_t offset, int whence, void* data)
{
    auto* file = static_cast<MemoryFile*>(data);
    const sf_count_t base = whence == SEEK_CUR ? file->position : whence == SEEK_END ? file->bytes->size() : 0;
    file->position = std::max<sf_count_t>(0, std::min<sf_count_t>(base + offset, file->bytes->size()));
    return file->position;
}

sf_count_t memoryRead(void* destination, sf_count_t count, void* data)
{
    auto* file = static_cast<MemoryFile*>(data);
    const sf_count_t available = std::max<sf_count_t>(0, std::min(count, file->bytes->size() - file->position));
    std::memcpy(destination, file->bytes->constData() + file->position, static_cast<std::size_t>(available));
    file->position += available;
    return available;
}

sf_count_t memoryWrite(const void*, sf_count_t, void*) { return 0; }

sf_count_t memoryTell(void* data) { return static_cast<MemoryFile*>(data)->position; }

} // namespace

bool readInputFile(const std::string& path, QByteArray& bytes, std::string& error)
{
    const QFileInfo info(QString::fromStdString(path));
    if (info.isDir()) {
        error = path + ": is a folder, not a recording";
        return false;
    }
    QFile file(QString::fromStdString(path));
    const bool opened = path == "-" ? file.open(stdin, QIODevice::ReadOnly) : file.open(QIODevice::ReadOnly);
    if (!opened) {
        error = path + ": cannot read the file (" + file.errorString().toStdString() + ")";
        return false;
    }
    if (!file.isSequential() && file.size() > kMaximumInputSize_B) {
        constexpr long long kMegabyte_B = 1024 * 1024;
        error = path + ": the file is too large (" + std::to_string((file.size() + kMegabyte_B - 1) / kMegabyte_B)
                + " MB; at most " + std::to_string(kMaximumInputSize_B / kMegabyte_B) + " MB)";
        return false;
    }
    // A pipe's size is unknown: read in pieces up to the limit.
    QByteArray read;
    while (!file.atEnd() || file.isSequential()) {
        const QByteArray piece = file.read(1 << 20);
        if (piece.isEmpty())
            break;
        if (read.size() + static_cast<long long>(piece.size()) > kMaximumInputSize_B) {
            error = path + ": the input is too large (at most " + std::to_string(kMaximumInputSize_B / (1024 * 1024))
                    + " MB)";
            return false;
        }
        read += piece;
    }
    if (file.error() != QFile::NoError) {
        error = path + ": cannot read the file (" + file.errorString().toStdString() + ")";
        return false;
    }
    bytes = std::move(read);
    return true;
}

bool readAudioFile(const std::string& path, AudioData& audio, std::string& error)
{
    QByteArray bytes;
    return readInputFile(path, bytes, error) && decodeAudio(bytes, path, audio, error);
}

bool decodeAudio(const QByteArray& bytes, const std::string& name, AudioData& audio, std::string& error)
{
    const std::string& path = name;
    MemoryFile memory{&bytes, 0};
    SF_VIRTUAL_IO io{memoryLength, memorySeek, memoryRead, memoryWrite, memoryTell};
    SF_INFO info{};
    std::unique_ptr<SNDFILE, SndFileCloser> file(sf_open_virtual(&io, SFM_READ, &info, &memory));
    if (!file) {
        error = path + ": not an audio file that can be read (" + sf_strerror(nullptr) + ")";
        return false;
    }
    if (!bounds::kSamplingFrequency_Hz.contains(info.samplerate)) {
        error = path + ": the sample rate of " + std::to_string(info.samplerate) + " Hz is outside "
                + bounds::kSamplingFrequency_Hz.text() + " Hz";
        return false;
    }
    if (info.channels < 1 || info.frames <= 0) {
        error = path + ": the file holds no audio";
        return false;
    }

    // Refused before a sample is decoded; a stream of unknown length is held
    // to the same bound while it is read.
    const auto tooLong = [&](sf_count_t frames) {
        constexpr long long kMillion = 1000000;
        const long long minutes = (frames + 30LL * info.samplerate) / (60LL * info.samplerate);
        error = path + ": the recording is too long (" + std::to_string(minutes) + " min at "
                + std::to_string(info.samplerate) + " Hz, " + std::to_string(info.channels) + " channel"
                + (info.channels > 1 ? "s" : "") + "; at most " + std::to_string(kMaximumDecodedSamples / kMillion)
                + " million samples, as in a " + std::to_string(kMaximumInputSize_B / (1024 * 1024))
                + " MB file of 16-bit audio)";
        return false;
    };
    const bool lengthKnown = info.frames < SF_COUNT_MAX;
    if (lengthKnown && info.frames > kMaximumDecodedSamples / info.channels)
        return tooLong(info.frames);

    AudioData result;
    result.samplingFrequency_Hz = static_cast<float>(info.samplerate);
    result.channels = info.channels;
    const sf_count_t framesPerRead = std::max<sf_count_t>(1, kSamplesPerRead / info.channels);
    std::vector<double> block(static_cast<std::size_t>(framesPerRead * info.channels));
    sf_count_t read = 0;
    sf_count_t frames = 0;
    while ((read = sf_readf_double(file.get(), block.data(), framesPerRead)) > 0) {
        frames += read;
        if (frames > kMaximumDecodedSamples / info.channels)
            return tooLong(frames);
        for (sf_count_t frame = 0; frame < read; ++frame) {
            double sum = 0.0;
            for (int channel = 0; channel < info.channels; ++channel)
                sum += block[static_cast<std::size_t>(frame * info.channels + channel)];
            result.samples.push_back(utils::toPcm16(sum / info.channels));
        }
    }
    if (result.samples.empty()) {
        error = path + ": the file holds no audio";
        return false;
    }
    audio = std::move(result);
    return true;
}
