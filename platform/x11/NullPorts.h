#pragma once
// Stand-ins for desktop services this build does not offer yet: they refuse
// every registration, create no taps, list no windows and find no elements, so
// the controller takes its documented fallbacks.

#include "platform/ports/Accessibility.h"
#include "platform/ports/EventTaps.h"
#include "platform/ports/Hotkeys.h"
#include "platform/ports/WindowCapture.h"
#include "platform/ports/WindowList.h"

namespace dimwell::x11 {

class NullHotkeys : public HotkeyService {
public:
    std::optional<HotKeyHandle> registerHotKey(std::uint32_t, std::uint32_t, HotKeyId) override { return std::nullopt; }
    void unregisterHotKey(HotKeyHandle) override {}
    void installHandler(Handler) override {}
};

class NullInput : public InputService {
public:
    std::unique_ptr<EventTap> createTap(std::uint64_t, TapCallback) override { return nullptr; }
    void postMouseMoved(Point) override {}
    Point mouseLocation() const override { return {}; }
    bool isCursorVisible() const override { return true; }
    void allowBackgroundCursorHiding() override {}
    void hideCursor() override {}
    void showCursor() override {}
};

class NullWindowServer : public WindowServer {
public:
    std::vector<WindowInfo> onScreenWindows() const override { return {}; }
};

class NullAccessibility : public AccessibilityApi {
public:
    AXElementRef application(std::int32_t) override { return nullptr; }
    std::optional<std::vector<AXElementRef>> windows(const AXElementRef&) override { return std::nullopt; }
    AXElementRef mainWindow(const AXElementRef&) override { return nullptr; }
    std::optional<Point> position(const AXElementRef&) override { return std::nullopt; }
    std::optional<Size> size(const AXElementRef&) override { return std::nullopt; }
    std::optional<std::vector<AXElementRef>> children(const AXElementRef&) override { return std::nullopt; }
    bool setMain(const AXElementRef&) override { return false; }
    void bringProcessToFront(std::int32_t) override {}
    std::unique_ptr<AXObserver> createObserver(std::int32_t, ObserverCallback) override { return nullptr; }
};

class NullCapture : public WindowCapture {
public:
    std::optional<CapturedWindow> captureGray(std::uint32_t) override { return std::nullopt; }
};

} // namespace dimwell::x11
