#include "TranscribeCommand.h"

#include "InputBounds.h"
#include "ScoreSettings.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <map>
#include <sstream>

namespace {

using Command = TranscribeCommand;
using Option = CommandLineOption<Command>;
using Refusal = std::optional<std::string>;

// An option that stores its value as a file path.
Option pathOption(std::string name, std::string help, std::string Command::*member)
{
    return {std::move(name), "FILE", std::move(help), [member](const std::string& value, Command& command) -> Refusal {
                command.*member = value;
                return std::nullopt;
            }};
}

Option textOption(std::string name, std::string help, std::optional<std::string> Command::*member)
{
    return {std::move(name), "T", std::move(help), [member](const std::string& value, Command& command) -> Refusal {
                command.*member = value;
                return std::nullopt;
            }};
}

// A value option that also takes "auto", recorded in autoMember (a value
// given records false there).
template <typename Apply>
std::function<Refusal(const std::string&, Command&)> orAuto(std::optional<bool> Command::*autoMember, Apply apply)
{
    return [autoMember, apply](const std::string& value, Command& command) -> Refusal {
        if (value == "auto") {
            command.*autoMember = true;
            return std::nullopt;
        }
        command.*autoMember = false;
        return apply(value, command);
    };
}

std::vector<Option> makeOptions()
{
    auto inRange = [](const bounds::Range& range, const std::string& unit) {
        return "a number from " + range.text() + (unit.empty() ? "" : " " + unit);
    };
    auto engineNumber = [&](std::string name, std::string help, float TranscriptionOptions::*member,
                            const bounds::Range& range, const std::string& unit) {
        return Option{name, "V", help,
                      numberOption<Command>(range.minimum, range.maximum, inRange(range, unit),
                                            [member](Command& c, double v) { c.options.*member = static_cast<float>(v); })};
    };
    return {
        {"--mode", "progressive|oneshot", "as the application transcribes while recording (default), or the whole file at once",
         [](const std::string& value, Command& command) -> Refusal {
             if (value == "progressive")
                 command.options.mode = TranscriptionMode::Progressive;
             else if (value == "oneshot")
                 command.options.mode = TranscriptionMode::OneShot;
             else
                 return "takes progressive or oneshot, not \"" + value + "\"";
             return std::nullopt;
         }},
        {"--second-look", "on|off", "a closer look at gracings and short notes after the transcription (default on); off gives the transcription engine's own output",
         [](const std::string& value, Command& command) -> Refusal {
             if (value != "on" && value != "off")
                 return "takes on or off, not \"" + value + "\"";
             command.options.secondLook = value == "on";
             return std::nullopt;
         }},
        {"--drones", "auto|off", "auto: find the drones and a room's reverberation and take them out of what is transcribed; off: transcribe the recording as it is (default auto)",
         [](const std::string& value, Command& command) -> Refusal {
             if (value != "auto" && value != "off")
                 return "takes auto or off, not \"" + value + "\"";
             command.options.findDrones = value == "auto";
             return std::nullopt;
         }},
        {"--lowA", "auto|HZ", "estimate the chanter's Low A (default) or give it",
         [](const std::string& value, Command& command) -> Refusal {
             command.tuningGiven = true;
             if (value == "auto") {
                 command.options.tuningSource = TuningSource::EstimatedLowA;
                 return std::nullopt;
             }
             const std::optional<double> lowA_Hz =
                 parseNumber(value, bounds::kLowA_Hz.minimum, bounds::kLowA_Hz.maximum);
             if (!lowA_Hz)
                 return "takes auto or a frequency from " + bounds::kLowA_Hz.text() + " Hz, not \"" + value + "\"";
             command.options.tuningSource = TuningSource::GivenLowA;
             command.options.lowA_Hz = static_cast<float>(*lowA_Hz);
             return std::nullopt;
         }},
        {"--tuning", "LG=HZ,LA=HZ,...", "a calibrated tuning: LA from 300 to 700 Hz required, every note within the chanter's compass",
         [](const std::string& value, Command& command) -> Refusal {
             std::string error;
             if (!parseTuning(value, command.options.calibratedTuning, error)
                 || !bounds::isPlayableTuning(command.options.calibratedTuning, error))
                 return "refused: " + error;
             command.options.tuningSource = TuningSource::Calibrated;
             command.tuningGiven = true;
             return std::nullopt;
         }},
        engineNumber("--filter-hz", "input low-pass corner, 0 for none, up to 20000 (default 2500)",
                     &TranscriptionOptions::filterCorner_Hz, bounds::kFilterCorner_Hz, "Hz"),
        engineNumber("--min-volume", "volume gate, 0..1 (default 0.3)", &TranscriptionOptions::minimumVolume_normalized,
                     bounds::kVolume_normalized, ""),
        engineNumber("--peak-threshold", "SNAC peak threshold, 0..1 (default 0.97)",
                     &TranscriptionOptions::snacPeakThreshold, bounds::kSnacLevel, ""),
        engineNumber("--min-peak", "minimum SNAC peak, 0..1 (default 0.3)", &TranscriptionOptions::minimumSnacPeak,
                     bounds::kSnacLevel, ""),
        {"--jobs", "N", "threads to transcribe with, 1..256 (default: all cores); the notes are the same",
         numberOption<Command>(1, 256, "a whole number from 1 to 256",
                               [](Command& c, double v) { c.options.jobs = static_cast<unsigned int>(v); }, true)},
        pathOption("--json", "write pipe-notes/1 JSON instead of text (- for standard output)", &Command::jsonPath),
        pathOption("--bww", "write the score as Bagpipe Music Writer text", &Command::bwwPath),
        pathOption("--musicxml", "write the score as MusicXML, for notation programs", &Command::musicXmlPath),
        pathOption("--vnt", "save the recording as a project file", &Command::vntPath),
        pathOption("--wav", "save the recording as WAVE", &Command::wavPath),
        pathOption("--png", "write the sheet music as PNG", &Command::pngPath),
        pathOption("--timing-png", "write the timing view as PNG", &Command::timingPngPath),
        pathOption("--pdf", "write the sheet music as PDF, on pages to print", &Command::pdfPath),
        {"--paper", "a4|letter", "the PDF's paper (default: the locale's, Letter in North America)",
         [](const std::string& value, Command& command) -> Refusal {
             if (value != "a4" && value != "letter")
                 return "takes a4 or letter, not \"" + value + "\"";
             command.paper = value;
             return std::nullopt;
         }},
        {"--secs-per-row", "S", "seconds per row of the timing view, 1..60 (default 5)",
         numberOption<Command>(bounds::kSecondsPerRow_s.minimum, bounds::kSecondsPerRow_s.maximum,
                               inRange(bounds::kSecondsPerRow_s, "seconds"),
                               [](Command& c, double v) { c.secondsPerRow = static_cast<float>(v); })},
        {"--bpm", "N|auto", "tempo, 20..200; auto: followed through the recording (default for audio)",
         orAuto(&Command::bpmAuto,
                numberOption<Command>(bounds::kBpm.minimum, bounds::kBpm.maximum, inRange(bounds::kBpm, "BPM"),
                                      [](Command& c, double v) { c.bpm = static_cast<float>(v); }))},
        {"--time-signature", "S|auto", "4/4, 3/4, 2/4, 2/2 or 6/8; auto: found from the recording (default for audio)",
         orAuto(&Command::timeSignatureAuto, [](const std::string& value, Command& command) -> Refusal {
             int numerator = 4;
             int denominator = 4;
             if (!parseTimeSignature(value, numerator, denominator))
                 return "takes 4/4, 3/4, 2/4, 2/2 or 6/8, not \"" + value + "\"";
             command.timeSignature = std::make_pair(numerator, denominator);
             return std::nullopt;
         })},
        {"--time-shift", "S|auto", "seconds added to every note, -100..100; auto: the first bar line found (default for audio)",
         orAuto(&Command::timeShiftAuto,
                numberOption<Command>(bounds::kTimeShift_s.minimum, bounds::kTimeShift_s.maximum,
                                      inRange(bounds::kTimeShift_s, "seconds"),
                                      [](Command& c, double v) { c.timeShift_s = static_cast<float>(v); }))},
        {"--round", "", "a coarser rhythm grid",
         [](const std::string&, Command& command) -> Refusal {
             command.rounding = true;
             return std::nullopt;
         }},
        {"--bars-per-row", "N", "bars in a row of the score, 1..16 (default 4)",
         numberOption<Command>(bounds::kBarsPerRow.minimum, bounds::kBarsPerRow.maximum, "a whole number from 1 to 16",
                               [](Command& c, double v) { c.barsPerRow = static_cast<int>(v); }, true)},
        textOption("--tune-name", "(default \"Your Tune\")", &Command::tuneName),
        textOption("--tune-type", "(default \"March\")", &Command::tuneType),
        textOption("--composer", "(default \"Your Name\")", &Command::composer),
    };
}

} // namespace

