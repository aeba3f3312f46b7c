#include "mask/CustomView.h"

#include "app/Preferences.h"
#include "common/Log.h"

namespace dimwell {

void CustomView::awakeFromNib(const Defaults& prefs) {
    overlay_ = false;
    setMyRect({});
    const float stored = floatForKey(prefs, prefkey::opacity);
    overlayOpacity_ = stored != 0.0f ? stored : 0.5f;
    crossColor_ = Color::yellow();
}

void CustomView::drawRect(Canvas& canvas, const Rect& area) const {
    canvas.fillCopy(area, Color::black(static_cast<double>(overlayOpacity_)));
    canvas.fillCopy(myRect(), Color::clear());
    if (overlay_) {
        canvas.strokeLine({mousePosition_.x, area.y}, {mousePosition_.x, area.y + area.height}, 2.0, crossColor_);
        canvas.strokeLine({area.x, mousePosition_.y}, {area.x + area.width, mousePosition_.y}, 2.0, crossColor_);
    }
}

void CustomView::mouseMoved(const Logger& log) const { log("mousemoved"); }
void CustomView::mouseDragged(const Logger& log) const { log("mouse dragged"); }

} // namespace dimwell
