#include "platform/linux/settings/SettingsDialog.h"

#include "platform/linux/settings/RecorderKeys.h"
#include "settings/NSMyScrollView.h"
#include "settings/SettingsWindowController.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace dimwell::x11 {
namespace {

constexpr int kRecorderWidth = 168;
constexpr int kRingWidth = 3;   // room around the field for the focus ring
constexpr int kSliderSteps = 100;

QColor colorFor(TextColor color, const QPalette& palette) {
    switch (color) {
    case TextColor::Black: return QColor(Qt::black);
    case TextColor::Grey: return QColor(128, 128, 128);
    case TextColor::ControlText: return palette.color(QPalette::Active, QPalette::WindowText);
    case TextColor::DisabledControlText: {
        const QColor disabled = palette.color(QPalette::Disabled, QPalette::WindowText);
        return disabled == palette.color(QPalette::Active, QPalette::WindowText) ? QColor(150, 150, 150) : disabled;
    }
    }
    return QColor(Qt::black);
}

QString qs(const std::string& s) { return QString::fromStdString(s); }

class BoxAdapter : public CheckBox {
public:
    explicit BoxAdapter(QCheckBox* box = nullptr) : box_(box) {}
    int state() const override { return box_->isChecked() ? 1 : 0; }
    void setState(int state) override {
        const QSignalBlocker quiet(box_);
        box_->setChecked(state != 0);
    }
    void setEnabled(bool enabled) override { box_->setEnabled(enabled); }
    QCheckBox* box() const { return box_; }

private:
    QCheckBox* box_;
};

class SliderAdapter : public Slider {
public:
    SliderAdapter(QSlider* slider, QLabel* percent) : slider_(slider), percent_(percent) {}
    float floatValue() const override { return static_cast<float>(slider_->value()) / kSliderSteps; }
    void setFloatValue(float value) override {
        const QSignalBlocker quiet(slider_);
        slider_->setValue(static_cast<int>(std::lround(value * kSliderSteps)));
        showPercent();
    }
    void showPercent() { percent_->setText(QStringLiteral("%1 %").arg(slider_->value())); }
    QSlider* slider() const { return slider_; }

private:
    QSlider* slider_;
    QLabel* percent_;
};

class LabelAdapter : public TextField {
public:
    explicit LabelAdapter(QLabel* label = nullptr) : label_(label) {}
    void setStringValue(const std::string& text) override { label_->setText(qs(text)); }
    void setTextColor(TextColor color) override {
        QPalette p = label_->palette();
        p.setColor(QPalette::WindowText, colorFor(color, p));
        label_->setPalette(p);
    }
    QLabel* label() const { return label_; }

private:
    QLabel* label_;
};

} // namespace

// ---------------------------------------------------------------- RecorderField

RecorderField::RecorderField(SettingsDialog& dialog, QWidget* parent) : QLineEdit(parent), dialog_(dialog) {
    setFrame(false);
    setReadOnly(true);
    setFocusPolicy(Qt::StrongFocus);
    setContextMenuPolicy(Qt::NoContextMenu);
    setFixedWidth(kRecorderWidth);
    applyPalette();
}

void RecorderField::setString(const std::string& text) {
    text_ = text;
    relabel();
}

void RecorderField::relabel() {
    std::string shown = text_;
    // A stored shortcut names its key by the text of the layout it was recorded
    // on; the user sees the key as the layout active now names it.
    if (recorder_ && !recorder_->currentChar().empty()) {
        std::uint64_t flags = 0;
        if (recorder_->currentControl()) flags |= kControlKeyMask;
        if (recorder_->currentAlt()) flags |= kOptionKeyMask;
        if (recorder_->currentShift()) flags |= kShiftKeyMask;
        if (recorder_->currentCommand()) flags |= kCommandKeyMask;
        const std::string glyphs = modifierGlyphs(flags);
        if (text_ == glyphs + recorder_->currentChar()) {
            shown = glyphs + dialog_.keyboardLayout().label(recorder_->currentKeyCode(), recorder_->currentChar());
        }
    }
    setText(qs(shown));
    setCursorPosition(0);
}

