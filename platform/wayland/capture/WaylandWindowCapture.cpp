#include "platform/wayland/capture/WaylandWindowCapture.h"

#include "pattern/Luminance.h"
#include "platform/wayland/MaskRoster.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandMaskSurface.h"
#include "platform/wayland/capture/CursorCover.h"
#include "platform/wayland/capture/VeilLifted.h"

#include "wlr-screencopy-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace dimwell::wayland {

namespace {

using Clock = std::chrono::steady_clock;

/// The registry's answer: the screencopy global, if any.
struct Globals {
    std::uint32_t name = 0;
    std::uint32_t version = 0;
    bool synced = false;
};

void registryGlobal(void* data, wl_registry*, uint32_t name, const char* interface, uint32_t version) {
    if (std::strcmp(interface, zwlr_screencopy_manager_v1_interface.name) == 0) {
        static_cast<Globals*>(data)->name = name;
        static_cast<Globals*>(data)->version = version;
    }
}
void registryRemove(void*, wl_registry*, uint32_t) {}
constexpr wl_registry_listener kRegistryListener{registryGlobal, registryRemove};

void syncDone(void* data, wl_callback*, uint32_t) { static_cast<Globals*>(data)->synced = true; }
constexpr wl_callback_listener kSyncListener{syncDone};

/// Where red, green and blue sit in a 32-bit pixel of a screencopy format;
/// nothing for formats pattern mode does not read.
std::optional<ChannelShifts> shiftsOf(std::uint32_t format) {
    switch (format) {
    case WL_SHM_FORMAT_ARGB8888:
    case WL_SHM_FORMAT_XRGB8888:
        return ChannelShifts{16, 8, 0};
    case WL_SHM_FORMAT_ABGR8888:
    case WL_SHM_FORMAT_XBGR8888:
        return ChannelShifts{0, 8, 16};
    default:
        return std::nullopt;
    }
}

/// Shared memory the compositor copies into, and its wl_buffer.
class CopyBuffer {
public:
    static std::unique_ptr<CopyBuffer> create(wl_shm* shm, std::uint32_t format, std::int32_t width,
                                              std::int32_t height, std::int32_t stride) {
        const std::size_t size = std::size_t(stride) * std::size_t(height);
        const int fd = memfd_create("dimwell-capture", MFD_CLOEXEC);
        if (fd < 0) {
            return nullptr;
        }
        if (ftruncate(fd, off_t(size)) != 0) {
            close(fd);
            return nullptr;
        }
        void* data = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (data == MAP_FAILED) {
            close(fd);
            return nullptr;
        }
        wl_shm_pool* pool = wl_shm_create_pool(shm, fd, std::int32_t(size));
        wl_buffer* buffer = wl_shm_pool_create_buffer(pool, 0, width, height, stride, format);
        wl_shm_pool_destroy(pool);
        close(fd);
        return std::unique_ptr<CopyBuffer>(new CopyBuffer(data, size, buffer));
    }
    ~CopyBuffer() {
        wl_buffer_destroy(buffer_);
        munmap(data_, size_);
    }
    CopyBuffer(const CopyBuffer&) = delete;
    CopyBuffer& operator=(const CopyBuffer&) = delete;

    wl_buffer* handle() const { return buffer_; }
    const std::uint8_t* bytes() const { return static_cast<const std::uint8_t*>(data_); }

private:
    CopyBuffer(void* data, std::size_t size, wl_buffer* buffer) : data_(data), size_(size), buffer_(buffer) {}
    void* data_;
    std::size_t size_;
    wl_buffer* buffer_;
};

} // namespace

/// What the compositor said about one copy.
struct WaylandWindowCapture::Frame {
    std::uint32_t version = 0;
    std::uint32_t format = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t stride = 0;
    std::uint32_t flags = 0;
    bool shmOffered = false;
    bool described = false;   ///< every buffer kind was offered
    bool ready = false;
    bool failed = false;

