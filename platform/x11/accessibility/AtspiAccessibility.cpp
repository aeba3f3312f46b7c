#include "platform/x11/accessibility/AtspiAccessibility.h"

#include "platform/linux/ScreenSpace.h"
#include "platform/x11/windows/WindowMoveObserver.h"
#include "platform/x11/windows/WindowStack.h"

#include <algorithm>
#include <string>

namespace dimwell::x11 {

namespace {

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

} // namespace

struct AtspiAccessibility::WindowCandidate {
    xcb_window_t client = 0;
    AccessibleRef accessible;
    bool active = false;
    QPoint offset;
};

AtspiAccessibility::AtspiAccessibility(std::shared_ptr<const WindowStack> stack, LogSink& log, Timeouts timeouts)
    : stack_(std::move(stack)),
      // An X session may name its accessibility bus on the root window only.
      views_(log, timeouts, [this] { return stack_ && stack_->rootStringProperty("AT_SPI_BUS"); }) {}

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
    std::vector<AtspiViews::Frame> frames = views_.frames(*app);

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
            const AtspiViews::Frame& f = frames[static_cast<std::size_t>(frameOfClient[c])];
            candidate.accessible = f.object;
            candidate.active = f.active;
        }
        result.push_back(std::move(candidate));
    }
    // Frames without an X window (another screen, an embedded toplevel) still count.
    for (std::size_t f = 0; f < frames.size(); ++f) {
        if (!frameTaken[f] && frames[f].extents) {
            result.push_back({0, frames[f].object, frames[f].active, views_.frameOffset(app->pid, frames[f].extents)});
        }
    }
    return result;
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

std::optional<QRect> AtspiAccessibility::boundsOf(const UiElement& element) {
    if (element.client != 0) {
        // A window: the frame as it is now, so a tracked window reports where it went.
        return stack_ ? stack_->frameBounds(element.client) : std::nullopt;
    }
    return views_.extentsOf(element);
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
