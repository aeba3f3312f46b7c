#pragma once
// Makes the Wayland mask surfaces: a frame in Cocoa space names the output
// whose area it is.

#include "platform/ports/MaskSurface.h"
#include "platform/wayland/MaskRoster.h"
#include "platform/wayland/WaylandDisplays.h"
#include "platform/wayland/WaylandMaskSurface.h"

namespace dimwell::wayland {

class WaylandWindowFactory : public WindowFactory {
public:
    /// With a `roster`, the masks it makes are listed there while they live.
    WaylandWindowFactory(WaylandConnection& connection, const WaylandDisplays& displays,
                         MaskRoster* roster = nullptr);

    std::unique_ptr<MaskSurface> createMaskSurface(const Rect& frame, SurfacePainter& painter) override;
    /// The same, with the Wayland-only operations in reach.
    std::unique_ptr<WaylandMaskSurface> createMask(const Rect& frame, SurfacePainter& painter);

private:
    WaylandConnection& connection_;
    const WaylandDisplays& displays_;
    MaskRoster* roster_;
};

} // namespace dimwell::wayland
