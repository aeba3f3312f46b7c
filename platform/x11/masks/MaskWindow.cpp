#include "platform/x11/masks/MaskWindow.h"

#include "platform/x11/masks/CompositorWatch.h"
#include "platform/x11/masks/MaskStacking.h"
#include "platform/linux/paint/QtCanvas.h"
#include "platform/linux/ScreenSpace.h"
#include "platform/x11/X11Displays.h"
#include "platform/x11/XcbReply.h"
#include "platform/x11/XcbUtil.h"

#include <QBackingStore>
#include <QGuiApplication>
#include <QMetaObject>
#include <QPaintEvent>
#include <QPainter>
#include <QScreen>

#include <xcb/shape.h>

#include <algorithm>
#include <cstring>
#include <malloc.h>
#include <iterator>
#include <unistd.h>
#include <vector>

namespace dimwell::x11 {

class MaskWidget : public QWidget {
public:
    explicit MaskWidget(MaskWindow* owner)
        : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                               Qt::X11BypassWindowManagerHint | Qt::WindowDoesNotAcceptFocus |
                               Qt::NoDropShadowWindowHint),
          owner_(owner) {}

    MaskWindow* owner() const { return owner_; }
    /// The window is closing: nothing may reach the mask window any more.
    void detach() { owner_ = nullptr; }

protected:
    void paintEvent(QPaintEvent* event) override {
        if (owner_) {
            owner_->paint(*this, event->region());
        }
    }

private:
    MaskWindow* owner_;
};

namespace {

void setProperty32(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property, xcb_atom_t type,
                   const std::vector<std::uint32_t>& values) {
    if (property != XCB_ATOM_NONE) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, property, type, 32,
                            static_cast<std::uint32_t>(values.size()), values.data());
    }
}

/// The pixel of `color` in a window of `depth`: premultiplied alpha on 32 bits.
std::uint32_t pixelOf(const Color& color, std::uint8_t depth) {
    const auto channel = [](double v) { return static_cast<std::uint32_t>(std::clamp(v, 0.0, 1.0) * 255.0 + 0.5); };
    const double alpha = depth == 32 ? std::clamp(color.alpha, 0.0, 1.0) : 1.0;
    const std::uint32_t rgb =
        channel(color.red * alpha) << 16 | channel(color.green * alpha) << 8 | channel(color.blue * alpha);
    return depth == 32 ? channel(alpha) << 24 | rgb : rgb;
}

/// The screen showing most of `rootRect`; its pixel ratio scales the window.
QScreen* screenFor(const QRect& rootRect) {
    QScreen* best = QGuiApplication::primaryScreen();
    qint64 bestArea = 0;
    for (QScreen* s : QGuiApplication::screens()) {
        const QRect overlap = ScreenSpace::nativeGeometry(s).intersected(rootRect);
        const qint64 area = qint64(overlap.width()) * overlap.height();
        if (area > bestArea) {
            best = s;
            bestArea = area;
        }
    }
    return best;
}

} // namespace

// --- MaskContext ---------------------------------------------------------------

MaskContext::MaskContext(LogSink& log) : log_(log), stacking_(std::make_unique<MaskStacking>(log)) {
    if (xcb_connection_t* c = xcbConnection()) {
        const xcb_query_extension_reply_t* shape = xcb_get_extension_data(c, &xcb_shape_id);
        hasShape_ = shape && shape->present;
        const char* names[] = {"_NET_WM_PID", "_NET_WM_WINDOW_TYPE", "_NET_WM_WINDOW_TYPE_NOTIFICATION",
                               "_NET_WM_BYPASS_COMPOSITOR"};
        xcb_atom_t* atoms[] = {&atoms_.pid, &atoms_.windowType, &atoms_.notification, &atoms_.bypassCompositor};
        xcb_intern_atom_cookie_t cookies[std::size(names)];
        for (std::size_t i = 0; i < std::size(names); ++i) {
            cookies[i] = xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(names[i])), names[i]);
        }
        for (std::size_t i = 0; i < std::size(names); ++i) {
            if (const auto reply = takeReply<xcb_intern_atom_reply_t>(c, cookies[i], xcb_intern_atom_reply)) {
                *atoms[i] = reply->atom;
            }
        }
        // Watching first, then asking: a change in between is not missed.
        watch_ = std::make_unique<CompositorWatch>([this](bool running) { compositorChanged(running); });
        compositor_ = compositorRunning();
    }
    if (!hasShape_) {
        log_("the X server has no SHAPE extension: the veil cannot let clicks through");
    }
}

MaskContext::~MaskContext() = default;

