#pragma once
// Displays described the way a test thinks of them: "1440x900+0+0,1920x1080+1440-180"
// (top-left space, one entry per display, in list order). Ids are 1, 2, … in that order.

#include "platform/ports/Displays.h"

#include <optional>
#include <string>
#include <vector>

namespace dimwell {

/// Change flags of the reconfiguration callback.
enum SimDisplayFlags : std::uint32_t {
    kDisplayBeginConfiguration = 1u << 0,
    kDisplayMoved = 1u << 1,
    kDisplaySetMain = 1u << 2,
    kDisplaySetMode = 1u << 3,
    kDisplayAdd = 1u << 4,
    kDisplayRemove = 1u << 5,
    kDisplayMirror = 1u << 10,
};

/// Parses "WxH+X+Y[,…]"; offsets may be negative ("+1440-180"). Throws on bad text.
std::vector<Rect> parseDisplaySpec(const std::string& spec);

class SimDisplays : public DisplayServer {
public:
    explicit SimDisplays(const std::string& spec = "1440x900+0+0");

    std::vector<DisplayInfo> activeDisplays() const override { return displays_; }
    DisplayId mainDisplayId() const override { return main_; }
    double mainScreenHeight() const override;
    void setReconfigurationCallback(ReconfigurationCallback callback) override { callback_ = std::move(callback); }

    /// Replaces the layout, keeping ids by position, the way a plug or unplug does:
    /// every old display is told before, every new one after. The main display
    /// stays if it survives, else becomes the first.
    void reconfigure(const std::string& spec);
    /// Makes `mirror` show what `of` shows (both join the mirror set). No callback.
    void mirror(DisplayId mirror, DisplayId of);
    void setMainDisplay(DisplayId id) { main_ = id; }
    /// What the main screen's frame reports, when it differs from the main display.
    void setMainScreenHeight(std::optional<double> h) { mainScreenHeight_ = h; }
    /// Delivers one notification as the platform would.
    void fire(DisplayId display, std::uint32_t flags);
    bool hasCallback() const { return static_cast<bool>(callback_); }

    /// Cocoa-space frame of display `id`, as the mask windows should cover it.
    Rect cocoaFrame(DisplayId id) const;
    const DisplayInfo* display(DisplayId id) const;

private:
    std::vector<DisplayInfo> displays_;
    DisplayId main_ = 1;
    std::optional<double> mainScreenHeight_;
    ReconfigurationCallback callback_;
};

} // namespace dimwell
