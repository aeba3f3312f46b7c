#pragma once
// One mask window per display: owns its view and the native surface it shows in.

#include "common/Geometry.h"
#include "mask/CustomView.h"
#include "platform/ports/MaskSurface.h"

#include <memory>

namespace dimwell {

class Defaults;
class WindowFactory;

class CustomWindowDelegate {
public:
    virtual ~CustomWindowDelegate() = default;
};

class CustomWindow : public CustomViewDelegate, private SurfacePainter {
    struct Key {};

public:
    CustomWindow(Key, const Rect& contentRect, const Defaults& prefs);
    /// A borderless, clear, non-opaque window covering `contentRect` (Cocoa space);
    /// nothing when the platform gives no surface.
    static std::unique_ptr<CustomWindow> initWithContentRect(const Rect& contentRect, WindowFactory& factory,
                                                             const Defaults& prefs);
    ~CustomWindow() override;
    CustomWindow(const CustomWindow&) = delete;
    CustomWindow& operator=(const CustomWindow&) = delete;

    bool canBecomeKeyWindow() const { return false; }
    void startDrag(Point p);
    void updateDrag(Point p);
    void releaseDrag();
    void updateCrosshairs(Point p);
    void resetAlpha();
    void setCrossColor(const Color& color);

    CustomView& customView() { return *customView_; }
    const CustomView& customView() const { return *customView_; }
    CustomWindowDelegate* mydelegate() const { return mydelegate_; }
    void setMydelegate(CustomWindowDelegate* d) { mydelegate_ = d; }
    bool dragging() const { return dragging_; }
    Point initialLocation() const { return initialLocation_; }

    // The window operations the controller drives.
    void orderFront() { surface_->orderFront(); }
    void orderOut() { surface_->orderOut(); }
    void close() { surface_->close(); }
    bool isVisible() const { return surface_->isVisible(); }
    void setShieldingLevel() { surface_->setShieldingLevel(); }
    void setIgnoresMouseEvents(bool ignores) { surface_->setIgnoresMouseEvents(ignores); }
    void setCollectionBehavior(CollectionBehavior b) { surface_->setCollectionBehavior(b); }
    Rect frame() const { return surface_->frame(); }
    void display() { surface_->display(); }
    void setNeedsDisplay() { surface_->setNeedsDisplay(); }

private:
    void draw(Canvas& canvas, const Rect& dirty) override;

    const Defaults& prefs_;
    Point initialLocation_;
    std::unique_ptr<CustomView> customView_;
    CustomWindowDelegate* mydelegate_ = nullptr;
    bool dragging_ = false;
    std::unique_ptr<MaskSurface> surface_;
};

} // namespace dimwell