void RecorderField::setTextColor(TextColor color) {
    textColor_ = color;
    applyPalette();
}

void RecorderField::setBackgroundColor(BackgroundColor color) {
    background_ = color;
    applyPalette();
}

void RecorderField::applyPalette() {
    QPalette p = palette();
    const QColor text = colorFor(textColor_, dialog_.palette());
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Base, background_ == BackgroundColor::White ? QColor(Qt::white) : QColor(224, 224, 224));
    setPalette(p);
}

void RecorderField::setSelectable(bool selectable) {
    selectable_ = selectable;
    // A switched-off row cannot record: it must not take the focus either.
    setFocusPolicy(selectable ? Qt::StrongFocus : Qt::NoFocus);
    if (!selectable) {
        deselect();
    }
}

Size RecorderField::frameSize() const { return {static_cast<double>(width()), static_cast<double>(height())}; }

void RecorderField::setFrameHeight(double height) {
    // The stored height is in points; the line must still fit the user's font.
    setFixedHeight(std::max(static_cast<int>(height), fontMetrics().height() + 8));
}

void RecorderField::setTextContainer(Size, Size inset) {
    setTextMargins(static_cast<int>(inset.width), 0, static_cast<int>(inset.width), 0);
}

void RecorderField::setContentViewNeedsDisplay() { dialog_.setContentNeedsDisplay(); }

bool RecorderField::event(QEvent* event) {
    switch (event->type()) {
    case QEvent::ShortcutOverride:
        // Every combination is the recorder's while it records; no shortcut of
        // the window may take it.
        event->accept();
        return true;
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        auto* key = static_cast<QKeyEvent*>(event);
        if (!recorder_) {
            return true;
        }
        const std::uint64_t own = modifierKeyFlag(key->key());
        const std::uint64_t flags = recorderFlags(key->modifiers());
        if (own != 0) {
            // Whether the event's modifiers already include its own key differs
            // between press and release: set or clear it explicitly.
            const bool press = event->type() == QEvent::KeyPress;
            recorder_->flagsChanged({0, press ? (flags | own) : (flags & ~own), {}});
        } else if (event->type() == QEvent::KeyPress) {
            // Qt's scan code is the physical key's keycode: the X keycode on X,
            // the evdev code + 8 on Wayland, which keymaps number alike.
            const RecorderPress press = recorderPress(key->nativeScanCode(), flags, dialog_.keyboardLayout());
            if (press.kind == RecorderPress::Kind::Key) {
                recorder_->keyDown(press.event);
            } else if (press.kind == RecorderPress::Kind::NoCode) {
                const std::string name = key->text().isEmpty()
                                             ? "with keycode " + std::to_string(key->nativeScanCode())
                                             : key->text().toStdString();
                recorder_->refuseKey(name);
            }
        }
        return true;
    }
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
        if (!selectable_) {
            return true;
        }
        break;
    default:
        break;
    }
    return QLineEdit::event(event);
}

void RecorderField::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    dialog_.fieldGainedFocus(*this);
}

void RecorderField::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    dialog_.fieldLostFocus(*this);
}

// ---------------------------------------------------------------- RecorderFrame

RecorderFrame::RecorderFrame(SettingsDialog& dialog, QWidget* parent)
    : QWidget(parent), dialog_(dialog), field_(new RecorderField(dialog, this)) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(kRingWidth, kRingWidth, kRingWidth, kRingWidth);
    layout->addWidget(field_);
}

void RecorderFrame::setBorderType(BorderType type) {
    border_ = type;
    update();
}

bool RecorderFrame::showsFocusRing() const {
    const NSMyTextField* recorder = field_->recorder();
    return recorder && NSMyScrollView::drawsFocusRing(dialog_.isKeyWindow(), dialog_.firstResponder(), *recorder);
}

void RecorderFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QRect box = field_->geometry().adjusted(-1, -1, 0, 0);
    if (border_ != BorderType::None) {
        painter.setPen(border_ == BorderType::Line ? palette().color(QPalette::Mid) : palette().color(QPalette::Dark));
        painter.drawRect(box);
    }
    if (showsFocusRing()) {
        painter.setRenderHint(QPainter::Antialiasing);
        QColor ring = palette().color(QPalette::Highlight);
        ring.setAlpha(200);
        painter.setPen(QPen(ring, 2.0));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(QRectF(box).adjusted(-1.0, -1.0, 1.0, 1.0), 3.0, 3.0);
    }
}

// ---------------------------------------------------------------- SettingsDialog

struct SettingsDialog::Parts {
    std::array<RecorderFrame*, kRows> frames{};
    std::array<BoxAdapter, kRows> checks;
    std::array<LabelAdapter, kRows> labels;
    std::unique_ptr<SliderAdapter> slider;
    BoxAdapter clickOut, loginItem, currentOnly, bringToFront;
    LabelAdapter legend;
    std::array<QPushButton*, 2> restore{};
};

SettingsDialog::SettingsDialog(LogSink& log, KeyboardLayout& layout)
    : layout_(layout), parts_(std::make_unique<Parts>()) {
    layoutWatch_ = layout_.subscribe([this] {
        for (RecorderFrame* frame : parts_->frames) {
            frame->field().relabel();
        }
    });
    build();
    for (int i = 0; i < kRows; ++i) {
        const auto n = static_cast<std::size_t>(i);
        RecorderField& f = parts_->frames[n]->field();
        recorders_[n] = std::make_unique<NSMyTextField>(f, log);
        f.setRecorder(recorders_[n].get());
        NSMyScrollView::init(*parts_->frames[n]);
        recorders_[n]->awakeFromNib();
    }
    // The window itself holds the focus until the user picks a recorder.
    content_->setFocus(Qt::OtherFocusReason);
}

SettingsDialog::~SettingsDialog() {
    // Focus events during teardown must not reach recorders being destroyed.
    controller_ = nullptr;
    movingFocus_ = true;
    for (RecorderFrame* frame : parts_->frames) {
        frame->field().setRecorder(nullptr);
    }
}

