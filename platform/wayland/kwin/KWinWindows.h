#pragma once
// The window list on KWin: what Dimwell's KWin script reports, front to back,
// with the pointer's position and raising a window through the same script.
// The script is loaded once Dimwell holds its bus name (the script calls that
// name), loaded again when KWin comes back after going away, and unloaded when
// this goes. Dimwell's own surfaces (the masks are in KWin's list as windows)
// are never listed.

#include "common/Log.h"
#include "platform/ports/WindowList.h"
#include "platform/wayland/kwin/KWinChannel.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QDBusServiceWatcher;

namespace dimwell::wayland {

class KWinScript;

struct KWinWindow {
    std::string id;             ///< KWin's internal id, stable while the window lives
    std::uint32_t number = 0;   ///< Dimwell's number for it, as long as it lives
    std::int32_t pid = 0;
    Rect bounds;                ///< layout points, top-left space, frame included
    std::int32_t layer = 0;     ///< WindowInfo's layers: desktop far below, docks above the band
    bool active = false;
    std::string name;           ///< the window's class
};

/// The shown windows of a report, front to back; nothing for a report that is
/// no list. Numbers are left 0.
std::vector<KWinWindow> parseKWinWindows(const QByteArray& json);

class KWinWindows final : public WindowServer {
public:
    static constexpr std::chrono::milliseconds kPointerTimeout{250};

    KWinWindows(LogSink& log, QString scriptPath);
    ~KWinWindows() override;
    KWinWindows(const KWinWindows&) = delete;
    KWinWindows& operator=(const KWinWindows&) = delete;

    /// Asks the script first: a script that fell silent since its last report
    /// leaves no stale list behind, and its answer holds the pointer's position,
    /// which callers want next.
    std::vector<WindowInfo> onScreenWindows() const override;
    bool isOwnWindow(const WindowInfo& window) const override;

    /// Other programs' shown windows, front to back.
    std::vector<KWinWindow> windows() const;
    /// Where KWin has the pointer (layout points, top-left space); nothing when
    /// the script does not answer in time.
    std::optional<Point> pointer() const;
    /// The process of KWin's active window, from the script's latest report (no
    /// wait). Dimwell's own surfaces never count: while one of them is active,
    /// the window active before it stands in. 0 when none is.
    std::int32_t activeProcess() const;
    /// Activates (and so raises) window `number`; false when it is not shown.
    bool activate(std::uint32_t number);

    /// `changed` runs after every report, while the returned token is held.
    std::shared_ptr<void> onChange(std::function<void()> changed);

private:
    void load();
    void ownerChanged(const QString& name, const QString& newOwner);
    void reported();
    /// The active window of the latest report, Dimwell's own surfaces included.
    std::optional<KWinWindow> reportedActive() const;

    LogSink& sink_;
    Logger log_;
    QString scriptPath_;
    mutable KWinChannel channel_;
    /// The pointer as the script told it while the window list was read, and when.
    mutable std::optional<std::pair<Point, std::chrono::steady_clock::time_point>> recentPointer_;
    std::unique_ptr<KWinScript> script_;
    std::unique_ptr<QDBusServiceWatcher> watcher_;
    mutable std::map<std::string, std::uint32_t> numbers_;
    mutable std::uint32_t nextNumber_ = 1;
    std::string lastActive_;   ///< the latest active window of another program, as reported
    std::vector<std::weak_ptr<std::function<void()>>> listeners_;
};

} // namespace dimwell::wayland
