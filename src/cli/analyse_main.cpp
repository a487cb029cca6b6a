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
#include "CommandLine.h"
#include "utils.h"
#include "IIRFilterFirstOrder.h"
#include "PipeSnacPeakPicker.h"
#include "PipeTuning.h"
#include "PitchFinder.h"
#include "VantorUtils.h"

#include <cstdio>
#include <limits>
#include <optional>
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

using Option = CommandLineOption<Options>;

const std::vector<Option>& analyseOptions()
{
    auto positive = [](std::string name, std::string valueName, std::string help,
                       std::function<void(Options&, double)> store) {
        return Option{std::move(name), std::move(valueName), std::move(help),
                      numberOption<Options>(std::numeric_limits<double>::min(), std::numeric_limits<double>::max(),
                                            "a positive number", std::move(store))};
    };
    static const std::vector<Option> options = {
        {"--pcm", "FILE", "raw 16-bit little-endian mono PCM to analyse",
         [](const std::string& value, Options& options) -> std::optional<std::string> {
             options.pcmPath = value;
             return std::nullopt;
         }},
        positive("--rate", "HZ", "sampling frequency (default 44100)",
                 [](Options& o, double v) { o.samplingFrequency_Hz = static_cast<float>(v); }),
        positive("--lowA", "HZ", "the chanter's Low A (default 480)",
                 [](Options& o, double v) { o.lowA_Hz = static_cast<float>(v); }),
        positive("--window", "N", "samples per window (default 1024)",
                 [](Options& o, double v) { o.windowSize = utils::truncateToInt(v); }),
        positive("--filter-hz", "HZ", "low-pass corner before analysis (default 2500)",
                 [](Options& o, double v) { o.filter_Hz = static_cast<float>(v); }),
        positive("--note-s", "S", "length of each note of the synthesised scale (default 0.25)",
                 [](Options& o, double v) { o.noteDuration_s = static_cast<float>(v); }),
    };
    return options;
}

std::string usage()
{
    return "Usage: vantor-analyse [options]\n"
           "Analyses chanter audio window by window and prints volume, pitch, quality\n"
           "and chanter note. Without --pcm it analyses a synthesised chanter scale.\n\n"
           + optionsHelp(analyseOptions()) + helpEntry("  --help", "this text");
}

std::optional<std::string> checkOptions(const Options& options)
{
    if (options.windowSize < 16)
        return std::string("the window must hold at least 16 samples");
    if (options.samplingFrequency_Hz < 8000.0f)
        return std::string("the sampling frequency must be at least 8000 Hz");
    return std::nullopt;
}

bool readPcm(const std::string& path, std::vector<short>& samples, std::string& error)
{
    std::ifstream file(path, std::ios::binary);
    if (!file) {
        error = "cannot open \"" + path + "\"";
        return false;
    }
    const std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    samples = utils::decodePcm16(bytes.data(), bytes.size());
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    const auto parsed = parseCommandLine<Options>(
        std::vector<std::string>(argv + 1, argv + argc), analyseOptions(),
        [](const std::string& argument, Options&) -> std::optional<std::string> {
            return "unexpected argument \"" + argument + "\"";
        });
    if (parsed.outcome == CommandLineResult<Options>::Help) {
        std::cout << usage();
        return 0;
    }
    std::optional<std::string> refusal = parsed.outcome == CommandLineResult<Options>::UsageError
                                             ? std::optional<std::string>(parsed.error)
                                             : checkOptions(parsed.settings);
    if (refusal) {
        std::cerr << "vantor-analyse: " << *refusal << "\nTry vantor-analyse --help\n";
        return 2;
    }
    const Options& options = parsed.settings;
    std::string error;

    PipeTuning tuning;
    tuning.setLowA_Hz(options.lowA_Hz);

    std::vector<short> samples;
    if (options.pcmPath.empty()) {
        samples = utils::toPcm16(synth::renderSegments(synth::scale(tuning, options.noteDuration_s),
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
