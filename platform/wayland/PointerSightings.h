#pragma once
// Where the pointer was last seen. A Wayland client learns the pointer's position
// only over its own surfaces, and sway's IPC does not tell it; the masks, which
// cover every output, report what their pointer events show to whoever needs it.

#include "common/Geometry.h"

namespace dimwell::wayland {

class PointerSightings {
public:
    virtual ~PointerSightings() = default;
    /// The pointer entered or moved over a mask, at `location` in layout points
    /// (top-left space).
    virtual void pointerSeenAt(Point location) = 0;
};

} // namespace dimwell::wayland
