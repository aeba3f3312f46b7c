#include "platform/x11/accessibility/AtspiAccessibility.h"

#include "platform/x11/accessibility/AccessibleElements.h"
#include "platform/linux/accessibility/WindowRelativeExtents.h"
#include "platform/x11/ScreenSpace.h"
#include "platform/x11/windows/WindowMoveObserver.h"
#include "platform/x11/windows/WindowStack.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <string>
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

/// Intersection over union: 1 for the same rectangle, 0 for disjoint ones.
double overlapRatio(const QRect& a, const QRect& b) {
    const QRect common = a.intersected(b);
    if (common.isEmpty()) {
        return 0.0;
    }
    const double shared = double(common.width()) * common.height();
    const double all = double(a.width()) * a.height() + double(b.width()) * b.height() - shared;
    return all > 0.0 ? shared / all : 0.0;
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

struct AtspiAccessibility::WindowCandidate {
    xcb_window_t client = 0;
    AccessibleRef accessible;
    bool active = false;
    QPoint offset;
};

AtspiAccessibility::AtspiAccessibility(std::shared_ptr<const WindowStack> stack, LogSink& log, Timeouts timeouts)
    : stack_(std::move(stack)), log_(log), timeouts_(timeouts) {
    busAvailable_ = connectBus();
    if (busAvailable_) {
        atspi_set_timeout(timeouts_.normalMs, timeouts_.startupMs);
    } else {
        reportBusUnavailable();
    }
}

bool AtspiAccessibility::connectBus() {
    // libatspi connects once per process, and aborts the process when a call finds
    // no bus: remember the first outcome and never call it without one.
    static std::optional<bool> connected;
    if (connected) {
        return *connected;
    }
    // Without any address libdbus would start a session bus of its own (X11
    // autolaunch); with no bus there is nothing to read anyway.
    bool addressKnown = environmentSet("AT_SPI_BUS_ADDRESS") || environmentSet("DBUS_SESSION_BUS_ADDRESS") ||
                        (stack_ && stack_->rootStringProperty("AT_SPI_BUS"));
    if (!addressKnown && environmentSet("XDG_RUNTIME_DIR")) {
        std::error_code ignored;
        addressKnown = std::filesystem::exists(std::filesystem::path(std::getenv("XDG_RUNTIME_DIR")) / "bus", ignored);
    }
    if (!addressKnown) {
        connected = false;
        return false;
    }
    atspi_set_timeout(timeouts_.normalMs, timeouts_.startupMs);
    connected = atspi_init() == 0;
    return *connected;
}

void AtspiAccessibility::reportBusUnavailable() {
    if (!reportedUnavailable_) {
        reportedUnavailable_ = true;
        log_("accessibility bus unavailable: views are unreadable");
    }
}

AXElementRef AtspiAccessibility::application(std::int32_t pid) {
    if (pid <= 0) {
        return nullptr;
    }
    auto state = std::make_shared<ApplicationState>();
    state->pid = pid;
    // Our own accessibility bridge answers on this very thread: asking it would
    // wait for the timeout. Our windows are read from X like any program's.
    if (busAvailable_ && pid != static_cast<std::int32_t>(::getpid())) {
        bool registryMissing = false;
        state->accessible = findApplication(pid, registryMissing);
        if (registryMissing) {
            reportBusUnavailable();
        }
    }
    return std::make_shared<ApplicationElement>(std::move(state));
}

std::vector<AtspiAccessibility::WindowCandidate>
AtspiAccessibility::windowCandidates(const std::shared_ptr<ApplicationState>& app) {
    // The application's X windows, front first: every program has them.
    std::vector<xcb_window_t> clients;
    if (stack_) {
        for (const StackedWindow& w : stack_->frontToBack()) {
            if (w.pid == app->pid && !w.overrideRedirect) {
                clients.push_back(w.client);
            }
        }
    }

    // Its AT-SPI frames, when it has any and answers.
    struct Frame {
        AccessibleRef object;
        std::optional<QRect> extents;
        std::string name;
        bool active = false;
    };
    std::vector<Frame> frames;
    if (app->accessible && !app->unresponsive) {
        GErrorSlot error;
        gint count = -1;
        {
            CallWatch watch(*app, timeouts_.normalMs);
            count = atspi_accessible_get_child_count(app->accessible.get(), error.out());
        }
        for (gint i = 0; i < count && !app->unresponsive; ++i) {
            Frame frame;
            GObjectPtr<AtspiStateSet> states;
            {
                CallWatch watch(*app, timeouts_.normalMs);
                frame.object = adoptAccessible(atspi_accessible_get_child_at_index(app->accessible.get(), i, error.out()));
                if (frame.object) {
                    states.reset(atspi_accessible_get_state_set(frame.object.get()));
                }
            }
            if (!frame.object || app->unresponsive ||
                (states && !atspi_state_set_contains(states.get(), ATSPI_STATE_SHOWING))) {
                continue;
            }
            frame.active = states && atspi_state_set_contains(states.get(), ATSPI_STATE_ACTIVE);
            frame.extents = screenExtents(frame.object.get(), *app, timeouts_.normalMs);
            {
                CallWatch watch(*app, timeouts_.normalMs);
                GOwned<gchar> name(atspi_accessible_get_name(frame.object.get(), error.out()));
                if (name) {
                    frame.name = name.get();
                }
            }
            frames.push_back(std::move(frame));
        }
    }

    // Pair frames with X windows: the same rectangle (AT-SPI reports the inside of
    // the window) or the same title, best pairs first.
    std::vector<int> frameOfClient(clients.size(), -1);
    std::vector<bool> frameTaken(frames.size(), false);
    if (!frames.empty() && !clients.empty()) {
        struct Pair {
            double score;
            std::size_t client;
            std::size_t frame;
        };
        std::vector<Pair> pairs;
        for (std::size_t c = 0; c < clients.size(); ++c) {
            const std::optional<QRect> inside = stack_->clientBounds(clients[c]);
            const std::string title = stack_->title(clients[c]);
            for (std::size_t f = 0; f < frames.size(); ++f) {
                double score = inside && frames[f].extents ? overlapRatio(*inside, *frames[f].extents) : 0.0;
                if (!title.empty() && title == frames[f].name) {
                    score += 0.5;
                }
                if (score >= 0.5) {
                    pairs.push_back({score, c, f});
                }
            }
        }
        std::stable_sort(pairs.begin(), pairs.end(), [](const Pair& a, const Pair& b) { return a.score > b.score; });
        for (const Pair& p : pairs) {
            if (frameOfClient[p.client] < 0 && !frameTaken[p.frame]) {
                frameOfClient[p.client] = static_cast<int>(p.frame);
                frameTaken[p.frame] = true;
            }
        }
    }

    std::vector<WindowCandidate> result;
    for (std::size_t c = 0; c < clients.size(); ++c) {
        WindowCandidate candidate{clients[c], nullptr, false, {}};
        if (frameOfClient[c] >= 0) {
            const Frame& f = frames[static_cast<std::size_t>(frameOfClient[c])];
            candidate.accessible = f.object;
            candidate.active = f.active;
        }
        result.push_back(std::move(candidate));
    }
    // Frames without an X window (another screen, an embedded toplevel, any
    // window on Wayland) still count.
    for (std::size_t f = 0; f < frames.size(); ++f) {
        if (!frameTaken[f] && frames[f].extents) {
            result.push_back({0, frames[f].object, frames[f].active, frameOffset(app->pid, frames[f].extents)});
        }
    }
    return result;
}

QPoint AtspiAccessibility::frameOffset(std::int32_t pid, const std::optional<QRect>& extents) const {
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

std::optional<std::vector<AXElementRef>> AtspiAccessibility::windows(const AXElementRef& application) {
    const ApplicationElement* app = asApplication(application);
    if (!app) {
        return std::nullopt;
    }
    std::vector<AXElementRef> list;
    for (WindowCandidate& c : windowCandidates(app->state)) {
        list.push_back(std::make_shared<UiElement>(app->state, c.client, std::move(c.accessible), c.offset));
    }
    return list;
}

AXElementRef AtspiAccessibility::mainWindow(const AXElementRef& application) {
    const ApplicationElement* app = asApplication(application);
    if (!app) {
        return nullptr;
    }
    std::vector<WindowCandidate> candidates = windowCandidates(app->state);
    auto main = std::find_if(candidates.begin(), candidates.end(), [](const WindowCandidate& c) { return c.active; });
    if (main == candidates.end() && stack_) {
        // No AT-SPI frame says it is active: the window manager's active window,
        // when it belongs to this application.
        const xcb_window_t active = stack_->activeWindow();
        main = std::find_if(candidates.begin(), candidates.end(),
                            [active](const WindowCandidate& c) { return active != 0 && c.client == active; });
    }
    if (main == candidates.end()) {
        return nullptr;
    }
    return std::make_shared<UiElement>(app->state, main->client, std::move(main->accessible), main->offset);
}

std::optional<QRect> AtspiAccessibility::extentsOf(const UiElement& element) {
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

std::optional<QRect> AtspiAccessibility::boundsOf(const UiElement& element) {
    if (element.client != 0) {
        // A window: the frame as it is now, so a tracked window reports where it went.
        return stack_ ? stack_->frameBounds(element.client) : std::nullopt;
    }
    return extentsOf(element);
}

std::optional<Point> AtspiAccessibility::position(const AXElementRef& element) {
    const UiElement* e = asUi(element);
    const std::optional<QRect> r = e ? boundsOf(*e) : std::nullopt;
    if (!r) {
        return std::nullopt;
    }
    return ScreenSpace::current().rootToTopLeft(r->x(), r->y());
}

std::optional<Size> AtspiAccessibility::size(const AXElementRef& element) {
    const UiElement* e = asUi(element);
    const std::optional<QRect> r = e ? boundsOf(*e) : std::nullopt;
    if (!r) {
        return std::nullopt;
    }
    return Size{double(r->width()), double(r->height())};
}

std::optional<std::vector<AXElementRef>> AtspiAccessibility::children(const AXElementRef& element) {
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

bool AtspiAccessibility::setMain(const AXElementRef& window) {
    const UiElement* e = asUi(window);
    if (!e || e->client == 0 || !stack_) {
        return false;
    }
    stack_->activate(e->client);
    lastMain_ = e->client;
    return true;
}

void AtspiAccessibility::bringProcessToFront(std::int32_t pid) {
    if (!stack_ || pid <= 0) {
        return;
    }
    // The window just made main, when it belongs to the process; else its front window.
    xcb_window_t target = 0;
    for (const StackedWindow& w : stack_->frontToBack()) {
        if (w.pid != pid || w.overrideRedirect) {
            continue;
        }
        if (w.client == lastMain_) {
            target = w.client;
            break;
        }
        if (target == 0) {
            target = w.client;
        }
    }
    if (target == 0) {
        return;
    }
    if (target != lastMain_) {
        stack_->activate(target);
    }
    stack_->raise(target);
}

std::unique_ptr<AXObserver> AtspiAccessibility::createObserver(std::int32_t, ObserverCallback callback) {
    if (!stack_) {
        return nullptr;
    }
    return std::make_unique<WindowMoveObserver>(stack_, std::move(callback));
}

} // namespace dimwell::x11
