#pragma once
// Dimwell's script inside KWin, loaded over KWin's scripting interface on the
// session bus and unloaded when this goes. A copy left by a Dimwell that did not
// end cleanly is unloaded before loading, so KWin never runs two. Every call to
// KWin is bounded by a short timeout.

#include "common/Log.h"

#include <QString>

#include <chrono>
#include <memory>

namespace dimwell::wayland {

class KWinScript {
public:
    static constexpr std::chrono::milliseconds kTimeout{1000};
    static constexpr const char* kPluginName = "dimwell-windows";

    /// Whether KWin's name is on the session bus (answered within the timeout).
    static bool kwinRunning();

    /// Loads and runs the script at `path`; nothing (after a log line) when KWin
    /// refuses or does not answer.
    static std::unique_ptr<KWinScript> load(LogSink& log, const QString& path);
    ~KWinScript();
    KWinScript(const KWinScript&) = delete;
    KWinScript& operator=(const KWinScript&) = delete;

    /// The KWin that ran the script is gone: nothing to unload.
    void abandon() { abandoned_ = true; }

private:
    explicit KWinScript(LogSink& log) : log_(log) {}
    Logger log_;
    bool abandoned_ = false;
};

} // namespace dimwell::wayland
