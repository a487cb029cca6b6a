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
