#pragma once
// The settings window's controls held in memory, with the focus rules of a
// real window: one first responder, resigning before the next one becomes it.

#include "settings/FirstResponder.h"
#include "platform/ports/SettingsViews.h"
#include "settings/NSMyTextField.h"

#include <array>
#include <memory>
#include <string>

namespace dimwell {

struct SimRecorderTextView : RecorderTextView {
    std::string string() const override { return text; }
    void setString(const std::string& t) override { text = t; }
    void setTextColor(TextColor c) override { color = c; }
    void setBackgroundColor(BackgroundColor c) override { background = c; }
    void setEditable(bool e) override { editable = e; }
    void setSelectable(bool s) override { selectable = s; }
    bool isSelectable() const override { return selectable; }
    void setCentered() override { centered = true; }
    void setFocusRingType(FocusRingType t) override { focusRing = t; }
    Size frameSize() const override { return frame; }
    void setFrameHeight(double h) override { frame.height = h; }
    void setTextContainer(Size size, Size in) override { container = size; inset = in; }
    void setNeedsDisplay() override { ++redisplays; }
    void setContentViewNeedsDisplay() override { ++contentRedisplays; }

    std::string text;
    TextColor color = TextColor::Black;
    BackgroundColor background = BackgroundColor::White;
    bool editable = true;
    bool selectable = true;
    bool centered = false;
    FocusRingType focusRing = FocusRingType::Default;
    Size frame{120.0, 22.0};
    Size container;
    Size inset;
    int redisplays = 0;
    int contentRedisplays = 0;
};

struct SimCheckBox : CheckBox {
    int state() const override { return value; }
    void setState(int s) override { value = s; }
    void setEnabled(bool e) override { enabled = e; }
    int value = 0;
    bool enabled = true;
};

struct SimSlider : Slider {
    float floatValue() const override { return value; }
    void setFloatValue(float v) override { value = v; }
    float value = 0.0f;
};

struct SimTextField : TextField {
    void setStringValue(const std::string& t) override { text = t; }
    void setTextColor(TextColor c) override { color = c; }
    std::string text;
    TextColor color = TextColor::ControlText;
};

struct SimScrollFrame : ScrollFrame {
    void setBorderType(BorderType t) override { border = t; }
    BorderType border = BorderType::None;
};

class SimSettingsWindowView : public SettingsWindow {
public:
    /// Recorders set up as loading the window does (`awakeFromNib`).
    explicit SimSettingsWindowView(LogSink& log);

    NSMyTextField& text(int row) override { return *recorders_.at(static_cast<std::size_t>(row)); }
    CheckBox& check(int row) override { return checks.at(static_cast<std::size_t>(row)); }
    TextField& label(int row) override { return labels.at(static_cast<std::size_t>(row)); }
    ScrollFrame& scroll(int row) override { return scrolls.at(static_cast<std::size_t>(row)); }
    Slider& opacitySlider() override { return slider; }
    CheckBox& clickOutCheckBox() override { return clickOut; }
    CheckBox& btnToggleLoginItem() override { return loginItem; }
    CheckBox& currentOnlyCheckBox() override { return currentOnly; }
    CheckBox& bringToFrontToggle() override { return bringToFront; }
    TextField& legend() override { return legendField; }

    void makeFirstResponder(NSMyTextField* responder) override;
    NSMyTextField* firstResponder() const override { return firstResponder_.current(); }
    bool isKeyWindow() const override { return key; }
    void setContentNeedsDisplay() override { ++contentRedisplays; }

    /// The user clicks recorder `row`.
    void click(int row) { makeFirstResponder(&text(row)); }
    SimRecorderTextView& view(int row) { return views.at(static_cast<std::size_t>(row)); }

    std::array<SimRecorderTextView, kRows> views;
    std::array<SimCheckBox, kRows> checks;
    std::array<SimTextField, kRows> labels;
    std::array<SimScrollFrame, kRows> scrolls;
    SimSlider slider;
    SimCheckBox clickOut, loginItem, currentOnly, bringToFront;
    SimTextField legendField;
    bool key = true;
    int contentRedisplays = 0;

private:
    std::array<std::unique_ptr<NSMyTextField>, kRows> recorders_;
    FirstResponder firstResponder_;
};

} // namespace dimwell
