#pragma once
// The settings window's place while this build has none: asking for it only
// says so in the log.

#include "common/Log.h"
#include "platform/ports/SettingsWindowOpener.h"

namespace dimwell::x11 {

class UnavailableSettingsWindow : public SettingsWindowOpener {
public:
    explicit UnavailableSettingsWindow(LogSink& log) : log_(log) {}
    bool open(SettingsControllerDelegate&) override {
        log_("the settings window is not available in this build");
        return false;
    }
    bool isOpen() const override { return false; }
    void bringToFront() override {}
    void resetFirstResponder() override {}

private:
    Logger log_;
};

} // namespace dimwell::x11
