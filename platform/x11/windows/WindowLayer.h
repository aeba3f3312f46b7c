#pragma once
// The one place where an X window's kind becomes a layer of the window list.
//
//   kind of window                                              layer
//   our own override-redirect windows (the mask windows)        kShieldingWindowLevel
//   other override-redirect windows (menus, tooltips,
//     notifications, drag icons)                                 kPopUpLayer    (101)
//   managed windows typed popup/dropdown menu, tooltip,
//     notification, combo or drag-and-drop                      kPopUpLayer    (101)
//   _NET_WM_WINDOW_TYPE_DOCK (panels, docks)                    kDockLayer     (20)
//   _NET_WM_WINDOW_TYPE_DESKTOP                                 kDesktopLayer  (-20)
//   _NET_WM_STATE_ABOVE (kept above, whatever the type)         kFloatingLayer (3)
//   _NET_WM_STATE_BELOW                                         kBelowLayer    (-1)
//   everything else: normal windows, dialogs, utilities,
//     toolbars, splash screens, unmanaged windows               kNormalLayer   (0)
//
// The band -9..9 of the window-under-pointer search therefore admits exactly what a
// user would call an application window; docks, the desktop, menus and the overlay
// stay outside it. The type is the first one of _NET_WM_WINDOW_TYPE that is known.

#include "platform/ports/WindowList.h"

#include <cstdint>

namespace dimwell::x11 {

inline constexpr std::int32_t kDesktopLayer = -20;
inline constexpr std::int32_t kBelowLayer = -1;
inline constexpr std::int32_t kNormalLayer = 0;
inline constexpr std::int32_t kFloatingLayer = 3;
inline constexpr std::int32_t kDockLayer = 20;
inline constexpr std::int32_t kPopUpLayer = 101;

enum class WindowType { Normal, Dialog, Utility, Toolbar, Menu, Splash, Dock, Desktop, PopUp };

struct WindowTraits {
    bool overrideRedirect = false;
    bool ownedByThisProcess = false;
    WindowType type = WindowType::Normal;
    bool above = false;
    bool below = false;
};

std::int32_t windowLayer(const WindowTraits& traits);

} // namespace dimwell::x11
