// The display list from the server's monitors: the main display first, bounds
// relative to it, and mirror sets from heads that show the same area.

#include "platform/x11/DisplayLayout.h"

#include <gtest/gtest.h>

namespace dimwell::x11 {
namespace {

struct Expected {
    DisplayId id;
    Rect bounds;
    bool inMirrorSet;
    DisplayId mirrors;
};

struct LayoutCase {
    const char* name;
    std::vector<Head> heads;
    DisplayId mainId;
    std::vector<Expected> displays;
};

void PrintTo(const LayoutCase& row, std::ostream* os) { *os << row.name; }

class DisplayLayoutTest : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(DisplayLayoutTest, Displays) {
    const DisplayLayout layout = layoutFromHeads(GetParam().heads);
    EXPECT_EQ(layout.mainId, GetParam().mainId);
    ASSERT_EQ(layout.displays.size(), GetParam().displays.size());
    for (std::size_t i = 0; i < layout.displays.size(); ++i) {
        const DisplayInfo& d = layout.displays[i];
        const Expected& e = GetParam().displays[i];
        EXPECT_EQ(d.id, e.id) << i;
        EXPECT_EQ(d.bounds, e.bounds) << i;
        EXPECT_EQ(d.inMirrorSet, e.inMirrorSet) << i;
        EXPECT_EQ(d.mirrorsDisplay, e.mirrors) << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Heads, DisplayLayoutTest,
    ::testing::Values(
        // Top-left space starts at the main display, wherever the server put it.
        LayoutCase{"primary_second",
                   {{1, 0, 0, 1280, 1024, false}, {2, 1280, 100, 1920, 1080, true}},
                   2,
                   {{2, {0, 0, 1920, 1080}, false, 0}, {1, {-1280, -100, 1280, 1024}, false, 0}}},
        LayoutCase{"no_primary_first_is_main",
                   {{4, 1920, 0, 800, 600, false}, {3, 0, 0, 1920, 1080, false}},
                   4,
                   {{4, {0, 0, 800, 600}, false, 0}, {3, {-1920, 0, 1920, 1080}, false, 0}}},
        LayoutCase{"mirror_pair",
                   {{1, 0, 0, 1920, 1080, true}, {2, 1920, 0, 1280, 1024, false}, {3, 1920, 0, 1280, 1024, false}},
                   1,
                   {{1, {0, 0, 1920, 1080}, false, 0},
                    {2, {1920, 0, 1280, 1024}, true, 0},
                    {3, {1920, 0, 1280, 1024}, true, 2}}},
        // The main display leads its mirror set, whatever the server's order.
        LayoutCase{"main_in_mirror",
                   {{5, 0, 0, 1920, 1080, false}, {6, 0, 0, 1920, 1080, true}},
                   6,
                   {{6, {0, 0, 1920, 1080}, true, 0}, {5, {0, 0, 1920, 1080}, true, 6}}},
        // Overlapping but not equal areas are two displays, not a mirror.
        LayoutCase{"overlap_is_not_mirror",
                   {{1, 0, 0, 1920, 1080, true}, {2, 0, 0, 1280, 1024, false}},
                   1,
                   {{1, {0, 0, 1920, 1080}, false, 0}, {2, {0, 0, 1280, 1024}, false, 0}}},
        LayoutCase{"empty_heads_dropped",
                   {{1, 0, 0, 0, 0, true}, {2, 0, 0, 1024, 768, false}},
                   2,
                   {{2, {0, 0, 1024, 768}, false, 0}}},
        LayoutCase{"none", {}, 0, {}}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(DisplayLayoutCompare, OnlyRealChangesCount) {
    const std::vector<Head> heads{{1, 0, 0, 1920, 1080, true}, {2, 1920, 0, 1280, 1024, false}};
    const DisplayLayout a = layoutFromHeads(heads);
    EXPECT_TRUE(sameLayout(a, layoutFromHeads(heads)));
    auto moved = heads;
    moved[1].y = 56;
    EXPECT_FALSE(sameLayout(a, layoutFromHeads(moved)));
    auto primary = heads;
    primary[0].primary = false;
    primary[1].primary = true;
    EXPECT_FALSE(sameLayout(a, layoutFromHeads(primary)));
    EXPECT_FALSE(sameLayout(a, layoutFromHeads({heads[0]})));
}

} // namespace
} // namespace dimwell::x11
