#include "platform/wayland/WaylandWindowFactory.h"

namespace dimwell::wayland {

namespace {

/// A mask that is on the roster from its making to its end.
class ListedMask final : public MaskSurface {
public:
    ListedMask(std::unique_ptr<WaylandMaskSurface> mask, MaskRoster& roster)
        : mask_(std::move(mask)), roster_(roster) {
        roster_.add(*mask_);
    }
    ~ListedMask() override { roster_.remove(*mask_); }
    ListedMask(const ListedMask&) = delete;
    ListedMask& operator=(const ListedMask&) = delete;

    void orderFront() override { mask_->orderFront(); }
    void orderOut() override { mask_->orderOut(); }
    void close() override { mask_->close(); }
    bool isVisible() const override { return mask_->isVisible(); }
    void setShieldingLevel() override { mask_->setShieldingLevel(); }
    void setIgnoresMouseEvents(bool ignores) override { roster_.setIgnoresMouseEvents(*mask_, ignores); }
    void setCollectionBehavior(CollectionBehavior behavior) override { mask_->setCollectionBehavior(behavior); }
    Rect frame() const override { return mask_->frame(); }
    void display() override { mask_->display(); }
    void setNeedsDisplay() override { mask_->setNeedsDisplay(); }

private:
    std::unique_ptr<WaylandMaskSurface> mask_;
    MaskRoster& roster_;
};

} // namespace

WaylandWindowFactory::WaylandWindowFactory(WaylandConnection& connection, const WaylandDisplays& displays,
                                           MaskRoster* roster)
    : connection_(connection), displays_(displays), roster_(roster) {}

std::unique_ptr<MaskSurface> WaylandWindowFactory::createMaskSurface(const Rect& frame, SurfacePainter& painter) {
    std::unique_ptr<WaylandMaskSurface> mask = createMask(frame, painter);
    if (!mask || !roster_) {
        return mask;
    }
    return std::make_unique<ListedMask>(std::move(mask), *roster_);
}

std::unique_ptr<WaylandMaskSurface> WaylandWindowFactory::createMask(const Rect& frame, SurfacePainter& painter) {
    const Rect area = cocoaToTopLeft(frame, displays_.mainScreenHeight());
    // The output covering most of the frame; a layer surface always fills its output.
    const WaylandOutput* best = nullptr;
    double bestOverlap = 0.0;
    for (const WaylandOutput* output : connection_.outputs()) {
        const Rect overlap = intersection(area, output->logical());
        if (overlap.width * overlap.height > bestOverlap) {
            best = output;
            bestOverlap = overlap.width * overlap.height;
        }
    }
    if (!best) {
        Logger(connection_.log())("Wayland: no output under the mask frame %gx%g+%g+%g", area.width, area.height,
                                  area.x, area.y);
        return nullptr;
    }
    return std::make_unique<WaylandMaskSurface>(connection_, best->globalName(), frame, painter);
}

} // namespace dimwell::wayland
