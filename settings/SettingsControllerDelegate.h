#pragma once
// What the settings window asks of the application: it stores a change, then
// tells the running overlay through these calls.

#include <cstdint>
#include <string>

namespace dimwell {

class LoginItemsList;

class SettingsControllerDelegate {
public:
    virtual ~SettingsControllerDelegate() = default;
    virtual void stopHotkeysDelegate() = 0;
    virtual void startHotkeysDelegate() = 0;
    virtual void resetMenuKeyEquivalents(const std::string& modeName, std::uint32_t keyCode,
                                         const std::string& character, std::uint64_t modifierMask) = 0;
    virtual void updateOpacity() = 0;
    virtual bool loginItemExistsWithLoginItemReference(LoginItemsList& list, const std::string& path) = 0;
    virtual void disableLoginItemWithLoginItemsReference(LoginItemsList& list, const std::string& path) = 0;
    virtual void enableLoginItemWithLoginItemsReference(LoginItemsList& list, const std::string& path) = 0;
    virtual void setCurrentOnly(bool on) = 0;
    virtual void setClickOut(bool on) = 0;
    virtual void setBringToFrontMode(bool on) = 0;
    virtual void nilOutSettingsController() = 0;
};

} // namespace dimwell
