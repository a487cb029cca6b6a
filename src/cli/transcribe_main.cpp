// vantor-transcribe: transcribes a chanter recording without any user
// interface. Reads any file libsndfile reads, or a Vantor project file,
// transcribes it as the application does (or in one shot), prints the notes
// or writes them as pipe-notes/1 JSON, and writes the score as BWW, the
// recording as a project file or as WAVE.

#include "AudioFileReader.h"
#include "ScoreImages.h"
#include "ScoreOptions.h"
#include "TranscriptionOutput.h"
#include "TranscriptionRunner.h"

#include <QBuffer>
#include <QFile>
#include <QGuiApplication>
#include <QSaveFile>
#include <QString>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <unistd.h>

namespace {

constexpr float kProgressFromAudio_s = 5.0f;

struct CommandLine {
    std::string input;
    std::string jsonPath;
    std::string bwwPath;
    std::string vntPath;
    std::string wavPath;
    std::string pngPath;
    std::string timingPngPath;
    float secondsPerRow = 5.0f;
    TranscriptionOptions options;
    bool tuningGiven = false;
    // Score settings given on the command line; the rest come from a project
    // file read as input, or the defaults.
    std::optional<float> bpm;
    std::optional<std::pair<int, int>> timeSignature;
    std::optional<float> timeShift_s;
    bool rounding = false;
    std::optional<int> barsPerRow;
    std::optional<std::string> tuneName;
    std::optional<std::string> tuneType;
    std::optional<std::string> composer;
};

void printUsage(std::ostream& out)
{
    out << "Usage: vantor-transcribe [options] AUDIO_OR_VNT_FILE\n"
           "Transcribes a chanter recording (WAV, FLAC, OGG, AIFF... at 8000 Hz or more,\n"
           "or a Vantor project file).\n\n"
           "Transcription:\n"
           "  --mode progressive|oneshot  as the application transcribes while recording\n"
           "                              (default), or the whole file at once\n"
           "  --lowA auto|HZ              estimate the chanter's Low A (default) or give it\n"
           "  --tuning LG=HZ,LA=HZ,...    a calibrated tuning (LA required)\n"
           "  --filter-hz HZ              input low-pass corner, 0 for none (default 2500)\n"
           "  --min-volume V              volume gate, 0..1 (default 0.3)\n"
           "  --peak-threshold T          SNAC peak threshold (default 0.97)\n"
           "  --min-peak P                minimum SNAC peak (default 0.3)\n"
           "Output:\n"
           "  --json FILE|-               write pipe-notes/1 JSON instead of text\n"
           "  --bww FILE                  write the score as Bagpipe Music Writer text\n"
           "  --vnt FILE                  save the recording as a project file\n"
           "  --wav FILE                  save the recording as WAVE\n"
           "  --png FILE                  write the sheet music as PNG\n"
           "  --timing-png FILE           write the timing view as PNG\n"
           "  --secs-per-row S            seconds per row of the timing view (default 5)\n"
           "Score (a project file's own settings are used unless given here):\n"
           "  --bpm N                     tempo (default 72)\n"
           "  --time-signature S          4/4 (default), 3/4, 2/4, 2/2 or 6/8\n"
           "  --time-shift S              seconds added to every note (default 0)\n"
           "  --round                     a coarser rhythm grid\n"
           "  --bars-per-row N            (default 4)\n"
           "  --tune-name T --tune-type T --composer T\n"
           "                              (defaults \"Your Tune\", \"March\", \"Your Name\")\n"
           "  --help                      this text\n";
}

bool parseFloat(const std::string& text, float& value, bool allowNegative, bool allowZero)
{
    char* end = nullptr;
    const float parsed = std::strtof(text.c_str(), &end);
    if (text.empty() || *end != '\0' || !std::isfinite(parsed) || (!allowNegative && parsed < 0.0f)
        || (!allowZero && parsed == 0.0f))
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
        if (name == "--round") {
            command.rounding = true;
            continue;
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
            command.tuningGiven = true;
            if (value == "auto") {
                options.tuningSource = TuningSource::EstimatedLowA;
            } else if (parseFloat(value, number, false, false)) {
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
            command.tuningGiven = true;
        } else if (name == "--json") {
            command.jsonPath = value;
        } else if (name == "--bww") {
            command.bwwPath = value;
        } else if (name == "--vnt") {
            command.vntPath = value;
        } else if (name == "--wav") {
            command.wavPath = value;
        } else if (name == "--png") {
            command.pngPath = value;
        } else if (name == "--timing-png") {
            command.timingPngPath = value;
        } else if (name == "--secs-per-row") {
            if (!parseFloat(value, number, false, false)) {
                error = "--secs-per-row takes a number of seconds above 0, not \"" + value + "\"";
                return false;
            }
            command.secondsPerRow = number;
        } else if (name == "--tune-name") {
            command.tuneName = value;
        } else if (name == "--tune-type") {
            command.tuneType = value;
        } else if (name == "--composer") {
            command.composer = value;
        } else if (name == "--time-signature") {
            int numerator = 4;
            int denominator = 4;
            if (!parseTimeSignature(value, numerator, denominator)) {
                error = "--time-signature takes 4/4, 3/4, 2/4, 2/2 or 6/8, not \"" + value + "\"";
                return false;
            }
            command.timeSignature = std::make_pair(numerator, denominator);
        } else if (name == "--bpm") {
            if (!parseFloat(value, number, false, false)) {
                error = "--bpm takes a tempo above 0, not \"" + value + "\"";
                return false;
            }
            command.bpm = number;
        } else if (name == "--time-shift") {
            if (!parseFloat(value, number, true, true)) {
                error = "--time-shift takes a number of seconds, not \"" + value + "\"";
                return false;
            }
            command.timeShift_s = number;
        } else if (name == "--bars-per-row") {
            if (!parseFloat(value, number, false, false) || number != std::floor(number) || number > 1000.0f) {
                error = "--bars-per-row takes a whole number from 1, not \"" + value + "\"";
                return false;
            }
            command.barsPerRow = static_cast<int>(number);
        } else if (name == "--filter-hz" || name == "--min-volume" || name == "--peak-threshold"
                   || name == "--min-peak") {
            if (!parseFloat(value, number, false, true)) {
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

bool isProjectFile(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) && file.read(9) == "norla_vnt";
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

QByteArray pngBytes(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

bool writeOutput(const std::string& path, const QByteArray& bytes, std::string& error)
{
    if (path == "-") {
        std::cout.write(bytes.constData(), bytes.size());
        return static_cast<bool>(std::cout);
    }
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
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
    ScoreOptions score;
    if (isProjectFile(command.input)) {
        PipeTuning calibration;
        bool calibrated = false;
        if (!openProject(command.input, audio, score, calibration, calibrated, error)) {
            std::cerr << "vantor-transcribe: " << error << "\n";
            return 1;
        }
        if (calibrated && !command.tuningGiven) {
            command.options.tuningSource = TuningSource::Calibrated;
            command.options.calibratedTuning = calibration;
        }
    } else if (!readAudioFile(command.input, audio, error)) {
        std::cerr << "vantor-transcribe: " << error << "\n";
        return 1;
    }
    if (command.bpm)
        score.bpm = *command.bpm;
    if (command.timeSignature)
        std::tie(score.timeSigNumerator, score.timeSigDenominator) = *command.timeSignature;
    if (command.timeShift_s)
        score.timeShift_s = *command.timeShift_s;
    score.rounding = command.rounding;
    if (command.barsPerRow)
        score.barsPerRow = *command.barsPerRow;
    if (command.tuneName)
        score.tuneName = *command.tuneName;
    if (command.tuneType)
        score.tuneType = *command.tuneType;
    if (command.composer)
        score.composer = *command.composer;

    const float audio_s = static_cast<float>(audio.samples.size()) / audio.samplingFrequency_Hz;
    ProgressCallback progress;
    if (audio_s > kProgressFromAudio_s && isatty(STDERR_FILENO))
        progress = showProgress;
    const TranscriptionResult result = transcribeRecording(audio, command.options, progress);

    bool written = true;
    if (!command.bwwPath.empty())
        written = written && writeOutput(command.bwwPath, QByteArray::fromStdString(toBww(result, score)), error);
    if (!command.vntPath.empty())
        written = written && saveProject(command.vntPath, audio, score, result.reference, error);
    if (!command.wavPath.empty())
        written = written && writeOutput(command.wavPath, toWave(audio), error);
    if (!command.pngPath.empty() || !command.timingPngPath.empty()) {
        // The images need a Qt Gui application; without a display it draws
        // offscreen.
        if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
            && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        int appArgc = 1;
        QGuiApplication application(appArgc, argv);
        for (const auto& [path, image] :
             {std::make_pair(command.pngPath, command.pngPath.empty() ? QImage() : scoreImage(result, score)),
              std::make_pair(command.timingPngPath, command.timingPngPath.empty()
                                                        ? QImage()
                                                        : timingImage(result, score, command.secondsPerRow))}) {
            if (path.empty())
                continue;
            if (image.isNull()) {
                error = path + ": there are no notes to draw";
                written = false;
                continue;
            }
            written = written && writeOutput(path, pngBytes(image), error);
        }
    }
    if (!command.jsonPath.empty())
        written = written
                  && writeOutput(command.jsonPath,
                                 QByteArray::fromStdString(
                                     toPipeNotesJson(result, command.input, audio.samplingFrequency_Hz)),
                                 error);
    else
        std::cout << toText(result);
    if (!written) {
        std::cerr << "vantor-transcribe: " << error << "\n";
        return 1;
    }
    return 0;
}
