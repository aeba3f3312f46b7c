#pragma once
// The settings window on Qt: eight shortcut rows (check box, label, recorder),
// the opacity slider, the behaviour switches, the login item, the two restore
// buttons, the legend and directions. Holds no logic: it hands every action and
// focus change to the settings window's controller.

#include "platform/linux/keyboard/KeyboardLayout.h"
#include "platform/ports/SettingsViews.h"
#include "settings/FirstResponder.h"
#include "settings/NSMyTextField.h"

#include <QLineEdit>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

class QCheckBox;
class QLabel;
class QPushButton;
class QSlider;

namespace dimwell {
class SettingsWindowController;
}

namespace dimwell::x11 {

class SettingsDialog;

/// The recorder's one line: selectable, never editable; keys go to the recorder.
class RecorderField : public QLineEdit, public RecorderTextView {
public:
    RecorderField(SettingsDialog& dialog, QWidget* parent);

    void setRecorder(NSMyTextField* recorder) { recorder_ = recorder; }
    NSMyTextField* recorder() const { return recorder_; }

    std::string string() const override { return text_; }
    void setString(const std::string& text) override;
    void setTextColor(TextColor color) override;
    void setBackgroundColor(BackgroundColor color) override;
    void setEditable(bool editable) override { setReadOnly(!editable); }
    void setSelectable(bool selectable) override;
    bool isSelectable() const override { return selectable_; }
    void setCentered() override { setAlignment(Qt::AlignCenter); }
    void setFocusRingType(FocusRingType) override {}
    Size frameSize() const override;
    void setFrameHeight(double height) override;
    void setTextContainer(Size, Size inset) override;
    void setNeedsDisplay() override { update(); }
    void setContentViewNeedsDisplay() override;

    TextColor textColor() const { return textColor_; }
    BackgroundColor backgroundColor() const { return background_; }
    /// Shows the text again, with the key named as the active layout names it.
    void relabel();

protected:
    bool event(QEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void applyPalette();

    SettingsDialog& dialog_;
    NSMyTextField* recorder_ = nullptr;
    std::string text_;   ///< as the recorder set it: the stored key text
    TextColor textColor_ = TextColor::Black;
    BackgroundColor background_ = BackgroundColor::White;
    bool selectable_ = true;
};

/// The frame around a recorder: a plain line, and the focus ring while its
/// recorder records in the active window.
class RecorderFrame : public QWidget, public ScrollFrame {
public:
    RecorderFrame(SettingsDialog& dialog, QWidget* parent);
    RecorderField& field() { return *field_; }
    void setBorderType(BorderType type) override;
    BorderType borderType() const { return border_; }
    bool showsFocusRing() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    SettingsDialog& dialog_;
    RecorderField* field_;
    BorderType border_ = BorderType::Bezel;
};

class SettingsDialog : public QWidget, public SettingsWindow {
public:
    /// Builds the window and one recorder per row, set up as on loading. Keys
    /// are named as `layout` names them, and renamed when it changes.
    SettingsDialog(LogSink& log, KeyboardLayout& layout);
    ~SettingsDialog() override;
    SettingsDialog(const SettingsDialog&) = delete;
    SettingsDialog& operator=(const SettingsDialog&) = delete;

    /// The controller that receives the actions; nullptr detaches.
    void setController(SettingsWindowController* controller) { controller_ = controller; }
    /// Called once the window has announced it is closing.
    void setOnClosed(std::function<void()> onClosed) { onClosed_ = std::move(onClosed); }

    // SettingsWindow.
    NSMyTextField& text(int row) override;
    CheckBox& check(int row) override;
    TextField& label(int row) override;
    ScrollFrame& scroll(int row) override;
    Slider& opacitySlider() override;
    CheckBox& clickOutCheckBox() override;
    CheckBox& btnToggleLoginItem() override;
    CheckBox& currentOnlyCheckBox() override;
    CheckBox& bringToFrontToggle() override;
    TextField& legend() override;
    void makeFirstResponder(NSMyTextField* responder) override;
    NSMyTextField* firstResponder() const override { return firstResponder_.current(); }
    bool isKeyWindow() const override { return isActiveWindow(); }
    void setContentNeedsDisplay() override;

    // For the recorder fields.
    /// The user moved the focus into `field` (click or Tab).
    void fieldGainedFocus(RecorderField& field);
    /// The focus left `field` for some other widget or window.
    void fieldLostFocus(RecorderField& field);

    // Read by tests and screenshots.
    RecorderField& field(int row);
    RecorderFrame& frame(int row);
    QCheckBox* rowCheckBox(int row) const;
    QLabel* rowLabel(int row) const;
    QSlider* slider() const;
    QCheckBox* clickOutBox() const;
    QCheckBox* currentOnlyBox() const;
    QCheckBox* bringToFrontBox() const;
    QCheckBox* loginItemBox() const;
    QPushButton* restoreButton(int tag) const;
    const KeyboardLayout& keyboardLayout() const { return layout_; }

protected:
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    struct Parts;
    void build();

    KeyboardLayout& layout_;
    std::unique_ptr<Parts> parts_;
    KeyboardLayout::Subscription layoutWatch_;
    std::array<std::unique_ptr<NSMyTextField>, kRows> recorders_;
    SettingsWindowController* controller_ = nullptr;
    FirstResponder firstResponder_;
    QWidget* content_ = nullptr;
    /// Focus moves made here, not by the user: their focus events are echoes.
    bool movingFocus_ = false;
    std::function<void()> onClosed_;
};

} // namespace dimwell::x11
