#include "platform/wayland/capture/VeilLifted.h"

#include "platform/wayland/MaskRoster.h"
#include "platform/wayland/WaylandMaskSurface.h"

#include <algorithm>

namespace dimwell::wayland {

VeilLifted::VeilLifted(MaskRoster& masks, const std::vector<std::uint32_t>& outputs) {
    for (WaylandMaskSurface* mask : masks.masks()) {
        if (mask->isVisible() && std::find(outputs.begin(), outputs.end(), mask->output()) != outputs.end()) {
            mask->orderOut();
            lifted_.push_back(mask);
        }
    }
}

VeilLifted::~VeilLifted() {
    for (WaylandMaskSurface* mask : lifted_) {
        mask->orderFront();
    }
}

} // namespace dimwell::wayland
