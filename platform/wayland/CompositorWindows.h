#pragma once
// Other programs' windows as a Wayland compositor tells them (Wayland gives
// AT-SPI no window positions): the window list, raising one and following one.
// Each compositor with a window source of its own (sway's IPC, KWin's script)
// provides one; CompositorAccessibility puts AT-SPI's views inside them.

#include "platform/ports/Accessibility.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace dimwell::wayland {

struct CompositorWindow {
    std::uint32_t id = 0;     ///< stable while the window lives
    std::int32_t pid = 0;     ///< 0 when the compositor does not know
    Rect bounds;              ///< layout points, top-left space, decorations included
    bool active = false;      ///< the compositor's active window
};

/// A compositor window as the core holds it: window id and process.
class CompositorWindowElement final : public AXElement {
public:
    CompositorWindowElement(std::uint32_t windowId, std::int32_t processId) : id(windowId), pid(processId) {}
    std::uint32_t id;
    std::int32_t pid;
    /// Where tracking last saw it, set before each callback so the reader needs
    /// no request of its own; nothing when the tracker does not keep it.
    mutable std::optional<Rect> bounds;
};

/// How an accessible frame is found for a compositor window.
enum class FrameMatch {
    Overlap,    ///< the frame that lies on the window best (the window counts its decorations)
    SameSize,   ///< the frame of the window's size; a program's only frame stands for its only window
};

class CompositorWindows {
public:
    virtual ~CompositorWindows() = default;

    /// The shown windows, front to back; nothing when the compositor does not answer.
    virtual std::vector<CompositorWindow> windows() const = 0;
    virtual std::optional<CompositorWindow> find(std::uint32_t id) const;
    /// Brings the window to the front and gives it the focus.
    virtual bool raise(std::uint32_t id) = 0;
    /// Follows moves and resizes of CompositorWindowElements; `accessible` serves other elements.
    virtual std::unique_ptr<AXObserver> observe(std::int32_t pid, AccessibilityApi::ObserverCallback callback,
                                                AccessibilityApi& accessible) = 0;
    virtual FrameMatch frameMatch() const = 0;
};

} // namespace dimwell::wayland
