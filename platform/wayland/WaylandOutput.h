#pragma once
// One monitor as the compositor announces it: its wl_output for the scale and
// its xdg-output for where it sits in the layout, in logical points.

#include "common/Geometry.h"

#include <cstdint>
#include <functional>
#include <string>

struct wl_output;
struct zxdg_output_v1;
struct zxdg_output_manager_v1;

namespace dimwell::wayland {

class WaylandOutput {
public:
    WaylandOutput(wl_output* output, std::uint32_t globalName, std::uint32_t version);
    ~WaylandOutput();
    WaylandOutput(const WaylandOutput&) = delete;
    WaylandOutput& operator=(const WaylandOutput&) = delete;

    /// Asks for the layout position; once, when the manager is known.
    void describeWith(zxdg_output_manager_v1* manager);
    /// Called after each complete, changed description.
    void setChanged(std::function<void(WaylandOutput&)> changed) { changed_ = std::move(changed); }

    wl_output* handle() const { return output_; }
    std::uint32_t globalName() const { return globalName_; }
    const std::string& name() const { return name_; }
    /// Top-left space of the layout, logical points; empty until described.
    const Rect& logical() const { return logical_; }
    int scale() const { return scale_; }
    bool ready() const { return ready_; }

private:
    struct Listeners;
    void done();

    wl_output* output_;
    zxdg_output_v1* xdg_ = nullptr;
    std::uint32_t globalName_;
    std::uint32_t version_;
    std::function<void(WaylandOutput&)> changed_;
    std::string name_;
    Rect logical_;
    Rect pending_;
    int scale_ = 1;
    int pendingScale_ = 1;
    bool ready_ = false;
};

} // namespace dimwell::wayland
