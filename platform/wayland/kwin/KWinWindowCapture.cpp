#include "platform/wayland/kwin/KWinWindowCapture.h"

#include "pattern/Luminance.h"
#include "platform/wayland/MaskRoster.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandMaskSurface.h"
#include "platform/wayland/WaylandOutput.h"
#include "platform/wayland/capture/VeilLifted.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>

#include <wayland-client.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <vector>

namespace dimwell::wayland {

namespace {

using Clock = PrivateQueue::Clock;

/// Where red, green and blue sit in a 32-bit pixel of a QImage format (by its
/// number); nothing for formats pattern mode does not read.
std::optional<ChannelShifts> shiftsOf(int qimageFormat) {
    constexpr bool little = std::endian::native == std::endian::little;
    switch (qimageFormat) {
    case 4:   // RGB32
    case 5:   // ARGB32
    case 6:   // ARGB32_Premultiplied: 0xAARRGGBB as a word
        return ChannelShifts{16, 8, 0};
    case 16:  // RGBX8888
    case 17:  // RGBA8888
    case 18:  // RGBA8888_Premultiplied: R, G, B, A as bytes
        return little ? ChannelShifts{0, 8, 16} : ChannelShifts{24, 16, 8};
    default:
        return std::nullopt;
    }
}

/// A file descriptor, closed when this goes.
class Fd {
public:
    explicit Fd(int fd = -1) : fd_(fd) {}
    ~Fd() { reset(); }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int get() const { return fd_; }
    void reset() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

private:
    int fd_;
};

/// Up to `wanted` bytes of the pipe, until KWin closes it or the deadline passes.
QByteArray readPipe(int fd, std::size_t wanted, Clock::time_point deadline) {
    QByteArray data;
    data.reserve(qsizetype(wanted));
    char chunk[65536];
    while (std::size_t(data.size()) < wanted) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd readable{fd, POLLIN, 0};
        if (left <= 0 || ::poll(&readable, 1, int(left)) <= 0) {
            break;
        }
        const ssize_t n = ::read(fd, chunk, std::min(sizeof chunk, wanted - std::size_t(data.size())));
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
            break;
        }
        if (n > 0) {
            data.append(chunk, n);
        }
    }
    return data;
}

/// The outputs a copy of `area` reads from.
std::vector<std::uint32_t> outputsUnder(const WaylandConnection& connection, const Rect& area) {
    std::vector<std::uint32_t> outputs;
    for (const WaylandOutput* o : connection.outputs()) {
        if (!intersection(o->logical(), area).isEmpty()) {
            outputs.push_back(o->globalName());
        }
    }
    return outputs;
}

void syncDone(void* data, wl_callback*, uint32_t) { *static_cast<bool*>(data) = true; }
constexpr wl_callback_listener kSyncListener{syncDone};

} // namespace

std::optional<CapturedWindow> grayFromKWinImage(const QVariantMap& meta, const QByteArray& pixels,
                                                const Rect& bounds, const Rect& shown) {
    const qint64 width = meta.value(QStringLiteral("width")).toLongLong();
    const qint64 height = meta.value(QStringLiteral("height")).toLongLong();
    const qint64 stride = meta.value(QStringLiteral("stride")).toLongLong();
    const std::optional<ChannelShifts> shifts = shiftsOf(meta.value(QStringLiteral("format")).toInt());
    if (!shifts || width < 1 || height < 1 || width > 32767 || height > 32767 || stride < width * 4 ||
        pixels.size() < stride * height || shown.width < 1 || shown.height < 1) {
        return std::nullopt;
    }
    // The picture covers the shown part; it sits in the window's picture at its offset.
    const double scale = double(width) / std::lround(shown.width);
    CapturedWindow captured{GrayBitmap(std::int32_t(std::lround(bounds.width * scale)),
                                       std::int32_t(std::lround(bounds.height * scale))),
                            scale};
    GrayBitmap& out = captured.bitmap;
    const std::int32_t left = std::int32_t(std::lround((shown.x - bounds.x) * scale));
    const std::int32_t top = std::int32_t(std::lround((shown.y - bounds.y) * scale));
    const std::int32_t columns = std::min(std::int32_t(width), out.pixelsWide - left);
    std::vector<std::uint32_t> row(static_cast<std::size_t>(width));
    for (std::int32_t r = 0; r < height && top + r < out.pixelsHigh && columns > 0; ++r) {
        std::memcpy(row.data(), pixels.constData() + r * stride, std::size_t(width) * 4);
        grayRow(row.data(), columns, *shifts, &out.at(left, out.pixelsHigh - 1 - (top + r)));
    }
    return captured;
}

KWinWindowCapture::KWinWindowCapture(WaylandConnection& connection, MaskRoster& masks, const WindowServer& windows,
                                     std::chrono::milliseconds timeout)
    : connection_(connection), masks_(masks), windows_(windows), timeout_(timeout), queue_(connection.display()) {}

