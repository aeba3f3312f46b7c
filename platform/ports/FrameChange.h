#pragma once
// What a watched window's new frame calls for: every backend's window observer
// reports a change the same way.

#include "platform/ports/Accessibility.h"

namespace dimwell {

/// The notification a frame change calls for, or null for none: a resize, when
/// resizes are watched, is told as one; otherwise any change is a move, when
/// moves are watched.
inline const char* frameChangeNotification(bool moved, bool resized, bool wantsMoves, bool wantsResizes) {
    if (resized && wantsResizes) {
        return kAXWindowResizedNotification;
    }
    return (moved || resized) && wantsMoves ? kAXWindowMovedNotification : nullptr;
}

} // namespace dimwell
