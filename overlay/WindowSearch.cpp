// The window-under-pointer search and the accessibility reads shared by window,
// view and pattern mode.

#include "overlay/AppController.h"
#include "platform/ports/Bundle.h"
#include "platform/ports/Session.h"

namespace dimwell {

std::optional<ChosenWindow> AppController::windowUnderPointer(const std::vector<WindowInfo>& list, Point pointer,
                                                              double H, SearchLog trace) {
    for (const WindowInfo& entry : list) {
        interrupted_process_ = {0, static_cast<std::uint32_t>(entry.ownerPid)};
        const Rect r = topLeftToCocoa(entry.bounds, H);
        const std::string owner = entry.ownerName.value_or("");
        if (trace == SearchLog::Entries) {
            log_("window for %s layer %lu", owner.c_str(), static_cast<unsigned long>(static_cast<std::uint32_t>(entry.layer)));
        }
        const bool contains = pointInRect(pointer, r);
        if (trace == SearchLog::WindowIds && contains) {
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

std::optional<PointerTarget> AppController::findPointerTarget(SearchLog trace) {
    shutOffObserver();
    stopDragMode();

    const std::vector<WindowInfo> list = ports_.windowServer.onScreenWindows();
    interrupted_process_ = {};
    const Point p = ports_.input.mouseLocation();
    const double H = ports_.displays.mainScreenHeight();
    std::optional<ChosenWindow> chosen = windowUnderPointer(list, p, H, trace);
    if (!chosen) {
        closeOverlay();
        return std::nullopt;
    }
    log_("The current app is %s", chosen->info.ownerName.value_or("").c_str());

    const AXElementRef app = ports_.accessibility.application(chosen->info.ownerPid);
    const std::vector<AXElementRef> windows = ports_.accessibility.windows(app).value_or(std::vector<AXElementRef>{});
    log_("windows in app %ld", static_cast<long>(windows.size()));
    AXElementRef matched = accessibilityWindowContaining(windows, p, H);
    return PointerTarget{std::move(*chosen), std::move(matched), p, H};
}

std::optional<ActiveMainWindow> AppController::activeMainWindow(bool logActiveApp) {
    const ActiveApplication active = ports_.workspace.activeApplication();
    if (logActiveApp) {
        log_("active app: %s", active.name.c_str());
    }
    if (active.name == ports_.bundle.processName()) {
        closeOverlay();
        return std::nullopt;
    }
    const AXElementRef app = ports_.accessibility.application(active.processIdentifier);
    if (AXElementRef main = ports_.accessibility.mainWindow(app)) {
        return ActiveMainWindow{active.processIdentifier, std::move(main)};
    }
    const std::vector<AXElementRef> windows = ports_.accessibility.windows(app).value_or(std::vector<AXElementRef>{});
    log_("windows in app %ld", static_cast<long>(windows.size()));
    return ActiveMainWindow{active.processIdentifier, windows.empty() ? nullptr : windows.front()};
}

} // namespace dimwell
