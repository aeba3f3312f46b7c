#include "platform/wayland/MaskRoster.h"

#include "platform/wayland/WaylandMaskSurface.h"

namespace dimwell::wayland {

void MaskRoster::add(WaylandMaskSurface& mask) {
    masks_.push_back(&mask);
    letThrough_.push_back(&mask);   // a new mask lets the pointer through
    mask.setSelecting(selecting_);
    applyInput(mask);
}

WaylandMaskSurface* MaskRoster::find(const wl_surface* surface) const {
    if (!surface) {
        return nullptr;
    }
    const auto it = std::find_if(masks_.begin(), masks_.end(),
                                 [surface](const WaylandMaskSurface* m) { return m->surface() == surface; });
    return it == masks_.end() ? nullptr : *it;
}

void MaskRoster::setSelecting(bool selecting) {
    selecting_ = selecting;
    for (WaylandMaskSurface* mask : masks_) {
        mask->setSelecting(selecting);
    }
}

void MaskRoster::setIgnoresMouseEvents(WaylandMaskSurface& mask, bool ignores) {
    letThrough_.erase(std::remove(letThrough_.begin(), letThrough_.end(), &mask), letThrough_.end());
    if (ignores) {
        letThrough_.push_back(&mask);
    }
    applyInput(mask);
}

void MaskRoster::setTakingClicks(bool taking) {
    if (taking == takingClicks_) {
        return;
    }
    takingClicks_ = taking;
    for (WaylandMaskSurface* mask : masks_) {
        applyInput(*mask);
    }
}

void MaskRoster::applyInput(WaylandMaskSurface& mask) const {
    const bool letThrough = std::find(letThrough_.begin(), letThrough_.end(), &mask) != letThrough_.end();
    mask.setIgnoresMouseEvents(letThrough && !takingClicks_);
}

} // namespace dimwell::wayland
