#include "sim/line_splitter.h"

namespace tav::sim {

std::vector<std::string> LineSplitter::Feed(std::string_view bytes)
{
    std::vector<std::string> lines;
    while (!bytes.empty()) {
        const auto end = bytes.find('\n');
        const std::string_view piece = bytes.substr(0, end);
        if (!discarding_)
            pending_.append(piece);
        if (pending_.size() > maxLine_) {
            pending_.clear();
            if (!discarding_)
                ++dropped_;
            discarding_ = true;
        }
        if (end == std::string_view::npos)
            break;
        if (!discarding_) {
            if (!pending_.empty() && pending_.back() == '\r')
                pending_.pop_back();
            lines.push_back(std::move(pending_));
        }
        pending_.clear();
        discarding_ = false;
        bytes.remove_prefix(end + 1);
    }
    return lines;
}

} // namespace tav::sim
