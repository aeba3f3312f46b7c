#pragma once
// The settings window's controls as the settings logic sees them: text, colour,
// state and focus, nothing about how they are drawn.

#include "common/Geometry.h"

#include <string>

namespace dimwell {

class NSMyTextField;

enum class TextColor { Black, Grey, ControlText, DisabledControlText };
enum class BackgroundColor { White, LightGrey };
enum class BorderType { None = 0, Line = 1, Bezel = 2, Groove = 3 };
enum class FocusRingType { Default = 0, None = 1, Exterior = 2 };

/// The one-line text view inside a hotkey recorder.
class RecorderTextView {
public:
    virtual ~RecorderTextView() = default;
    virtual std::string string() const = 0;
    /// Replaces the whole text; the recorder never inserts.
    virtual void setString(const std::string& text) = 0;
    virtual void setTextColor(TextColor color) = 0;
    virtual void setBackgroundColor(BackgroundColor color) = 0;
    virtual void setEditable(bool editable) = 0;
    virtual void setSelectable(bool selectable) = 0;
    virtual bool isSelectable() const = 0;
    virtual void setCentered() = 0;
    virtual void setFocusRingType(FocusRingType type) = 0;
    virtual Size frameSize() const = 0;
    /// Keeps the frame's origin and width.
    virtual void setFrameHeight(double height) = 0;
    virtual void setTextContainer(Size size, Size inset) = 0;
    virtual void setNeedsDisplay() = 0;
    /// The window's content view, so the frame's focus ring follows.
    virtual void setContentViewNeedsDisplay() = 0;
};

/// A check box or on/off button.
class CheckBox {
public:
    virtual ~CheckBox() = default;
    virtual int state() const = 0;   ///< 1 on, 0 off
    virtual void setState(int state) = 0;
    virtual void setEnabled(bool enabled) = 0;
};

class Slider {
public:
    virtual ~Slider() = default;
    virtual float floatValue() const = 0;
    virtual void setFloatValue(float value) = 0;
};

class TextField {
public:
    virtual ~TextField() = default;
    virtual void setStringValue(const std::string& text) = 0;
    virtual void setTextColor(TextColor color) = 0;
};

/// The frame around a recorder.
class ScrollFrame {
public:
    virtual ~ScrollFrame() = default;
    virtual void setBorderType(BorderType type) = 0;
};

/// The settings window as loaded: its controls and its keyboard focus.
class SettingsWindow {
public:
    static constexpr int kRows = 8;

    virtual ~SettingsWindow() = default;
    virtual NSMyTextField& text(int row) = 0;
    virtual CheckBox& check(int row) = 0;
    virtual TextField& label(int row) = 0;
    virtual ScrollFrame& scroll(int row) = 0;
    virtual Slider& opacitySlider() = 0;
    virtual CheckBox& clickOutCheckBox() = 0;
    virtual CheckBox& btnToggleLoginItem() = 0;
    virtual CheckBox& currentOnlyCheckBox() = 0;
    virtual CheckBox& bringToFrontToggle() = 0;
    virtual TextField& legend() = 0;

    /// Gives the keyboard focus to `responder`, or to the window itself for
    /// nullptr; the recorder losing it resigns, the one gaining it becomes first
    /// responder (when it accepts).
    virtual void makeFirstResponder(NSMyTextField* responder) = 0;
    virtual NSMyTextField* firstResponder() const = 0;
    virtual bool isKeyWindow() const = 0;
    virtual void setContentNeedsDisplay() = 0;
};

} // namespace dimwell
