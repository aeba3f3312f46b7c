#pragma once
// Filtering taps on other programs' mouse and key events, the pointer and the cursor.

#include "common/Geometry.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace dimwell {

enum class EventType : std::uint32_t {
    LeftMouseDown = 1,
    LeftMouseUp = 2,
    MouseMoved = 5,
    LeftMouseDragged = 6,
    KeyDown = 10,
    TapDisabledByTimeout = 0xFFFFFFFEu,
    TapDisabledByUserInput = 0xFFFFFFFFu,
};

/// Event masks of the five taps.
enum EventMask : std::uint64_t {
    leftMouseDownMask = 1u << 1,
    leftMouseUpMask = 1u << 2,
    mouseMovedMask = 1u << 5,
    leftMouseDraggedMask = 1u << 6,
    keyDownMask = 1u << 10,
};

struct InputEvent {
    EventType type = EventType::MouseMoved;
    Point location;             ///< top-left space
    std::int64_t keyCode = 0;   ///< virtual key code, key events only
};

enum class TapVerdict { Pass, Swallow };

class EventTap {
public:
    virtual ~EventTap() = default;
    virtual void enable(bool on) = 0;
    virtual bool isEnabled() const = 0;
};

class InputService {
public:
    using TapCallback = std::function<TapVerdict(const InputEvent&)>;

    virtual ~InputService() = default;
    /// A disabled tap at the head of the session's event stream; nothing when refused.
    virtual std::unique_ptr<EventTap> createTap(std::uint64_t eventMask, TapCallback callback) = 0;
    /// Posts a synthetic mouse-moved event at `location` (top-left space).
    virtual void postMouseMoved(Point location) = 0;
    /// The pointer, Cocoa space.
    virtual Point mouseLocation() const = 0;
    virtual bool isCursorVisible() const = 0;
    /// Lets this program hide the cursor although another program is in front.
    virtual void allowBackgroundCursorHiding() = 0;
    virtual void hideCursor() = 0;
    virtual void showCursor() = 0;
    /// Until released, every pointer event (moves, crossings, presses, drags) goes to
    /// the taps alone, so programs underneath show no hover effects or tooltips.
    /// When another program holds the pointer the platform logs it and the taps
    /// work as before. Capturing twice or releasing without a capture is harmless.
    virtual void capturePointer() = 0;
    virtual void releasePointer() = 0;
};

} // namespace dimwell
