#include "platform/sim/SimWindowFactory.h"

#include <algorithm>

namespace dimwell {
namespace {

/// The owner's handle: forwards to the record and marks it gone when dropped.
class Handle : public MaskSurface {
public:
    explicit Handle(std::shared_ptr<SimMaskSurface> s) : s_(std::move(s)) {}
    ~Handle() override { s_->destroyed(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;

    void orderFront() override { s_->orderFront(); }
    void orderOut() override { s_->orderOut(); }
    void close() override { s_->close(); }
    bool isVisible() const override { return s_->isVisible(); }
    void setShieldingLevel() override { s_->setShieldingLevel(); }
    void setIgnoresMouseEvents(bool ignores) override { s_->setIgnoresMouseEvents(ignores); }
    void setCollectionBehavior(CollectionBehavior b) override { s_->setCollectionBehavior(b); }
    Rect frame() const override { return s_->frame(); }
    void display() override { s_->display(); }
    void setNeedsDisplay() override { s_->setNeedsDisplay(); }

private:
    std::shared_ptr<SimMaskSurface> s_;
};

} // namespace

std::unique_ptr<MaskSurface> SimWindowFactory::createMaskSurface(const Rect& frame, SurfacePainter& painter) {
    if (refuse_ > 0) {
        --refuse_;
        return nullptr;
    }
    auto s = std::make_shared<SimMaskSurface>(frame, painter, orderClock_);
    surfaces_.push_back(s);
    return std::make_unique<Handle>(std::move(s));
}

std::vector<SimMaskSurface*> SimWindowFactory::all() const {
    std::vector<SimMaskSurface*> out;
    for (const auto& s : surfaces_) {
        out.push_back(s.get());
    }
    return out;
}

std::vector<SimMaskSurface*> SimWindowFactory::live() const {
    std::vector<SimMaskSurface*> out;
    for (const auto& s : surfaces_) {
        if (!s->isDestroyed()) {
            out.push_back(s.get());
        }
    }
    return out;
}

std::vector<SimMaskSurface*> SimWindowFactory::visibleFrontToBack() const {
    std::vector<SimMaskSurface*> out;
    for (const auto& s : surfaces_) {
        if (!s->isDestroyed() && s->isVisible()) {
            out.push_back(s.get());
        }
    }
    std::stable_sort(out.begin(), out.end(),
                     [](const SimMaskSurface* a, const SimMaskSurface* b) { return a->frontOrder() > b->frontOrder(); });
    return out;
}

SimMaskSurface* SimWindowFactory::liveAt(const Rect& frame) const {
    for (const auto& s : surfaces_) {
        if (!s->isDestroyed() && s->frame() == frame) {
            return s.get();
        }
    }
    return nullptr;
}

int SimWindowFactory::runDisplayPass() {
    int n = 0;
    for (const auto& s : surfaces_) {
        if (!s->isDestroyed() && s->displayIfNeeded()) {
            ++n;
        }
    }
    return n;
}

} // namespace dimwell
