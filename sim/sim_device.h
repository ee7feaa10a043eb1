#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace tav::sim {

// What became of one received line. The serial front end logs the last two kinds, so an operator
// can see why the program under test got no answer.
enum class LineKind {
    Answered, // a query; the reply goes back on the line
    Applied,  // a command the device took
    Ignored,  // a known header whose value was empty or unusable, or a query it keeps quiet about
    Unknown,  // nothing the device understands
};

struct LineResult {
    LineKind kind = LineKind::Unknown;
    std::string reply; // only for Answered, without its line end
};

inline LineResult Answer(std::string reply) { return {LineKind::Answered, std::move(reply)}; }
inline LineResult Applied() { return {LineKind::Applied, {}}; }
inline LineResult Ignored() { return {LineKind::Ignored, {}}; }
inline LineResult Unknown() { return {LineKind::Unknown, {}}; }

// A simulated instrument that talks line by line. It does no I/O of its own so that the serial
// front end (tavsim) and an in-process bus simulation can both drive it.
class SimDevice {
public:
    virtual ~SimDevice() = default;

    // line: one received line without "\n" (a trailing "\r" is tolerated).
    virtual LineResult Process(std::string_view line) = 0;

    // The reply for a query, nothing for commands and for lines the device does not answer.
    std::optional<std::string> HandleLine(std::string_view line)
    {
        LineResult result = Process(line);
        if (result.kind != LineKind::Answered)
            return std::nullopt;
        return std::move(result.reply);
    }
};

} // namespace tav::sim