std::optional<CapturedWindow> KWinWindowCapture::captureGray(std::uint32_t windowNumber) {
    if (windowNumber == 0 || connection_.failed() || !queue_.valid()) {
        return std::nullopt;
    }
    std::optional<Rect> bounds;
    for (const WindowInfo& w : windows_.onScreenWindows()) {
        if (w.windowNumber == windowNumber) {
            bounds = w.bounds;
            break;
        }
    }
    if (!bounds) {
        return std::nullopt;
    }
    // The output that shows most of the window, as on other compositors; the
    // rest of it stays black.
    Rect shown;
    for (const WaylandOutput* o : connection_.outputs()) {
        const Rect common = intersection(o->logical(), *bounds);
        if (common.width * common.height > shown.width * shown.height) {
            shown = common;
        }
    }
    const Rect area{std::round(shown.x), std::round(shown.y), std::round(shown.width), std::round(shown.height)};
    if (area.width < 1 || area.height < 1) {
        return std::nullopt;
    }
    const Clock::time_point deadline = Clock::now() + timeout_;
    std::optional<std::pair<QVariantMap, QByteArray>> picture;
    {
        const VeilLifted lifted(masks_, outputsUnder(connection_, area));
        if (synced(deadline)) {
            picture = capture(area, deadline);
        }
    }
    wl_display_flush(connection_.display());
    if (!picture) {
        return std::nullopt;
    }
    std::optional<CapturedWindow> gray = grayFromKWinImage(picture->first, picture->second, *bounds, area);
    if (!gray) {
        connection_.log().write(formatString(
            "KWin: the window's picture is of no shape or format pattern mode reads (format %d): the whole window "
            "is the hole",
            picture->first.value(QStringLiteral("format")).toInt()));
    }
    return gray;
}

bool KWinWindowCapture::synced(Clock::time_point deadline) {
    wl_callback* sync = queue_.through<wl_callback>(connection_.display(), [](void* display) {
        return wl_display_sync(static_cast<wl_display*>(display));
    });
    if (!sync) {
        return false;
    }
    bool done = false;
    wl_callback_add_listener(sync, &kSyncListener, &done);
    const bool answered = queue_.waitUntil([&done] { return done; }, deadline);
    wl_callback_destroy(sync);
    return answered;
}

std::optional<std::pair<QVariantMap, QByteArray>> KWinWindowCapture::capture(const Rect& area,
                                                                             Clock::time_point deadline) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        connection_.log().write("KWin: no pipe for the window's picture: the whole window is the hole");
        return std::nullopt;
    }
    Fd readEnd(ends[0]);
    Fd writeEnd(ends[1]);
    // Only our end waits without blocking; KWin's end keeps its own flags.
    ::fcntl(readEnd.get(), F_SETFL, ::fcntl(readEnd.get(), F_GETFL) | O_NONBLOCK);
    QVariantMap meta;
    QString refusal;
    {
        // The call and its reply hold copies of the write end: both go before the
        // pipe is read, or it would never end.
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.kde.KWin"), QStringLiteral("/org/kde/KWin/ScreenShot2"),
            QStringLiteral("org.kde.KWin.ScreenShot2"), QStringLiteral("CaptureArea"));
        call.setArguments({qint32(area.x), qint32(area.y), quint32(area.width), quint32(area.height),
                           QVariantMap{{QStringLiteral("include-cursor"), false},
                                       {QStringLiteral("native-resolution"), true}},
                           QVariant::fromValue(QDBusUnixFileDescriptor(writeEnd.get()))});
        writeEnd.reset();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        const QDBusMessage reply = QDBusConnection::sessionBus().call(call, QDBus::Block, int(std::max<qint64>(left, 1)));
        if (reply.type() == QDBusMessage::ReplyMessage) {
            meta = qdbus_cast<QVariantMap>(reply.arguments().value(0));
        } else {
            refusal = reply.errorMessage().isEmpty() ? reply.errorName() : reply.errorMessage();
        }
    }
    if (!refusal.isEmpty() || meta.isEmpty()) {
        connection_.log().write(formatString("KWin: no picture of the window through ScreenShot2 (%s): the whole "
                                             "window is the hole",
                                             refusal.isEmpty() ? "no answer" : qUtf8Printable(refusal)));
        return std::nullopt;
    }
    const qint64 size = meta.value(QStringLiteral("stride")).toLongLong() * meta.value(QStringLiteral("height")).toLongLong();
    if (size < 1 || size > qint64(1) << 31) {
        connection_.log().write("KWin: the window's picture has no sound size: the whole window is the hole");
        return std::nullopt;
    }
    QByteArray pixels = readPipe(readEnd.get(), std::size_t(size), deadline);
    if (pixels.size() < size) {
        connection_.log().write(formatString("KWin: the window's picture ended after %lld of %lld bytes: the whole "
                                             "window is the hole",
                                             static_cast<long long>(pixels.size()), static_cast<long long>(size)));
        return std::nullopt;
    }
    return std::pair{meta, std::move(pixels)};
}

} // namespace dimwell::wayland
