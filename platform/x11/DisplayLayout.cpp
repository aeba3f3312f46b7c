#include "platform/x11/DisplayLayout.h"

#include <algorithm>

namespace dimwell::x11 {

namespace {

bool sameArea(const Head& a, const Head& b) {
    return a.x == b.x && a.y == b.y && a.width == b.width && a.height == b.height;
}

} // namespace

bool sameLayout(const DisplayLayout& a, const DisplayLayout& b) {
    const auto same = [](const DisplayInfo& x, const DisplayInfo& y) {
        return x.id == y.id && x.bounds == y.bounds && x.inMirrorSet == y.inMirrorSet &&
               x.mirrorsDisplay == y.mirrorsDisplay;
    };
    return a.mainId == b.mainId && a.main == b.main &&
           std::equal(a.displays.begin(), a.displays.end(), b.displays.begin(), b.displays.end(), same);
}

DisplayLayout layoutFromHeads(const std::vector<Head>& heads) {
    std::vector<Head> ordered;
    for (const Head& h : heads) {
        if (h.width > 0 && h.height > 0) {
            ordered.push_back(h);
        }
    }
    DisplayLayout layout;
    if (ordered.empty()) {
        return layout;
    }
    const auto primary = std::find_if(ordered.begin(), ordered.end(), [](const Head& h) { return h.primary; });
    if (primary != ordered.end()) {
        std::rotate(ordered.begin(), primary, primary + 1);
    }
    layout.main = ordered.front();
    layout.mainId = layout.main.id;

    for (std::size_t i = 0; i < ordered.size(); ++i) {
        const Head& h = ordered[i];
        DisplayInfo info;
        info.id = h.id;
        info.bounds = {double(h.x - layout.main.x), double(h.y - layout.main.y), double(h.width), double(h.height)};
        for (std::size_t j = 0; j < ordered.size(); ++j) {
            if (j != i && sameArea(ordered[j], h)) {
                info.inMirrorSet = true;
                if (j < i) {
                    info.mirrorsDisplay = ordered[j].id;
                    break;
                }
            }
        }
        layout.displays.push_back(info);
    }
    return layout;
}

} // namespace dimwell::x11
