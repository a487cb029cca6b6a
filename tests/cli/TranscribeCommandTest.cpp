#include "TranscribeCommand.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using Outcome = CommandLineResult<TranscribeCommand>;

Outcome parse(std::vector<std::string> arguments) { return parseTranscribeCommand(arguments); }

TEST(TranscribeCommand, EveryOptionReachesItsSetting)
{
    struct Row {
        std::vector<std::string> arguments;
        std::function<bool(const TranscribeCommand&)> holds;
    };
    const std::vector<Row> rows = {
        {{"--mode", "oneshot"}, [](const auto& c) { return c.options.mode == TranscriptionMode::OneShot; }},
        {{"--mode", "progressive"}, [](const auto& c) { return c.options.mode == TranscriptionMode::Progressive; }},
        {{"--drones", "off"}, [](const auto& c) { return !c.options.findDrones; }},
        {{"--drones", "auto"}, [](const auto& c) { return c.options.findDrones; }},
        {{"--lowA", "476.5"},
         [](const auto& c) {
             return c.tuningGiven && c.options.tuningSource == TuningSource::GivenLowA && c.options.lowA_Hz == 476.5f;
         }},
        {{"--lowA", "auto"},
         [](const auto& c) { return c.tuningGiven && c.options.tuningSource == TuningSource::EstimatedLowA; }},
        {{"--tuning", "LA=480,D=645"},
         [](const auto& c) {
             return c.options.tuningSource == TuningSource::Calibrated
                    && c.options.calibratedTuning.getReferenceNoteCentreFrequency_Hz(PipeTuning::D) == 645.0f;
         }},
        {{"--filter-hz", "0"}, [](const auto& c) { return c.options.filterCorner_Hz == 0.0f; }},
        {{"--min-volume", "0.2"}, [](const auto& c) { return c.options.minimumVolume_normalized == 0.2f; }},
        {{"--peak-threshold", "0.9"}, [](const auto& c) { return c.options.snacPeakThreshold == 0.9f; }},
        {{"--min-peak", "0.4"}, [](const auto& c) { return c.options.minimumSnacPeak == 0.4f; }},
        {{"--json", "o.json"}, [](const auto& c) { return c.jsonPath == "o.json" && !c.printsListing(); }},
        {{"--bww", "o.bww"}, [](const auto& c) { return c.bwwPath == "o.bww" && c.printsListing(); }},
        {{"--bww", "-"}, [](const auto& c) { return c.bwwPath == "-" && !c.printsListing(); }},
        {{"--musicxml", "o.musicxml"},
         [](const auto& c) { return c.musicXmlPath == "o.musicxml" && c.printsListing(); }},
        {{"--musicxml", "-"}, [](const auto& c) { return c.musicXmlPath == "-" && !c.printsListing(); }},
        {{"--vnt", "o.vnt"}, [](const auto& c) { return c.vntPath == "o.vnt"; }},
        {{"--wav", "o.wav"}, [](const auto& c) { return c.wavPath == "o.wav"; }},
        {{"--png", "o.png"}, [](const auto& c) { return c.pngPath == "o.png"; }},
        {{"--timing-png", "t.png"}, [](const auto& c) { return c.timingPngPath == "t.png"; }},
        {{"--pdf", "-"}, [](const auto& c) { return c.pdfPath == "-" && !c.printsListing(); }},
        {{"--paper", "letter"}, [](const auto& c) { return c.paper == "letter"; }},
        {{"--secs-per-row", "7.5"}, [](const auto& c) { return c.secondsPerRow == 7.5f; }},
        {{"--bpm", "80"}, [](const auto& c) { return c.bpm == 80.0f; }},
        {{"--time-signature", "6/8"}, [](const auto& c) { return c.timeSignature == std::make_pair(6, 8); }},
        {{"--time-signature", "2/2"}, [](const auto& c) { return c.timeSignature == std::make_pair(2, 2); }},
        {{"--time-shift", "-0.25"}, [](const auto& c) { return c.timeShift_s == -0.25f; }},
        {{"--round"}, [](const auto& c) { return c.rounding; }},
        {{"--bars-per-row", "3"}, [](const auto& c) { return c.barsPerRow == 3; }},
        {{"--tune-name", "Scotland the Brave"}, [](const auto& c) { return c.tuneName == "Scotland the Brave"; }},
        {{"--tune-type", "Reel"}, [](const auto& c) { return c.tuneType == "Reel"; }},
        {{"--composer", "Trad."}, [](const auto& c) { return c.composer == "Trad."; }},
    };
    for (const Row& row : rows) {
        std::vector<std::string> arguments = row.arguments;
        arguments.push_back("take.wav");
        const Outcome outcome = parse(arguments);
        ASSERT_EQ(outcome.outcome, Outcome::Run) << row.arguments[0] << ": " << outcome.error;
        EXPECT_EQ(outcome.settings.input, "take.wav");
        EXPECT_TRUE(row.holds(outcome.settings)) << row.arguments[0];
    }
    const TranscribeCommand plain = parse({"take.wav"}).settings;
    EXPECT_TRUE(plain.options.findDrones);
    EXPECT_FALSE(plain.tuningGiven || plain.bpm || plain.timeSignature || plain.timeShift_s || plain.barsPerRow);
}

