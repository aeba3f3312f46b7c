// The window-under-pointer search and the accessibility reads shared by window,
// view and pattern mode.

#include "overlay/AppController.h"

namespace dimwell {

std::optional<ChosenWindow> AppController::windowUnderPointer(const std::vector<WindowInfo>& list, Point pointer,
                                                              double H, bool logEntries, bool logWindowIds) {
    for (const WindowInfo& entry : list) {
        interrupted_process_ = {0, static_cast<std::uint32_t>(entry.ownerPid)};
        const Rect r = topLeftToCocoa(entry.bounds, H);
        const std::string owner = entry.ownerName.value_or("");
        if (logEntries) {
            log_("window for %s layer %lu", owner.c_str(), static_cast<unsigned long>(static_cast<std::uint32_t>(entry.layer)));
        }
        const bool contains = pointInRect(pointer, r);
        if (logWindowIds && contains) {
            log_("windowid: %d", static_cast<int>(entry.windowNumber));
        }
        const bool isDock = entry.ownerName && *entry.ownerName == "Dock";
        if (contains && !isDock && entry.layer >= -9 && entry.layer <= 9) {
            return ChosenWindow{entry, r};
        }
    }
    return std::nullopt;
}

std::optional<Rect> AppController::elementRect(const AXElementRef& element, double H) {
    // An element whose position or size cannot be read contains no point.
    if (!element) {
        return std::nullopt;
    }
    const std::optional<Point> position = ports_.accessibility.position(element);
    const std::optional<Size> size = ports_.accessibility.size(element);
    if (!position || !size) {
        return std::nullopt;
    }
    return topLeftToCocoa({position->x, position->y, size->width, size->height}, H);
}

AXElementRef AppController::accessibilityWindowContaining(const std::vector<AXElementRef>& windows, Point pointer,
                                                          double H) {
    for (std::size_t i = 0; i < windows.size(); ++i) {
        const std::optional<Rect> r = elementRect(windows[i], H);
        if (!r) {
            log_("window %d: unreadable", static_cast<int>(i));
            continue;
        }
        log_("window %d: (%3.0f,%3.0f,%3.0f,%3.0f)", static_cast<int>(i), r->x, r->y, r->width, r->height);
        if (pointInRect(pointer, *r)) {
            return windows[i];
        }
    }
    return nullptr;
}

} // namespace dimwell