    static void buffer(void* data, zwlr_screencopy_frame_v1*, uint32_t format, uint32_t width, uint32_t height,
                       uint32_t stride) {
        auto& f = *static_cast<Frame*>(data);
        f.format = format;
        f.width = width;
        f.height = height;
        f.stride = stride;
        f.shmOffered = true;
        // Before version 3 the shared-memory offer is the only one.
        f.described = f.described || f.version < 3;
    }
    static void flagsEvent(void* data, zwlr_screencopy_frame_v1*, uint32_t flags) {
        static_cast<Frame*>(data)->flags = flags;
    }
    static void readyEvent(void* data, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) {
        static_cast<Frame*>(data)->ready = true;
    }
    static void failedEvent(void* data, zwlr_screencopy_frame_v1*) { static_cast<Frame*>(data)->failed = true; }
    static void damage(void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t, uint32_t) {}
    static void dmabuf(void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) {}
    static void bufferDone(void* data, zwlr_screencopy_frame_v1*) { static_cast<Frame*>(data)->described = true; }
    static constexpr zwlr_screencopy_frame_v1_listener listener{buffer, flagsEvent, readyEvent, failedEvent,
                                                                damage, dmabuf, bufferDone};
};

std::unique_ptr<WaylandWindowCapture> WaylandWindowCapture::create(WaylandConnection& connection, MaskRoster& masks,
                                                                   const WindowServer& windows,
                                                                   std::chrono::milliseconds timeout) {
    std::unique_ptr<WaylandWindowCapture> capture(new WaylandWindowCapture(connection, masks, windows, timeout));
    const PrivateQueue& queue = capture->queue_;
    if (!queue.valid()) {
        return nullptr;
    }
    // The registry and everything made from it answer on the capture's own queue.
    wl_registry* registry = queue.through<wl_registry>(connection.display(), [](void* display) {
        return wl_display_get_registry(static_cast<wl_display*>(display));
    });
    wl_callback* sync = queue.through<wl_callback>(connection.display(), [](void* display) {
        return wl_display_sync(static_cast<wl_display*>(display));
    });
    if (!registry || !sync) {
        return nullptr;
    }
    Globals globals;
    wl_registry_add_listener(registry, &kRegistryListener, &globals);
    wl_callback_add_listener(sync, &kSyncListener, &globals);
    const bool answered = queue.waitUntil([&globals] { return globals.synced; }, Clock::now() + timeout);
    wl_callback_destroy(sync);
    if (answered && globals.name != 0) {
        capture->version_ = std::min<std::uint32_t>(globals.version, 3);
        capture->manager_ = static_cast<zwlr_screencopy_manager_v1*>(
            wl_registry_bind(registry, globals.name, &zwlr_screencopy_manager_v1_interface, capture->version_));
    }
    wl_registry_destroy(registry);
    return capture->manager_ ? std::move(capture) : nullptr;
}

WaylandWindowCapture::WaylandWindowCapture(WaylandConnection& connection, MaskRoster& masks,
                                           const WindowServer& windows, std::chrono::milliseconds timeout)
    : connection_(connection), masks_(masks), windows_(windows), timeout_(timeout), queue_(connection.display()) {}

WaylandWindowCapture::~WaylandWindowCapture() {
    if (manager_) {
        zwlr_screencopy_manager_v1_destroy(manager_);
    }
}

