#pragma once
// Dimwell's own connection to the Wayland compositor, separate from Qt's: the
// globals the masks need, the outputs, kept up to date as monitors come and
// go, and the seat keyboard's keymap, kept up to date as the user changes it. The event loop drives it through fd() and the two steps below (QtEventPump
// does that on Qt's loop).

#include "common/Log.h"
#include "platform/wayland/WaylandOutput.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

struct wl_display;
struct wl_registry;
struct wl_compositor;
struct wl_shm;
struct wl_seat;
struct wl_keyboard;
struct zwlr_layer_shell_v1;
struct zxdg_output_manager_v1;

namespace dimwell::wayland {

enum class OutputChange { Added, Changed, Removed };

class WaylandConnection {
public:
    using OutputsChanged = std::function<void(std::uint32_t globalName, OutputChange change)>;

    /// Connects to WAYLAND_DISPLAY (or `name`) and waits for the globals and the
    /// outputs' first description; nothing, with one log line, when that fails
    /// or a global the masks cannot do without is missing.
    static std::unique_ptr<WaylandConnection> connect(LogSink& log, const char* name = nullptr);
    ~WaylandConnection();
    WaylandConnection(const WaylandConnection&) = delete;
    WaylandConnection& operator=(const WaylandConnection&) = delete;

    wl_display* display() const { return display_; }
    wl_compositor* compositor() const { return compositor_; }
    wl_shm* shm() const { return shm_; }
    zwlr_layer_shell_v1* layerShell() const { return layerShell_; }
    wl_seat* seat() const { return seat_; }
    LogSink& log() const { return log_; }

    /// Outputs with a complete description, in the order they were announced.
    std::vector<WaylandOutput*> outputs() const;
    WaylandOutput* output(std::uint32_t globalName) const;
    /// Called after an output was described for the first time, moved, rescaled or removed.
    void setOutputsChanged(OutputsChanged callback) { outputsChanged_ = std::move(callback); }

    /// The seat keyboard's keymap as the compositor hands it out (XKB keymap
    /// text); empty until it has, and while the seat has no keyboard.
    const std::string& keymap() const { return keymap_; }
    /// The active layout group; the compositor tells it while one of this
    /// connection's surfaces has the keyboard focus.
    std::uint32_t layoutGroup() const { return layoutGroup_; }
    /// Called after the keymap or the active layout group changed.
    void setKeyboardChanged(std::function<void()> callback) { keyboardChanged_ = std::move(callback); }

    // The event loop's part: watch fd() for reading.
    int fd() const;
    /// Before the loop waits: dispatches what is queued and sends what the handlers asked.
    void dispatchPending();
    /// When fd() is readable: reads the events without blocking and dispatches them.
    void readAndDispatch();
    bool roundtrip();
    /// The compositor closed the connection or reported a protocol error.
    bool failed() const;

private:
    struct Listeners;
    WaylandConnection(wl_display* display, LogSink& log);
    void global(std::uint32_t name, const char* interface, std::uint32_t version);
    void globalRemove(std::uint32_t name);
    void addOutput(std::uint32_t name, std::uint32_t version);
    void reportFailure() const;
    void seatCapabilities(std::uint32_t capabilities);
    void releaseKeyboard();
    void keymapReceived(std::uint32_t format, int fd, std::uint32_t size);
    void layoutGroupTold(std::uint32_t group);

    wl_display* display_;
    LogSink& log_;
    wl_registry* registry_ = nullptr;
    wl_compositor* compositor_ = nullptr;
    wl_shm* shm_ = nullptr;
    wl_seat* seat_ = nullptr;
    std::uint32_t seatName_ = 0;
    wl_keyboard* keyboard_ = nullptr;
    std::string keymap_;
    std::uint32_t layoutGroup_ = 0;
    std::function<void()> keyboardChanged_;
    zwlr_layer_shell_v1* layerShell_ = nullptr;
    zxdg_output_manager_v1* xdgOutputs_ = nullptr;
    std::vector<std::unique_ptr<WaylandOutput>> outputs_;
    OutputsChanged outputsChanged_;
    mutable bool failureReported_ = false;
};

} // namespace dimwell::wayland
