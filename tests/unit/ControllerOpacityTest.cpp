// Opacity steps: bounds, the double-then-float arithmetic, and who sees the change.

#include "Harness.h"

#include <limits>

namespace dimwell::test {
namespace {

struct Step {
    const char* name;
    float stored;
    bool increase;
    float expected;
};

struct OpacitySteps : ::testing::TestWithParam<Step> {};

TEST_P(OpacitySteps, StepIsComputedInDoubleStoredAsFloatAndBounded) {
    Running h(kTwoDisplays);
    h.setOpacity(GetParam().stored);
    int posted = 0;
    h.desk.notifications.addObserver(notification::updateSettingsOpacity, [&] { ++posted; });
    GetParam().increase ? h.c().increaseOpacity() : h.c().decreaseOpacity();
    EXPECT_EQ(h.storedOpacity(), GetParam().expected);
    EXPECT_EQ(h.desk.defaults.object(prefkey::opacity)->kind(), Value::Kind::Real);
    EXPECT_EQ(posted, 1);
    EXPECT_TRUE(h.desk.log.contains("updating opacity..."));
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(h.view(i).overlayOpacity(), GetParam().expected);
        EXPECT_EQ(h.surface(i).displayCount(), 1);
        EXPECT_FALSE(h.surface(i).isVisible()) << "a hidden overlay stays hidden, its views ready for the next";
    }
}

float plus(float v, double d) { return static_cast<float>(static_cast<double>(v) + d); }

INSTANTIATE_TEST_SUITE_P(
    Table, OpacitySteps,
    ::testing::Values(Step{"up095", 0.95f, true, 1.0f}, Step{"up100", 1.0f, true, 1.0f},
                      Step{"up080", 0.8f, true, plus(0.8f, 0.1)}, Step{"down030", 0.3f, false, plus(0.3f, -0.1)},
                      // A step always lands in the band, whatever was stored before it.
                      Step{"upFromLow", 0.05f, true, 0.2f}, Step{"down025", 0.25f, false, 0.2f},
                      Step{"downFromLow", 0.05f, false, 0.2f},
                      // A value that cannot be drawn steps from the seeded 0.8.
                      Step{"upFromNan", std::numeric_limits<float>::quiet_NaN(), true, plus(0.8f, 0.1)},
                      Step{"downFromInfinity", std::numeric_limits<float>::infinity(), false, plus(0.8f, -0.1)}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(Opacity, DuringSelectionOnlyTheStoredValueAndTheSliderChange) {
    Running h;
    h.c().setMouseInput();
    int posted = 0;
    h.desk.notifications.addObserver(notification::updateSettingsOpacity, [&] { ++posted; });
    h.desk.log.clear();
    h.c().increaseOpacity();
    EXPECT_EQ(h.storedOpacity(), plus(0.8f, 0.1));
    EXPECT_EQ(posted, 1);
    EXPECT_EQ(h.view(0).overlayOpacity(), kSelectionOpacity);
    EXPECT_FALSE(h.desk.log.contains("updating opacity..."));
    // The stored value arrives when the drag ends.
    h.event(EventType::LeftMouseDown, 100, 100);
    h.event(EventType::LeftMouseUp, 200, 200);
    EXPECT_EQ(h.view(0).overlayOpacity(), plus(0.8f, 0.1));
}

TEST(Opacity, SettingsSliderNotificationReappliesTheStoredValue) {
    Running h;
    h.c().setUpWindowsForRect({0, 0, 100, 100});
    h.setOpacity(0.45f);
    h.desk.notifications.post(notification::opacityChange);
    EXPECT_EQ(h.view(0).overlayOpacity(), 0.45f);
    EXPECT_EQ(h.surface(0).pixel(500, 500).a, toRgba(Color::black(static_cast<double>(0.45f))).a);
}

} // namespace
} // namespace dimwell::test
