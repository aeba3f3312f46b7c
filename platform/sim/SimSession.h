#pragma once
// The desktop session: accessibility trust, the modal alert and the workspace.

#include "platform/ports/Session.h"

#include <functional>
#include <string>
#include <vector>

namespace dimwell {

class SimTrust : public AccessibilityTrust {
public:
    bool isTrusted() const override { return trusted_; }
    void setTrusted(bool trusted) { trusted_ = trusted; }

private:
    bool trusted_ = true;
};

struct SimAlert {
    std::string title;
    std::string message;
    std::string defaultButton;
    std::string alternateButton;
};

class SimAlerts : public AlertPresenter {
public:
    bool runCriticalAlert(const std::string& title, const std::string& message, const std::string& defaultButton,
                          const std::string& alternateButton) override;

    /// The button the user will choose: true for the default one.
    void answerDefault(bool chooseDefault) { answerDefault_ = chooseDefault; }
    /// Runs while the alert is up, as events delivered by its modal loop would.
    void whileShown(std::function<void()> hook) { whileShown_ = std::move(hook); }
    const std::vector<SimAlert>& shown() const { return shown_; }
    int open() const { return open_; }
    /// The most alerts that were ever up at once.
    int maxOpen() const { return maxOpen_; }

private:
    std::vector<SimAlert> shown_;
    std::function<void()> whileShown_;
    bool answerDefault_ = false;
    int open_ = 0;
    int maxOpen_ = 0;
};

class SimWorkspace : public Workspace {
public:
    bool openFile(const std::string& path) override {
        opened_.push_back(path);
        return true;
    }
    ActiveApplication activeApplication() const override { return active_; }

    void setActiveApplication(std::int32_t pid, std::string name) { active_ = {pid, std::move(name)}; }
    const std::vector<std::string>& openedFiles() const { return opened_; }

private:
    std::vector<std::string> opened_;
    ActiveApplication active_{100, "Finder"};
};

} // namespace dimwell
