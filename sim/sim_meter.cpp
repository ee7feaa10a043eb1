#include "sim/sim_meter.h"

#include "sim/sim_text.h"

#include <cstdio>
#include <optional>
#include <utility>

namespace tav::sim {
namespace {

// SCPI keywords may come long or short; everything is compared in the short form.
std::string ShortKeyword(const std::string& keyword)
{
    static constexpr std::pair<std::string_view, std::string_view> kLong[] = {
        {"SENSE", "SENS"},   {"FUNCTION", "FUNC"},  {"VOLTAGE", "VOLT"},
        {"MEASURE", "MEAS"}, {"CONFIGURE", "CONF"},
    };
    for (const auto& [longForm, shortForm] : kLong) {
        if (keyword == longForm)
            return std::string(shortForm);
    }
    return keyword;
}

// "sense:function?" -> "SENS:FUNC?"; a leading colon is dropped.
std::string NormalizePath(std::string_view path)
{
    std::string upper = ToUpper(Trim(path));
    if (!upper.empty() && upper.front() == ':')
        upper.erase(0, 1);
    // The query mark would hide the last keyword's long form.
    const bool query = !upper.empty() && upper.back() == '?';
    if (query)
        upper.pop_back();
    std::string normalized;
    std::size_t start = 0;
    while (start <= upper.size()) {
        const auto colon = upper.find(':', start);
        const auto end = colon == std::string::npos ? upper.size() : colon;
        if (!normalized.empty())
            normalized += ':';
        normalized += ShortKeyword(upper.substr(start, end - start));
        if (colon == std::string::npos)
            break;
        start = colon + 1;
    }
    return query ? normalized + "?" : normalized;
}

std::optional<SimMeter::Function> FunctionNamed(const std::string& path)
{
    if (path == "VOLT:DC" || path == "VOLT")
        return SimMeter::Function::VoltDc;
    if (path == "VOLT:AC")
        return SimMeter::Function::VoltAc;
    return std::nullopt;
}

} // namespace

void SimMeter::SetInput(double dcVolts, double acVolts)
{
    dcVolts_ = dcVolts;
    acVolts_ = acVolts;
}

std::string SimMeter::Reading(Function function) const
{
    char text[32];
    std::snprintf(text, sizeof text, "%+.8E", function == Function::VoltDc ? dcVolts_ : acVolts_);
    return text;
}

LineResult SimMeter::Process(std::string_view line)
{
    line = Trim(line);
    const auto blank = line.find(' ');
    const std::string header = NormalizePath(line.substr(0, blank));
    std::string argument;
    if (blank != std::string_view::npos) {
        std::string_view quoted = Trim(line.substr(blank + 1));
        if (quoted.size() >= 2 && (quoted.front() == '\'' || quoted.front() == '"') &&
            quoted.back() == quoted.front())
            quoted = quoted.substr(1, quoted.size() - 2);
        argument = NormalizePath(quoted);
    }

    if (header == "*IDN?")
        return {LineKind::Answered, "SIM,Voltmeter,0,1.0"};
    if (header == "READ?")
        return {LineKind::Answered, Reading(function_)};
    if (header == "SENS:FUNC?")
        return {LineKind::Answered, function_ == Function::VoltDc ? "\"VOLT:DC\"" : "\"VOLT:AC\""};
    if (header == "*RST") {
        function_ = Function::VoltDc;
        return {LineKind::Applied, {}};
    }
    if (header == "*CLS")
        return {LineKind::Applied, {}};
    if (header.starts_with("MEAS:") && header.ends_with("?")) {
        const auto function = FunctionNamed(header.substr(5, header.size() - 6));
        if (!function)
            return {LineKind::Unknown, {}};
        function_ = *function;
        return {LineKind::Answered, Reading(function_)};
    }
    if (header.starts_with("CONF:")) {
        const auto function = FunctionNamed(header.substr(5));
        if (!function)
            return {LineKind::Unknown, {}};
        function_ = *function;
        return {LineKind::Applied, {}};
    }
    if (header == "SENS:FUNC" || header == "FUNC") {
        const auto function = FunctionNamed(argument);
        if (!function)
            return {LineKind::Ignored, {}};
        function_ = *function;
        return {LineKind::Applied, {}};
    }
    return {LineKind::Unknown, {}};
}

} // namespace tav::sim
