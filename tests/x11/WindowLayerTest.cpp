// The table that turns an X window's kind into a layer, and where each row falls
// with respect to the band -9..9 of the window-under-pointer search.

#include "platform/x11/windows/WindowLayer.h"

#include <gtest/gtest.h>

namespace dimwell::x11 {
namespace {

struct LayerRow {
    const char* name;
    WindowTraits traits;
    std::int32_t layer;
    bool inBand;
};

class WindowLayerTest : public ::testing::TestWithParam<LayerRow> {};

TEST_P(WindowLayerTest, MapsKindToLayer) {
    const LayerRow& row = GetParam();
    const std::int32_t layer = windowLayer(row.traits);
    EXPECT_EQ(layer, row.layer);
    EXPECT_EQ(layer >= -9 && layer <= 9, row.inBand);
}

WindowTraits traits(WindowType type, bool above = false, bool below = false) {
    WindowTraits t;
    t.type = type;
    t.above = above;
    t.below = below;
    return t;
}

WindowTraits overrideRedirect(bool ours, WindowType type = WindowType::Normal) {
    WindowTraits t;
    t.overrideRedirect = true;
    t.ownedByThisProcess = ours;
    t.type = type;
    return t;
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, WindowLayerTest,
    ::testing::Values(LayerRow{"normal", traits(WindowType::Normal), 0, true},
                      LayerRow{"dialog", traits(WindowType::Dialog), 0, true},
                      LayerRow{"utilityAbove", traits(WindowType::Utility, true), 3, true},
                      LayerRow{"below", traits(WindowType::Normal, false, true), -1, true},
                      LayerRow{"dock", traits(WindowType::Dock), 20, false},
                      LayerRow{"dockAboveStaysDock", traits(WindowType::Dock, true), 20, false},
                      LayerRow{"desktop", traits(WindowType::Desktop), -20, false},
                      LayerRow{"managedTooltip", traits(WindowType::PopUp), 101, false},
                      LayerRow{"foreignMenu", overrideRedirect(false, WindowType::PopUp), 101, false},
                      LayerRow{"ownMask", overrideRedirect(true), kShieldingWindowLevel, false}),
    [](const ::testing::TestParamInfo<LayerRow>& p) { return std::string(p.param.name); });

} // namespace
} // namespace dimwell::x11
