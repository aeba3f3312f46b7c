#pragma once
// Other programs of this installation: the tutorial, the tools, and this
// program's own end.

#include <cstdint>
#include <string>
#include <vector>

namespace dimwell {

struct RunningApplication {
    std::int32_t processIdentifier = 0;
    friend bool operator==(const RunningApplication&, const RunningApplication&) = default;
};

class Applications {
public:
    virtual ~Applications() = default;
    /// Starts the tutorial program installed with this one; false when it is
    /// missing or does not start.
    virtual bool launchTutorial() = 0;
    /// Every running tutorial program of this user, whoever started it.
    virtual std::vector<RunningApplication> runningTutorials() const = 0;
    /// Asks a program to end.
    virtual void terminate(const RunningApplication& application) = 0;
    /// The path of tool `name` installed with this program; empty when missing.
    virtual std::string toolPath(const std::string& name) const = 0;
    /// Starts `argv[0]` with `argv` as the user, never through a shell; false
    /// when it does not start.
    virtual bool runTool(const std::vector<std::string>& argv) = 0;
    /// Ends this program the ordinary way: the main loop stops and the
    /// application's termination runs.
    virtual void terminateSelf() = 0;
};

} // namespace dimwell
