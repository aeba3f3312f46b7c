#pragma once
// The masks' input on KWin, with the pointer's position from KWin itself
// (exact wherever the pointer is, with no probe surfaces shown); the masks'
// own idea of it when KWin's script does not answer.

#include "platform/ports/EventTaps.h"
#include "platform/wayland/kwin/KWinWindows.h"

#include <functional>
#include <memory>

namespace dimwell::wayland {

class KWinPointerInput final : public InputService {
public:
    /// `mainScreenHeight` turns layout points into Cocoa space.
    KWinPointerInput(std::unique_ptr<InputService> masks, KWinWindows& kwin, std::function<double()> mainScreenHeight)
        : masks_(std::move(masks)), kwin_(kwin), mainScreenHeight_(std::move(mainScreenHeight)) {}

    std::unique_ptr<EventTap> createTap(std::uint64_t eventMask, TapCallback callback) override {
        return masks_->createTap(eventMask, std::move(callback));
    }
    void postMouseMoved(Point location) override { masks_->postMouseMoved(location); }
    Point mouseLocation() const override {
        if (const std::optional<Point> p = kwin_.pointer()) {
            return {p->x, mainScreenHeight_() - p->y};
        }
        return masks_->mouseLocation();
    }
    bool isCursorVisible() const override { return masks_->isCursorVisible(); }
    void allowBackgroundCursorHiding() override { masks_->allowBackgroundCursorHiding(); }
    void hideCursor() override { masks_->hideCursor(); }
    void showCursor() override { masks_->showCursor(); }
    void capturePointer() override { masks_->capturePointer(); }
    void releasePointer() override { masks_->releasePointer(); }

private:
    std::unique_ptr<InputService> masks_;
    KWinWindows& kwin_;
    std::function<double()> mainScreenHeight_;
};

} // namespace dimwell::wayland
