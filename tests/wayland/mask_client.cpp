// Dimwell's Wayland masks under test: one mask per output, painted by the mask
// view, with a hole given in layout coordinates (top-left origin). Prints
// "masks N" each time all masks have shown their picture (again after outputs
// come or go) and reads commands on standard input, answering "ok":
//   clickout  masks take clicks outside the hole
//   ignore    masks let every click through
//   select    masks take every click and the keyboard
// Arguments: OPACITY, then X Y WIDTH HEIGHT of each hole; an output shows the
// first hole that reaches it.

#include "mask/CustomView.h"
#include "platform/wayland/WaylandConnection.h"
#include "platform/wayland/WaylandDisplays.h"
#include "platform/wayland/WaylandWindowFactory.h"

#include <poll.h>
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
    void write(std::string_view line) override { std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data()); }
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
    StderrSink sink;
    auto connection = WaylandConnection::connect(sink);
    if (!connection) {
        return 1;
    }
    WaylandDisplays displays(*connection);
    WaylandWindowFactory factory(*connection, displays);
    std::vector<std::unique_ptr<Mask>> masks;
    bool rebuild = true;
    bool takesClicks = false;
    bool selecting = false;
    displays.setReconfigurationCallback([&](DisplayId, std::uint32_t) { rebuild = true; });

    std::size_t announced = 0;
    while (!connection->failed()) {
        if (rebuild) {
            rebuild = false;
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
                        mask->view.setMyRect({local.x - display.bounds.x, display.bounds.maxY() - local.maxY(),
                                              local.width, local.height});
                        break;
                    }
                }
                mask->surface = factory.createMask(frame, mask->painter);
                if (!mask->surface) {
                    return 1;
                }
                mask->surface->setIgnoresMouseEvents(!takesClicks);
                mask->surface->setSelecting(selecting);
                mask->surface->orderFront();
                masks.push_back(std::move(mask));
            }
        }
        std::size_t shown = 0;
        for (const auto& mask : masks) {
            shown += mask->surface->commits() > 0 ? 1 : 0;
        }
        if (shown == masks.size() && shown != announced) {
            announced = shown;
            std::cout << "masks " << shown << std::endl;
        }

        connection->prepareRead();
        pollfd fds[2] = {{connection->fd(), POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        const int ready = poll(fds, 2, 1000);
        connection->readAndDispatch(ready > 0 && (fds[0].revents & POLLIN));
        if (ready > 0 && (fds[1].revents & (POLLIN | POLLHUP))) {
            std::string command;
            if (!std::getline(std::cin, command)) {
                break;
            }
            takesClicks = command == "clickout" || command == "select";
            selecting = command == "select";
            for (const auto& mask : masks) {
                mask->surface->setIgnoresMouseEvents(!takesClicks);
                mask->surface->setSelecting(selecting);
            }
            connection->roundtrip();
            std::cout << "ok" << std::endl;
        }
    }
    return connection->failed() ? 1 : 0;
}
