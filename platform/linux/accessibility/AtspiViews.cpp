#include "platform/linux/accessibility/AtspiViews.h"

#include "platform/linux/ScreenSpace.h"
#include "platform/linux/accessibility/WindowRelativeExtents.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

namespace dimwell::x11 {

namespace {

using Clock = std::chrono::steady_clock;

/// How long one read of a view's extents answers for both its position and size.
constexpr auto kExtentsFresh = std::chrono::milliseconds(50);

/// Marks the application as not answering when one call to it took the whole
/// timeout: libatspi reports a timed-out call like any other failure.
class CallWatch {
public:
    CallWatch(ApplicationState& app, int limitMs) : app_(app), limit_(limitMs), start_(Clock::now()) {}
    CallWatch(const CallWatch&) = delete;
    CallWatch& operator=(const CallWatch&) = delete;
    ~CallWatch() {
        if (Clock::now() - start_ >= std::chrono::milliseconds(limit_)) {
            app_.unresponsive = true;
        }
    }

private:
    ApplicationState& app_;
    int limit_;
    Clock::time_point start_;
};

bool environmentSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

const UiElement* asUi(const AXElementRef& element) { return dynamic_cast<const UiElement*>(element.get()); }

const ApplicationElement* asApplication(const AXElementRef& element) {
    return dynamic_cast<const ApplicationElement*>(element.get());
}

/// An object's rectangle in root pixels; nothing when it has none or does not answer.
std::optional<QRect> screenExtents(AtspiAccessible* object, ApplicationState& app, int timeoutMs) {
    if (app.unresponsive) {
        return std::nullopt;
    }
    CallWatch watch(app, timeoutMs);
    GObjectPtr<AtspiComponent> component(atspi_accessible_get_component_iface(object));
    if (!component) {
        return std::nullopt;
    }
    GErrorSlot error;
    GOwned<AtspiRect> r(atspi_component_get_extents(component.get(), ATSPI_COORD_TYPE_SCREEN, error.out()));
    if (!r || error.isSet() || r->width < 0 || r->height < 0) {
        return std::nullopt;
    }
    return QRect(r->x, r->y, r->width, r->height);
}

/// The AT-SPI application of process `pid`; `registryMissing` when the bus has no
/// registry to list applications.
AccessibleRef findApplication(std::int32_t pid, bool& registryMissing) {
    AccessibleRef desktop = adoptAccessible(atspi_get_desktop(0));
    GErrorSlot error;
    const gint count = desktop ? atspi_accessible_get_child_count(desktop.get(), error.out()) : -1;
    if (count < 0) {
        registryMissing = true;
        return {};
    }
    for (gint i = 0; i < count; ++i) {
        AccessibleRef app = adoptAccessible(atspi_accessible_get_child_at_index(desktop.get(), i, error.out()));
        if (!app) {
            continue;
        }
        // The process id comes from the bus daemon, not from the application, so a
        // hung application does not hold up the search.
        const guint appPid = atspi_accessible_get_process_id(app.get(), error.out());
        if (!error.isSet() && appPid == static_cast<guint>(pid)) {
            return app;
        }
    }
    return {};
}

} // namespace

AtspiViews::AtspiViews(LogSink& log, Timeouts timeouts, std::function<bool()> busAdvertised)
    : log_(log), timeouts_(timeouts) {
    // Only where the bus is: connecting waits for the first view asked for, so an
    // idle Dimwell that never uses view mode carries no accessibility client.
    busAdvertised_ = busAddressKnown(busAdvertised);
    if (!busAdvertised_) {
        reportBusUnavailable();
    }
}

bool AtspiViews::busAddressKnown(const std::function<bool()>& busAdvertised) {
    // Without any address libdbus would start a session bus of its own (X11
    // autolaunch); with no bus there is nothing to read anyway.
    bool known = environmentSet("AT_SPI_BUS_ADDRESS") || environmentSet("DBUS_SESSION_BUS_ADDRESS") ||
                 (busAdvertised && busAdvertised());
    if (!known && environmentSet("XDG_RUNTIME_DIR")) {
        std::error_code ignored;
        known = std::filesystem::exists(std::filesystem::path(std::getenv("XDG_RUNTIME_DIR")) / "bus", ignored);
    }
    return known;
}

bool AtspiViews::ensureConnected() {
    if (connectTried_) {
        return busAvailable_;
    }
    connectTried_ = true;
    // libatspi connects once per process, and aborts the process when a call finds
    // no bus: remember the first outcome and never call it without one.
    static std::optional<bool> processConnected;
    if (!processConnected) {
        atspi_set_timeout(timeouts_.normalMs, timeouts_.startupMs);
        processConnected = atspi_init() == 0;
    }
    busAvailable_ = *processConnected;
    if (busAvailable_) {
        atspi_set_timeout(timeouts_.normalMs, timeouts_.startupMs);
    } else {
        reportBusUnavailable();
    }
    return busAvailable_;
}

void AtspiViews::reportBusUnavailable() {
    if (!reportedUnavailable_) {
        reportedUnavailable_ = true;
        log_("accessibility bus unavailable: views are unreadable");
    }
}

AXElementRef AtspiViews::application(std::int32_t pid) {
    if (pid <= 0) {
        return nullptr;
    }
    auto state = std::make_shared<ApplicationState>();
    state->pid = pid;
    // Our own accessibility bridge answers on this very thread: asking it would
    // wait for the timeout. Our windows are read from the window system like any program's.
    if (busAdvertised_ && pid != static_cast<std::int32_t>(::getpid()) && ensureConnected()) {
        bool registryMissing = false;
        state->accessible = findApplication(pid, registryMissing);
        if (registryMissing) {
            reportBusUnavailable();
        }
    }
    return std::make_shared<ApplicationElement>(std::move(state));
}

std::vector<AtspiViews::Frame> AtspiViews::frames(ApplicationState& app) const {
    std::vector<Frame> list;
    if (!app.accessible || app.unresponsive) {
        return list;
    }
    GErrorSlot error;
    gint count = -1;
    {
        CallWatch watch(app, timeouts_.normalMs);
        count = atspi_accessible_get_child_count(app.accessible.get(), error.out());
    }
    for (gint i = 0; i < count && !app.unresponsive; ++i) {
        Frame frame;
        GObjectPtr<AtspiStateSet> states;
        {
            CallWatch watch(app, timeouts_.normalMs);
            frame.object = adoptAccessible(atspi_accessible_get_child_at_index(app.accessible.get(), i, error.out()));
            if (frame.object) {
                states.reset(atspi_accessible_get_state_set(frame.object.get()));
            }
        }
        if (!frame.object || app.unresponsive ||
            (states && !atspi_state_set_contains(states.get(), ATSPI_STATE_SHOWING))) {
            continue;
        }
        frame.active = states && atspi_state_set_contains(states.get(), ATSPI_STATE_ACTIVE);
        frame.extents = screenExtents(frame.object.get(), app, timeouts_.normalMs);
        {
            CallWatch watch(app, timeouts_.normalMs);
            GOwned<gchar> name(atspi_accessible_get_name(frame.object.get(), error.out()));
            if (name) {
                frame.name = name.get();
            }
        }
        list.push_back(std::move(frame));
    }
    return list;
}

QPoint AtspiViews::frameOffset(std::int32_t pid, const std::optional<QRect>& extents) const {
    if (!windowRects_ || !extents) {
        return {};
    }
    const ScreenSpace space = ScreenSpace::current();
    std::vector<QRect> windows;
    for (const WindowInfo& w : windowRects_->onScreenWindows()) {
        if (w.ownerPid == pid) {
            const Point origin = space.topLeftToRoot({w.bounds.x, w.bounds.y});
            windows.emplace_back(qRound(origin.x), qRound(origin.y), qRound(w.bounds.width), qRound(w.bounds.height));
        }
    }
    return linuxdesktop::windowRelativeOffset(*extents, windows);
}

std::vector<AXElementRef> AtspiViews::placedFrames(const std::shared_ptr<ApplicationState>& app,
                                                   bool activeOnly) const {
    // Frames that cannot be placed on screen do not count as windows.
    std::vector<AXElementRef> list;
    for (Frame& f : frames(*app)) {
        if (f.extents && (f.active || !activeOnly)) {
            list.push_back(std::make_shared<UiElement>(app, 0, std::move(f.object), frameOffset(app->pid, f.extents)));
        }
    }
    return list;
}

std::optional<std::vector<AXElementRef>> AtspiViews::windows(const AXElementRef& application) {
    const ApplicationElement* app = asApplication(application);
    if (!app) {
        return std::nullopt;
    }
    return placedFrames(app->state, false);
}

AXElementRef AtspiViews::mainWindow(const AXElementRef& application) {
    const ApplicationElement* app = asApplication(application);
    if (!app) {
        return nullptr;
    }
    std::vector<AXElementRef> active = placedFrames(app->state, true);
    return active.empty() ? nullptr : std::move(active.front());
}

std::optional<QRect> AtspiViews::extentsOf(const UiElement& element) const {
    if (element.extentsRead && Clock::now() - element.extentsReadAt < kExtentsFresh) {
        return element.extents;
    }
    std::optional<QRect> extents;
    ApplicationState& app = *element.application;
    if (busAvailable_ && element.accessible && !app.unresponsive) {
        GObjectPtr<AtspiStateSet> states;
        {
            CallWatch watch(app, timeouts_.normalMs);
            states.reset(atspi_accessible_get_state_set(element.accessible.get()));
        }
        // A view that is not on screen (a hidden page, a collapsed panel) contains no point.
        if (!states || atspi_state_set_contains(states.get(), ATSPI_STATE_SHOWING)) {
            extents = screenExtents(element.accessible.get(), app, timeouts_.normalMs);
            if (extents) {
                extents->translate(element.offset);
            }
        }
    }
    element.extentsRead = true;
    element.extents = extents;
    element.extentsReadAt = Clock::now();
    return extents;
}

std::optional<Point> AtspiViews::position(const AXElementRef& element) {
    const UiElement* e = asUi(element);
    const std::optional<QRect> r = e ? extentsOf(*e) : std::nullopt;
    if (!r) {
        return std::nullopt;
    }
    return ScreenSpace::current().rootToTopLeft(r->x(), r->y());
}

std::optional<Size> AtspiViews::size(const AXElementRef& element) {
    const UiElement* e = asUi(element);
    const std::optional<QRect> r = e ? extentsOf(*e) : std::nullopt;
    if (!r) {
        return std::nullopt;
    }
    return Size{double(r->width()), double(r->height())};
}

std::optional<std::vector<AXElementRef>> AtspiViews::children(const AXElementRef& element) {
    const UiElement* e = asUi(element);
    if (!e || !e->accessible || !busAvailable_ || e->application->unresponsive) {
        return std::nullopt;
    }
    ApplicationState& app = *e->application;
    GErrorSlot error;
    gint count = -1;
    {
        CallWatch watch(app, timeouts_.normalMs);
        count = atspi_accessible_get_child_count(e->accessible.get(), error.out());
    }
    if (count < 0) {
        return std::nullopt;
    }
    std::vector<AXElementRef> list;
    for (gint i = 0; i < count && !app.unresponsive; ++i) {
        CallWatch watch(app, timeouts_.normalMs);
        if (AccessibleRef child = adoptAccessible(atspi_accessible_get_child_at_index(e->accessible.get(), i, error.out()))) {
            list.push_back(std::make_shared<UiElement>(e->application, 0, std::move(child), e->offset));
        }
    }
    if (app.unresponsive) {
        return std::nullopt;
    }
    return list;
}

} // namespace dimwell::x11