bool MaskContext::checkCompositor() {
    if (!watch_ || !watch_->watching()) {
        compositor_ = compositorRunning();
    }
    if (!compositor_ && !warned_) {
        log_("no compositor: the veil will be opaque; dimming needs a compositing manager");
    }
    warned_ = !compositor_;
    return compositor_;
}

void MaskContext::compositorChanged(bool running) {
    if (running == compositor_) {
        return;
    }
    compositor_ = running;
    warned_ = !running;
    if (running) {
        log_("a compositor is running: the veil is translucent again");
    } else {
        log_("the compositor has gone: the veil is opaque now, with the hole cut out of it");
    }
    for (MaskWindow* window : windows_) {
        window->compositorChanged();
    }
}

// --- MaskWindow ----------------------------------------------------------------

MaskWindow::MaskWindow(const Rect& frame, const QRect& rootRect, SurfacePainter& painter, MaskContext& context)
    : frame_(frame), rootRect_(rootRect), painter_(&painter), context_(context) {
    auto* widget = new MaskWidget(this);
    widget_ = widget;
    widget->setAttribute(Qt::WA_TranslucentBackground);
    widget->setAttribute(Qt::WA_ShowWithoutActivating);
    widget->setAttribute(Qt::WA_X11DoNotAcceptFocus);
    widget->setWindowTitle(QStringLiteral("Dimwell"));

    // One point is one X pixel; Qt lays windows out in its own logical pixels.
    if (QScreen* screen = screenFor(rootRect)) {
        const QRect native = ScreenSpace::nativeGeometry(screen);
        const qreal ratio = screen->devicePixelRatio();
        logicalPerPoint_ = 1.0 / ratio;
        const QPoint offset = rootRect.topLeft() - native.topLeft();
        widget->setScreen(screen);
        const QPoint origin = screen->geometry().topLeft() + QPoint(qRound(offset.x() / ratio), qRound(offset.y() / ratio));
        widget->setGeometry(QRect(origin, QSize(qRound(rootRect.width() / ratio), qRound(rootRect.height() / ratio))));
    } else {
        widget->setGeometry(rootRect);
    }
    widget->winId();
    prepareNativeWindow();
    createBackground();
    context_.attach(*this);
}

MaskWindow::~MaskWindow() { close(); }

xcb_window_t MaskWindow::windowId() const {
    return widget_ && !closed_ ? static_cast<xcb_window_t>(widget_->winId()) : xcb_window_t{XCB_WINDOW_NONE};
}

void MaskWindow::prepareNativeWindow() {
    xcb_connection_t* c = xcbConnection();
    const xcb_window_t w = windowId();
    if (!c || w == XCB_WINDOW_NONE) {
        return;
    }
    static const char wmClass[] = "Dimwell\0Dimwell";
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, w, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8, sizeof wmClass, wmClass);
    const MaskContext::Atoms& atoms = context_.atoms();
    setProperty32(c, w, atoms.pid, XCB_ATOM_CARDINAL, {static_cast<std::uint32_t>(getpid())});
    setProperty32(c, w, atoms.windowType, XCB_ATOM_ATOM, {atoms.notification});
    // 2: never unredirect this window; a full-screen veil must stay blended.
    setProperty32(c, w, atoms.bypassCompositor, XCB_ATOM_CARDINAL, {2});
    setIgnoresMouseEvents(ignoresMouse_);
}

void MaskWindow::createBackground() {
    xcb_connection_t* c = xcbConnection();
    const xcb_window_t w = windowId();
    if (!c || w == XCB_WINDOW_NONE) {
        return;
    }
    const auto geometry = takeReply<xcb_get_geometry_reply_t>(c, xcb_get_geometry(c, w), xcb_get_geometry_reply);
    if (!geometry) {
        return;
    }
    const xcb_pixmap_t pixmap = xcb_generate_id(c);
    if (!requestSucceeded(c, xcb_create_pixmap_checked(c, geometry->depth, pixmap, w, geometry->width,
                                                       geometry->height))) {
        return;   // no memory for it in the server: the widget's paint shows the first frame
    }
    const xcb_gcontext_t gc = xcb_generate_id(c);
    if (!requestSucceeded(c, xcb_create_gc_checked(c, gc, pixmap, 0, nullptr))) {
        xcb_free_pixmap(c, pixmap);
        return;
    }
    background_ = pixmap;
    backgroundGc_ = gc;
    backgroundDepth_ = geometry->depth;
}

