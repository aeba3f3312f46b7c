#pragma once
// One wl_shm buffer in memory of its own, ARGB8888, and what it currently
// shows: a mask keeps two and paints into whichever the compositor released.

#include "common/Log.h"
#include "mask/MaskPicture.h"

#include <cstdint>
#include <memory>

struct wl_buffer;
struct wl_shm;

namespace dimwell::wayland {

class ShmBuffer {
public:
    /// Nothing, with one log line, when the memory or the buffer cannot be had.
    static std::unique_ptr<ShmBuffer> create(wl_shm* shm, int width, int height, LogSink& log);
    ~ShmBuffer();
    ShmBuffer(const ShmBuffer&) = delete;
    ShmBuffer& operator=(const ShmBuffer&) = delete;

    wl_buffer* handle() const { return buffer_; }
    std::uint32_t* pixels() const { return static_cast<std::uint32_t*>(data_); }
    int width() const { return width_; }
    int height() const { return height_; }
    int stride() const { return width_; }  ///< in pixels

    /// Attached and not yet released by the compositor.
    bool busy() const { return busy_; }
    void setBusy() { busy_ = true; }

    /// The picture the pixels hold at `scale` pixels per point; absent for
    /// fresh memory, or when they were painted at another scale (the same
    /// memory can hold an output at half the size and twice the scale).
    const Picture* picture(int scale) const { return hasPicture_ && scale == scale_ ? &picture_ : nullptr; }
    void setPicture(Picture picture, int scale) {
        picture_ = std::move(picture);
        scale_ = scale;
        hasPicture_ = true;
    }

private:
    struct Listeners;
    ShmBuffer(void* data, std::size_t size, int width, int height);

    void* data_;
    std::size_t size_;
    int width_;
    int height_;
    wl_buffer* buffer_ = nullptr;
    bool busy_ = false;
    Picture picture_;
    int scale_ = 1;
    bool hasPicture_ = false;
};

} // namespace dimwell::wayland
