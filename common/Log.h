#pragma once
// The program's diagnostics: one line at a time, printf-style. Foreign strings
// (window owner names, paths) are always arguments, never the format.

#include <string>
#include <string_view>

namespace dimwell {

class LogSink {
public:
    virtual ~LogSink() = default;
    virtual void write(std::string_view line) = 0;
};

class Logger {
public:
    explicit Logger(LogSink& sink) : sink_(&sink) {}

    void operator()(const char* format, ...) const __attribute__((format(printf, 2, 3)));
    void line(std::string_view text) const { sink_->write(text); }

private:
    LogSink* sink_;
};

/// printf into a std::string, for callers that build text rather than log lines.
std::string formatString(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace dimwell
