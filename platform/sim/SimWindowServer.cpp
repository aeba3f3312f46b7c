#include "platform/sim/SimWindowServer.h"

#include "platform/ports/Bundle.h"
#include "platform/sim/SimDisplays.h"
#include "platform/sim/SimWindowFactory.h"

#include <algorithm>

namespace dimwell {

SimWindowServer::SimWindowServer(const SimWindowFactory& factory, const SimDisplays& displays, const Bundle& bundle)
    : factory_(factory), displays_(displays), bundle_(bundle) {}

std::vector<WindowInfo> SimWindowServer::onScreenWindows() const {
    ++reads_;
    std::vector<WindowInfo> list;
    const DisplayInfo* main = displays_.display(displays_.mainDisplayId());
    const double hd = main ? main->bounds.height : 0.0;
    std::uint32_t number = 1;
    for (const SimMaskSurface* s : factory_.visibleFrontToBack()) {
        list.push_back({kOwnPid, cocoaToTopLeft(s->frame(), hd), kShieldingWindowLevel, bundle_.processName(), number++});
    }
    list.insert(list.end(), windows_.begin(), windows_.end());
    return list;
}

WindowInfo& SimWindowServer::addFront(WindowInfo info) {
    if (info.windowNumber == 0) {
        info.windowNumber = nextNumber_++;
    }
    windows_.insert(windows_.begin(), std::move(info));
    return windows_.front();
}

WindowInfo& SimWindowServer::addBack(WindowInfo info) {
    if (info.windowNumber == 0) {
        info.windowNumber = nextNumber_++;
    }
    windows_.push_back(std::move(info));
    return windows_.back();
}

void SimWindowServer::remove(std::uint32_t windowNumber) {
    std::erase_if(windows_, [windowNumber](const WindowInfo& w) { return w.windowNumber == windowNumber; });
}

} // namespace dimwell