void MaskWindow::paintBackground() {
    xcb_connection_t* c = xcbConnection();
    const xcb_window_t w = windowId();
    if (!c || w == XCB_WINDOW_NONE || background_ == XCB_PIXMAP_NONE) {
        return;
    }
    // Fills only: they copy their colour, as the server's fills do. The lines (the
    // crosshair) come a moment later with the widget's own paint.
    for (const PaintOp& op : picture_) {
        if (op.kind != PaintOp::Kind::Fill || op.rect.isEmpty()) {
            continue;
        }
        const QRect r = QRectF(op.rect.x, frame_.height - op.rect.y - op.rect.height, op.rect.width, op.rect.height)
                            .toAlignedRect();
        const std::uint32_t pixel = pixelOf(op.color, backgroundDepth_);
        xcb_change_gc(c, backgroundGc_, XCB_GC_FOREGROUND, &pixel);
        const xcb_rectangle_t rect{static_cast<std::int16_t>(r.x()), static_cast<std::int16_t>(r.y()),
                                   static_cast<std::uint16_t>(r.width()), static_cast<std::uint16_t>(r.height())};
        xcb_poly_fill_rectangle(c, background_, backgroundGc_, 1, &rect);
    }
    xcb_change_window_attributes(c, w, XCB_CW_BACK_PIXMAP, &background_);
}

void MaskWindow::orderFront() {
    if (closed_) {
        return;
    }
    const bool shown = mapped_;
    wanted_ = true;
    applyVisibility();
    if (shown) {
        // Already on screen (a new hole): the stacking guard keeps it on top.
        return;
    }
    widget_->raise();
    // Raised above everything at once; this program's own menu or settings window
    // goes back above the veil at the end of the pass.
    context_.stacking().scheduleRaise();
}

void MaskWindow::orderOut() {
    if (closed_ || !wanted_) {
        return;
    }
    wanted_ = false;
    if (visibilityPending_) {
        return;
    }
    visibilityPending_ = true;
    // Unmapping waits for the end of this pass of the event loop: a new hole
    // orders every window out and the touched ones straight back in.
    QMetaObject::invokeMethod(
        widget_.data(),
        [w = widget_.data()] {
            if (MaskWindow* owner = static_cast<MaskWidget*>(w)->owner()) {
                owner->applyVisibility();
            }
        },
        Qt::QueuedConnection);
}

void MaskWindow::applyVisibility() {
    visibilityPending_ = false;
    if (closed_ || !widget_) {
        return;
    }
    if (wanted_ && !mapped_) {
        context_.checkCompositor();
        RecordingCanvas recording;
        painter_->draw(recording, {0.0, 0.0, frame_.width, frame_.height});
        picture_ = recording.ops();
        updateBoundingShape();
        paintBackground();
        widget_->show();
        if (background_ != XCB_PIXMAP_NONE) {
            // The map has painted it; later exposures are the widget's to paint, and
            // must not flash this picture once the hole has moved on.
            const std::uint32_t none = XCB_BACK_PIXMAP_NONE;
            xcb_change_window_attributes(xcbConnection(), windowId(), XCB_CW_BACK_PIXMAP, &none);
        }
        mapped_ = true;
        prepareNativeWindow();
    } else if (!wanted_ && mapped_) {
        widget_->hide();
        mapped_ = false;
        // The hidden window keeps no full-screen image in this process: the next
        // map shows the server's background first and the widget's paint sizes
        // the image back to the window.
        if (QBackingStore* store = widget_->backingStore()) {
            store->resize(QSize(0, 0));
        }
        // The pictures painted while it was up are freed by now; hand their pages
        // back so that an idle Dimwell stays small.
        malloc_trim(0);
    }
    if (mapped_ && shielding_) {
        context_.stacking().add(windowId());
    } else {
        context_.stacking().remove(windowId());
    }
}

void MaskWindow::close() {
    if (closed_) {
        return;
    }
    context_.detach(*this);
    if (background_ != XCB_PIXMAP_NONE) {
        if (xcb_connection_t* c = xcbConnection()) {
            xcb_free_gc(c, backgroundGc_);
            xcb_free_pixmap(c, background_);
        }
        background_ = XCB_PIXMAP_NONE;
    }
    if (widget_) {
        context_.stacking().remove(static_cast<xcb_window_t>(widget_->winId()));
        widget_->detach();
        // Destroys the X window now; a queued order out dies with the widget.
        delete widget_.data();
    }
    closed_ = true;
    wanted_ = mapped_ = false;
    painter_ = nullptr;
}

void MaskWindow::setShieldingLevel() {
    shielding_ = true;
    applyVisibility();
}

void MaskWindow::setIgnoresMouseEvents(bool ignores) {
    ignoresMouse_ = ignores;
    xcb_connection_t* c = xcbConnection();
    const xcb_window_t w = windowId();
    if (!c || w == XCB_WINDOW_NONE || !context_.hasShape()) {
        return;
    }
    if (ignores) {
        // No rectangles: the input region is empty and the pointer falls through.
        xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, XCB_CLIP_ORDERING_UNSORTED, w, 0, 0, 0, nullptr);
    } else {
        xcb_shape_mask(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, w, 0, 0, XCB_PIXMAP_NONE);
    }
    xcb_flush(c);
}

