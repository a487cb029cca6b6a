#include "CommandLine.h"

#include <cmath>
#include <cstdlib>

std::optional<double> parseNumber(const std::string& text, double minimum, double maximum)
{
    if (text.empty())
        return std::nullopt;
    char* end = nullptr;
    const double number = std::strtod(text.c_str(), &end);
    if (*end != '\0' || !std::isfinite(number) || number < minimum || number > maximum)
        return std::nullopt;
    return number;
}

std::string helpEntry(const std::string& head, const std::string& help)
{
    constexpr std::size_t kColumn = 30;
    constexpr std::size_t kWidth = 80;
    std::string text = head;
    std::size_t lineStart = 0;
    if (text.size() >= kColumn) {
        text += "\n";
        lineStart = text.size();
    }
    text += std::string(lineStart + kColumn - text.size(), ' ');
    std::size_t from = 0;
    bool first = true;
    while (from < help.size()) {
        std::size_t to = help.find(' ', from);
        if (to == std::string::npos)
            to = help.size();
        const std::string word = help.substr(from, to - from);
        if (!first && text.size() - lineStart + 1 + word.size() > kWidth) {
            text += "\n";
            lineStart = text.size();
            text += std::string(kColumn, ' ');
        } else if (!first) {
            text += " ";
        }
        text += word;
        first = false;
        from = to + 1;
    }
    return text + "\n";
}
