#pragma once
// The display list on Wayland: the described outputs, in logical points of the
// compositor's layout. The main display is the one at the layout's origin.

#include "platform/ports/Displays.h"
#include "platform/wayland/WaylandConnection.h"

namespace dimwell::wayland {

/// Reconfiguration flags, one call per affected output after the change.
enum : std::uint32_t { kDisplayAdded = 1u << 4, kDisplayRemoved = 1u << 5 };

class WaylandDisplays : public DisplayServer {
public:
    explicit WaylandDisplays(WaylandConnection& connection);
    ~WaylandDisplays() override;

    std::vector<DisplayInfo> activeDisplays() const override;
    DisplayId mainDisplayId() const override;
    double mainScreenHeight() const override;
    void setReconfigurationCallback(ReconfigurationCallback callback) override;

private:
    WaylandConnection& connection_;
    ReconfigurationCallback callback_;
};

} // namespace dimwell::wayland