bool TranscribeCommand::printsListing() const
{
    return jsonPath.empty() && bwwPath != "-" && musicXmlPath != "-" && vntPath != "-" && wavPath != "-"
           && pngPath != "-" && timingPngPath != "-" && pdfPath != "-";
}

const std::vector<CommandLineOption<TranscribeCommand>>& transcribeOptions()
{
    static const std::vector<Option> options = makeOptions();
    return options;
}

std::string transcribeUsage()
{
    return "Usage: vantor-transcribe [options] AUDIO_OR_VNT_FILE\n"
           "Transcribes a chanter recording (WAV, FLAC, OGG, AIFF... from 8000 to 192000\n"
           "Hz, or a Vantor project file; - or /dev/stdin reads a pipe) and prints the\n"
           "notes, or writes the score (BWW, MusicXML, PNG). A project file's own tune\n"
           "details, tempo, time signature, time shift and calibration are used unless\n"
           "given here; values of a project outside the ranges below are clamped, with a\n"
           "warning, and a calibration no chanter could have is ignored. Outputs never\n"
           "replace the input. One output may be \"-\", standard output (not --vnt); the\n"
           "note listing is printed only when no other output goes there. In the tune\n"
           "details, line breaks become spaces and double quotes single ones.\n\n"
           + optionsHelp(transcribeOptions()) + "  --help                      this text\n";
}