std::optional<CapturedWindow> WaylandWindowCapture::captureGray(std::uint32_t windowNumber) {
    if (windowNumber == 0 || connection_.failed()) {
        return std::nullopt;
    }
    std::optional<Rect> bounds;
    for (const WindowInfo& w : windows_.onScreenWindows()) {
        if (w.windowNumber == windowNumber) {
            bounds = w.bounds;
            break;
        }
    }
    if (!bounds || bounds->width < 1 || bounds->height < 1) {
        return std::nullopt;
    }
    // The output that shows most of the window; the rest of it stays black.
    const WaylandOutput* output = nullptr;
    Rect shown;
    for (const WaylandOutput* o : connection_.outputs()) {
        const Rect common = intersection(o->logical(), *bounds);
        if (!common.isEmpty() && common.width * common.height > shown.width * shown.height) {
            output = o;
            shown = common;
        }
    }
    if (!output) {
        return std::nullopt;
    }
    const Rect& place = output->logical();
    const std::int32_t rx = std::int32_t(std::lround(shown.x - place.x));
    const std::int32_t ry = std::int32_t(std::lround(shown.y - place.y));
    const std::int32_t rw = std::int32_t(std::lround(shown.width));
    const std::int32_t rh = std::int32_t(std::lround(shown.height));
    if (rw < 1 || rh < 1) {
        return std::nullopt;
    }

    const Clock::time_point deadline = Clock::now() + timeout_;
    const VeilLifted lifted(masks_, {output->globalName()});
    const CursorCover cover(connection_, queue_, *output, deadline);
    Frame frame;
    frame.version = version_;
    zwlr_screencopy_frame_v1* request =
        zwlr_screencopy_manager_v1_capture_output_region(manager_, 0, output->handle(), rx, ry, rw, rh);
    zwlr_screencopy_frame_v1_add_listener(request, &Frame::listener, &frame);
    std::unique_ptr<CopyBuffer> buffer;
    bool copied = queue_.waitUntil([&frame] { return frame.described || frame.failed; }, deadline) && !frame.failed &&
                  frame.shmOffered;
    const std::optional<ChannelShifts> shifts = shiftsOf(frame.format);
    if (copied && !shifts && !toldFormat_) {
        toldFormat_ = true;
        connection_.log().write("Wayland: the compositor copies the screen in a pixel format pattern mode does not "
                                "read; the whole window is the hole");
    }
    copied = copied && shifts && frame.width > 0 && frame.height > 0 && frame.stride >= frame.width * 4 &&
             frame.width <= 32767 && frame.height <= 32767;
    if (copied) {
        buffer = CopyBuffer::create(connection_.shm(), frame.format, std::int32_t(frame.width),
                                    std::int32_t(frame.height), std::int32_t(frame.stride));
        copied = buffer != nullptr;
    }
    if (copied) {
        zwlr_screencopy_frame_v1_copy(request, buffer->handle());
        copied = queue_.waitUntil([&frame] { return frame.ready || frame.failed; }, deadline) && frame.ready;
    }
    zwlr_screencopy_frame_v1_destroy(request);
    wl_display_flush(connection_.display());
    if (!copied) {
        return std::nullopt;
    }

    // The copy covers the shown part; it sits in the window's picture at its offset.
    const double scale = double(frame.width) / rw;
    CapturedWindow captured{GrayBitmap(std::int32_t(std::lround(bounds->width * scale)),
                                       std::int32_t(std::lround(bounds->height * scale))),
                            scale};
    GrayBitmap& out = captured.bitmap;
    const std::int32_t left = std::int32_t(std::lround((shown.x - bounds->x) * scale));
    const std::int32_t top = std::int32_t(std::lround((shown.y - bounds->y) * scale));
    const std::int32_t columns = std::min(std::int32_t(frame.width), out.pixelsWide - left);
    const bool inverted = frame.flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT;
    std::vector<std::uint32_t> row(frame.width);
    for (std::int32_t r = 0; r < std::int32_t(frame.height) && top + r < out.pixelsHigh && columns > 0; ++r) {
        const std::int32_t source = inverted ? std::int32_t(frame.height) - 1 - r : r;
        std::memcpy(row.data(), buffer->bytes() + std::size_t(source) * frame.stride, std::size_t(frame.width) * 4);
        grayRow(row.data(), columns, *shifts, &out.at(left, out.pixelsHigh - 1 - (top + r)));
    }
    return captured;
}

} // namespace dimwell::wayland