void SettingsDialog::build() {
    setWindowTitle(QStringLiteral("Dimwell Settings"));
    setAttribute(Qt::WA_DeleteOnClose, false);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    // The plain view that takes the focus away from any recorder.
    content_ = new QWidget(this);
    content_->setFocusPolicy(NSMyView::acceptsFirstResponder() ? Qt::ClickFocus : Qt::NoFocus);
    outer->addWidget(content_);

    auto* page = new QVBoxLayout(content_);
    page->setContentsMargins(18, 16, 18, 16);
    page->setSpacing(14);

    auto* shortcuts = new QGroupBox(QStringLiteral("Shortcuts"), content_);
    auto* rows = new QVBoxLayout(shortcuts);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(2);
    for (int i = 0; i < kRows; ++i) {
        const auto n = static_cast<std::size_t>(i);
        auto* box = new QCheckBox(shortcuts);
        box->setToolTip(QStringLiteral("Switch this shortcut on or off"));
        auto* name = new QLabel(shortcuts);
        auto* frame = new RecorderFrame(*this, shortcuts);
        grid->addWidget(box, i, 0);
        grid->addWidget(name, i, 1);
        grid->addWidget(frame, i, 2);
        parts_->checks[n] = BoxAdapter(box);
        parts_->labels[n] = LabelAdapter(name);
        parts_->frames[n] = frame;
        connect(box, &QCheckBox::clicked, this, [this, i] {
            if (controller_) controller_->handleHotkeyCheck(i);
        });
    }
    grid->setColumnStretch(1, 1);
    rows->addLayout(grid);

    auto* legend = new QLabel(shortcuts);
    legend->setAlignment(Qt::AlignCenter);
    parts_->legend = LabelAdapter(legend);
    rows->addWidget(legend);

    auto* directions = new QLabel(
        QStringLiteral("Click a shortcut, then press the new combination with Control, Alt, Shift "
                       "or Super held. Escape cancels. A combination recorded in one row is cleared "
                       "from any other row. Untick a row to switch its shortcut off."),
        shortcuts);
    directions->setWordWrap(true);
    QPalette quiet = directions->palette();
    QColor softer = quiet.color(QPalette::WindowText);
    softer.setAlpha(170);   // secondary text, still easy to read
    quiet.setColor(QPalette::WindowText, softer);
    directions->setPalette(quiet);
    rows->addWidget(directions);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    const QString restoreTitles[2] = {QStringLiteral("Restore defaults"), QStringLiteral("Restore alternative shortcuts")};
    for (int tag = 0; tag < 2; ++tag) {
        auto* button = new QPushButton(restoreTitles[tag], shortcuts);
        button->setAutoDefault(false);
        parts_->restore[static_cast<std::size_t>(tag)] = button;
        buttons->addWidget(button);
        connect(button, &QPushButton::clicked, this, [this, tag] {
            if (controller_) controller_->restoreDefaults(tag);
        });
    }
    rows->addLayout(buttons);
    page->addWidget(shortcuts);

    auto* overlay = new QGroupBox(QStringLiteral("Overlay"), content_);
    auto* overlayRows = new QVBoxLayout(overlay);
    auto* opacityRow = new QHBoxLayout;
    opacityRow->addWidget(new QLabel(QStringLiteral("Opacity"), overlay));
    auto* slider = new QSlider(Qt::Horizontal, overlay);
    slider->setRange(20, kSliderSteps);   // the opacity hotkeys keep it within 0.2 … 1.0 too
    slider->setPageStep(10);
    auto* percent = new QLabel(overlay);
    percent->setMinimumWidth(percent->fontMetrics().horizontalAdvance(QStringLiteral("100 %")));
    percent->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    opacityRow->addWidget(slider, 1);
    opacityRow->addWidget(percent);
    overlayRows->addLayout(opacityRow);
    parts_->slider = std::make_unique<SliderAdapter>(slider, percent);
    connect(slider, &QSlider::valueChanged, this, [this] {
        parts_->slider->showPercent();
        if (controller_) controller_->handleSlider();
    });

    auto addBox = [&](BoxAdapter& adapter, const char* title, void (SettingsWindowController::*action)()) {
        auto* box = new QCheckBox(QString::fromUtf8(title), overlay);
        adapter = BoxAdapter(box);
        overlayRows->addWidget(box);
        connect(box, &QCheckBox::clicked, this, [this, action] {
            if (controller_) (controller_->*action)();
        });
    };
    addBox(parts_->clickOut, "Click on the dimmed area does not close the overlay", &SettingsWindowController::toggleClickOut);
    addBox(parts_->currentOnly, "Dim only the display(s) with the hole", &SettingsWindowController::toggleCurrentOnly);
    addBox(parts_->bringToFront, "Bring the window to the front", &SettingsWindowController::toggleBringToFront);
    page->addWidget(overlay);

    auto* session = new QGroupBox(QStringLiteral("Session"), content_);
    auto* sessionRows = new QVBoxLayout(session);
    auto* login = new QCheckBox(QStringLiteral("Start Dimwell when you log in"), session);
    parts_->loginItem = BoxAdapter(login);
    sessionRows->addWidget(login);
    connect(login, &QCheckBox::clicked, this, [this] {
        if (controller_) controller_->toggleLoginItem();
    });
    page->addWidget(session);
    page->addStretch(1);
    setFixedSize(sizeHint().expandedTo(QSize(520, 0)));
}

