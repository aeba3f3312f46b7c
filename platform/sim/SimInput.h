#pragma once
// The session's input stream: taps that see injected events in order and may
// swallow them, what reached the programs underneath, the pointer and the cursor.

#include "platform/ports/EventTaps.h"

#include <functional>
#include <memory>
#include <set>
#include <vector>

namespace dimwell {

struct SimTap {
    std::uint64_t mask = 0;
    InputService::TapCallback callback;
    bool enabled = false;
    bool alive = true;
};

class SimInput : public InputService {
public:
    /// `mainScreenHeight` turns event locations into the pointer's Cocoa position.
    explicit SimInput(std::function<double()> mainScreenHeight);

    std::unique_ptr<EventTap> createTap(std::uint64_t eventMask, TapCallback callback) override;
    void postMouseMoved(Point location) override;
    Point mouseLocation() const override { return pointer_; }
    bool isCursorVisible() const override { return hideLevel_ == 0; }
    void allowBackgroundCursorHiding() override { ++backgroundHidingAllowed_; }
    void hideCursor() override;
    void showCursor() override;
    void capturePointer() override { pointerCaptured_ = true; }
    void releasePointer() override { pointerCaptured_ = false; }
    bool pointerCaptured() const { return pointerCaptured_; }

    /// Creating a tap with exactly this mask is refused.
    void refuseTap(std::uint64_t mask) { refused_.insert(mask); }

    /// Runs `event` through the enabled taps, newest first (each was inserted at the
    /// head); the first that swallows it ends its way. Mouse events move the pointer.
    TapVerdict inject(const InputEvent& event);
    TapVerdict inject(EventType type, Point topLeft, std::int64_t keyCode = 0);
    /// The platform disabled the tap for a slow callback and tells it so.
    void timeout(std::uint64_t mask);
    /// Puts the pointer somewhere without an event (Cocoa space).
    void setMouseLocation(Point cocoa) { pointer_ = cocoa; }

    const std::vector<InputEvent>& passed() const { return passed_; }
    const std::vector<InputEvent>& swallowed() const { return swallowed_; }
    void clearDeliveries() { passed_.clear(); swallowed_.clear(); }
    /// The live tap with `mask`, or null.
    const SimTap* tap(std::uint64_t mask) const;
    bool tapEnabled(std::uint64_t mask) const { const SimTap* t = tap(mask); return t && t->enabled; }
    /// Taps ever asked for with `mask`, refused ones included.
    int tapsCreated(std::uint64_t mask) const;
    /// Masks of the taps asked for (refused ones too), in order.
    const std::vector<std::uint64_t>& creationOrder() const { return creationOrder_; }

    const std::vector<Point>& postedMoves() const { return postedMoves_; }
    int hideCount() const { return hideCount_; }
    int showCount() const { return showCount_; }
    int backgroundHidingAllowed() const { return backgroundHidingAllowed_; }

private:
    std::function<double()> mainScreenHeight_;
    std::vector<std::shared_ptr<SimTap>> taps_;   ///< newest first
    std::vector<std::uint64_t> creationOrder_;
    std::set<std::uint64_t> refused_;
    std::vector<InputEvent> passed_;
    std::vector<InputEvent> swallowed_;
    std::vector<Point> postedMoves_;
    std::vector<Point> pendingMoves_;
    Point pointer_;
    bool delivering_ = false;
    bool pointerCaptured_ = false;
    int hideLevel_ = 0;
    int hideCount_ = 0;
    int showCount_ = 0;
    int backgroundHidingAllowed_ = 0;

    TapVerdict runThroughTaps(const InputEvent& event);
};

} // namespace dimwell
