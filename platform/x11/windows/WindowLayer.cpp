#include "platform/x11/windows/WindowLayer.h"

namespace dimwell::x11 {

std::int32_t windowLayer(const WindowTraits& t) {
    if (t.overrideRedirect) {
        // Nothing but the overlay's own surfaces and transient popups bypass the
        // window manager; neither is a window a user means to focus.
        return t.ownedByThisProcess ? kShieldingWindowLevel : kPopUpLayer;
    }
    switch (t.type) {
    case WindowType::PopUp:
        return kPopUpLayer;
    case WindowType::Dock:
        return kDockLayer;
    case WindowType::Desktop:
        return kDesktopLayer;
    default:
        break;
    }
    if (t.above) {
        return kFloatingLayer;
    }
    if (t.below) {
        return kBelowLayer;
    }
    return kNormalLayer;
}

} // namespace dimwell::x11