NSMyTextField& SettingsDialog::text(int row) { return *recorders_.at(static_cast<std::size_t>(row)); }
CheckBox& SettingsDialog::check(int row) { return parts_->checks.at(static_cast<std::size_t>(row)); }
TextField& SettingsDialog::label(int row) { return parts_->labels.at(static_cast<std::size_t>(row)); }
ScrollFrame& SettingsDialog::scroll(int row) { return *parts_->frames.at(static_cast<std::size_t>(row)); }
Slider& SettingsDialog::opacitySlider() { return *parts_->slider; }
CheckBox& SettingsDialog::clickOutCheckBox() { return parts_->clickOut; }
CheckBox& SettingsDialog::btnToggleLoginItem() { return parts_->loginItem; }
CheckBox& SettingsDialog::currentOnlyCheckBox() { return parts_->currentOnly; }
CheckBox& SettingsDialog::bringToFrontToggle() { return parts_->bringToFront; }
TextField& SettingsDialog::legend() { return parts_->legend; }

RecorderField& SettingsDialog::field(int row) { return parts_->frames.at(static_cast<std::size_t>(row))->field(); }
RecorderFrame& SettingsDialog::frame(int row) { return *parts_->frames.at(static_cast<std::size_t>(row)); }
QCheckBox* SettingsDialog::rowCheckBox(int row) const { return parts_->checks.at(static_cast<std::size_t>(row)).box(); }
QLabel* SettingsDialog::rowLabel(int row) const { return parts_->labels.at(static_cast<std::size_t>(row)).label(); }
QSlider* SettingsDialog::slider() const { return parts_->slider->slider(); }
QCheckBox* SettingsDialog::clickOutBox() const { return parts_->clickOut.box(); }
QCheckBox* SettingsDialog::currentOnlyBox() const { return parts_->currentOnly.box(); }
QCheckBox* SettingsDialog::bringToFrontBox() const { return parts_->bringToFront.box(); }
QCheckBox* SettingsDialog::loginItemBox() const { return parts_->loginItem.box(); }
QPushButton* SettingsDialog::restoreButton(int tag) const { return parts_->restore.at(static_cast<std::size_t>(tag)); }

void SettingsDialog::makeFirstResponder(NSMyTextField* responder) {
    if (!firstResponder_.make(responder)) {
        return;
    }
    // Qt's focus follows; its focus events are this move's echo.
    movingFocus_ = true;
    QWidget* target = content_;
    for (RecorderFrame* frame : parts_->frames) {
        if (responder && frame->field().recorder() == responder) {
            target = &frame->field();
        }
    }
    target->setFocus(Qt::OtherFocusReason);
    movingFocus_ = false;
    setContentNeedsDisplay();
}

void SettingsDialog::setContentNeedsDisplay() {
    for (RecorderFrame* frame : parts_->frames) {
        frame->update();
    }
}

void SettingsDialog::fieldGainedFocus(RecorderField& field) {
    if (movingFocus_ || !field.recorder()) {
        return;
    }
    makeFirstResponder(field.recorder());
}

void SettingsDialog::fieldLostFocus(RecorderField& field) {
    if (movingFocus_ || !field.recorder() || firstResponder_.current() != field.recorder()) {
        return;
    }
    // The focus has already gone elsewhere (another control, another window):
    // nothing takes it back.
    firstResponder_.lost();
    setContentNeedsDisplay();
}

bool SettingsDialog::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate || event->type() == QEvent::WindowDeactivate) {
        const bool active = event->type() == QEvent::WindowActivate;
        const bool handled = QWidget::event(event);
        if (controller_) {
            if (active) {
                controller_->hotkeyWindowActive();
            } else {
                controller_->hotkeyWindowResign();
            }
        }
        setContentNeedsDisplay();
        return handled;
    }
    return QWidget::event(event);
}

void SettingsDialog::closeEvent(QCloseEvent* event) {
    if (controller_) {
        controller_->windowWillClose();
    }
    event->accept();
    if (onClosed_) {
        onClosed_();
    }
}

} // namespace dimwell::x11
