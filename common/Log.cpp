#include "common/Log.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace dimwell {
namespace {

std::string vformat(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    char small[256];
    const int n = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0) {
        return {};
    }
    if (static_cast<size_t>(n) < sizeof small) {
        return std::string(small, static_cast<size_t>(n));
    }
    std::vector<char> big(static_cast<size_t>(n) + 1);
    std::vsnprintf(big.data(), big.size(), format, args);
    return std::string(big.data(), static_cast<size_t>(n));
}

} // namespace

void Logger::operator()(const char* format, ...) const {
    va_list args;
    va_start(args, format);
    const std::string text = vformat(format, args);
    va_end(args);
    sink_->write(text);
}

std::string formatString(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = vformat(format, args);
    va_end(args);
    return text;
}

} // namespace dimwell
