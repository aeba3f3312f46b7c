#pragma once

#include <cstdint>
#include <vector>

namespace dimwell::wayland {

class MaskRoster;
class WaylandMaskSurface;

/// Takes the masks shown on the given outputs down for as long as it lives, and
/// puts them back: a copy of the screen must not see Dimwell's own veil.
class VeilLifted {
public:
    VeilLifted(MaskRoster& masks, const std::vector<std::uint32_t>& outputs);
    ~VeilLifted();
    VeilLifted(const VeilLifted&) = delete;
    VeilLifted& operator=(const VeilLifted&) = delete;

private:
    std::vector<WaylandMaskSurface*> lifted_;
};

} // namespace dimwell::wayland
