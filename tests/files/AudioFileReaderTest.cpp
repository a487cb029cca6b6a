#include "AudioFileReader.h"

#include "TestSignals.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sndfile.h>

#include <fstream>

namespace {

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

TEST_F(AudioFileReaderTest, SixteenBitWavIsReadSampleForSample)
{
    const std::vector<short> pcm = testsignals::pcm(testsignals::chanterTone(480.0f, 4410));
    std::vector<double> frames(pcm.begin(), pcm.end());
    for (double& value : frames)
        value /= 32768.0;
    write(path("a.wav"), SF_FORMAT_WAV | SF_FORMAT_PCM_16, 44100, 1, frames);
    ASSERT_TRUE(readAudioFile(path("a.wav"), audio, error)) << error;
    EXPECT_EQ(audio.samplingFrequency_Hz, 44100.0f);
    EXPECT_EQ(audio.channels, 1);
    EXPECT_EQ(audio.samples, pcm);
}

TEST_F(AudioFileReaderTest, StereoFlacIsMixedDownAtItsOwnRate)
{
    std::vector<double> frames;
    for (int i = 0; i < 1000; ++i) {
        frames.push_back(0.5);
        frames.push_back(-0.25);
    }
    write(path("b.flac"), SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 48000, 2, frames);
    ASSERT_TRUE(readAudioFile(path("b.flac"), audio, error)) << error;
    EXPECT_EQ(audio.samplingFrequency_Hz, 48000.0f);
    EXPECT_EQ(audio.channels, 2);
    ASSERT_EQ(audio.samples.size(), 1000u);
    EXPECT_EQ(audio.samples[500], 4096); // (0.5 - 0.25) / 2 of full scale
}

TEST_F(AudioFileReaderTest, FloatSamplesBeyondFullScaleAreClipped)
{
    write(path("c.wav"), SF_FORMAT_WAV | SF_FORMAT_FLOAT, 22050, 1, {1.5, -1.5, 0.25, -1.0});
    ASSERT_TRUE(readAudioFile(path("c.wav"), audio, error)) << error;
    EXPECT_EQ(audio.samples, (std::vector<short>{32767, -32768, 8192, -32768}));
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
    const std::vector<std::pair<std::string, std::string>> rows = {
        {path("missing.wav"), "missing.wav: cannot read the file"},
        {path("text.wav"), "text.wav: not an audio file"},
        {path("slow.wav"), "slow.wav: the sample rate of 4000 Hz is outside 8000 to 192000 Hz"},
        {path("fast.wav"), "fast.wav: the sample rate of 3000000 Hz is outside 8000 to 192000 Hz"},
        {path("empty.wav"), "empty.wav: the file holds no audio"},
        {dir.path().toStdString(), ": is a folder, not a recording"},
        {path("huge.wav"), "huge.wav: the file is too large (1025 MB; at most 1024 MB)"},
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
