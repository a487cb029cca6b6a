#include "AudioFileReader.h"

#include "utils.h"

#include <sndfile.h>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fstream>
#include <memory>

namespace {

constexpr int kMinimumSamplingFrequency_Hz = 8000;
constexpr sf_count_t kFramesPerRead = 65536;

struct SndFileCloser {
    void operator()(SNDFILE* file) const { sf_close(file); }
};

} // namespace

bool readAudioFile(const std::string& path, AudioData& audio, std::string& error)
{
    {
        std::ifstream probe(path, std::ios::binary);
        if (!probe) {
            error = path + ": cannot read the file (" + std::strerror(errno) + ")";
            return false;
        }
    }
    SF_INFO info{};
    std::unique_ptr<SNDFILE, SndFileCloser> file(sf_open(path.c_str(), SFM_READ, &info));
    if (!file) {
        error = path + ": not an audio file that can be read (" + sf_strerror(nullptr) + ")";
        return false;
    }
    if (info.samplerate < kMinimumSamplingFrequency_Hz) {
        error = path + ": the sample rate of " + std::to_string(info.samplerate) +
                " Hz is below the 8000 Hz minimum";
        return false;
    }
    if (info.channels < 1 || info.frames <= 0) {
        error = path + ": the file holds no audio";
        return false;
    }

    AudioData result;
    result.samplingFrequency_Hz = static_cast<float>(info.samplerate);
    result.channels = info.channels;
    std::vector<double> block(static_cast<std::size_t>(kFramesPerRead * info.channels));
    sf_count_t read = 0;
    while ((read = sf_readf_double(file.get(), block.data(), kFramesPerRead)) > 0) {
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
