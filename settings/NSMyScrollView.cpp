#include "settings/NSMyScrollView.h"

#include "platform/ports/SettingsViews.h"

namespace dimwell {

void NSMyScrollView::init(ScrollFrame& frame) { frame.setBorderType(BorderType::Bezel); }

} // namespace dimwell
