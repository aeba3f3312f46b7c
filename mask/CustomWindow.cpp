#include "mask/CustomWindow.h"

#include "app/Preferences.h"
#include "platform/ports/MaskSurface.h"

#include <cmath>

namespace dimwell {

CustomWindow::CustomWindow(Key, const Rect& contentRect, const Defaults& prefs)
    : prefs_(prefs), customView_(std::make_unique<CustomView>(contentRect)) {}

CustomWindow::~CustomWindow() = default;

std::unique_ptr<CustomWindow> CustomWindow::initWithContentRect(const Rect& contentRect, WindowFactory& factory,
                                                                const Defaults& prefs) {
    auto window = std::make_unique<CustomWindow>(Key{}, contentRect, prefs);
    window->surface_ = factory.createMaskSurface(contentRect, *window);
    if (!window->surface_) {
        return nullptr;
    }
    window->customView_->setViewDelegate(window.get());
    window->customView_->awakeFromNib(prefs);
    return window;
}

void CustomWindow::draw(Canvas& canvas, const Rect& dirty) { customView_->drawRect(canvas, dirty); }

void CustomWindow::startDrag(Point p) {
    initialLocation_ = minus(p, frame().origin());
    customView_->setMyRect({});
    dragging_ = true;
}

void CustomWindow::updateDrag(Point p) {
    Point l = minus(p, frame().origin());
    const Rect bounds = customView_->frame();
    if (l.x > bounds.width) {
        l.x = bounds.width;
    } else if (l.x < 0.0) {
        l.x = 0.0;
    }
    if (l.y > bounds.height) {
        l.y = bounds.height;
    } else if (l.y < 0.0) {
        l.y = 0.0;
    }
    customView_->setMousePosition(l);
    const double dx = l.x - initialLocation_.x;
    const double dy = l.y - initialLocation_.y;
    const Rect dragged{dx < 0.0 ? l.x : initialLocation_.x, dy < 0.0 ? l.y : initialLocation_.y, std::fabs(dx),
                       std::fabs(dy)};
    // A drag back onto its start leaves a zero-size rectangle: no hole.
    const Rect clipped = dragged.isEmpty() ? Rect{} : intersection(dragged, bounds);
    customView_->setMyRect(clipped);
    setNeedsDisplay();
}

void CustomWindow::releaseDrag() {
    dragging_ = false;
    setCollectionBehavior(CollectionBehavior::Transient);
    customView_->setOverlay(false);
    customView_->setOverlayOpacity(floatForKey(prefs_, prefkey::opacity));
    display();
}

void CustomWindow::updateCrosshairs(Point p) {
    customView_->setMousePosition(minus(p, frame().origin()));
    setNeedsDisplay();
}

void CustomWindow::resetAlpha() { customView_->setOverlayOpacity(floatForKey(prefs_, prefkey::opacity)); }

void CustomWindow::setCrossColor(const Color& color) { customView_->setCrossColor(color); }

} // namespace dimwell
