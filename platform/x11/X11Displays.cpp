#include "platform/x11/X11Displays.h"

#include "platform/linux/ScreenSpace.h"
#include "platform/x11/XcbUtil.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>

#include <xcb/randr.h>

#include <map>
#include <optional>

namespace dimwell::x11 {

namespace {

// A burst of RandR notifications (one per output, CRTC and property) settles
// into one rebuild.
constexpr int kSettleMilliseconds = 60;
// Ids of monitors that have no output of their own are their name atoms; output
// ids are X resource ids, which never use the top three bits.
constexpr DisplayId kMonitorIdBit = 0x80000000u;
constexpr DisplayId kQtScreenIdBit = 0x40000000u;

struct CrtcArea {
    int x, y, width, height;
};

std::optional<CrtcArea> outputArea(xcb_connection_t* c, xcb_randr_output_t output, xcb_timestamp_t config) {
    const XcbReply<xcb_randr_get_output_info_reply_t> info(
        xcb_randr_get_output_info_reply(c, xcb_randr_get_output_info(c, output, config), nullptr));
    if (!info || info->crtc == XCB_NONE || info->connection == XCB_RANDR_CONNECTION_DISCONNECTED) {
        return std::nullopt;
    }
    const XcbReply<xcb_randr_get_crtc_info_reply_t> crtc(
        xcb_randr_get_crtc_info_reply(c, xcb_randr_get_crtc_info(c, info->crtc, config), nullptr));
    if (!crtc || crtc->mode == XCB_NONE) {
        return std::nullopt;
    }
    return CrtcArea{crtc->x, crtc->y, crtc->width, crtc->height};
}

/// RandR 1.5 monitors; a monitor that shows several outputs (a mirror) gives
/// one head per output, so that the mirror set is visible to the controller.
std::optional<std::vector<Head>> randrHeads(xcb_connection_t* c, xcb_window_t root) {
    const XcbReply<xcb_randr_get_monitors_reply_t> monitors(
        xcb_randr_get_monitors_reply(c, xcb_randr_get_monitors(c, root, 1), nullptr));
    if (!monitors) {
        return std::nullopt;
    }
    const XcbReply<xcb_randr_get_screen_resources_current_reply_t> resources(
        xcb_randr_get_screen_resources_current_reply(c, xcb_randr_get_screen_resources_current(c, root), nullptr));
    const xcb_timestamp_t config = resources ? resources->config_timestamp : XCB_CURRENT_TIME;
    const XcbReply<xcb_randr_get_output_primary_reply_t> primaryReply(
        xcb_randr_get_output_primary_reply(c, xcb_randr_get_output_primary(c, root), nullptr));
    const xcb_randr_output_t primaryOutput = primaryReply ? primaryReply->output : XCB_NONE;

    std::vector<Head> heads;
    for (auto it = xcb_randr_get_monitors_monitors_iterator(monitors.get()); it.rem > 0;
         xcb_randr_monitor_info_next(&it)) {
        const xcb_randr_monitor_info_t* m = it.data;
        const xcb_randr_output_t* outputs = xcb_randr_monitor_info_outputs(m);
        const int count = xcb_randr_monitor_info_outputs_length(m);
        const Head whole{count == 1 ? outputs[0] : (m->name | kMonitorIdBit), m->x, m->y, m->width, m->height,
                         m->primary != 0};
        if (count < 2) {
            heads.push_back(whole);
            continue;
        }
        std::vector<Head> shown;
        for (int i = 0; i < count; ++i) {
            if (const auto area = outputArea(c, outputs[i], config)) {
                shown.push_back({outputs[i], area->x, area->y, area->width, area->height, false});
            }
        }
        if (shown.empty()) {
            heads.push_back(whole);
            continue;
        }
        if (m->primary) {
            bool marked = false;
            for (Head& h : shown) {
                if (h.id == primaryOutput) {
                    h.primary = marked = true;
                }
            }
            shown.front().primary = !marked;
        }
        heads.insert(heads.end(), shown.begin(), shown.end());
    }
    return heads;
}

/// Without RandR 1.5: Qt's screens, ids from their names.
std::vector<Head> qtHeads() {
    std::vector<Head> heads;
    const QScreen* primary = QGuiApplication::primaryScreen();
    for (const QScreen* screen : QGuiApplication::screens()) {
        const QRect g = ScreenSpace::nativeGeometry(screen);
        const DisplayId id = (static_cast<DisplayId>(qHash(screen->name())) & ~(kMonitorIdBit | kQtScreenIdBit)) |
                             kQtScreenIdBit;
        heads.push_back({id, g.x(), g.y(), g.width(), g.height(), screen == primary});
    }
    return heads;
}

} // namespace

X11Displays::X11Displays(LogSink& log) : log_(log) {
    settle_.setSingleShot(true);
    settle_.setInterval(kSettleMilliseconds);
    connect(&settle_, &QTimer::timeout, this, &X11Displays::refresh);

    if (xcb_connection_t* c = xcbConnection()) {
        const xcb_query_extension_reply_t* ext = xcb_get_extension_data(c, &xcb_randr_id);
        if (ext && ext->present) {
            randrFirstEvent_ = ext->first_event;
            // The same selection Qt makes for itself: selecting again is harmless
            // and keeps the notifications coming whatever Qt chose.
            xcb_randr_select_input(c, rootWindow(),
                                   XCB_RANDR_NOTIFY_MASK_SCREEN_CHANGE | XCB_RANDR_NOTIFY_MASK_OUTPUT_CHANGE |
                                       XCB_RANDR_NOTIFY_MASK_CRTC_CHANGE | XCB_RANDR_NOTIFY_MASK_OUTPUT_PROPERTY);
            xcb_flush(c);
        }
    }
    QCoreApplication::instance()->installNativeEventFilter(this);
    // Qt's own view of the screens changes with the same notifications; follow
    // it too, so nothing is missed when Qt handles an event first.
    auto* app = qGuiApp;
    connect(app, &QGuiApplication::screenAdded, this, [this](QScreen* s) {
        watchScreen(s);
        scheduleRefresh();
    });
    connect(app, &QGuiApplication::screenRemoved, this, &X11Displays::scheduleRefresh);
    connect(app, &QGuiApplication::primaryScreenChanged, this, &X11Displays::scheduleRefresh);
    for (QScreen* s : QGuiApplication::screens()) {
        watchScreen(s);
    }

    bool fromRandr = false;
    layout_ = layoutFromHeads(readHeads(fromRandr));
    randr_ = fromRandr;
    if (!randr_) {
        log_("RandR 1.5 is not available: displays follow Qt's screens");
    }
}

X11Displays::~X11Displays() {
    if (auto* app = QCoreApplication::instance()) {
        app->removeNativeEventFilter(this);
    }
}

void X11Displays::setReconfigurationCallback(ReconfigurationCallback callback) { callback_ = std::move(callback); }

void X11Displays::watchScreen(QScreen* screen) {
    connect(screen, &QScreen::geometryChanged, this, &X11Displays::scheduleRefresh);
}

void X11Displays::scheduleRefresh() {
    if (!settle_.isActive()) {
        settle_.start();
    }
}

std::vector<Head> X11Displays::readHeads(bool& fromRandr) {
    fromRandr = false;
    if (xcb_connection_t* c = xcbConnection()) {
        if (auto heads = randrHeads(c, rootWindow())) {
            fromRandr = true;
            return *heads;
        }
    }
    return qtHeads();
}

void X11Displays::refresh() {
    bool fromRandr = false;
    DisplayLayout fresh = layoutFromHeads(readHeads(fromRandr));
    // Property notifications (a backlight, an EDID read) change nothing we
    // show; rebuilding for them would close the user's overlay.
    if (sameLayout(fresh, layout_)) {
        return;
    }
    layout_ = std::move(fresh);
    // Any change of the layout changes the desktop's shape, so it is reported
    // for the main display: that is the one the controller rebuilds for.
    if (callback_) {
        const ReconfigurationCallback callback = callback_;
        callback(layout_.mainId, 0);
    }
}

bool X11Displays::nativeEventFilter(const QByteArray& eventType, void* message, qintptr* /*result*/) {
    if (randrFirstEvent_ == 0 || eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    const std::uint8_t type = event->response_type & 0x7f;
    if (type == randrFirstEvent_ + XCB_RANDR_SCREEN_CHANGE_NOTIFY || type == randrFirstEvent_ + XCB_RANDR_NOTIFY) {
        scheduleRefresh();
    }
    return false;
}

} // namespace dimwell::x11
