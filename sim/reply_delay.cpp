#include "sim/reply_delay.h"

#include <algorithm>
#include <cctype>

namespace tav::sim {
namespace {

std::string Normalized(std::string_view line)
{
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    std::string text(line);
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

} // namespace

void ReplyDelay::AddSlowQuery(std::string_view line) { slowQueries_.push_back(Normalized(line)); }

int ReplyDelay::For(std::string_view line) const
{
    const std::string text = Normalized(line);
    const bool slow =
        std::find(slowQueries_.begin(), slowQueries_.end(), text) != slowQueries_.end();
    return slow ? slowMs_ : delayMs_;
}

bool ReplyDelay::Lost(int reply) const
{
    return std::any_of(lost_.begin(), lost_.end(),
                       [reply](const Span& s) { return reply >= s.from && reply <= s.to; });
}

} // namespace tav::sim
