#include "platform/sim/SimInput.h"

namespace dimwell {
namespace {

class TapHandle : public EventTap {
public:
    explicit TapHandle(std::shared_ptr<SimTap> t) : t_(std::move(t)) {}
    ~TapHandle() override { t_->alive = false; t_->enabled = false; }
    TapHandle(const TapHandle&) = delete;
    TapHandle& operator=(const TapHandle&) = delete;
    void enable(bool on) override { t_->enabled = on; }
    bool isEnabled() const override { return t_->enabled; }

private:
    std::shared_ptr<SimTap> t_;
};

std::uint64_t maskOf(EventType type) {
    const auto t = static_cast<std::uint32_t>(type);
    return t < 64 ? (std::uint64_t{1} << t) : 0;
}

} // namespace

SimInput::SimInput(std::function<double()> mainScreenHeight) : mainScreenHeight_(std::move(mainScreenHeight)) {}

std::unique_ptr<EventTap> SimInput::createTap(std::uint64_t eventMask, TapCallback callback) {
    creationOrder_.push_back(eventMask);
    if (refused_.count(eventMask) != 0) {
        return nullptr;
    }
    auto t = std::make_shared<SimTap>();
    t->mask = eventMask;
    t->callback = std::move(callback);
    taps_.insert(taps_.begin(), t);
    return std::make_unique<TapHandle>(std::move(t));
}

void SimInput::postMouseMoved(Point location) {
    postedMoves_.push_back(location);
    pendingMoves_.push_back(location);
    if (!delivering_) {
        // Posted from outside a callback: it enters the stream at once.
        std::vector<Point> moves;
        moves.swap(pendingMoves_);
        for (const Point& p : moves) {
            runThroughTaps({EventType::MouseMoved, p, 0});
        }
    }
}

void SimInput::hideCursor() {
    ++hideCount_;
    ++hideLevel_;
}

void SimInput::showCursor() {
    ++showCount_;
    if (hideLevel_ > 0) {
        --hideLevel_;
    }
}

TapVerdict SimInput::runThroughTaps(const InputEvent& event) {
    const std::uint64_t bit = maskOf(event.type);
    // Callbacks may create, enable or disable taps: walk a snapshot and look at
    // each tap's state when the event reaches it.
    const std::vector<std::shared_ptr<SimTap>> snapshot = taps_;
    delivering_ = true;
    TapVerdict verdict = TapVerdict::Pass;
    for (const auto& t : snapshot) {
        if (t->alive && t->enabled && (t->mask & bit) != 0) {
            const InputService::TapCallback cb = t->callback;
            if (cb(event) == TapVerdict::Swallow) {
                verdict = TapVerdict::Swallow;
                break;
            }
        }
    }
    delivering_ = false;
    return verdict;
}

TapVerdict SimInput::inject(const InputEvent& event) {
    if (event.type != EventType::KeyDown) {
        const double h = mainScreenHeight_ ? mainScreenHeight_() : 0.0;
        pointer_ = {event.location.x, h - event.location.y};
    }
    const TapVerdict verdict = runThroughTaps(event);
    (verdict == TapVerdict::Pass ? passed_ : swallowed_).push_back(event);
    // Synthetic events posted by a callback follow the one that caused them.
    std::vector<Point> moves;
    moves.swap(pendingMoves_);
    for (const Point& p : moves) {
        runThroughTaps({EventType::MouseMoved, p, 0});
    }
    return verdict;
}

TapVerdict SimInput::inject(EventType type, Point topLeft, std::int64_t keyCode) {
    return inject(InputEvent{type, topLeft, keyCode});
}

void SimInput::timeout(std::uint64_t mask) {
    for (const auto& t : taps_) {
        if (t->alive && t->mask == mask) {
            t->enabled = false;
            const InputService::TapCallback cb = t->callback;
            cb({EventType::TapDisabledByTimeout, {}, 0});
            return;
        }
    }
}

const SimTap* SimInput::tap(std::uint64_t mask) const {
    for (const auto& t : taps_) {
        if (t->alive && t->mask == mask) {
            return t.get();
        }
    }
    return nullptr;
}

int SimInput::tapsCreated(std::uint64_t mask) const {
    int n = 0;
    for (const std::uint64_t m : creationOrder_) {
        if (m == mask) {
            ++n;
        }
    }
    return n;
}

} // namespace dimwell
