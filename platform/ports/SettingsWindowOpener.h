#pragma once
// Where the settings window comes from: the application asks for it, the
// window reports back through its delegate and says when it has closed.

namespace dimwell {

class SettingsControllerDelegate;

class SettingsWindowOpener {
public:
    virtual ~SettingsWindowOpener() = default;
    /// Builds the settings window reporting to `delegate`; false when none can be
    /// built. The window calls `nilOutSettingsController` as it closes.
    virtual bool open(SettingsControllerDelegate& delegate) = 0;
    virtual bool isOpen() const = 0;
    /// The window in front as the key window, this program ahead of the one the
    /// user was working in.
    virtual void bringToFront() = 0;
    /// Leaves any hotkey recorder the user is editing.
    virtual void resetFirstResponder() = 0;
};

} // namespace dimwell
