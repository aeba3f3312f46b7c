#include "platform/sim/SimAccessibility.h"

#include <algorithm>

namespace dimwell {
namespace {

const SimAXElement* sim(const AXElementRef& e) { return dynamic_cast<const SimAXElement*>(e.get()); }

class SimObserver : public AXObserver {
public:
    SimObserver(std::shared_ptr<SimObserverState> s, const bool& fail) : s_(std::move(s)), fail_(fail) {}
    ~SimObserver() override { s_->alive = false; }
    SimObserver(const SimObserver&) = delete;
    SimObserver& operator=(const SimObserver&) = delete;

    bool addNotification(const AXElementRef& element, const std::string& notification) override {
        if (fail_ || !element) {
            return false;
        }
        s_->registered.emplace_back(element, notification);
        return true;
    }
    bool removeNotification(const AXElementRef& element, const std::string& notification) override {
        const auto it = std::find(s_->registered.begin(), s_->registered.end(), std::make_pair(element, notification));
        if (it == s_->registered.end()) {
            return false;
        }
        s_->registered.erase(it);
        return true;
    }

private:
    std::shared_ptr<SimObserverState> s_;
    const bool& fail_;
};

} // namespace

SimAccessibility::App& SimAccessibility::app(std::int32_t pid) {
    App& a = apps_[pid];
    if (!a.element) {
        a.element = std::make_shared<SimAXElement>(pid, "AXApplication");
    }
    return a;
}

AXElementRef SimAccessibility::application(std::int32_t pid) { return app(pid).element; }

std::optional<std::vector<AXElementRef>> SimAccessibility::windows(const AXElementRef& application) {
    ++windowsReads_;
    const SimAXElement* e = sim(application);
    if (!e) {
        return std::nullopt;
    }
    const auto it = apps_.find(e->pid);
    if (it == apps_.end() || !it->second.windowsReadable) {
        return std::nullopt;
    }
    return it->second.windows;
}

AXElementRef SimAccessibility::mainWindow(const AXElementRef& application) {
    const SimAXElement* e = sim(application);
    if (!e) {
        return nullptr;
    }
    const auto it = apps_.find(e->pid);
    return it == apps_.end() ? nullptr : it->second.main;
}

std::optional<Point> SimAccessibility::position(const AXElementRef& element) {
    const SimAXElement* e = sim(element);
    return e ? e->position : std::nullopt;
}

std::optional<Size> SimAccessibility::size(const AXElementRef& element) {
    const SimAXElement* e = sim(element);
    return e ? e->size : std::nullopt;
}

std::optional<std::vector<AXElementRef>> SimAccessibility::children(const AXElementRef& element) {
    const SimAXElement* e = sim(element);
    return e ? e->children : std::nullopt;
}

bool SimAccessibility::setMain(const AXElementRef& window) {
    madeMain_.push_back(window);
    const SimAXElement* e = sim(window);
    if (!e) {
        return false;
    }
    for (auto& [pid, a] : apps_) {
        for (const AXElementRef& w : a.windows) {
            if (w == window) {
                a.main = std::const_pointer_cast<SimAXElement>(std::static_pointer_cast<const SimAXElement>(window));
                return true;
            }
        }
    }
    return false;
}

std::unique_ptr<AXObserver> SimAccessibility::createObserver(std::int32_t pid, ObserverCallback callback) {
    auto s = std::make_shared<SimObserverState>();
    s->pid = pid;
    s->callback = std::move(callback);
    observers_.push_back(s);
    return std::make_unique<SimObserver>(std::move(s), failRegistrations_);
}

SimElement SimAccessibility::addWindow(std::int32_t pid, const Rect& frame) {
    auto w = std::make_shared<SimAXElement>(pid, "AXWindow");
    w->setFrame(frame);
    app(pid).windows.push_back(w);
    return w;
}

SimElement SimAccessibility::addChild(const SimElement& parent, const Rect& frame) {
    auto c = std::make_shared<SimAXElement>(parent->pid, "AXGroup");
    c->setFrame(frame);
    if (!parent->children) {
        parent->children.emplace();
    }
    parent->children->push_back(c);
    return c;
}

void SimAccessibility::setMainWindow(std::int32_t pid, SimElement window) { app(pid).main = std::move(window); }

void SimAccessibility::setWindowsUnreadable(std::int32_t pid) { app(pid).windowsReadable = false; }

void SimAccessibility::moveWindow(const SimElement& window, const Rect& frame) {
    window->setFrame(frame);
    moved(window);
}

void SimAccessibility::resizeWindow(const SimElement& window, const Rect& frame) {
    window->setFrame(frame);
    resized(window);
}

void SimAccessibility::notify(const AXElementRef& element, const std::string& notification) {
    // Callbacks may stop tracking and start it again: deliver to a snapshot.
    const auto snapshot = observers_;
    for (const auto& o : snapshot) {
        if (!o->alive) {
            continue;
        }
        const bool wanted = std::any_of(o->registered.begin(), o->registered.end(), [&](const auto& r) {
            return r.first == element && r.second == notification;
        });
        if (wanted) {
            const ObserverCallback cb = o->callback;
            cb(element, notification);
        }
    }
}

int SimAccessibility::observersAlive() const {
    return static_cast<int>(std::count_if(observers_.begin(), observers_.end(), [](const auto& o) { return o->alive; }));
}

std::vector<std::pair<AXElementRef, std::string>> SimAccessibility::registrations() const {
    std::vector<std::pair<AXElementRef, std::string>> out;
    for (const auto& o : observers_) {
        if (o->alive) {
            out.insert(out.end(), o->registered.begin(), o->registered.end());
        }
    }
    return out;
}

} // namespace dimwell