TEST(TranscribeCommand, RefusesEveryBadValueWithAMessageNamingTheOption)
{
    const std::vector<std::vector<std::string>> rows = {
        {"--drones", "on"},          {"--drones", "Auto"},     {"--drones", ""},
        {"--mode", "fast"},          {"--lowA", "0"},          {"--lowA", "-480"},       {"--lowA", "4x"},
        {"--lowA", "nan"},           {"--tuning", "LG=420"},   {"--tuning", "LA=abc"},   {"--tuning", "LA=480,X=5"},
        {"--tuning", "LA"},          {"--tuning", "LA=-3"},    {"--tuning", "LA=480,D="}, {"--tuning", ""},
        {"--filter-hz", "-1"},       {"--min-volume", "x"},    {"--peak-threshold", "inf"},
        {"--min-peak", ""},          {"--secs-per-row", "0"},  {"--bpm", "0"},           {"--bpm", "-72"},
        {"--time-signature", "5/4"}, {"--time-signature", "4"}, {"--time-shift", "soon"},
        {"--bars-per-row", "0"},     {"--bars-per-row", "2.5"}, {"--bars-per-row", "17"},
        {"--paper", "A4"},           {"--paper", "legal"},
        // Beyond the ranges every input is held to.
        {"--bpm", "1e9"},            {"--bpm", "19"},          {"--time-shift", "30000"}, {"--time-shift", "nan"},
        {"--lowA", "10000"},         {"--lowA", "1e-30"},      {"--tuning", "LA=480,LG=1e30"},
        {"--tuning", "LA=1"},        {"--min-volume", "2"},    {"--peak-threshold", "1.5"},
        {"--secs-per-row", "0.5"},   {"--secs-per-row", "61"}, {"--filter-hz", "1e9"},
    };
    for (const auto& row : rows) {
        const Outcome outcome = parse({row[0], row[1], "take.wav"});
        EXPECT_EQ(outcome.outcome, Outcome::UsageError) << row[0] << " " << row[1];
        EXPECT_EQ(outcome.error.rfind(row[0] + " ", 0), 0u) << outcome.error;
    }
}

TEST(TranscribeCommand, RefusesMalformedCommandLines)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> rows = {
        {{}, "no audio file given"},
        {{"--bpm"}, "missing value after --bpm"},
        {{"a.wav", "b.wav"}, "more than one input file given"},
        {{"--frobnicate", "a.wav"}, "unknown option --frobnicate"},
        {{"--json", "-", "--bww", "-", "a.wav"}, "only one output can go to standard output (\"-\")"},
        {{"--wav", "-", "--png", "-", "a.wav"}, "only one output can go to standard output (\"-\")"},
        {{"--pdf", "-", "--bww", "-", "a.wav"}, "only one output can go to standard output (\"-\")"},
        {{"--musicxml", "-", "--bww", "-", "a.wav"}, "only one output can go to standard output (\"-\")"},
        {{"--vnt", "-", "a.wav"}, "--vnt needs a file: a project cannot go to standard output"},
    };
    for (const auto& [arguments, message] : rows) {
        const Outcome outcome = parse(arguments);
        EXPECT_EQ(outcome.outcome, Outcome::UsageError);
        EXPECT_EQ(outcome.error, message);
    }
    EXPECT_EQ(parse({"--bpm", "x", "--help"}).outcome, Outcome::UsageError);
    EXPECT_EQ(parse({"a.wav", "--help", "--bpm", "x"}).outcome, Outcome::Help);
    EXPECT_EQ(parse({"-h"}).outcome, Outcome::Help);
}

} // namespace
