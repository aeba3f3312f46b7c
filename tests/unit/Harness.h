#pragma once
// A simulated desktop with the preferences seeded and one overlay controller on it.

#include "app/Preferences.h"
#include "overlay/AppController.h"
#include "platform/sim/SimDesktop.h"
#include "platform/sim/SimResources.h"

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>

namespace dimwell {
// Readable failure messages for the geometry types.
inline void PrintTo(const Rect& r, std::ostream* os) { *os << "(" << r.x << ", " << r.y << ", " << r.width << ", " << r.height << ")"; }
inline void PrintTo(const Point& p, std::ostream* os) { *os << "(" << p.x << ", " << p.y << ")"; }
inline void PrintTo(const Rgba& c, std::ostream* os) { *os << "rgba(" << +c.r << ", " << +c.g << ", " << +c.b << ", " << +c.a << ")"; }
} // namespace dimwell

namespace dimwell::test {

/// The main display and a second one to its right, top-aligned in Cocoa space:
/// main at Cocoa (0, 0, 1440, 900), second at (1440, 0, 1920, 1080).
inline constexpr const char* kTwoDisplays = "1440x900+0+0,1920x1080+1440-180";

struct Harness {
    explicit Harness(const std::string& displays = "1440x900+0+0") : desk(displays) {
        loadDefaults(desk.defaults, desk.bundle);
    }

    AppController& start() {
        controller = std::make_unique<AppController>(desk.ports());
        return *controller;
    }
    AppController& c() { return *controller; }

    /// The surface of mask window `i` (current windows, in list order).
    SimMaskSurface& surface(std::size_t i) {
        SimMaskSurface* s = desk.windowFactory.liveAt(controller->allWindows().at(i)->frame());
        EXPECT_NE(s, nullptr);
        return *s;
    }
    CustomView& view(std::size_t i) { return controller->allWindows().at(i)->customView(); }
    Rect hole(std::size_t i) { return view(i).myRect(); }

    void setOpacity(float v) { setFloat(desk.defaults, prefkey::opacity, v); }
    float storedOpacity() { return floatForKey(desk.defaults, prefkey::opacity); }
    void setSwitch(const char* key, bool on) { setBool(desk.defaults, key, on); }

    /// Moves the pointer to a Cocoa-space point without an event.
    void pointer(double x, double y) { desk.input.setMouseLocation({x, y}); }
    /// An event at a top-left-space location.
    TapVerdict event(EventType type, double x, double y) { return desk.input.inject(type, {x, y}); }
    TapVerdict key(std::int64_t code) { return desk.input.inject(EventType::KeyDown, {}, code); }

    bool tapOn(std::uint64_t mask) { return desk.input.tapEnabled(mask); }

    SimDesktop desk;
    std::unique_ptr<AppController> controller;
};

/// Harness with a controller already running, for tests that need no setup first.
struct Running : Harness {
    explicit Running(const std::string& displays = "1440x900+0+0") : Harness(displays) { start(); }
};

/// Fixtures for TEST_F: one display, or the two of kTwoDisplays.
struct OneDisplay : ::testing::Test, Running {};
struct TwoDisplays : ::testing::Test, Running {
    TwoDisplays() : Running(kTwoDisplays) {}
};

} // namespace dimwell::test
