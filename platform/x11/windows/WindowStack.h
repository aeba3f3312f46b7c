#pragma once
// The X server's top-level windows, read as the user sees them: window-manager
// frames (override-redirect ones too) resolved to the application windows inside,
// the frame's rectangle as the bounds, the owning process and the layer. Also the few EWMH requests that act on
// another program's window (activate, raise). Every read tolerates windows that
// vanish while it runs.

#include "platform/x11/windows/FrameClient.h"

#include <xcb/xcb.h>

#include <QRect>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

namespace dimwell::x11 {

struct StackedWindow {
    xcb_window_t topLevel = 0;   ///< the root's child: the frame, or the window itself when unmanaged
    xcb_window_t client = 0;     ///< the application's window (the one with WM_STATE), else topLevel
    QRect bounds;                ///< root pixels: the top-level with its border
    bool overrideRedirect = false;   ///< override-redirect and no frame: a popup (see FrameClient.h)
    std::int32_t pid = 0;        ///< 0 when unknown
    std::optional<std::string> ownerName;
    std::int32_t layer = 0;
};

class WindowStack {
public:
    /// `screenNumber` selects the root window of a multi-screen display.
    WindowStack(xcb_connection_t* connection, int screenNumber);
    /// On the toolkit's own connection; nothing when the application does not run on X.
    static std::shared_ptr<WindowStack> fromQt();

    xcb_connection_t* connection() const { return c_; }
    xcb_window_t root() const { return root_; }

    /// Every viewable, non-iconic top-level window, front first.
    std::vector<StackedWindow> frontToBack() const;

    /// The frame of `client` (or the window itself) in root pixels, read now, or
    /// as remembered from the frame's latest structure notification.
    std::optional<QRect> frameBounds(xcb_window_t client) const;
    /// Whoever follows the frame's structure notifications keeps its place here,
    /// so that reading it back after each move costs no round trip; a cache.
    void rememberFrame(xcb_window_t client, const QRect& frame) const { rememberedFrames_[client] = frame; }
    void forgetFrame(xcb_window_t client) const { rememberedFrames_.erase(client); }
    /// The inside of `client` in root pixels, read now.
    std::optional<QRect> clientBounds(xcb_window_t client) const;
    /// The root's child that holds `window`; 0 when the window is gone.
    xcb_window_t topLevelOf(xcb_window_t window) const;
    /// _NET_WM_NAME, else WM_NAME; empty when unreadable.
    std::string title(xcb_window_t client) const;
    /// The process behind `client`, 0 when unknown.
    std::int32_t processOf(xcb_window_t client) const;
    /// _NET_ACTIVE_WINDOW of the root; 0 when none.
    xcb_window_t activeWindow() const;
    /// A string property of the root window (such as AT_SPI_BUS).
    std::optional<std::string> rootStringProperty(const char* name) const;

    /// Asks the window manager to activate `client` as a pager would (the user's
    /// own request, so focus-stealing prevention does not apply).
    void activate(xcb_window_t client) const;
    /// Asks the window manager to put `client` above every other window of its layer.
    void raise(xcb_window_t client) const;

private:
    enum Atom : std::size_t {
        WM_CLASS_ATOM, UTF8_STRING, NET_WM_NAME, NET_WM_PID, NET_WM_WINDOW_TYPE,
        TYPE_NORMAL, TYPE_DIALOG, TYPE_UTILITY, TYPE_TOOLBAR, TYPE_MENU, TYPE_SPLASH, TYPE_DOCK, TYPE_DESKTOP,
        TYPE_POPUP_MENU, TYPE_DROPDOWN_MENU, TYPE_TOOLTIP, TYPE_NOTIFICATION, TYPE_COMBO, TYPE_DND,
        NET_WM_STATE, STATE_ABOVE, STATE_BELOW, STATE_HIDDEN,
        NET_ACTIVE_WINDOW, NET_RESTACK_WINDOW, NET_SUPPORTING_WM_CHECK,
        AtomCount
    };
    struct Candidate;
    struct ClientFacts;

    void resolveClients(std::vector<Candidate>& candidates) const;
    std::vector<std::optional<ClientFacts>> readClients(const std::vector<Candidate>& candidates) const;
    std::int32_t resourcePid(xcb_window_t window) const;
    bool windowManagerRunning() const;
    void sendToRoot(xcb_window_t window, xcb_atom_t type, const std::array<std::uint32_t, 5>& data) const;
    xcb_atom_t atom(Atom a) const { return atoms_[a]; }

    xcb_connection_t* c_;
    FrameClients frames_;
    xcb_window_t root_ = 0;
    bool hasResourceExtension_ = false;
    std::array<xcb_atom_t, AtomCount> atoms_{};
    mutable std::unordered_map<xcb_window_t, QRect> rememberedFrames_;
};

} // namespace dimwell::x11
