#include "app/RemoteActions.h"

#include "app/AppDelegate.h"
#include "app/Preferences.h"

#include <algorithm>

namespace dimwell {

namespace remote {
inline constexpr const char* settings = "settings";
inline constexpr const char* tutorial = "tutorial";
inline constexpr const char* quit = "quit";
} // namespace remote

namespace {

struct Summary {
    const char* name;
    const char* text;
};

constexpr Summary summaries[] = {
    {mode::selectMode, "drag out the clear rectangle"},
    {mode::closeOverlay, "close the overlay"},
    {mode::patternMode, "clear the panel found by its borders"},
    {mode::windowMode, "clear a window"},
    {mode::viewMode, "clear the control under the pointer"},
    {mode::increaseOpacity, "darken the veil"},
    {mode::decreaseOpacity, "lighten the veil"},
    {mode::clickoutToggle, "switch closing by a click on the veil on or off"},
    {remote::settings, "open the settings window"},
    {remote::tutorial, "open the tutorial"},
    {remote::quit, "quit Dimwell"},
};

} // namespace

const std::vector<std::string>& remoteActionNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> all = modeNames();
        all.insert(all.end(), {remote::settings, remote::tutorial, remote::quit});
        return all;
    }();
    return names;
}

std::string remoteActionSummary(const std::string& name) {
    for (const Summary& s : summaries) {
        if (name == s.name) {
            return s.text;
        }
    }
    return {};
}

bool isRemoteAction(const std::string& name) {
    const auto& names = remoteActionNames();
    return std::find(names.begin(), names.end(), name) != names.end();
}

bool performRemoteAction(AppDelegate& delegate, const std::string& name) {
    if (const std::uint32_t id = hotkeyIdForMode(name); id != 0) {
        // Through the hotkey dispatch, so that "bringtofront" picks the variant
        // exactly as a key press would. Before launching has finished there is
        // no overlay to act on.
        if (AppController* controller = delegate.appcontroller()) {
            controller->hotkeyPressed({0x68746B30u + id, id}); // 'htk1' .. 'htk8'
        }
        return true;
    }
    if (name == remote::settings) {
        delegate.performMenuAction(MenuItemRole::Settings);
    } else if (name == remote::tutorial) {
        delegate.performMenuAction(MenuItemRole::Help);
    } else if (name == remote::quit) {
        delegate.performMenuAction(MenuItemRole::Quit);
    } else {
        return false;
    }
    return true;
}

} // namespace dimwell
