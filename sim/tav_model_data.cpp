#include "sim/tav_model_data.h"

#include "sim/sim_text.h"

#include <utility>

namespace tav::sim {
namespace {

using Names = std::pair<const char*, const char*>;

// The model name of each power class.
constexpr Names kPowerClasses[] = {{"500", "TAV-0400-PS"},  {"1000", "TAV-0800-PS"},
                                   {"2000", "TAV-1600-PS"}, {"2750", "TAV-2200-PS"},
                                   {"3750", "TAV-3000-PS"}, {"5750", "TAV-4600-PS"}};
constexpr Names kVoltageClasses[] = {{"425", ""}, {"700", "-HV"}, {"1000", "-XHV"}};
constexpr Names kFrequencyOptions[] = {{"500", ""}, {"1000", "-F1"}, {"2000", "-F2"}};
constexpr Names kInstalledOptions[] = {{"0", ""}, {"1", "-OT1"}, {"4", "-MB2"}, {"5", "-BDG"}};

// The name part for a value; a value of no class is shown as it is, after `unknownPrefix`.
template <size_t N>
std::string NamePart(const Names (&table)[N], const std::string& value,
                     const std::string& unknownPrefix)
{
    if (value.empty())
        return {};
    for (const auto& [text, name] : table)
        if (value == text)
            return name;
    return unknownPrefix + value;
}

} // namespace

std::optional<LineResult> TavModelData::Process(std::string_view line)
{
    line = Trim(line);
    const auto comma = line.find(',');
    const std::string header = ToUpper(line.substr(0, comma));
    const std::string value =
        comma == std::string_view::npos ? std::string() : std::string(Trim(line.substr(comma + 1)));
    std::string* target = nullptr;
    if (header == "SETPOWER")
        target = &power;
    else if (header == "SETVOLT")
        target = &volt;
    else if (header == "SETVOLTAC")
        target = &voltAc;
    else if (header == "SETCURR")
        target = &curr;
    else if (header == "SETFREQ")
        target = &freq;
    else if (header == "SETOPT")
        target = &option;
    if (target) {
        if (!ParseNumber(value))
            return Ignored();
        *target = value;
        configured_ = configured_ || target == &power;
        return Applied();
    }
    if (header == "EEPRESET" || header == "DFLT" || header == "OUTP:PON") {
        ++presets;
        return Applied();
    }
    return std::nullopt;
}

std::string TavModelData::ModelName(const std::string& configured) const
{
    if (!configured_)
        return configured;
    std::string name = NamePart(kPowerClasses, power, "TAV-P");
    if (name.starts_with("TAV-P"))
        name += "-PS";
    return name + NamePart(kVoltageClasses, volt, "-U") + NamePart(kFrequencyOptions, freq, "-F") +
           NamePart(kInstalledOptions, option, "-O");
}

} // namespace tav::sim
