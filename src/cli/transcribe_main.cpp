// vantor-transcribe: transcribes a chanter recording without any user
// interface. Reads any file libsndfile reads, transcribes it as the
// application does (or in one shot) and prints the notes, or writes them as
// a pipe-notes/1 JSON document.

#include "AudioFileReader.h"
#include "TranscriptionOutput.h"
#include "TranscriptionRunner.h"

#include <QSaveFile>
#include <QString>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <unistd.h>

namespace {

constexpr float kProgressFromAudio_s = 5.0f;

struct CommandLine {
    std::string input;
    std::string jsonPath;
    TranscriptionOptions options;
};

void printUsage(std::ostream& out)
{
    out << "Usage: vantor-transcribe [options] AUDIO_FILE\n"
           "Transcribes a chanter recording (WAV, FLAC, OGG, AIFF... at 8000 Hz or more).\n\n"
           "  --mode progressive|oneshot  as the application transcribes while recording\n"
           "                              (default), or the whole file at once\n"
           "  --lowA auto|HZ              estimate the chanter's Low A (default) or give it\n"
           "  --tuning LG=HZ,LA=HZ,...    a calibrated tuning (LA required)\n"
           "  --filter-hz HZ              input low-pass corner, 0 for none (default 2500)\n"
           "  --min-volume V              volume gate, 0..1 (default 0.3)\n"
           "  --peak-threshold T          SNAC peak threshold (default 0.97)\n"
           "  --min-peak P                minimum SNAC peak (default 0.3)\n"
           "  --json FILE|-               write pipe-notes/1 JSON instead of text\n"
           "  --help                      this text\n";
}

bool parseFloat(const std::string& text, float& value, bool allowZero)
{
    char* end = nullptr;
    const float parsed = std::strtof(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(parsed) || parsed < 0.0f || (!allowZero && parsed == 0.0f))
        return false;
    value = parsed;
    return true;
}

bool parseCommandLine(int argc, char** argv, CommandLine& command, std::string& error)
{
    TranscriptionOptions& options = command.options;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--help" || name == "-h") {
            printUsage(std::cout);
            std::exit(0);
        }
        if (name.rfind("--", 0) != 0) {
            if (!command.input.empty()) {
                error = "more than one input file given";
                return false;
            }
            command.input = name;
            continue;
        }
        if (i + 1 >= argc) {
            error = "missing value after " + name;
            return false;
        }
        const std::string value = argv[++i];
        float number = 0.0f;
        if (name == "--mode") {
            if (value == "progressive")
                options.mode = TranscriptionMode::Progressive;
            else if (value == "oneshot")
                options.mode = TranscriptionMode::OneShot;
            else {
                error = "--mode takes progressive or oneshot, not \"" + value + "\"";
                return false;
            }
        } else if (name == "--lowA") {
            if (value == "auto") {
                options.tuningSource = TuningSource::EstimatedLowA;
            } else if (parseFloat(value, number, false)) {
                options.tuningSource = TuningSource::GivenLowA;
                options.lowA_Hz = number;
            } else {
                error = "--lowA takes auto or a frequency in Hz, not \"" + value + "\"";
                return false;
            }
        } else if (name == "--tuning") {
            if (!parseTuning(value, options.calibratedTuning, error))
                return false;
            options.tuningSource = TuningSource::Calibrated;
        } else if (name == "--json") {
            command.jsonPath = value;
        } else if (name == "--filter-hz" || name == "--min-volume" || name == "--peak-threshold"
                   || name == "--min-peak") {
            if (!parseFloat(value, number, true)) {
                error = name + " takes a number of 0 or more, not \"" + value + "\"";
                return false;
            }
            if (name == "--filter-hz")
                options.filterCorner_Hz = number;
            else if (name == "--min-volume")
                options.minimumVolume_normalized = number;
            else if (name == "--peak-threshold")
                options.snacPeakThreshold = number;
            else
                options.minimumSnacPeak = number;
        } else {
            error = "unknown option " + name;
            return false;
        }
    }
    if (command.input.empty()) {
        error = "no audio file given";
        return false;
    }
    return true;
}

void showProgress(float fraction)
{
    constexpr int kWidth = 40;
    const int filled = static_cast<int>(fraction * kWidth);
    std::fprintf(stderr, "\r[%.*s%*s] %3d%%", filled, "########################################", kWidth - filled, "",
                 static_cast<int>(fraction * 100.0f));
    if (fraction >= 1.0f)
        std::fprintf(stderr, "\n");
    std::fflush(stderr);
}

bool writeOutput(const std::string& path, const std::string& text, std::string& error)
{
    if (path == "-") {
        std::cout << text;
        return static_cast<bool>(std::cout);
    }
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly) || file.write(text.data(), static_cast<qint64>(text.size())) < 0
        || !file.commit()) {
        error = path + ": cannot write the file (" + file.errorString().toStdString() + ")";
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    CommandLine command;
    std::string error;
    if (!parseCommandLine(argc, argv, command, error)) {
        std::cerr << "vantor-transcribe: " << error << "\n";
        printUsage(std::cerr);
        return 2;
    }

    AudioData audio;
    if (!readAudioFile(command.input, audio, error)) {
        std::cerr << "vantor-transcribe: " << error << "\n";
        return 1;
    }

    const float audio_s = static_cast<float>(audio.samples.size()) / audio.samplingFrequency_Hz;
    ProgressCallback progress;
    if (audio_s > kProgressFromAudio_s && isatty(STDERR_FILENO))
        progress = showProgress;
    const TranscriptionResult result = transcribeRecording(audio, command.options, progress);

    if (command.jsonPath.empty()) {
        std::cout << toText(result);
        return 0;
    }
    if (!writeOutput(command.jsonPath, toPipeNotesJson(result, command.input, audio.samplingFrequency_Hz), error)) {
        std::cerr << "vantor-transcribe: " << error << "\n";
        return 1;
    }
    return 0;
}
