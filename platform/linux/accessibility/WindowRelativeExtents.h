#pragma once
// Toolkits on Wayland report an element's "screen" extents relative to its own
// window: no client there knows where its window is. The compositor does, so a
// top-level frame is set against the application's windows as the compositor
// lists them, and when the frame says it sits at the origin while its window is
// elsewhere, the window's content origin is the offset for the frame and
// everything inside it.
// Decided per frame from what it reports, not from the session type: an X
// program on the same desktop reports true screen extents and keeps them.

#include <QPoint>
#include <QRect>

#include <vector>

namespace dimwell::linuxdesktop {

/// What to add to the extents of `frame` (as the toolkit reports them) and of its
/// descendants to have them on screen; zero when they are on screen already or no
/// window of `windows` (the application's, decorations included, in the same
/// pixels as the result) can be the frame's.
QPoint windowRelativeOffset(const QRect& frame, const std::vector<QRect>& windows);

} // namespace dimwell::linuxdesktop
