#include "sim/tav_instrument.h"

#include "sim/reading_format.h"
#include "sim/sim_text.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <numbers>
#include <optional>

namespace tav::sim {
namespace {

// One received line taken apart: "SOUR2:VOLTAC,230" gives base "SOUR", index 2, leaf "VOLTAC",
// value "230".
struct ParsedLine {
    bool query = false;
    std::string base;
    int index = 0; // 0 when the root carries no digit
    std::string leaf;
    bool hasValue = false;
    std::string_view value;
};

std::optional<ParsedLine> ParseLine(std::string_view line)
{
    line = Trim(line);
    ParsedLine parsed;
    const auto separator = line.find_first_of(", ");
    std::string_view header = line.substr(0, separator);
    if (separator != std::string_view::npos) {
        parsed.hasValue = true;
        parsed.value = Trim(line.substr(separator + 1));
    }
    if (!header.empty() && header.back() == '?') {
        if (parsed.hasValue)
            return std::nullopt;
        parsed.query = true;
        header.remove_suffix(1);
    }
    if (!header.empty() && header.front() == ':')
        header.remove_prefix(1);
    if (header.empty())
        return std::nullopt;

    const std::string upper = ToUpper(header);
    const auto colon = upper.find(':');
    std::string root = upper.substr(0, colon);
    if (colon != std::string::npos)
        parsed.leaf = upper.substr(colon + 1);
    if (root.size() > 1 && std::isdigit(static_cast<unsigned char>(root.back()))) {
        parsed.index = root.back() - '0';
        root.pop_back();
    }
    parsed.base = std::move(root);
    return parsed;
}

std::string FormatSwitch(bool on) { return on ? "1" : "0"; }

} // namespace

TavInstrument::TavInstrument(TavConfig config)
    : config_(std::move(config)), settings_(PowerOnSettings())
{
    // Option words are blank separated; only a whole "3P" word counts.
    const std::string options = " " + ToUpper(config_.options) + " ";
    threePhase_ = options.find(" 3P ") != std::string::npos;
    memories_.fill(settings_);
}

TavInstrument::Settings TavInstrument::PowerOnSettings()
{
    Settings settings;
    settings.phase[1].phas = 120;
    settings.phase[2].phas = 240;
    return settings;
}

double& TavInstrument::Field(PhaseSet& set, Quantity quantity)
{
    switch (quantity) {
    case Quantity::VoltAc:
        return set.voltAc;
    case Quantity::VoltDc:
        return set.voltDc;
    case Quantity::Curr:
        return set.curr;
    case Quantity::Freq:
        return set.freq;
    case Quantity::Phas:
        break;
    }
    return set.phas;
}

LineResult TavInstrument::Process(std::string_view line)
{
    if (const auto fixed = config_.fixedAnswers.find(ToUpper(Trim(line)));
        fixed != config_.fixedAnswers.end())
        return Answer(fixed->second);
    // Sequence lines carry cell texts that the general parser would trim, so they go first.
    if (auto sequenceResult = sequence_.Process(line))
        return std::move(*sequenceResult);
    if (auto modelResult = modelData_.Process(line))
        return std::move(*modelResult);
    const auto parsed = ParseLine(line);
    if (!parsed)
        return Unknown();
    if (parsed->query) {
        return Query(parsed->base, parsed->index, parsed->leaf);
    }
    LineResult result = Command(parsed->base, parsed->index, parsed->leaf,
                                parsed->hasValue ? parsed->value : std::string_view{});
    if (result.kind == LineKind::Applied)
        TrackPeaks();
    return result;
}

namespace {

std::optional<int> QuantityIndex(const std::string& leaf)
{
    static constexpr std::string_view kLeaves[] = {"VOLTAC", "VOLTDC", "CURR", "FREQ", "PHAS"};
    for (int i = 0; i < 5; ++i) {
        if (leaf == kLeaves[i])
            return i;
    }
    return std::nullopt;
}

} // namespace

LineResult TavInstrument::Query(const std::string& base, int index, const std::string& leaf) const
{
    if (index > kPhases)
        return Unknown();
    if (leaf.empty() && index == 0) {
        if (base == "*TAV")
            return config_.answerStatus ? Answer(std::to_string(StatusWord())) : Ignored();
        if (base == "*IDN")
            return !config_.answerIdentification
                       ? Ignored()
                       : Answer("KELM Electronic GmbH," + modelData_.ModelName(config_.model) +
                                "," + config_.serial + "," + config_.revision);
        if (base == "*OPT")
            return Answer(config_.options);
    }
    if (base == "MEAS") {
        const PhaseReading r = Reading(std::max(index, 1) - 1);
        if (leaf == "VOLT")
            return Answer(FormatReading(r.volt, "V"));
        if (leaf == "CURR")
            return Answer(FormatCurrentReading(r.curr));
        if (leaf == "POW")
            return Answer(FormatReading(r.power, "W"));
        if (leaf == "VA")
            return Answer(FormatReading(r.va, "VA"));
        if (leaf == "CURRP")
            return Answer(FormatCurrentReading(r.peak));
        if (leaf == "PFACT")
            return Answer(FormatFactor(r.pfact));
        if (leaf == "CFACT")
            return Answer(FormatFactor(r.cfact));
        return Unknown();
    }
    if (base == "OUTP" && index == 0) {
        if (leaf.empty() || leaf == "STAT")
            return Answer(FormatSwitch(settings_.output));
        if (leaf == "PHASON")
            return Answer(FormatSwitch(settings_.phasesOn));
        if (leaf == "AUX")
            return Answer(FormatSwitch(settings_.aux));
        if (leaf == "OT1")
            return Answer(FormatSwitch(settings_.ot1));
        return Unknown();
    }
    if (base != "SOUR")
        return Unknown();
    if (const auto quantity = QuantityIndex(leaf)) {
        PhaseSet set = index == 0 ? settings_.common : settings_.phase[index - 1];
        if (index > 1 && !threePhase_)
            set = PhaseSet{0, 0, 0, 0, 0};
        return Answer(FormatSetValue(Field(set, static_cast<Quantity>(*quantity))));
    }
    if (index != 0)
        return Unknown();
    if (leaf == "POWMAX")
        return Answer(FormatSetValue(settings_.powMax));
    if (leaf == "CURRMAX")
        return Answer(FormatSetValue(settings_.currMax));
    if (leaf == "CURRTIME")
        return Answer(FormatSetValue(settings_.currTime));
    if (leaf == "CURRRNG")
        return Answer(FormatSwitch(settings_.currRangeX10));
    return Unknown();
}

LineResult TavInstrument::Command(const std::string& base, int index, const std::string& leaf,
                                  std::string_view value)
{
    if (index > kPhases)
        return Unknown();
    if (leaf.empty() && index == 0 && (base == "*RCL" || base == "*SAV")) {
        const auto number = ParseNumber(value);
        if (!number || *number < 0 || *number >= kMemories || *number != std::floor(*number))
            return Ignored();
        const int memory = static_cast<int>(*number);
        if (base == "*RCL")
            settings_ = memories_[memory];
        else
            memories_[memory] = settings_;
        return Applied();
    }
    if (leaf.empty() && index == 0 && base == "*RST") {
        settings_ = PowerOnSettings();
        sequence_.Stop();
        return Applied();
    }
    if (base == "OUTP" && index == 0) {
        bool* target = nullptr;
        if (leaf.empty() || leaf == "STAT")
            target = &settings_.output;
        else if (leaf == "PHASON")
            target = &settings_.phasesOn;
        else if (leaf == "AUX")
            target = &settings_.aux;
        else if (leaf == "OT1")
            target = &settings_.ot1;
        else
            return Unknown();
        const auto on = ParseSwitch(value);
        if (!on)
            return Ignored();
        *target = *on;
        return Applied();
    }
    if (base != "SOUR")
        return Unknown();
    if (const auto quantity = QuantityIndex(leaf))
        return SetQuantity(index, static_cast<Quantity>(*quantity), value);
    if (index != 0)
        return Unknown();
    if (leaf == "CURRCLR") {
        peak_.fill(0.0);
        return Applied();
    }
    if (leaf == "CURRRNG") {
        const auto on = ParseSwitch(value);
        if (!on)
            return Ignored();
        settings_.currRangeX10 = *on;
        return Applied();
    }
    double* target = nullptr;
    if (leaf == "POWMAX")
        target = &settings_.powMax;
    else if (leaf == "CURRMAX")
        target = &settings_.currMax;
    else if (leaf == "CURRTIME")
        target = &settings_.currTime;
    else
        return Unknown();
    const auto number = ParseNumber(value);
    if (!number || *number < 0)
        return Ignored();
    *target = *number;
    return Applied();
}

LineResult TavInstrument::SetQuantity(int index, Quantity quantity, std::string_view value)
{
    const auto number = ParseNumber(value);
    if (!number)
        return Ignored();
    // Negative amplitudes, limits and frequencies make no sense; DC and angles are signed.
    const bool signedQuantity = quantity == Quantity::VoltDc || quantity == Quantity::Phas;
    if (!signedQuantity && *number < 0)
        return Ignored();
    if (index > 1 && !threePhase_)
        return Ignored();
    if (index > 0) {
        Field(settings_.phase[index - 1], quantity) = *number;
        return Applied();
    }
    Field(settings_.common, quantity) = *number;
    const int phases = quantity == Quantity::Phas ? 1 : kPhases;
    for (int p = 0; p < phases; ++p)
        Field(settings_.phase[p], quantity) = *number;
    return Applied();
}

bool TavInstrument::PhaseLive(int phase) const
{
    if (!settings_.output)
        return false;
    return phase == 0 || (threePhase_ && settings_.phasesOn);
}

PhaseReading TavInstrument::Compute(int phase) const
{
    PhaseReading r;
    if (phase < 0 || phase >= kPhases || !PhaseLive(phase))
        return r;
    const PhaseSet& set = settings_.phase[phase];
    const double rms = std::hypot(set.voltAc, set.voltDc);
    if (rms <= 0.0)
        return r;
    r.cfact = (std::fabs(set.voltDc) + std::sqrt(2.0) * set.voltAc) / rms;

    const double demand = rms / config_.loadOhm;
    const double limit = set.curr * (settings_.currRangeX10 ? 10.0 : 1.0);
    r.volt = rms;
    r.curr = demand;
    if (demand > limit) {
        r.constantCurrent = true;
        r.curr = limit;
        r.volt = limit * config_.loadOhm;
    }
    r.va = r.volt * r.curr;
    if (r.va > 0.0) {
        // Constant current scales AC and DC alike, so their shares are those of the set values.
        const double cosPhi = std::cos(config_.loadPhaseDeg * std::numbers::pi / 180.0);
        r.pfact = (set.voltAc * set.voltAc * cosPhi + set.voltDc * set.voltDc) / (rms * rms);
        r.power = r.va * r.pfact;
    }
    r.peak = r.curr * r.cfact;
    const double powerShare = settings_.powMax / (threePhase_ ? kPhases : 1);
    r.overload = demand > settings_.currMax || r.va > powerShare;
    return r;
}

PhaseReading TavInstrument::Reading(int phase) const
{
    PhaseReading r = Compute(phase);
    if (phase >= 0 && phase < kPhases)
        r.peak = peak_[phase];
    return r;
}

int TavInstrument::StatusWord() const
{
    int word = 0;
    for (int p = 0; p < kPhases; ++p) {
        const PhaseReading r = Compute(p);
        if (r.overload)
            word |= 1 << p;
        if (r.constantCurrent)
            word |= 8 << p;
    }
    return word;
}

void TavInstrument::TrackPeaks()
{
    for (int p = 0; p < kPhases; ++p)
        peak_[p] = std::max(peak_[p], Compute(p).peak);
}

} // namespace tav::sim
