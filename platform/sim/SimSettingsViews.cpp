#include "platform/sim/SimSettingsViews.h"

#include "settings/NSMyScrollView.h"

namespace dimwell {

SimSettingsWindowView::SimSettingsWindowView(LogSink& log) {
    for (int i = 0; i < kRows; ++i) {
        const auto n = static_cast<std::size_t>(i);
        NSMyScrollView::init(scrolls[n]);
        recorders_[n] = std::make_unique<NSMyTextField>(views[n], log);
        recorders_[n]->awakeFromNib();
    }
}

void SimSettingsWindowView::makeFirstResponder(NSMyTextField* responder) { firstResponder_.make(responder); }

} // namespace dimwell
