#include "settings/SettingsWindowController.h"

#include "app/AppDelegate.h"
#include "app/Preferences.h"
#include "overlay/AppController.h"
#include "platform/ports/Bundle.h"
#include "platform/ports/Defaults.h"
#include "platform/ports/Displays.h"
#include "platform/ports/LoginItems.h"
#include "platform/ports/SettingsViews.h"
#include "settings/SettingsControllerDelegate.h"

#include <algorithm>
#include <cstdio>

namespace dimwell {
namespace {

/// A record as one log line, keys in order: {character = Z; control = 1; … }.
std::string describe(const Value* value) {
    if (!value) {
        return "(null)";
    }
    const Dictionary* dict = value->asDictionary();
    if (!dict) {
        return "(not a record)";
    }
    std::string s = "{";
    for (const auto& [key, v] : *dict) {
        s += key + " = ";
        if (const std::string* text = v.asString()) {
            s += *text;
        } else if (std::optional<double> d = v.asDouble()) {
            s += formatString("%g", *d);
        } else {
            s += "...";
        }
        s += "; ";
    }
    return s + "}";
}

void setFlags(NSMyTextField& r, bool control, bool option, bool shift, bool command) {
    r.setCurrentControl(control);
    r.setCurrentAlt(option);
    r.setCurrentShift(shift);
    r.setCurrentCommand(command);
}

HotkeyRecord recordOf(const NSMyTextField& r) {
    HotkeyRecord rec;
    rec.control = r.currentControl();
    rec.option = r.currentAlt();
    rec.shift = r.currentShift();
    rec.command = r.currentCommand();
    rec.keycode = r.currentKeyCode();
    rec.character = r.currentChar();
    return rec;
}

bool isMenuMode(const std::string& m) {
    return m == mode::closeOverlay || m == mode::selectMode || m == mode::increaseOpacity ||
           m == mode::decreaseOpacity;
}

} // namespace

std::string legendText() {
    return formatString("%s Control      ", "\u2303") + formatString("%s Shift      ", "\u21E7") +
           formatString("%s Option      ", "\u2325") + formatString("%s Command", "\u2318");
}

SettingsWindowController::SettingsWindowController(SettingsWindow& window, const SettingsContext& context)
    : window_(window), context_(context), log_(context.log) {
    activeTextView_ = false;
    if (context_.displays.activeDisplays().size() < 2) {
        window_.currentOnlyCheckBox().setEnabled(false);
    }

    const Defaults& prefs = context_.defaults;
    window_.opacitySlider().setFloatValue(floatForKey(prefs, prefkey::opacity));
    window_.clickOutCheckBox().setState(boolForKey(prefs, prefkey::clickOut) ? 0 : 1);
    window_.currentOnlyCheckBox().setState(boolForKey(prefs, prefkey::currentOnly) ? 1 : 0);
    window_.bringToFrontToggle().setState(boolForKey(prefs, prefkey::bringToFront) ? 1 : 0);

    if (std::unique_ptr<LoginItemsList> list = context_.loginItems.sessionLoginItems()) {
        if (loginItemExistsWithLoginItemReference(*list, context_.bundle.bundlePath())) {
            window_.btnToggleLoginItem().setState(1);
        }
    }

    for (int i = 0; i < SettingsWindow::kRows; ++i) {
        textfields_.push_back(&window_.text(i));
    }
    fillRows();
    window_.legend().setStringValue(legendText());

    observers_.emplace_back(context_.notifications,
                            context_.notifications.addObserver(notification::updateSettingsOpacity,
                                                               [this] { updateOpacity(); }));
    observers_.emplace_back(context_.notifications,
                            context_.notifications.addObserver(notification::toggleClickOut,
                                                               [this] { updateClickOut(); }));
}

SettingsWindowController::~SettingsWindowController() {
    observers_.clear();
    // The preferences are the program's, shared; this controller only borrowed them.
    log_("prefs retain count: %lu", 1UL);
}

int SettingsWindowController::rowCount() const {
    return static_cast<int>(std::min<std::size_t>(hotkeySettings(context_.defaults).size(), SettingsWindow::kRows));
}

void SettingsWindowController::fillRows() {
    const std::vector<HotkeySettingsEntry> rows = hotkeySettings(context_.defaults);
    for (int i = 0; i < rowCount(); ++i) {
        const HotkeySettingsEntry& entry = rows[static_cast<std::size_t>(i)];
        window_.label(i).setStringValue(entry.name);
        window_.check(i).setState(entry.enabled ? 1 : 0);

        HotkeyRecord record = userHotkey(context_.defaults, entry.mode).value_or(HotkeyRecord{});
        if (!record.hasKey) {
            // A damaged key code is no shortcut: shown, and saved back, as none
            // rather than as its modifiers with key code 0.
            record = HotkeyRecord{};
        }
        NSMyTextField& recorder = *textfields_[static_cast<std::size_t>(i)];
        // Only set flags are written: a fresh recorder starts with all of them off.
        if (record.control) recorder.setCurrentControl(true);
        if (record.option) recorder.setCurrentAlt(true);
        if (record.shift) recorder.setCurrentShift(true);
        if (record.command) recorder.setCurrentCommand(true);
        recorder.setCurrentChar(record.character.value_or(""));
        recorder.setCurrentKeyCode(record.keycode);
        recorder.view().setString(record.hasModifier() ? record.displayString() : "none");

        window_.scroll(i).setBorderType(BorderType::Line);
        if (window_.check(i).state() == 0) {
            showRowEnabled(i, false);
        }
        recorder.setMydelegate(this);
        recorder.setMode(entry.mode);
    }
}

void SettingsWindowController::showRowEnabled(int row, bool enabled) {
    RecorderTextView& view = textfields_[static_cast<std::size_t>(row)]->view();
    window_.label(row).setTextColor(enabled ? TextColor::ControlText : TextColor::DisabledControlText);
    view.setSelectable(enabled);
    view.setTextColor(enabled ? TextColor::ControlText : TextColor::DisabledControlText);
    view.setBackgroundColor(enabled ? BackgroundColor::White : BackgroundColor::LightGrey);
}

void SettingsWindowController::setMyActiveTextView(bool active) {
    if (mydelegate_) {
        if (active) {
            mydelegate_->stopHotkeysDelegate();
        } else {
            mydelegate_->startHotkeysDelegate();
        }
    }
    activeTextView_ = active;
}

void SettingsWindowController::handleHotkeyCheck(int tag) {
    resetFirstResponder();
    if (tag < 0 || tag >= SettingsWindow::kRows) {
        return;
    }
    const int state = window_.check(tag).state();
    showRowEnabled(tag, state != 0);

    std::optional<Array> rows = arrayForKey(context_.defaults, prefkey::hotkeySettings);
    // A row the preferences do not have has nothing to switch.
    if (!rows || static_cast<std::size_t>(tag) >= rows->size() || !(*rows)[static_cast<std::size_t>(tag)].asDictionary()) {
        return;
    }
    Dictionary entry = *(*rows)[static_cast<std::size_t>(tag)].asDictionary();
    entry["enabled"] = Value::integer(state != 0 ? 1 : 0);
    (*rows)[static_cast<std::size_t>(tag)] = Value::dictionary(std::move(entry));
    context_.defaults.setObject(prefkey::hotkeySettings, Value::array(std::move(*rows)));
    context_.defaults.synchronize();
    saveHotkeys();
}

void SettingsWindowController::removeFromOther(NSMyTextField& recorder) {
    for (NSMyTextField* other : textfields_) {
        if (other == &recorder) {
            continue;
        }
        // The same keys make the same shortcut, whatever their text says.
        if (other->currentControl() == recorder.currentControl() && other->currentAlt() == recorder.currentAlt() &&
            other->currentShift() == recorder.currentShift() &&
            other->currentCommand() == recorder.currentCommand() &&
            other->currentKeyCode() == recorder.currentKeyCode()) {
            setFlags(*other, false, false, false, false);
            other->setCurrentKeyCode(0);
            other->setCurrentChar("");
            other->view().setString("none");
        }
    }
}

void SettingsWindowController::saveHotkeys() {
    const std::vector<HotkeySettingsEntry> rows = hotkeySettings(context_.defaults);
    Dictionary userHotkeys = dictionaryForKey(context_.defaults, prefkey::userHotkeys).value_or(Dictionary{});
    for (int i = 0; i < rowCount(); ++i) {
        const HotkeySettingsEntry& entry = rows[static_cast<std::size_t>(i)];
        const NSMyTextField& recorder = *textfields_[static_cast<std::size_t>(i)];
        const Value* stored = lookup(userHotkeys, entry.mode);
        log_("crash test: %s", describe(stored).c_str());
        const HotkeyRecord record = recordOf(recorder);
        userHotkeys[entry.mode] = record.toValue(stored);
        log_("save mode: %s", entry.mode.c_str());
        if (isMenuMode(entry.mode) && mydelegate_) {
            mydelegate_->resetMenuKeyEquivalents(entry.mode, recorder.currentKeyCode(), recorder.currentChar(),
                                                 record.menuModifierMask());
        }
    }
    context_.defaults.setObject(prefkey::userHotkeys, Value::dictionary(std::move(userHotkeys)));
    context_.defaults.synchronize();
    // While a recorder still records, its end registers the hotkeys.
    if (!activeTextView_ && mydelegate_) {
        mydelegate_->stopHotkeysDelegate();
        mydelegate_->startHotkeysDelegate();
    }
    log_("saved hot keys");
}

void SettingsWindowController::restoreDefaults(int tag) {
    resetFirstResponder();
    const std::optional<Value> plist = context_.bundle.propertyList("hotkeys");
    const Value* preset = plist ? lookup(*plist, tag == 0 ? "default1" : "default2") : nullptr;
    const std::vector<HotkeySettingsEntry> rows = hotkeySettings(context_.defaults);
    for (int i = 0; i < rowCount(); ++i) {
        const std::string& m = rows[static_cast<std::size_t>(i)].mode;
        const HotkeyRecord record = HotkeyRecord::fromValue(preset ? lookup(*preset, m) : nullptr);
        NSMyTextField& recorder = *textfields_[static_cast<std::size_t>(i)];
        setFlags(recorder, record.control, record.option, record.shift, record.command);
        const std::string glyphs = record.glyphs();
        log_("hotkeystring: %s", glyphs.c_str());
        recorder.setCurrentChar(record.character.value_or(""));
        recorder.setCurrentKeyCode(record.keycode);
        recorder.view().setString(glyphs + record.character.value_or(""));
    }
    saveHotkeys();
}

void SettingsWindowController::handleSlider() {
    if (activeTextView_) {
        resetFirstResponder();
    }
    // The slider's own range is the band; a slider that reports otherwise still
    // never stores a veil that cannot be drawn.
    setFloat(context_.defaults, prefkey::opacity, bandedOpacity(static_cast<double>(window_.opacitySlider().floatValue())));
    if (mydelegate_) {
        mydelegate_->updateOpacity();
    }
    log_("move slider");
}

void SettingsWindowController::toggleCurrentOnly() {
    resetFirstResponder();
    const bool on = window_.currentOnlyCheckBox().state() == 1;
    setBool(context_.defaults, prefkey::currentOnly, on);
    if (mydelegate_) {
        mydelegate_->setCurrentOnly(on);
    }
    log_("toggle current only");
}

void SettingsWindowController::toggleBringToFront() {
    resetFirstResponder();
    const bool on = window_.bringToFrontToggle().state() == 1;
    setBool(context_.defaults, prefkey::bringToFront, on);
    if (mydelegate_) {
        mydelegate_->setBringToFrontMode(on);
    }
    log_("toggle bring to front");
}

void SettingsWindowController::toggleClickOut() {
    resetFirstResponder();
    // The box asks whether a click on the veil keeps the overlay: the opposite of "clickout".
    if (mydelegate_) {
        mydelegate_->setClickOut(window_.clickOutCheckBox().state() == 0);
    }
    log_("toggle click out");
}

void SettingsWindowController::toggleLoginItem() {
    resetFirstResponder();
    std::unique_ptr<LoginItemsList> list = context_.loginItems.sessionLoginItems();
    if (!list || !mydelegate_) {
        return;
    }
    const std::string path = context_.bundle.bundlePath();
    if (window_.btnToggleLoginItem().state() == 1) {
        mydelegate_->enableLoginItemWithLoginItemsReference(*list, path);
        log_("toggle log in (enable)");
    } else {
        mydelegate_->disableLoginItemWithLoginItemsReference(*list, path);
        log_("toggle log in (disable)");
    }
}

bool SettingsWindowController::loginItemExistsWithLoginItemReference(const LoginItemsList& list,
                                                                     const std::string& path) const {
    const std::vector<LoginItem> items = list.snapshot();
    return std::any_of(items.begin(), items.end(), [&](const LoginItem& item) {
        return item.resolvedPath && isPathOfApplication(*item.resolvedPath, path);
    });
}

void SettingsWindowController::setFirstResponder(NSMyTextField* responder) {
    window_.makeFirstResponder(responder);
    window_.setContentNeedsDisplay();
}

void SettingsWindowController::resetFirstResponder() { window_.makeFirstResponder(nullptr); }

void SettingsWindowController::updateOpacity() {
    log_("listening to opacity notification");
    window_.opacitySlider().setFloatValue(floatForKey(context_.defaults, prefkey::opacity));
}

void SettingsWindowController::updateClickOut() {
    log_("listening to clickout notification");
    window_.clickOutCheckBox().setState(boolForKey(context_.defaults, prefkey::clickOut) ? 0 : 1);
}

void SettingsWindowController::hotkeyWindowActive() {
    resetFirstResponder();
    log_("new window activated");
}

void SettingsWindowController::hotkeyWindowResign() {
    resetFirstResponder();
    log_("new window resigned");
}

void SettingsWindowController::windowWillClose() {
    hotkeyWindowResign();
    log_("releasing");
    if (mydelegate_) {
        mydelegate_->nilOutSettingsController();
    }
}

} // namespace dimwell
