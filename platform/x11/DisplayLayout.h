#pragma once
// The display list from what the X server reports: one head per monitor or,
// where outputs show the same picture, per output. Pure: no X here.

#include "common/Geometry.h"
#include "platform/ports/Displays.h"

#include <vector>

namespace dimwell::x11 {

/// One monitor or output as the server reports it, in root-window pixels.
struct Head {
    DisplayId id = 0;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool primary = false;
    friend bool operator==(const Head&, const Head&) = default;
};

struct DisplayLayout {
    /// The main display first, then the others in the server's order.
    std::vector<DisplayInfo> displays;
    DisplayId mainId = 0;
    /// The main display's area in root pixels: the origin of top-left space.
    Head main;
};

/// Same displays, same areas, same mirror sets, same main display.
bool sameLayout(const DisplayLayout& a, const DisplayLayout& b);

/// Heads that cover exactly the same area show the same picture: they form a
/// mirror set, in which the first (the main display when it is one of them)
/// is shown and the others mirror it. Empty heads are dropped. The primary head
/// is the main display; without one, the first head is.
DisplayLayout layoutFromHeads(const std::vector<Head>& heads);

} // namespace dimwell::x11
