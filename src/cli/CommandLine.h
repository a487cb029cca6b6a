#pragma once

// A command line described as a table of options: each option has a name,
// the name of its value (none for a switch), a help text and a function that
// checks the value and stores it. parseCommandLine walks the arguments
// against the table and returns what to do: run with the settings, show the
// help, or refuse with a one-line message. It never prints and never exits,
// so the tools and the tests drive it alike.

#include <cmath>
#include <functional>
#include <optional>
#include <string>
#include <vector>

template <typename Settings>
struct CommandLineOption {
    std::string name;      // "--bpm"
    std::string valueName; // "N"; empty for a switch
    std::string help;
    // Stores the value (empty for a switch) or returns why it is refused.
    std::function<std::optional<std::string>(const std::string& value, Settings& settings)> apply;
};

template <typename Settings>
struct CommandLineResult {
    enum Outcome { Run, Help, UsageError };
    Outcome outcome = Run;
    Settings settings;
    std::string error; // for UsageError
};

template <typename Settings>
CommandLineResult<Settings> parseCommandLine(
    const std::vector<std::string>& arguments, const std::vector<CommandLineOption<Settings>>& options,
    const std::function<std::optional<std::string>(const std::string&, Settings&)>& positional)
{
    CommandLineResult<Settings> result;
    auto refuse = [&result](std::string message) {
        result.outcome = CommandLineResult<Settings>::UsageError;
        result.error = std::move(message);
        return result;
    };
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "-h") {
            result.outcome = CommandLineResult<Settings>::Help;
            return result;
        }
        if (argument.size() < 2 || argument.compare(0, 2, "--") != 0 || argument == "--") {
            if (std::optional<std::string> error = positional(argument, result.settings))
                return refuse(*error);
            continue;
        }
        const CommandLineOption<Settings>* option = nullptr;
        for (const auto& candidate : options)
            option = candidate.name == argument ? &candidate : option;
        if (option == nullptr)
            return refuse("unknown option " + argument);
        std::string value;
        if (!option->valueName.empty()) {
            if (i + 1 >= arguments.size())
                return refuse("missing value after " + argument);
            value = arguments[++i];
        }
        if (std::optional<std::string> error = option->apply(value, result.settings))
            return refuse(argument + " " + *error);
    }
    return result;
}

// head, then help in a column from column 30, wrapped at 80 columns.
std::string helpEntry(const std::string& head, const std::string& help);

// The options' part of a help text: one entry per option.
template <typename Settings>
std::string optionsHelp(const std::vector<CommandLineOption<Settings>>& options)
{
    std::string text;
    for (const auto& option : options)
        text += helpEntry("  " + option.name + (option.valueName.empty() ? "" : " " + option.valueName), option.help);
    return text;
}

// A finite number from the whole of text within [minimum, maximum]; nullopt
// for anything else.
std::optional<double> parseNumber(const std::string& text, double minimum, double maximum);

// An option function that passes a number within [minimum, maximum] to
// store, refusing anything else with "takes WHAT, not "VALUE"". Whole
// numbers only when wholeOnly is set.
template <typename Settings>
auto numberOption(double minimum, double maximum, std::string what, std::function<void(Settings&, double)> store,
                  bool wholeOnly = false)
{
    return [=](const std::string& value, Settings& settings) -> std::optional<std::string> {
        const std::optional<double> number = parseNumber(value, minimum, maximum);
        if (!number || (wholeOnly && *number != std::floor(*number)))
            return "takes " + what + ", not \"" + value + "\"";
        store(settings, *number);
        return std::nullopt;
    };
}
