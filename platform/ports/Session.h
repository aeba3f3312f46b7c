#pragma once
// What the overlay needs of the desktop session: trust, the one modal alert and
// the workspace.

#include <cstdint>
#include <string>

namespace dimwell {

class AccessibilityTrust {
public:
    virtual ~AccessibilityTrust() = default;
    /// The process may filter other programs' input and read their windows.
    virtual bool isTrusted() const = 0;
};

class AlertPresenter {
public:
    virtual ~AlertPresenter() = default;
    /// Runs a modal critical alert; true when the default button was chosen.
    virtual bool runCriticalAlert(const std::string& title, const std::string& message,
                                  const std::string& defaultButton, const std::string& alternateButton) = 0;
};

struct ActiveApplication {
    std::int32_t processIdentifier = 0;
    std::string name;
};

class Workspace {
public:
    virtual ~Workspace() = default;
    /// Opens a file or settings location with the desktop's handler.
    virtual bool openFile(const std::string& path) = 0;
    virtual ActiveApplication activeApplication() const = 0;
};

} // namespace dimwell
