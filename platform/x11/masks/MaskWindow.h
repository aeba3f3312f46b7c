#pragma once
// The mask windows on X: one frameless, override-redirect, click-through,
// per-pixel translucent Qt window per display, painted by the mask view.
//
// How the window operations map to X:
// - shielding level: override-redirect windows stacked above every other
//   program's windows, and put back on top whenever one comes up above them;
//   this program's own windows stay above (MaskStacking);
// - order front / out: map and raise / unmap; an order out followed by an order
//   front in the same pass of the event loop (every new hole does that) never
//   reaches the screen, so the veil does not flicker. The window is made once and
//   kept; before each map the server paints the veil and the hole into the
//   window's background, so the first frame shows without waiting for a paint;
// - ignores mouse events: an empty XShape input region, so every click reaches
//   the window below;
// - collection behaviour: nothing to do; override-redirect windows show on every
//   workspace and in no task list;
// - close: the X window is destroyed, not kept hidden.

#include "common/Log.h"
#include "platform/ports/MaskSurface.h"
#include "mask/MaskPicture.h"

#include <QPointer>
#include <QRect>
#include <QRegion>
#include <QWidget>

#include <xcb/xcb.h>

#include <memory>
#include <optional>
#include <set>

namespace dimwell::x11 {

class CompositorWatch;
class MaskStacking;
class MaskWindow;
class X11Displays;

/// What the mask windows share: the compositor state and the stacking guard.
/// When a compositor starts or stops, every window switches at once between the
/// translucent veil and the opaque one with the hole cut out.
class MaskContext {
public:
    explicit MaskContext(LogSink& log);
    ~MaskContext();
    MaskContext(const MaskContext&) = delete;
    MaskContext& operator=(const MaskContext&) = delete;

    MaskStacking& stacking() { return *stacking_; }
    /// Whether translucency works; logged once when it does not.
    bool checkCompositor();
    bool compositor() const { return compositor_; }
    bool hasShape() const { return hasShape_; }

    /// Atoms the windows write on every map, interned once.
    struct Atoms {
        xcb_atom_t pid = XCB_ATOM_NONE;
        xcb_atom_t windowType = XCB_ATOM_NONE;
        xcb_atom_t notification = XCB_ATOM_NONE;
        xcb_atom_t bypassCompositor = XCB_ATOM_NONE;
    };
    const Atoms& atoms() const { return atoms_; }

    void attach(MaskWindow& window) { windows_.insert(&window); }
    void detach(MaskWindow& window) { windows_.erase(&window); }

private:
    void compositorChanged(bool running);

    Logger log_;
    std::unique_ptr<MaskStacking> stacking_;
    std::unique_ptr<CompositorWatch> watch_;
    std::set<MaskWindow*> windows_;
    Atoms atoms_;
    bool compositor_ = true;
    bool warned_ = false;
    bool hasShape_ = false;
};

class MaskWidget;

class MaskWindow : public MaskSurface {
public:
    /// `frame`: Cocoa space; `rootRect`: the same area in root pixels.
    MaskWindow(const Rect& frame, const QRect& rootRect, SurfacePainter& painter, MaskContext& context);
    ~MaskWindow() override;
    MaskWindow(const MaskWindow&) = delete;
    MaskWindow& operator=(const MaskWindow&) = delete;

    void orderFront() override;
    void orderOut() override;
    void close() override;
    bool isVisible() const override { return wanted_; }
    void setShieldingLevel() override;
    void setIgnoresMouseEvents(bool ignores) override;
    void setCollectionBehavior(CollectionBehavior behavior) override;
    Rect frame() const override { return frame_; }
    void display() override;
    void setNeedsDisplay() override;

    /// The X window, for tests; none once closed.
    xcb_window_t windowId() const;
    /// Paints `region` (widget coordinates); the widget's paint event calls it.
    void paint(QWidget& widget, const QRegion& region);
    /// A compositor started or stopped: cut the hole out of the window, or stop cutting.
    void compositorChanged() { updateBoundingShape(); }

private:
    void applyVisibility();
    void prepareNativeWindow();
    /// The picture's fills, painted by the server into the window's background.
    void paintBackground();
    void createBackground();
    /// Records the picture now and returns where it differs from the last one.
    QRegion changes();
    QRegion toWidget(const Rect& local) const;
    void updateBoundingShape();

    Rect frame_;
    QRect rootRect_;
    SurfacePainter* painter_;
    MaskContext& context_;
    QPointer<MaskWidget> widget_;
    double logicalPerPoint_ = 1.0;
    bool wanted_ = false;
    bool mapped_ = false;
    bool shielding_ = false;
    bool ignoresMouse_ = false;
    bool closed_ = false;
    bool visibilityPending_ = false;
    std::vector<PaintOp> picture_;
    std::optional<QRegion> boundingShape_;
    xcb_pixmap_t background_ = XCB_PIXMAP_NONE;
    xcb_gcontext_t backgroundGc_ = XCB_NONE;
    std::uint8_t backgroundDepth_ = 32;
};

/// Makes the mask windows; frames are placed with the displays' main display.
class X11WindowFactory : public WindowFactory {
public:
    X11WindowFactory(const X11Displays& displays, LogSink& log);
    ~X11WindowFactory() override;
    std::unique_ptr<MaskSurface> createMaskSurface(const Rect& frame, SurfacePainter& painter) override;

private:
    const X11Displays& displays_;
    MaskContext context_;
};

} // namespace dimwell::x11
