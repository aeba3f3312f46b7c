#include "platform/sim/SimDisplays.h"

#include <algorithm>
#include <cstdio>
#include <sstream>
#include <stdexcept>

namespace dimwell {

std::vector<Rect> parseDisplaySpec(const std::string& spec) {
    std::vector<Rect> rects;
    std::stringstream in(spec);
    std::string item;
    while (std::getline(in, item, ',')) {
        double w = 0, h = 0, x = 0, y = 0;
        char sx = 0, sy = 0;
        int used = 0;
        if (std::sscanf(item.c_str(), " %lfx%lf%c%lf%c%lf%n", &w, &h, &sx, &x, &sy, &y, &used) != 6 ||
            static_cast<size_t>(used) != item.size() || (sx != '+' && sx != '-') || (sy != '+' && sy != '-') ||
            !(w > 0) || !(h > 0)) {
            throw std::invalid_argument("bad display spec: " + item);
        }
        rects.push_back({sx == '-' ? -x : x, sy == '-' ? -y : y, w, h});
    }
    return rects;
}

SimDisplays::SimDisplays(const std::string& spec) {
    DisplayId id = 1;
    for (const Rect& r : parseDisplaySpec(spec)) {
        displays_.push_back({id++, r, false, 0});
    }
    main_ = displays_.empty() ? 0 : displays_.front().id;
}

double SimDisplays::mainScreenHeight() const {
    if (mainScreenHeight_) {
        return *mainScreenHeight_;
    }
    const DisplayInfo* m = display(main_);
    return m ? m->bounds.height : 0.0;
}

const DisplayInfo* SimDisplays::display(DisplayId id) const {
    for (const DisplayInfo& d : displays_) {
        if (d.id == id) {
            return &d;
        }
    }
    return nullptr;
}

Rect SimDisplays::cocoaFrame(DisplayId id) const {
    const DisplayInfo* m = display(main_);
    const DisplayInfo* d = display(id);
    if (!m || !d) {
        return {};
    }
    return topLeftToCocoa(d->bounds, m->bounds.height);
}

void SimDisplays::mirror(DisplayId mirrorId, DisplayId of) {
    for (DisplayInfo& d : displays_) {
        if (d.id == mirrorId) {
            d.inMirrorSet = true;
            d.mirrorsDisplay = of;
        } else if (d.id == of) {
            d.inMirrorSet = true;
        }
    }
}

void SimDisplays::fire(DisplayId display, std::uint32_t flags) {
    if (callback_) {
        // The callback may rebuild windows that read the displays: hand it a copy.
        const ReconfigurationCallback cb = callback_;
        cb(display, flags);
    }
}

void SimDisplays::reconfigure(const std::string& spec) {
    const std::vector<DisplayInfo> before = displays_;
    for (const DisplayInfo& d : before) {
        fire(d.id, kDisplayBeginConfiguration);
    }
    std::vector<DisplayInfo> after;
    DisplayId id = 1;
    for (const Rect& r : parseDisplaySpec(spec)) {
        after.push_back({id++, r, false, 0});
    }
    displays_ = after;
    if (!display(main_)) {
        main_ = displays_.empty() ? 0 : displays_.front().id;
    }
    for (const DisplayInfo& d : before) {
        if (!display(d.id)) {
            fire(d.id, kDisplayRemove);
        }
    }
    for (const DisplayInfo& d : after) {
        const bool existed = std::any_of(before.begin(), before.end(), [&](const DisplayInfo& b) { return b.id == d.id; });
        fire(d.id, existed ? kDisplayMoved | kDisplaySetMode : kDisplayAdd);
    }
}

} // namespace dimwell
