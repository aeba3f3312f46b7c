#include "platform/wayland/sway/SwayWindowTracker.h"
#include "platform/ports/FrameChange.h"

#include "platform/wayland/sway/SwayTree.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace dimwell::wayland {

namespace {

constexpr int kWindowEvent = 3;
constexpr int kDefaultIntervalMs = 16;

std::optional<SwayTree> readTree(SwayIpc& ipc) {
    const std::optional<QJsonDocument> reply = ipc.request(SwayMessage::GetTree);
    if (!reply || !reply->isObject()) {
        return std::nullopt;
    }
    return parseSwayTree(reply->object());
}

} // namespace

SwayWindowTracker::SwayWindowTracker(std::shared_ptr<SwayIpc> ipc, AccessibilityApi::ObserverCallback callback)
    : ipc_(std::move(ipc)), callback_(std::move(callback)) {
    timer_.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer_, &QTimer::timeout, &timer_, [this] { poll(); });
}

SwayWindowTracker::SwayWindowTracker(LogSink& log, AccessibilityApi::ObserverCallback callback,
                                     std::string socketPath)
    : SwayWindowTracker(std::make_shared<SwayIpc>(log, std::move(socketPath)), std::move(callback)) {}

SwayWindowTracker::~SwayWindowTracker() { *alive_ = false; }

SwayWindowTracker::Watch* SwayWindowTracker::find(const AXElement* element) {
    auto it = std::find_if(watches_.begin(), watches_.end(),
                           [element](const Watch& w) { return w.element.get() == element; });
    return it == watches_.end() ? nullptr : &*it;
}

std::optional<int> SwayWindowTracker::pollingInterval() const {
    return timer_.isActive() ? std::optional<int>(timer_.interval()) : std::nullopt;
}

bool SwayWindowTracker::addNotification(const AXElementRef& element, const std::string& notification) {
    const bool move = notification == kAXWindowMovedNotification;
    const bool resize = notification == kAXWindowResizedNotification;
    auto window = std::dynamic_pointer_cast<const SwayWindowElement>(element);
    if ((!move && !resize) || !window) {
        return false;
    }
    Watch* watch = find(element.get());
    if (!watch) {
        const std::optional<SwayTree> tree = readTree(*ipc_);
        const SwayWindow* now = tree ? tree->find(window->id) : nullptr;
        if (!tree || !tree->exists(window->id)) {
            return false;   // sway does not answer, or the window is gone
        }
        window->bounds = now ? std::optional<Rect>(now->bounds) : std::nullopt;
        watches_.push_back(Watch{std::move(window)});
        watch = &watches_.back();
        start(*tree);
    }
    watch->wantsMoves = watch->wantsMoves || move;
    watch->wantsResizes = watch->wantsResizes || resize;
    return true;
}

bool SwayWindowTracker::removeNotification(const AXElementRef& element, const std::string& notification) {
    Watch* watch = find(element.get());
    if (!watch) {
        return false;
    }
    bool* flag = notification == kAXWindowMovedNotification     ? &watch->wantsMoves
                 : notification == kAXWindowResizedNotification ? &watch->wantsResizes
                                                                : nullptr;
    if (!flag || !*flag) {
        return false;
    }
    *flag = false;
    if (!watch->wantsMoves && !watch->wantsResizes) {
        watches_.erase(watches_.begin() + (watch - watches_.data()));
        if (watches_.empty()) {
            stop();
        }
    }
    return true;
}

void SwayWindowTracker::start(const SwayTree& tree) {
    // At the display's pace: a drag moves the window once per frame at most.
    const int interval = tree.refreshHz > 0.0 ? std::max(1, static_cast<int>(std::lround(1000.0 / tree.refreshHz)))
                                              : kDefaultIntervalMs;
    if (!timer_.isActive() || timer_.interval() != interval) {
        timer_.start(interval);
    }
    if (!events_) {
        std::unique_ptr<SwaySocket> socket = ipc_->subscribe(QByteArrayLiteral("[\"window\"]"));
        if (socket) {
            events_ = std::make_unique<SwayEvents>(
                std::move(socket),
                [this](std::uint32_t type, const QJsonObject& event) {
                    if (type == kWindowEvent) {
                        windowEvent(event);
                    }
                },
                // Polling notices closed windows too; only promptness is lost.
                [] {});
        }
    }
}

void SwayWindowTracker::stop() {
    timer_.stop();
    events_.reset();
}

void SwayWindowTracker::windowEvent(const QJsonObject& event) {
    const auto id = static_cast<std::uint32_t>(event.value(QStringLiteral("container")).toObject()
                                                   .value(QStringLiteral("id")).toDouble());
    auto watched = [id](const Watch& w) { return w.element->id == id; };
    if (std::none_of(watches_.begin(), watches_.end(), watched)) {
        return;
    }
    if (event.value(QStringLiteral("change")).toString() == QStringLiteral("close")) {
        std::erase_if(watches_, watched);
        if (watches_.empty()) {
            stop();   // may destroy the subscription that called us; nothing follows
        }
        return;
    }
    poll();   // floating, fullscreen, moved to another workspace: no need to wait
}

void SwayWindowTracker::poll() {
    const std::optional<SwayTree> tree = readTree(*ipc_);
    if (!tree) {
        ipc_->log()("Window tracking ends: sway does not answer");
        watches_.clear();
        stop();
        return;
    }
    std::erase_if(watches_, [&](const Watch& w) { return !tree->exists(w.element->id); });
    if (watches_.empty()) {
        stop();
        return;
    }
    start(*tree);   // follows a change of refresh rate
    std::vector<std::pair<AXElementRef, const char*>> due;
    for (Watch& w : watches_) {
        const SwayWindow* now = tree->find(w.element->id);
        if (!now) {
            continue;   // hidden for now (another workspace, the scratchpad): nothing to follow
        }
        const std::optional<Rect> last = w.element->bounds;
        const bool moved = !last || last->origin() != now->bounds.origin();
        const bool resized = !last || last->width != now->bounds.width || last->height != now->bounds.height;
        w.element->bounds = now->bounds;
        if (const char* name = frameChangeNotification(moved, resized, w.wantsMoves, w.wantsResizes)) {
            due.emplace_back(w.element, name);
        }
    }
    // A callback may remove registrations or destroy this tracker.
    const std::shared_ptr<bool> alive = alive_;
    for (const auto& [element, name] : due) {
        if (!*alive) {
            return;
        }
        if (find(element.get())) {
            callback_(element, name);
        }
    }
}

} // namespace dimwell::wayland
