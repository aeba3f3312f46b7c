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

void SimSettingsWindowView::makeFirstResponder(NSMyTextField* responder) {
    if (responder == firstResponder_) {
        return;
    }
    if (responder && !responder->acceptsFirstResponder()) {
        return;
    }
    // The old one is gone before it resigns: a resign that asks for the focus
    // again must not find it still in place.
    if (NSMyTextField* old = firstResponder_) {
        firstResponder_ = nullptr;
        old->resignFirstResponder();
    }
    firstResponder_ = responder;
    if (responder) {
        responder->becomeFirstResponder();
    }
}

} // namespace dimwell
