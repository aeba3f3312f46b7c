#pragma once
// Hands out simulated mask surfaces and keeps them for inspection, also after
// their windows are gone.

#include "platform/ports/MaskSurface.h"
#include "platform/sim/SimMaskSurface.h"

#include <memory>
#include <vector>

namespace dimwell {

class SimWindowFactory : public WindowFactory {
public:
    std::unique_ptr<MaskSurface> createMaskSurface(const Rect& frame, SurfacePainter& painter) override;

    /// The next `n` creations are refused.
    void refuseNext(int n) { refuse_ = n; }

    /// Every surface ever made, in creation order.
    std::vector<SimMaskSurface*> all() const;
    /// Surfaces whose windows still exist, in creation order.
    std::vector<SimMaskSurface*> live() const;
    /// Live surfaces that are shown, front to back.
    std::vector<SimMaskSurface*> visibleFrontToBack() const;
    /// The live surface covering `frame` exactly (Cocoa space), or null.
    SimMaskSurface* liveAt(const Rect& frame) const;
    /// Paints every surface marked since the last pass; how many painted.
    int runDisplayPass();

private:
    std::vector<std::shared_ptr<SimMaskSurface>> surfaces_;
    std::uint64_t orderClock_ = 0;
    int refuse_ = 0;
};

} // namespace dimwell
