#pragma once
// The windows in sway's layout tree (GET_TREE), as the user sees them: only
// those shown (on a visible workspace, not in the scratchpad, not a hidden tab),
// each with its title bar and borders, front to back.

#include "common/Geometry.h"

#include <QJsonObject>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace dimwell::wayland {

struct SwayWindow {
    std::uint32_t id = 0;     ///< the container id, stable while the window lives
    std::int32_t pid = 0;     ///< 0 when sway does not know
    Rect bounds;              ///< layout points, top-left space, decorations included
    std::string appId;        ///< app_id, or the class of an Xwayland window
};

struct SwayTree {
    std::vector<SwayWindow> windows;   ///< front to back
    std::vector<std::uint32_t> hidden; ///< windows that exist but are not shown now
    double refreshHz = 0.0;            ///< the fastest output's refresh; 0 when unknown
    std::uint32_t focused = 0;         ///< the shown window with the seat's focus; 0 when none has it

    const SwayWindow* find(std::uint32_t id) const;
    bool exists(std::uint32_t id) const;
};

/// Front to back: a window fullscreen on every output, then output by output in
/// focus order; on a workspace a fullscreen window, then floating windows top
/// first (the focused one in front), then tiled ones in focus order.
SwayTree parseSwayTree(const QJsonObject& root);

} // namespace dimwell::wayland
