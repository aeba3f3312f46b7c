#include "platform/wayland/WaylandWindowFactory.h"

namespace dimwell::wayland {

WaylandWindowFactory::WaylandWindowFactory(WaylandConnection& connection, const WaylandDisplays& displays)
    : connection_(connection), displays_(displays) {}

std::unique_ptr<MaskSurface> WaylandWindowFactory::createMaskSurface(const Rect& frame, SurfacePainter& painter) {
    return createMask(frame, painter);
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
