#include "AudioFileReader.h"

#include "TestSignals.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <fstream>

namespace {

// FLAC's cyclic checks: MSB first, no initial value.
unsigned flacCrc(const QByteArray& bytes, int from, int width, unsigned polynomial)
{
    const unsigned top = 1u << (width - 1);
    const unsigned mask = (1u << width) - 1;
    unsigned value = 0;
    for (int i = from; i < bytes.size(); ++i) {
        value ^= static_cast<unsigned>(static_cast<unsigned char>(bytes[i])) << (width - 8);
        for (int bit = 0; bit < 8; ++bit)
            value = ((value & top) != 0 ? (value << 1) ^ polynomial : value << 1) & mask;
    }
    return value;
}

// Silence as FLAC stores it: 16-bit, 192000 Hz, blocks of 65535 frames, each
// channel of a block one constant, some forty bytes a block. Written by hand
// because an encoder takes long over so many samples.
QByteArray silentFlac(int channels, int blocks)
{
    constexpr unsigned long long kBlock = 65535;
    QByteArray bytes("fLaC");
    bytes += QByteArray("\x80\x00\x00\x22\xff\xff\xff\xff", 8); // STREAMINFO, last; block sizes
    bytes += QByteArray(6, '\0');                                       // frame sizes unknown
    const unsigned long long format = (192000ULL << 44) | (static_cast<unsigned long long>(channels - 1) << 41)
                                      | (15ULL << 36) | (kBlock * static_cast<unsigned long long>(blocks));
    for (int shift = 56; shift >= 0; shift -= 8)
        bytes += static_cast<char>((format >> shift) & 0xff);
    bytes += QByteArray(16, '\0'); // no MD5
    for (int n = 0; n < blocks; ++n) {
        const int start = static_cast<int>(bytes.size());
        // Sync, fixed blocks; size in 16 bits after, 192 kHz; independent
        // channels, 16 bits; frame number (UTF-8 coded); size - 1.
        bytes += QByteArray("\xff\xf8\x7b", 3);
        bytes += static_cast<char>(((channels - 1) << 4) | 0x08);
        if (n < 0x80) {
            bytes += static_cast<char>(n);
        } else {
            bytes += static_cast<char>(0xc0 | (n >> 6));
            bytes += static_cast<char>(0x80 | (n & 0x3f));
        }
        bytes += QByteArray("\xff\xfe", 2);
        bytes += static_cast<char>(flacCrc(bytes, start, 8, 0x07));
        bytes += QByteArray(3 * channels, '\0'); // CONSTANT subframes of 0
        const unsigned check = flacCrc(bytes, start, 16, 0x8005);
        bytes += static_cast<char>(check >> 8);
        bytes += static_cast<char>(check & 0xff);
    }
    return bytes;
}

class AudioFileReaderTest : public ::testing::Test
{
protected:
    std::string path(const std::string& name) const { return dir.filePath(QString::fromStdString(name)).toStdString(); }

    // Writes frames of interleaved doubles in the given format.
    void write(const std::string& file, int format, int rate, int channels, const std::vector<double>& frames)
    {
        SF_INFO info{};
        info.samplerate = rate;
        info.channels = channels;
        info.format = format;
        SNDFILE* handle = sf_open(file.c_str(), SFM_WRITE, &info);
        ASSERT_NE(handle, nullptr) << sf_strerror(nullptr);
        sf_writef_double(handle, frames.data(), static_cast<sf_count_t>(frames.size() / channels));
        sf_close(handle);
    }

    QTemporaryDir dir;
    AudioData audio;
    std::string error;
};

TEST_F(AudioFileReaderTest, ReadsEachFormatAtItsOwnRateMixedDownAndClipped)
{
    const std::vector<short> pcm = testsignals::pcm(testsignals::chanterTone(480.0f, 4410));
    std::vector<double> mono(pcm.begin(), pcm.end());
    for (double& value : mono)
        value /= 32768.0;
    std::vector<double> stereo;
    for (int i = 0; i < 1000; ++i)
        stereo.insert(stereo.end(), {0.5, -0.25});
    const struct {
        const char* name;
        int format, rate, channels;
        std::vector<double> frames;
        std::vector<short> expected;
    } rows[] = {
        {"a.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, mono, pcm}, // sample for sample
        // (0.5 - 0.25) / 2 of full scale
        {"b.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 2, stereo, std::vector<short>(1000, 4096)},
        // Float samples beyond full scale are clipped.
        {"c.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 22050, 1, {1.5, -1.5, 0.25, -1.0}, {32767, -32768, 8192, -32768}},
    };
    for (const auto& row : rows) {
        write(path(row.name), row.format, row.rate, row.channels, row.frames);
        ASSERT_TRUE(readAudioFile(path(row.name), audio, error)) << error;
        EXPECT_EQ(audio.samplingFrequency_Hz, static_cast<float>(row.rate)) << row.name;
        EXPECT_EQ(audio.channels, row.channels) << row.name;
        EXPECT_EQ(audio.samples, row.expected) << row.name;
    }
    // The hand-written FLAC the length bound is tested with below is sound.
    ASSERT_TRUE(decodeAudio(silentFlac(8, 2), "short.flac", audio, error)) << error;
    EXPECT_EQ(std::make_pair(audio.channels, audio.samplingFrequency_Hz), std::make_pair(8, 192000.0f));
    EXPECT_EQ(audio.samples, std::vector<short>(2 * 65535, 0));
}

TEST_F(AudioFileReaderTest, RefusesWithAOneLineMessageNamingTheFile)
{
    std::ofstream(path("text.wav")) << "this is not audio\n";
    write(path("slow.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 4000, 1, std::vector<double>(400, 0.1));
    write(path("fast.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 3000000, 1, std::vector<double>(4000, 0.1));
    write(path("empty.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, {});
    QFile huge(QString::fromStdString(path("huge.wav"))); // sparse: no disk space used
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(kMaximumInputSize_B + 1));
    huge.close();
    // Eight channels of 5.8 minutes at 192000 Hz: a little more than the
    // samples of a 1024 MB file of 16-bit audio, in 40 KB.
    QFile silence(QString::fromStdString(path("silence.flac")));
    ASSERT_TRUE(silence.open(QIODevice::WriteOnly) && silence.write(silentFlac(8, 1025)) > 0);
    silence.close();
    const std::vector<std::pair<std::string, std::string>> rows = {
        {path("missing.wav"), "missing.wav: cannot read the file"},
        {path("text.wav"), "text.wav: not an audio file"},
        {path("slow.wav"), "slow.wav: the sample rate of 4000 Hz is outside 8000 to 192000 Hz"},
        {path("fast.wav"), "fast.wav: the sample rate of 3000000 Hz is outside 8000 to 192000 Hz"},
        {path("empty.wav"), "empty.wav: the file holds no audio"},
        {dir.path().toStdString(), ": is a folder, not a recording"},
        {path("huge.wav"), "huge.wav: the file is too large (1025 MB; at most 1024 MB)"},
        {path("silence.flac"), "silence.flac: the recording is too long (6 min at 192000 Hz, 8 channels; at most 536 "
                               "million samples, as in a 1024 MB file of 16-bit audio)"},
    };
    for (const auto& [file, message] : rows) {
        audio = AudioData();
        EXPECT_FALSE(readAudioFile(file, audio, error)) << file;
        EXPECT_NE(error.find(message), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
        EXPECT_TRUE(audio.samples.empty());
    }
}

} // namespace
