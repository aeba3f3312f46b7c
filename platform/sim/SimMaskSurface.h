#pragma once
// What one mask window did: shown or not, ordered front, closed, its level, mouse
// transparency and collection behaviour, how often it painted at once or was marked
// for a later pass, and the pixels it painted.

#include "platform/ports/MaskSurface.h"
#include "platform/sim/SimCanvas.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace dimwell {

class SimMaskSurface : public MaskSurface {
public:
    SimMaskSurface(const Rect& frame, SurfacePainter& painter, std::uint64_t& orderClock);

    void orderFront() override;
    void orderOut() override { visible_ = false; ++orderOutCount_; }
    void close() override { visible_ = false; closed_ = true; }
    bool isVisible() const override { return visible_; }
    void setShieldingLevel() override { shieldingLevel_ = true; }
    void setIgnoresMouseEvents(bool ignores) override { ignoresMouse_ = ignores; }
    void setCollectionBehavior(CollectionBehavior behavior) override { collectionBehavior_ = behavior; }
    Rect frame() const override { return frame_; }
    void display() override;
    void setNeedsDisplay() override { needsDisplay_ = true; ++needsDisplayCount_; }

    /// The platform's display pass: paints once if marked since the last pass.
    bool displayIfNeeded();
    /// The window's owner let it go; it can no longer paint.
    void destroyed() { painter_ = nullptr; destroyed_ = true; visible_ = false; }

    bool closed() const { return closed_; }
    bool isDestroyed() const { return destroyed_; }
    bool shieldingLevel() const { return shieldingLevel_; }
    std::optional<bool> ignoresMouse() const { return ignoresMouse_; }
    std::optional<CollectionBehavior> collectionBehavior() const { return collectionBehavior_; }
    int orderFrontCount() const { return orderFrontCount_; }
    int orderOutCount() const { return orderOutCount_; }
    int displayCount() const { return displayCount_; }
    int needsDisplayCount() const { return needsDisplayCount_; }
    bool needsDisplay() const { return needsDisplay_; }
    /// Paints of any kind (immediate or from a display pass).
    int paintCount() const { return paintCount_; }
    /// Later-ordered-front surfaces are in front of earlier ones.
    std::uint64_t frontOrder() const { return frontOrder_; }
    const SimCanvas& canvas() const { return canvas_; }
    Rgba pixel(int x, int y) const { return canvas_.pixel(x, y); }
    void resetCounts();

private:
    void paint();

    Rect frame_;
    SurfacePainter* painter_;
    std::uint64_t& orderClock_;
    SimCanvas canvas_;
    bool visible_ = false;
    bool closed_ = false;
    bool destroyed_ = false;
    bool shieldingLevel_ = false;
    std::optional<bool> ignoresMouse_;
    std::optional<CollectionBehavior> collectionBehavior_;
    int orderFrontCount_ = 0;
    int orderOutCount_ = 0;
    int displayCount_ = 0;
    int needsDisplayCount_ = 0;
    int paintCount_ = 0;
    bool needsDisplay_ = false;
    std::uint64_t frontOrder_ = 0;
};

} // namespace dimwell
