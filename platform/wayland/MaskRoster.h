#pragma once
// The masks alive right now: input events name a surface, and this tells which
// mask (and so which output) it belongs to; selection mode and click-out reach
// every mask, also one made while they last.

#include <algorithm>
#include <vector>

struct wl_surface;

namespace dimwell::wayland {

class WaylandMaskSurface;

class MaskRoster {
public:
    void add(WaylandMaskSurface& mask);
    void remove(const WaylandMaskSurface& mask) {
        masks_.erase(std::remove(masks_.begin(), masks_.end(), &mask), masks_.end());
        letThrough_.erase(std::remove(letThrough_.begin(), letThrough_.end(), &mask), letThrough_.end());
    }
    /// The mask showing `surface`; null for a surface of somebody else's.
    WaylandMaskSurface* find(const wl_surface* surface) const;
    const std::vector<WaylandMaskSurface*>& masks() const { return masks_; }

    /// Every mask takes the whole output and the keyboard, or lets go of them.
    void setSelecting(bool selecting);
    bool selecting() const { return selecting_; }

    /// What the overlay asks of one mask: let the pointer through or not.
    void setIgnoresMouseEvents(WaylandMaskSurface& mask, bool ignores);
    /// Clicks on the veil are watched for (click-out): every mask takes them,
    /// whatever the overlay asked, since nothing else on Wayland sees them.
    void setTakingClicks(bool taking);

private:
    void applyInput(WaylandMaskSurface& mask) const;

    std::vector<WaylandMaskSurface*> masks_;
    std::vector<const WaylandMaskSurface*> letThrough_;   ///< masks the overlay wants clicked through
    bool selecting_ = false;
    bool takingClicks_ = false;
};

} // namespace dimwell::wayland