CommandLineResult<TranscribeCommand> parseTranscribeCommand(const std::vector<std::string>& arguments)
{
    auto result = parseCommandLine<Command>(arguments, transcribeOptions(),
                                            [](const std::string& argument, Command& command) -> Refusal {
                                                if (!command.input.empty())
                                                    return std::string("more than one input file given");
                                                command.input = argument;
                                                return std::nullopt;
                                            });
    if (result.outcome != CommandLineResult<Command>::Run)
        return result;
    const Command& command = result.settings;
    int toStdout = 0;
    for (const std::string* path : {&command.jsonPath, &command.bwwPath, &command.vntPath, &command.wavPath,
                                    &command.pngPath, &command.timingPngPath, &command.pdfPath,
                                    &command.musicXmlPath})
        toStdout += *path == "-" ? 1 : 0;
    if (command.vntPath == "-") {
        result.outcome = CommandLineResult<Command>::UsageError;
        result.error = "--vnt needs a file: a project cannot go to standard output";
    } else if (toStdout > 1) {
        result.outcome = CommandLineResult<Command>::UsageError;
        result.error = "only one output can go to standard output (\"-\")";
    } else if (command.input.empty()) {
        result.outcome = CommandLineResult<Command>::UsageError;
        result.error = "no audio file given";
    }
    return result;
}
bool parseTuning(const std::string& text, PipeTuning& tuning, std::string& error)
{
    std::map<PipeTuning::ReferenceNote, float> frequencies;
    std::istringstream stream(text);
    std::string item;
    while (std::getline(stream, item, ',')) {
        const std::size_t equals = item.find('=');
        if (equals == std::string::npos) {
            error = "expected NOTE=HZ in the tuning, got \"" + item + "\"";
            return false;
        }
        const std::string name = item.substr(0, equals);
        const std::string value = item.substr(equals + 1);
        PipeTuning::ReferenceNote note = PipeTuning::Unknown;
        for (int index = 0; index < PipeTuning::kMelodyNoteCount; ++index) {
            if (toString(referenceNoteToNoteName(PipeTuning::noteIndexToReferenceNote(index))) == name)
                note = PipeTuning::noteIndexToReferenceNote(index);
        }
        if (note == PipeTuning::Unknown) {
            error = "unknown note \"" + name + "\" in the tuning (use LG LA B C D E F HG HA)";
            return false;
        }
        char* end = nullptr;
        const float frequency_Hz = std::strtof(value.c_str(), &end);
        if (value.empty() || *end != '\0' || !(frequency_Hz > 0.0f) || !std::isfinite(frequency_Hz)) {
            error = "expected a frequency in Hz for " + name + ", got \"" + value + "\"";
            return false;
        }
        frequencies[note] = frequency_Hz;
    }
    if (frequencies.count(PipeTuning::LowA) == 0) {
        error = "the tuning must give LA";
        return false;
    }
    PipeTuning parsed;
    parsed.setTuningScheme(PipeTuning::Calibrated, frequencies);
    tuning = parsed;
    return true;
}
