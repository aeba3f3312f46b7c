#include "platform/wayland/WaylandDisplays.h"

namespace dimwell::wayland {

WaylandDisplays::WaylandDisplays(WaylandConnection& connection) : connection_(connection) {
    // Any output that comes, goes or moves changes the desktop's shape, so it is
    // reported for the main display: that is the one the controller rebuilds for.
    connection_.setOutputsChanged([this](std::uint32_t /*output*/, OutputChange change) {
        if (callback_) {
            const ReconfigurationCallback callback = callback_;
            callback(mainDisplayId(), change == OutputChange::Added     ? kDisplayAdded
                                      : change == OutputChange::Removed ? kDisplayRemoved
                                                                        : 0u);
        }
    });
}

WaylandDisplays::~WaylandDisplays() { connection_.setOutputsChanged(nullptr); }

std::vector<DisplayInfo> WaylandDisplays::activeDisplays() const {
    std::vector<DisplayInfo> displays;
    for (const WaylandOutput* output : connection_.outputs()) {
        DisplayInfo info;
        info.id = output->globalName();
        info.bounds = output->logical();
        displays.push_back(info);
    }
    return displays;
}

DisplayId WaylandDisplays::mainDisplayId() const {
    const auto outputs = connection_.outputs();
    for (const WaylandOutput* output : outputs) {
        if (output->logical().x == 0.0 && output->logical().y == 0.0) {
            return output->globalName();
        }
    }
    return outputs.empty() ? 0 : outputs.front()->globalName();
}

double WaylandDisplays::mainScreenHeight() const {
    const WaylandOutput* main = connection_.output(mainDisplayId());
    return main ? main->logical().height : 0.0;
}

void WaylandDisplays::setReconfigurationCallback(ReconfigurationCallback callback) {
    callback_ = std::move(callback);
}

} // namespace dimwell::wayland
