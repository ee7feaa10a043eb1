#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tav::sim {

// Cuts a byte stream into "\n"-terminated lines; reads may end anywhere, even between "\r" and
// "\n". A line that grows past the limit without a line end is dropped as a whole so garbage on
// the wire cannot eat memory.
class LineSplitter {
public:
    explicit LineSplitter(std::size_t maxLine = 4096) : maxLine_(maxLine) {}

    // The lines the bytes complete, without "\n" and without a "\r" just before it.
    std::vector<std::string> Feed(std::string_view bytes);

    std::size_t DroppedLines() const { return dropped_; }

private:
    std::size_t maxLine_;
    std::string pending_;
    bool discarding_ = false;
    std::size_t dropped_ = 0;
};

} // namespace tav::sim
