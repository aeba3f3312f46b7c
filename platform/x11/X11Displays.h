#pragma once
// The active displays from RandR, and their changes.

#include "common/Log.h"
#include "platform/ports/Displays.h"
#include "platform/x11/DisplayLayout.h"

#include <QAbstractNativeEventFilter>
#include <QObject>
#include <QTimer>

class QScreen;

#include <vector>

namespace dimwell::x11 {

class X11Displays : public QObject, public DisplayServer, private QAbstractNativeEventFilter {
    Q_OBJECT

public:
    explicit X11Displays(LogSink& log);
    ~X11Displays() override;

    std::vector<DisplayInfo> activeDisplays() const override { return layout_.displays; }
    DisplayId mainDisplayId() const override { return layout_.mainId; }
    double mainScreenHeight() const override { return layout_.main.height; }
    void setReconfigurationCallback(ReconfigurationCallback callback) override;

    /// The main display's area in root pixels: where Cocoa and top-left space begin.
    const Head& mainHead() const { return layout_.main; }
    const DisplayLayout& layout() const { return layout_; }

    /// Reads the layout again now; reports it when it changed.
    void refresh();

private:
    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
    void watchScreen(QScreen* screen);
    void scheduleRefresh();
    static std::vector<Head> readHeads(bool& fromRandr);

    Logger log_;
    DisplayLayout layout_;
    ReconfigurationCallback callback_;
    QTimer settle_;
    std::uint8_t randrFirstEvent_ = 0;
    bool randr_ = false;
};

} // namespace dimwell::x11
