#pragma once
// Captures the program's log lines.

#include "common/Log.h"

#include <string>
#include <vector>

namespace dimwell {

class SimLog : public LogSink {
public:
    void write(std::string_view line) override { lines_.emplace_back(line); }

    const std::vector<std::string>& lines() const { return lines_; }
    bool contains(std::string_view line) const { return count(line) > 0; }
    int count(std::string_view line) const;
    /// Lines beginning with `prefix`.
    std::vector<std::string> startingWith(std::string_view prefix) const;
    void clear() { lines_.clear(); }

private:
    std::vector<std::string> lines_;
};

} // namespace dimwell
