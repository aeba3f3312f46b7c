// Dimwell's Wayland masks under test, on Qt's event loop: one mask per output,
// painted by the mask view, with a hole given in layout coordinates (top-left origin). Prints
// "masks N" each time all masks have shown their picture (again after outputs
// come or go) and reads "move DX DY" lines on standard input, answering "ok"
// once every hole has moved by DX, DY (layout points) at the next frame.
// Arguments: OPACITY, then X Y WIDTH HEIGHT of each hole; an output shows the
// first hole that reaches it.

#include "mask/CustomView.h"
#include "platform/wayland/QtEventPump.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandDisplays.h"
#include "platform/wayland/WaylandWindowFactory.h"

#include <QCoreApplication>
#include <QSocketNotifier>
#include <QTimer>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace dimwell;
using namespace dimwell::wayland;

class StderrSink : public LogSink {
public:
    void write(std::string_view line) override {
        std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
    }
};

struct Mask {
    explicit Mask(const Rect& frame) : view(frame) {}
    struct Painter : SurfacePainter {
        explicit Painter(const CustomView& v) : view(v) {}
        void draw(Canvas& canvas, const Rect& dirty) override { view.drawRect(canvas, dirty); }
        const CustomView& view;
    };
    CustomView view;
    Painter painter{view};
    std::unique_ptr<WaylandMaskSurface> surface;
};

} // namespace

int main(int argc, char** argv) {
    if (argc < 2 || (argc - 2) % 4 != 0) {
        std::fprintf(stderr, "usage: %s OPACITY [X Y WIDTH HEIGHT]...\n", argv[0]);
        return 2;
    }
    const float opacity = static_cast<float>(std::atof(argv[1]));
    std::vector<Rect> holes;
    for (int i = 2; i + 3 < argc; i += 4) {
        holes.push_back({std::atof(argv[i]), std::atof(argv[i + 1]), std::atof(argv[i + 2]), std::atof(argv[i + 3])});
    }
    QCoreApplication app(argc, argv);
    StderrSink sink;
    auto connection = WaylandConnection::connect(sink);
    if (!connection) {
        return 1;
    }
    QtEventPump pump(*connection);
    WaylandDisplays displays(*connection);
    WaylandWindowFactory factory(*connection, displays);
    std::vector<std::unique_ptr<Mask>> masks;
    std::size_t announced = 0;

    const auto rebuild = [&] {
        masks.clear();
        announced = 0;
        const double H = displays.mainScreenHeight();
        for (const DisplayInfo& display : displays.activeDisplays()) {
            const Rect frame = topLeftToCocoa(display.bounds, H);
            auto mask = std::make_unique<Mask>(frame);
            mask->view.setOverlayOpacity(opacity);
            for (const Rect& hole : holes) {
                const Rect local = intersection(hole, display.bounds);
                if (!local.isEmpty()) {
                    mask->view.setMyRect(
                        {local.x - display.bounds.x, display.bounds.maxY() - local.maxY(), local.width, local.height});
                    break;
                }
            }
            mask->surface = factory.createMask(frame, mask->painter);
            if (!mask->surface) {
                app.exit(1);
                return;
            }
            mask->surface->orderFront();
            masks.push_back(std::move(mask));
        }
    };
    // Several outputs may change at once: one rebuild after the burst, as the controller does.
    QTimer rebuildSoon;
    rebuildSoon.setSingleShot(true);
    QObject::connect(&rebuildSoon, &QTimer::timeout, rebuild);
    displays.setReconfigurationCallback([&](DisplayId, std::uint32_t) { rebuildSoon.start(0); });
    rebuild();

    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (connection->failed()) {
            app.exit(1);
            return;
        }
        std::size_t shown = 0;
        for (const auto& mask : masks) {
            shown += mask->surface->commits() > 0 ? 1 : 0;
        }
        if (shown == masks.size() && shown != announced) {
            announced = shown;
            std::cout << "masks " << shown << std::endl;
        }
    });
    watch.start(20);

    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    std::string pending;
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        char chunk[256];
        const ssize_t got = read(STDIN_FILENO, chunk, sizeof chunk);
        if (got <= 0) {
            app.quit();
            return;
        }
        pending.append(chunk, static_cast<std::size_t>(got));
        for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
            const std::string command = pending.substr(0, end);
            double dx = 0.0;
            double dy = 0.0;
            if (std::sscanf(command.c_str(), "move %lf %lf", &dx, &dy) != 2) {
                continue;
            }
            // Layout space is y-down, the views' y-up; a redraw at the next frame, as a drag asks for.
            for (const auto& mask : masks) {
                const Rect r = mask->view.myRect();
                if (!r.isZero()) {
                    mask->view.setMyRect({r.x + dx, r.y - dy, r.width, r.height});
                    mask->surface->setNeedsDisplay();
                }
            }
            connection->roundtrip();
            std::cout << "ok" << std::endl;
        }
    });
    return app.exec();
}
