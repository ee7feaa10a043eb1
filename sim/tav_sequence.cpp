#include "sim/tav_sequence.h"

#include "sim/sim_text.h"

#include <cmath>
#include <utility>

namespace tav::sim {
namespace {

// A whole number from first to last, as text; nothing otherwise.
std::optional<int> WholeNumber(std::string_view text, int first, int last)
{
    const auto number = ParseNumber(text);
    if (!number || *number < first || *number > last || *number != std::floor(*number))
        return std::nullopt;
    return static_cast<int>(*number);
}

} // namespace

std::optional<LineResult> TavSequence::Process(std::string_view line)
{
    // Only the line end goes; everything after the separator is a cell's text as the operator
    // typed it, blanks included.
    while (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t'))
        line.remove_prefix(1);
    const auto separator = line.find_first_of(", ");
    std::string header = ToUpper(line.substr(0, separator));
    const bool hasValue = separator != std::string_view::npos;
    const std::string_view value = hasValue ? line.substr(separator + 1) : std::string_view{};

    if (header.starts_with(':'))
        header.erase(0, 1);
    constexpr std::string_view kRoot = "SEQ:";
    if (!header.starts_with(kRoot))
        return std::nullopt;
    std::string leaf = header.substr(kRoot.size());
    if (!leaf.empty() && leaf.back() == '?') {
        leaf.pop_back();
        return Query(leaf, hasValue, value);
    }
    return Command(leaf, hasValue, value);
}

LineResult TavSequence::Query(const std::string& leaf, bool hasValue, std::string_view value) const
{
    if (leaf == "ROW")
        return Answer(RowText(hasValue ? value : std::string_view{}));
    // The others take no argument; a trailing blank is no argument.
    if (hasValue && !Trim(value).empty())
        return Unknown();
    if (leaf == "ROWS")
        return Answer(std::to_string(current_.rows.size()));
    if (leaf == "CNT")
        return Answer(current_.count);
    if (leaf == "RUN")
        return Answer(running_ ? "1" : "0");
    return Unknown();
}

std::string TavSequence::RowText(std::string_view number) const
{
    const int rows = static_cast<int>(current_.rows.size());
    if (rows == 0)
        return {};
    const auto index = WholeNumber(number, 1, rows);
    if (!index)
        return {};
    const SeqRow& row = current_.rows[static_cast<std::size_t>(*index - 1)];
    // The order the program sends the fields in.
    return row.time + ";" + row.val3 + ";" + row.val1 + ";" + row.val2 + ";" + row.code;
}

LineResult TavSequence::Command(const std::string& leaf, bool hasValue, std::string_view value)
{
    // Neither needs a value: STOP comes as "SEQ:STOP" and as "SEQ:STOP,", and a bare GO runs
    // with the count already stored.
    if (leaf == "STOP") {
        running_ = false;
        return Applied();
    }
    if (leaf == "GO") {
        if (current_.rows.empty())
            return Ignored();
        if (!Trim(value).empty())
            current_.count = std::string(value);
        running_ = true;
        return Applied();
    }

    std::string* field = nullptr;
    if (leaf == "TIME")
        field = &pending_.time;
    else if (leaf == "VAL1")
        field = &pending_.val1;
    else if (leaf == "VAL2")
        field = &pending_.val2;
    else if (leaf == "VAL3")
        field = &pending_.val3;
    else if (leaf == "CNT")
        field = &current_.count;
    if (field != nullptr) {
        if (!hasValue)
            return Ignored();
        *field = std::string(value);
        return Applied();
    }

    if (leaf == "NEW" || leaf == "SET") {
        if (!hasValue)
            return Ignored();
        if (leaf == "NEW")
            current_.rows.clear();
        SeqRow row = pending_;
        row.code = std::string(value);
        current_.rows.push_back(std::move(row));
        return Applied();
    }

    if (leaf == "LOAD" || leaf == "STORE") {
        const auto memory = WholeNumber(value, 0, kMemories - 1);
        if (!memory)
            return Ignored();
        Stored& slot = memories_[static_cast<std::size_t>(*memory)];
        if (leaf == "LOAD")
            current_ = slot;
        else
            slot = current_;
        return Applied();
    }
    return Unknown();
}

} // namespace tav::sim