void MaskWindow::setCollectionBehavior(CollectionBehavior /*behavior*/) {
    // Override-redirect windows already belong to every workspace and to no
    // window list: transient and stationary need nothing more.
}

QRegion MaskWindow::toWidget(const Rect& local) const {
    const QRectF r(local.x * logicalPerPoint_, (frame_.height - local.y - local.height) * logicalPerPoint_,
                   local.width * logicalPerPoint_, local.height * logicalPerPoint_);
    return QRegion(r.toAlignedRect());
}

QRegion MaskWindow::changes() {
    RecordingCanvas recording;
    painter_->draw(recording, {0.0, 0.0, frame_.width, frame_.height});
    QRegion region;
    for (const Rect& r : damageBetween(picture_, recording.ops(), {0.0, 0.0, frame_.width, frame_.height})) {
        region += toWidget(r);
    }
    picture_ = recording.ops();
    return region;
}

void MaskWindow::display() {
    if (closed_) {
        return;
    }
    const QRegion dirty = changes();
    updateBoundingShape();
    if (mapped_ && !dirty.isEmpty()) {
        widget_->repaint(dirty);
    }
}

void MaskWindow::setNeedsDisplay() {
    if (closed_) {
        return;
    }
    const QRegion dirty = changes();
    updateBoundingShape();
    if (mapped_ && !dirty.isEmpty()) {
        widget_->update(dirty);
    }
}

void MaskWindow::paint(QWidget& widget, const QRegion& region) {
    if (!painter_) {
        return;
    }
    QPainter p(&widget);
    QtCanvas canvas(p, frame_.height, logicalPerPoint_);
    const double pointsPerLogical = 1.0 / logicalPerPoint_;
    for (const QRect& r : region) {
        p.setClipRect(r);
        const Rect area{r.x() * pointsPerLogical, frame_.height - (r.y() + r.height()) * pointsPerLogical,
                        r.width() * pointsPerLogical, r.height() * pointsPerLogical};
        painter_->draw(canvas, area);
    }
}

void MaskWindow::updateBoundingShape() {
    xcb_connection_t* c = xcbConnection();
    const xcb_window_t w = windowId();
    if (!c || w == XCB_WINDOW_NONE || !context_.hasShape()) {
        return;
    }
    if (context_.compositor()) {
        if (boundingShape_) {
            xcb_shape_mask(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, w, 0, 0, XCB_PIXMAP_NONE);
            boundingShape_.reset();
        }
        return;
    }
    // Without a compositor the alpha channel is ignored and the hole would show
    // black: cut the fully transparent areas out of the window instead, so the
    // desktop shows through them.
    const int width = rootRect_.width();
    const int height = rootRect_.height();
    QRegion clear;
    for (const PaintOp& op : picture_) {
        if (op.kind != PaintOp::Kind::Fill || op.rect.isEmpty()) {
            continue;
        }
        const QRect r = QRectF(op.rect.x, frame_.height - op.rect.y - op.rect.height, op.rect.width, op.rect.height)
                            .toAlignedRect();
        if (op.color.alpha <= 0.0) {
            clear += r;
        } else {
            clear -= r;
        }
    }
    const QRegion shape = QRegion(0, 0, width, height) - clear;
    if (boundingShape_ && *boundingShape_ == shape) {
        return;
    }
    std::vector<xcb_rectangle_t> rects;
    for (const QRect& r : shape) {
        rects.push_back({static_cast<std::int16_t>(r.x()), static_cast<std::int16_t>(r.y()),
                         static_cast<std::uint16_t>(r.width()), static_cast<std::uint16_t>(r.height())});
    }
    xcb_shape_rectangles(c, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_BOUNDING, XCB_CLIP_ORDERING_UNSORTED, w, 0, 0,
                         static_cast<std::uint32_t>(rects.size()), rects.data());
    xcb_flush(c);
    boundingShape_ = shape;
}

// --- X11WindowFactory ------------------------------------------------------------

X11WindowFactory::X11WindowFactory(const X11Displays& displays, LogSink& log) : displays_(displays), context_(log) {}

X11WindowFactory::~X11WindowFactory() = default;

std::unique_ptr<MaskSurface> X11WindowFactory::createMaskSurface(const Rect& frame, SurfacePainter& painter) {
    if (!xcbConnection() || frame.isEmpty()) {
        return nullptr;
    }
    const Head& main = displays_.mainHead();
    const ScreenSpace space(QRect(main.x, main.y, main.width, main.height));
    return std::make_unique<MaskWindow>(frame, space.cocoaToRoot(frame), painter, context_);
}

} // namespace dimwell::x11
