#include "platform/x11/windows/WindowMoveObserver.h"
#include "platform/ports/FrameChange.h"

#include "platform/linux/accessibility/AccessibleElements.h"
#include "platform/x11/windows/WindowStack.h"
#include "platform/x11/XcbReply.h"

#include <QCoreApplication>

#include <algorithm>
#include <initializer_list>
#include <map>
#include <utility>

namespace dimwell::x11 {

namespace {

/// Structure notifications this process asked for on other programs' windows,
/// counted per window: two observers of one window do not undo each other, and a
/// selection the toolkit made itself (our own windows) is never taken away.
struct Selection {
    int count = 0;
    bool addedByUs = false;
};

std::map<xcb_window_t, Selection>& selections() {
    static std::map<xcb_window_t, Selection> table;
    return table;
}

/// One round trip for all the reads and one for all the changes, however many windows.
void selectStructure(xcb_connection_t* c, std::initializer_list<xcb_window_t> windows) {
    std::vector<std::pair<xcb_window_t, xcb_get_window_attributes_cookie_t>> reads;
    for (const xcb_window_t w : windows) {
        if (selections()[w].count++ == 0) {
            reads.emplace_back(w, xcb_get_window_attributes(c, w));
        }
    }
    std::vector<std::pair<xcb_window_t, xcb_void_cookie_t>> changes;
    for (const auto& [w, cookie] : reads) {
        auto attributes = takeReply<xcb_get_window_attributes_reply_t>(c, cookie, xcb_get_window_attributes_reply);
        if (!attributes || (attributes->your_event_mask & XCB_EVENT_MASK_STRUCTURE_NOTIFY)) {
            continue;
        }
        const std::uint32_t mask = attributes->your_event_mask | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        changes.emplace_back(w, xcb_change_window_attributes_checked(c, w, XCB_CW_EVENT_MASK, &mask));
    }
    for (const auto& [w, cookie] : changes) {
        selections()[w].addedByUs = requestSucceeded(c, cookie);
    }
}

void unselectStructure(xcb_connection_t* c, xcb_window_t w) {
    auto it = selections().find(w);
    if (it == selections().end() || --it->second.count > 0) {
        return;
    }
    const bool added = it->second.addedByUs;
    selections().erase(it);
    if (!added) {
        return;
    }
    auto attributes = takeReply<xcb_get_window_attributes_reply_t>(c, xcb_get_window_attributes(c, w),
                                                                   xcb_get_window_attributes_reply);
    if (!attributes) {
        return;   // gone already
    }
    const std::uint32_t mask = attributes->your_event_mask & ~std::uint32_t(XCB_EVENT_MASK_STRUCTURE_NOTIFY);
    requestSucceeded(c, xcb_change_window_attributes_checked(c, w, XCB_CW_EVENT_MASK, &mask));
}

} // namespace

WindowMoveObserver::WindowMoveObserver(std::shared_ptr<const WindowStack> stack,
                                       AccessibilityApi::ObserverCallback callback)
    : stack_(std::move(stack)), callback_(std::move(callback)) {
    flush_.setSingleShot(true);
    flush_.setInterval(0);
    QObject::connect(&flush_, &QTimer::timeout, &flush_, [this] { deliver(); });
    if (QCoreApplication* app = QCoreApplication::instance()) {
        app->installNativeEventFilter(this);
        filterInstalled_ = true;
    }
}

WindowMoveObserver::~WindowMoveObserver() {
    *alive_ = false;
    if (filterInstalled_) {
        if (QCoreApplication* app = QCoreApplication::instance()) {
            app->removeNativeEventFilter(this);
        }
    }
    for (const Watch& w : watches_) {
        stack_->forgetFrame(w.client);
        unselectStructure(stack_->connection(), w.client);
        unselectStructure(stack_->connection(), w.frame);
    }
}

WindowMoveObserver::Watch* WindowMoveObserver::find(const AXElement* element) {
    auto it = std::find_if(watches_.begin(), watches_.end(),
                           [element](const Watch& w) { return w.element.get() == element; });
    return it == watches_.end() ? nullptr : &*it;
}

bool WindowMoveObserver::addNotification(const AXElementRef& element, const std::string& notification) {
    const bool move = notification == kAXWindowMovedNotification;
    const bool resize = notification == kAXWindowResizedNotification;
    const auto* ui = dynamic_cast<const UiElement*>(element.get());
    if ((!move && !resize) || !ui || ui->client == 0 || !filterInstalled_) {
        return false;
    }
    Watch* watch = find(element.get());
    if (!watch) {
        Watch w;
        w.element = element;
        w.client = ui->client;
        w.frame = stack_->topLevelOf(ui->client);
        if (w.frame == 0) {
            return false;   // the window is gone
        }
        xcb_connection_t* c = stack_->connection();
        const auto geometry = xcb_get_geometry(c, w.frame);
        selectStructure(c, {w.client, w.frame});
        if (const auto g = takeReply<xcb_get_geometry_reply_t>(c, geometry, xcb_get_geometry_reply)) {
            w.last = QRect(g->x, g->y, g->width + 2 * g->border_width, g->height + 2 * g->border_width);
        }
        watches_.push_back(w);
        watch = &watches_.back();
    }
    watch->wantsMoves = watch->wantsMoves || move;
    watch->wantsResizes = watch->wantsResizes || resize;
    return true;
}

bool WindowMoveObserver::removeNotification(const AXElementRef& element, const std::string& notification) {
    Watch* watch = find(element.get());
    if (!watch) {
        return false;
    }
    bool* flag = notification == kAXWindowMovedNotification     ? &watch->wantsMoves
                 : notification == kAXWindowResizedNotification ? &watch->wantsResizes
                                                                : nullptr;
    if (!flag || !*flag) {
        return false;
    }
    *flag = false;
    if (!watch->wantsMoves && !watch->wantsResizes) {
        stack_->forgetFrame(watch->client);
        unselectStructure(stack_->connection(), watch->client);
        unselectStructure(stack_->connection(), watch->frame);
        watches_.erase(watches_.begin() + (watch - watches_.data()));
    }
    return true;
}

bool WindowMoveObserver::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (watches_.empty() || eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    switch (event->response_type & 0x7f) {
    case XCB_CONFIGURE_NOTIFY: {
        // Synthetic ones included: a reparenting window manager tells the client of a
        // move that way.
        const auto* e = reinterpret_cast<const xcb_configure_notify_event_t*>(event);
        const bool synthetic = (event->response_type & 0x80) != 0;
        for (Watch& w : watches_) {
            if (e->window == w.frame && !synthetic && !w.gone) {
                // A top-level's place is relative to the root, border included, as
                // the window list reads it.
                w.frameRect = QRect(e->x, e->y, e->width + 2 * e->border_width, e->height + 2 * e->border_width);
                stack_->rememberFrame(w.client, *w.frameRect);
            }
            if (e->window == w.client || e->window == w.frame) {
                markDirty(w);
            }
        }
        break;
    }
    case XCB_REPARENT_NOTIFY: {
        // The window manager framed the window anew (or restarted): follow the new frame.
        const auto* e = reinterpret_cast<const xcb_reparent_notify_event_t*>(event);
        for (Watch& w : watches_) {
            if (e->window != w.client) {
                continue;
            }
            const xcb_window_t frame = stack_->topLevelOf(w.client);
            if (frame != 0 && frame != w.frame) {
                selectStructure(stack_->connection(), {frame});
                unselectStructure(stack_->connection(), w.frame);
                w.frame = frame;
            }
            w.frameRect.reset();
            stack_->forgetFrame(w.client);
            markDirty(w);
        }
        break;
    }
    case XCB_DESTROY_NOTIFY: {
        const auto* e = reinterpret_cast<const xcb_destroy_notify_event_t*>(event);
        for (Watch& w : watches_) {
            if (e->window == w.client) {
                w.gone = true;
                stack_->forgetFrame(w.client);
            }
        }
        break;
    }
    default:
        break;
    }
    // The toolkit sees every event as before; these windows are not its own.
    return false;
}

void WindowMoveObserver::markDirty(Watch& watch) {
    watch.dirty = true;
    if (!flush_.isActive()) {
        flush_.start();
    }
}

void WindowMoveObserver::deliver() {
    std::vector<std::pair<AXElementRef, const char*>> due;
    for (Watch& w : watches_) {
        if (!w.dirty || w.gone) {
            continue;
        }
        w.dirty = false;
        const std::optional<QRect> now = w.frameRect ? w.frameRect : stack_->frameBounds(w.client);
        if (!now) {
            continue;
        }
        const bool moved = !w.last || now->topLeft() != w.last->topLeft();
        const bool resized = !w.last || now->size() != w.last->size();
        w.last = now;
        if (const char* name = frameChangeNotification(moved, resized, w.wantsMoves, w.wantsResizes)) {
            due.emplace_back(w.element, name);
        }
    }
    // A callback may remove registrations or destroy this observer.
    const std::shared_ptr<bool> alive = alive_;
    for (const auto& [element, name] : due) {
        if (!*alive) {
            return;
        }
        if (find(element.get())) {
            callback_(element, name);
        }
    }
}

} // namespace dimwell::x11
