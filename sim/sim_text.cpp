#include "sim/sim_text.h"

#include <cctype>
#include <cmath>
#include <cstdlib>

namespace tav::sim {

std::string ToUpper(std::string_view text)
{
    std::string upper(text);
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

std::string_view Trim(std::string_view text)
{
    constexpr std::string_view kBlank = " \t\r";
    const auto first = text.find_first_not_of(kBlank);
    if (first == std::string_view::npos)
        return {};
    const auto last = text.find_last_not_of(kBlank);
    return text.substr(first, last - first + 1);
}

std::optional<double> ParseNumber(std::string_view text)
{
    // strtod needs a terminated string; a copy also keeps it from reading past the view.
    const std::string copy(Trim(text));
    if (copy.empty())
        return std::nullopt;
    char* end = nullptr;
    const double value = std::strtod(copy.c_str(), &end);
    if (end == copy.c_str() || !std::isfinite(value))
        return std::nullopt;
    return value;
}

std::optional<bool> ParseSwitch(std::string_view text)
{
    const std::string word = ToUpper(Trim(text));
    if (word == "ON")
        return true;
    if (word == "OFF")
        return false;
    const auto number = ParseNumber(word);
    if (!number)
        return std::nullopt;
    return *number != 0.0;
}

} // namespace tav::sim
