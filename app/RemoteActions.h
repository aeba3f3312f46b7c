#pragma once
// What another program may ask a running Dimwell to do: the eight shortcut
// actions by their mode names, and the settings, tutorial and quit items of
// the status menu.

#include <string>
#include <vector>

namespace dimwell {

class AppDelegate;

/// The mode names in hotkey-id order, then "settings", "tutorial", "quit".
const std::vector<std::string>& remoteActionNames();

/// One line on what `name` does, for the command line's help; empty for a non-action.
std::string remoteActionSummary(const std::string& name);

bool isRemoteAction(const std::string& name);

/// Does what the shortcut or menu item of `name` does. A shortcut action runs
/// as a press of that hotkey would, whether or not the shortcut is switched on.
/// False, doing nothing, for a name that is not an action.
bool performRemoteAction(AppDelegate& delegate, const std::string& name);

} // namespace dimwell
