#include "platform/sim/SimLog.h"

namespace dimwell {

int SimLog::count(std::string_view line) const {
    int n = 0;
    for (const std::string& l : lines_) {
        if (l == line) {
            ++n;
        }
    }
    return n;
}

std::vector<std::string> SimLog::startingWith(std::string_view prefix) const {
    std::vector<std::string> found;
    for (const std::string& l : lines_) {
        if (l.starts_with(prefix)) {
            found.push_back(l);
        }
    }
    return found;
}

} // namespace dimwell
