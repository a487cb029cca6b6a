#pragma once

// The command line of vantor-transcribe: its settings, its option table and
// its help text. A unit of its own so that every option and every refusal is
// tested without running a transcription.

#include "CommandLine.h"
#include "RecordingTranscriber.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

struct TranscribeCommand {
    std::string input;
    std::string jsonPath;
    std::string bwwPath;
    std::string musicXmlPath;
    std::string vntPath;
    std::string wavPath;
    std::string pngPath;
    std::string timingPngPath;
    std::string pdfPath;
    // "a4" or "letter"; empty: the locale's.
    std::string paper;
    float secondsPerRow = 5.0f;
    TranscriptionOptions options;
    bool tuningGiven = false;
    // Score settings given on the command line; the rest come from a project
    // file read as input, or the defaults.
    std::optional<float> bpm;
    std::optional<std::pair<int, int>> timeSignature;
    std::optional<float> timeShift_s;
    // "auto": found from the transcription (the default for plain audio;
    // a project has its own).
    std::optional<bool> bpmAuto;
    std::optional<bool> timeSignatureAuto;
    std::optional<bool> timeShiftAuto;
    bool rounding = false;
    std::optional<int> barsPerRow;
    std::optional<std::string> tuneName;
    std::optional<std::string> tuneType;
    std::optional<std::string> composer;

    // Whether the note listing goes to standard output: only when nothing
    // else is written there.
    bool printsListing() const;
};

const std::vector<CommandLineOption<TranscribeCommand>>& transcribeOptions();
std::string transcribeUsage();
CommandLineResult<TranscribeCommand> parseTranscribeCommand(const std::vector<std::string>& arguments);

// Reads "LG=420,LA=480,..." (any of LG LA B C D E F HG HA, Low A required)
// as a calibrated tuning.
bool parseTuning(const std::string& text, PipeTuning& tuning, std::string& error);
