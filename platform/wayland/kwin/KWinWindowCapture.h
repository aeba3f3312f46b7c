#pragma once
// One window's pixels on KWin, as pattern mode reads them: the window's
// rectangle on the output that shows most of it, asked of KWin's ScreenShot2
// interface on the session bus (CaptureArea, no cursor, native resolution).
// KWin answers with the picture's shape and writes its pixels into a pipe of
// ours; they are turned gray, bottom row first.
//
// KWin 5.27 knows no way to leave the caller's own surfaces out of the picture,
// so the masks over the window are taken down for the capture and put back
// after. KWin answers only programs whose desktop entry names the interface
// (X-KDE-DBUS-Restricted-Interfaces). Everything is bounded by one deadline: a
// KWin that refuses or never answers costs one log line per capture, and the
// whole window is the hole.

#include "platform/ports/WindowCapture.h"
#include "platform/ports/WindowList.h"
#include "platform/wayland/capture/PrivateQueue.h"

#include <QByteArray>
#include <QVariantMap>

#include <chrono>
#include <cstdint>
#include <optional>

namespace dimwell::wayland {

class MaskRoster;
class WaylandConnection;

/// KWin's picture (its metadata map and the pipe's bytes) of `shown`, a part of
/// a window at `bounds` (layout points), as that window's gray picture; nothing
/// for a picture of no shape or a format pattern mode does not read.
std::optional<CapturedWindow> grayFromKWinImage(const QVariantMap& meta, const QByteArray& pixels,
                                                const Rect& bounds, const Rect& shown);

class KWinWindowCapture final : public WindowCapture {
public:
    static constexpr std::chrono::milliseconds kDefaultTimeout{2000};

    KWinWindowCapture(WaylandConnection& connection, MaskRoster& masks, const WindowServer& windows,
                      std::chrono::milliseconds timeout = kDefaultTimeout);

    std::optional<CapturedWindow> captureGray(std::uint32_t windowNumber) override;

private:
    /// KWin's answer and the pipe's bytes for `area`; nothing (after a log line)
    /// when KWin refuses, does not answer in time, or writes less than it said.
    std::optional<std::pair<QVariantMap, QByteArray>> capture(const Rect& area, PrivateQueue::Clock::time_point deadline);
    /// Waits until KWin has handled every request sent so far (the masks taken down).
    bool synced(PrivateQueue::Clock::time_point deadline);

    WaylandConnection& connection_;
    MaskRoster& masks_;
    const WindowServer& windows_;
    std::chrono::milliseconds timeout_;
    PrivateQueue queue_;
};

} // namespace dimwell::wayland
