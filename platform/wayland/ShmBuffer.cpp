#include "platform/wayland/ShmBuffer.h"

#include <wayland-client.h>

#include <sys/mman.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace dimwell::wayland {

struct ShmBuffer::Listeners {
    static void release(void* data, wl_buffer*) { static_cast<ShmBuffer*>(data)->busy_ = false; }
    static constexpr wl_buffer_listener buffer{release};
};

std::unique_ptr<ShmBuffer> ShmBuffer::create(wl_shm* shm, int width, int height, LogSink& log) {
    Logger logger(log);
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) {
        logger("Wayland: no mask buffer of %dx%d pixels", width, height);
        return nullptr;
    }
    const std::size_t size = static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4;
    const int fd = memfd_create("dimwell-mask", MFD_CLOEXEC);
    if (fd < 0) {
        logger("Wayland: no shared memory for a mask (%s)", std::strerror(errno));
        return nullptr;
    }
    if (ftruncate(fd, static_cast<off_t>(size)) != 0) {
        logger("Wayland: cannot size %zu bytes of shared memory for a mask (%s)", size, std::strerror(errno));
        close(fd);
        return nullptr;
    }
    void* data = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
    if (data == MAP_FAILED) {
        logger("Wayland: cannot map a mask's shared memory (%s)", std::strerror(errno));
        close(fd);
        return nullptr;
    }
    std::unique_ptr<ShmBuffer> buffer(new ShmBuffer(data, size, width, height));
    // The request carries a duplicate of the descriptor, so ours can go at once.
    wl_shm_pool* pool = wl_shm_create_pool(shm, fd, static_cast<int32_t>(size));
    buffer->buffer_ = wl_shm_pool_create_buffer(pool, 0, width, height, width * 4, WL_SHM_FORMAT_ARGB8888);
    wl_shm_pool_destroy(pool);
    close(fd);
    wl_buffer_add_listener(buffer->buffer_, &Listeners::buffer, buffer.get());
    return buffer;
}

ShmBuffer::ShmBuffer(void* data, std::size_t size, int width, int height)
    : data_(data), size_(size), width_(width), height_(height) {}

ShmBuffer::~ShmBuffer() {
    if (buffer_) {
        wl_buffer_destroy(buffer_);
    }
    munmap(data_, size_);
}

} // namespace dimwell::wayland
