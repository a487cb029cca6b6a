// vantor-analyse: pitch analysis of chanter audio, window by window.
//
// Without arguments it analyses a chanter scale (Low G to High A) that it
// synthesises itself; with --pcm it reads raw 16-bit little-endian mono PCM.
// Each window is low-pass filtered and analysed the way the transcription
// does (band-limited period search with the chanter-aware peak picker), and
// printed with its volume, pitch, clarity and the chanter note under the
// standard tuning at the given Low A. The tuning estimated from the whole
// recording follows at the end.

#include "ChanterSynth.h"
#include "IIRFilterFirstOrder.h"
#include "PipeSnacPeakPicker.h"
#include "PipeTuning.h"
#include "PitchFinder.h"
#include "VantorUtils.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

namespace {

struct Options {
    float lowA_Hz = 480.0f;
    float samplingFrequency_Hz = 44100.0f;
    int windowSize = 1024;
    float filter_Hz = 2500.0f;
    float noteDuration_s = 0.25f;
    float minimumVolume = 0.3f;
    std::string pcmPath;
};

void printUsage()
{
    std::cout << "Usage: vantor-analyse [options]\n"
                 "Analyses chanter audio window by window and prints volume, pitch, quality\n"
                 "and chanter note. Without --pcm it analyses a synthesised chanter scale.\n\n"
                 "  --pcm FILE      raw 16-bit little-endian mono PCM to analyse\n"
                 "  --rate HZ       sampling frequency (default 44100)\n"
                 "  --lowA HZ       the chanter's Low A (default 480)\n"
                 "  --window N      samples per window (default 1024)\n"
                 "  --filter-hz HZ  low-pass corner before analysis (default 2500)\n"
                 "  --note-s S      length of each note of the synthesised scale (default 0.25)\n"
                 "  --help          this text\n";
}

bool parseNumber(const char* text, float& value)
{
    char* end = nullptr;
    const float parsed = std::strtof(text, &end);
    if (end == text || *end != '\0' || !(parsed > 0.0f))
        return false;
    value = parsed;
    return true;
}

bool parseOptions(int argc, char** argv, Options& options, std::string& error)
{
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--help" || name == "-h") {
            printUsage();
            std::exit(0);
        }
        if (i + 1 >= argc) {
            error = "missing value after " + name;
            return false;
        }
        const char* value = argv[++i];
        float number = 0.0f;
        if (name == "--pcm") {
            options.pcmPath = value;
            continue;
        }
        if (!parseNumber(value, number)) {
            error = "expected a positive number after " + name + ", got \"" + value + "\"";
            return false;
        }
        if (name == "--rate")
            options.samplingFrequency_Hz = number;
        else if (name == "--lowA")
            options.lowA_Hz = number;
        else if (name == "--window")
            options.windowSize = static_cast<int>(number);
        else if (name == "--filter-hz")
            options.filter_Hz = number;
        else if (name == "--note-s")
            options.noteDuration_s = number;
        else {
            error = "unknown option " + name;
            return false;
        }
    }
    if (options.windowSize < 16) {
        error = "the window must hold at least 16 samples";
        return false;
    }
    if (options.samplingFrequency_Hz < 8000.0f) {
        error = "the sampling frequency must be at least 8000 Hz";
        return false;
    }
    return true;
}

bool readPcm(const std::string& path, std::vector<short>& samples, std::string& error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot open \"" + path + "\"";
        return false;
    }
    const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    samples.resize(bytes.size() / 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        const auto low = static_cast<unsigned char>(bytes[2 * i]);
        const auto high = static_cast<unsigned char>(bytes[2 * i + 1]);
        samples[i] = static_cast<short>(static_cast<unsigned short>(low | (high << 8)));
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    Options options;
    std::string error;
    if (!parseOptions(argc, argv, options, error)) {
        std::cerr << "vantor-analyse: " << error << "\n";
        printUsage();
        return 2;
    }

    PipeTuning tuning;
    tuning.setLowA_Hz(options.lowA_Hz);

    std::vector<short> samples;
    if (options.pcmPath.empty()) {
        samples = synth::toPcm16(synth::renderSegments(synth::scale(tuning, options.noteDuration_s),
                                                       options.samplingFrequency_Hz, synth::chanterHarmonics(),
                                                       0.5f));
        std::printf("Synthesised chanter scale, Low G to High A, %.2f s a note, Low A %.1f Hz, %.0f Hz\n",
                    options.noteDuration_s, options.lowA_Hz, options.samplingFrequency_Hz);
    } else {
        if (!readPcm(options.pcmPath, samples, error)) {
            std::cerr << "vantor-analyse: " << error << "\n";
            return 1;
        }
        std::printf("%s: %zu samples at %.0f Hz, Low A %.1f Hz\n", options.pcmPath.c_str(), samples.size(),
                    options.samplingFrequency_Hz, options.lowA_Hz);
    }

    const auto window = static_cast<unsigned int>(options.windowSize);
    PitchFinder finder;
    finder.setDataParams(PitchFinder::DataParams(window, static_cast<std::uint32_t>(options.samplingFrequency_Hz)));
    finder.setProcessingParams(chanterProcessingParams(tuning));
    finder.setCalibration(440.0f, options.lowA_Hz);
    PipeSnacPeakPicker picker;
    picker.setParams(tuning, options.samplingFrequency_Hz);
    bindPeakPicker(finder, picker);

    IIRFilterFirstOrder filter;
    filter.initialise(options.filter_Hz, options.samplingFrequency_Hz, 1.0, IIRFilterFirstOrder::LowPass);
    const float* filtered = filter.filter(samples.data(), static_cast<unsigned int>(samples.size()));

    std::printf("%6s %8s %7s %9s %9s %8s  %-8s %7s\n", "window", "time_s", "volume", "pitch_Hz", "picked_Hz",
                "quality", "note", "cents");
    for (std::size_t start = 0, index = 0; start + window <= samples.size(); start += window, ++index) {
        finder.setData(filtered + start);
        finder.calculatePitch();
        const PitchFinder::AnalysisResults results = finder.analysisResults();
        float centre_Hz = 0.0f;
        float cents = 0.0f;
        const PipeTuning::ReferenceNote note = tuning.calculate(results.frequency_Hz, centre_Hz, cents);
        std::printf("%6zu %8.3f %7.3f %9.2f %9.2f %8.4f  %-8s %+7.1f\n", index,
                    static_cast<double>(start) / options.samplingFrequency_Hz, results.volume_normalized,
                    results.frequency_Hz, results.pickedFrequency_Hz, results.quality, toString(note).c_str(),
                    cents);
    }

    const PipeTuning estimate =
        calculateTuningFromData(samples.data(), static_cast<unsigned int>(samples.size()),
                                options.samplingFrequency_Hz, options.windowSize, options.lowA_Hz,
                                options.minimumVolume);
    std::printf("Estimated tuning: %s\n", toString(estimate.getNoteCentreFrequencies()).c_str());
    return 0;
}
