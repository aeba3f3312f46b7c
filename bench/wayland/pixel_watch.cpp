// Watches one pixel of the first output frame by frame with wlr-screencopy and
// prints "SECONDS R G B" (CLOCK_MONOTONIC when the frame's copy arrived) each time
// it changes; "ready" once the first frame is read. Runs until killed.
//
//   dimwell_pixel_watch X Y      (output pixels)

#include "wlr-screencopy-unstable-v1-client-protocol.h"

#include <wayland-client.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

struct Watch {
    wl_shm* shm = nullptr;
    wl_output* output = nullptr;
    zwlr_screencopy_manager_v1* manager = nullptr;
    std::uint32_t format = 0, width = 0, height = 0, stride = 0;
    bool described = false, ready = false, failed = false;
};

void global(void* data, wl_registry* registry, uint32_t name, const char* interface, uint32_t version) {
    auto& w = *static_cast<Watch*>(data);
    if (std::strcmp(interface, wl_shm_interface.name) == 0) {
        w.shm = static_cast<wl_shm*>(wl_registry_bind(registry, name, &wl_shm_interface, 1));
    } else if (std::strcmp(interface, wl_output_interface.name) == 0 && !w.output) {
        w.output = static_cast<wl_output*>(wl_registry_bind(registry, name, &wl_output_interface, 1));
    } else if (std::strcmp(interface, zwlr_screencopy_manager_v1_interface.name) == 0) {
        w.manager = static_cast<zwlr_screencopy_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_screencopy_manager_v1_interface, version < 3 ? version : 3));
    }
}
void globalRemove(void*, wl_registry*, uint32_t) {}
constexpr wl_registry_listener registryListener{global, globalRemove};

void buffer(void* data, zwlr_screencopy_frame_v1* frame, uint32_t format, uint32_t width, uint32_t height,
            uint32_t stride) {
    auto& w = *static_cast<Watch*>(data);
    w.format = format;
    w.width = width;
    w.height = height;
    w.stride = stride;
    w.described = w.described || zwlr_screencopy_frame_v1_get_version(frame) < 3;
}
void flags(void*, zwlr_screencopy_frame_v1*, uint32_t) {}
void ready(void* data, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) { static_cast<Watch*>(data)->ready = true; }
void failed(void* data, zwlr_screencopy_frame_v1*) { static_cast<Watch*>(data)->failed = true; }
void damage(void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t, uint32_t) {}
void dmabuf(void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) {}
void bufferDone(void* data, zwlr_screencopy_frame_v1*) { static_cast<Watch*>(data)->described = true; }
constexpr zwlr_screencopy_frame_v1_listener frameListener{buffer, flags, ready, failed, damage, dmabuf, bufferDone};

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s X Y\n", argv[0]);
        return 2;
    }
    const int x = std::atoi(argv[1]);
    const int y = std::atoi(argv[2]);
    wl_display* display = wl_display_connect(nullptr);
    if (!display) {
        std::fprintf(stderr, "pixel_watch: no Wayland compositor\n");
        return 1;
    }
    Watch w;
    wl_registry_add_listener(wl_display_get_registry(display), &registryListener, &w);
    wl_display_roundtrip(display);
    if (!w.shm || !w.output || !w.manager) {
        std::fprintf(stderr, "pixel_watch: the compositor offers no screencopy\n");
        return 1;
    }
    wl_buffer* target = nullptr;
    const std::uint8_t* pixels = nullptr;
    std::uint32_t last = 0xffffffffu;
    for (bool first = true;; first = false) {
        w.described = w.ready = w.failed = false;
        zwlr_screencopy_frame_v1* frame = zwlr_screencopy_manager_v1_capture_output_region(w.manager, 0, w.output, x, y, 1, 1);
        zwlr_screencopy_frame_v1_add_listener(frame, &frameListener, &w);
        while (!w.described && !w.failed && wl_display_dispatch(display) >= 0) {
        }
        if (!target && !w.failed) {
            const std::size_t size = std::size_t(w.stride) * w.height;
            const int fd = memfd_create("pixel-watch", MFD_CLOEXEC);
            if (fd < 0 || ftruncate(fd, off_t(size)) != 0) {
                return 1;
            }
            pixels = static_cast<const std::uint8_t*>(mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0));
            wl_shm_pool* pool = wl_shm_create_pool(w.shm, fd, int(size));
            target = wl_shm_pool_create_buffer(pool, 0, int(w.width), int(w.height), int(w.stride), w.format);
            wl_shm_pool_destroy(pool);
            close(fd);
        }
        if (!w.failed) {
            zwlr_screencopy_frame_v1_copy(frame, target);
        }
        while (!w.ready && !w.failed && wl_display_dispatch(display) >= 0) {
        }
        zwlr_screencopy_frame_v1_destroy(frame);
        if (w.failed) {
            std::fprintf(stderr, "pixel_watch: a copy failed\n");
            return 1;
        }
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        std::uint32_t p = 0;
        std::memcpy(&p, pixels, 4);
        const bool bgr = w.format == WL_SHM_FORMAT_XBGR8888 || w.format == WL_SHM_FORMAT_ABGR8888;
        const unsigned r = bgr ? p & 0xff : (p >> 16) & 0xff, g = (p >> 8) & 0xff, b = bgr ? (p >> 16) & 0xff : p & 0xff;
        if ((p & 0xffffffu) != last) {
            last = p & 0xffffffu;
            std::printf("%ld.%09ld %u %u %u\n", long(now.tv_sec), now.tv_nsec, r, g, b);
        }
        if (first) {
            std::printf("ready\n");
        }
        std::fflush(stdout);
    }
}
