// The simulated desktop itself: the pieces the other tests lean on.

#include "platform/sim/SimDesktop.h"

#include <gtest/gtest.h>

namespace dimwell {
namespace {

TEST(SimDisplaysSpec, ParsesOffsetsWithSigns) {
    const auto rects = parseDisplaySpec("1440x900+0+0,1920x1080+1440-180");
    ASSERT_EQ(rects.size(), 2u);
    EXPECT_EQ(rects[1], (Rect{1440, -180, 1920, 1080}));
    EXPECT_THROW(parseDisplaySpec("1440x900"), std::invalid_argument);
}

} // namespace
} // namespace dimwell
