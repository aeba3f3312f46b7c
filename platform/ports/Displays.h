#pragma once
// The active displays and their changes.

#include "common/Geometry.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace dimwell {

using DisplayId = std::uint32_t;

struct DisplayInfo {
    DisplayId id = 0;
    Rect bounds;                    ///< top-left space
    bool inMirrorSet = false;
    DisplayId mirrorsDisplay = 0;   ///< the display this one mirrors, 0 for none
};

class DisplayServer {
public:
    using ReconfigurationCallback = std::function<void(DisplayId display, std::uint32_t flags)>;

    virtual ~DisplayServer() = default;
    /// Active displays in the platform's order, the main display among them.
    virtual std::vector<DisplayInfo> activeDisplays() const = 0;
    virtual DisplayId mainDisplayId() const = 0;
    /// Height of the main screen's frame: the H of pointer and window conversions.
    virtual double mainScreenHeight() const = 0;
    /// Called once per affected display, before and after a change.
    virtual void setReconfigurationCallback(ReconfigurationCallback callback) = 0;
};

} // namespace dimwell
