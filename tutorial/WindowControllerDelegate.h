#pragma once

namespace dimwell {

/// What the tutorial window's controller may ask of the program that made it.
class WindowControllerDelegate {
public:
    virtual ~WindowControllerDelegate() = default;
    /// Forget the controller (the window is gone for good).
    virtual void nilOutController() = 0;
};

} // namespace dimwell
