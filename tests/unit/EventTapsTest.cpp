// The five tap callbacks, one row per (tap, state, event): pass or swallow, a
// tap the platform switched off for taking too long back on, the pointer put
// where the event was. Escape, moves and drags during a selection are followed
// step by step in the selection tests; the log lines the end-to-end tests read
// are checked there.

#include "Harness.h"

namespace dimwell::test {
namespace {

constexpr std::int64_t kEscape = 53;
const InputEvent kTimeout{EventType::TapDisabledByTimeout, {}, 0};

struct TapRow {
    const char* name;
    std::uint64_t mask;
    bool selecting;
    InputEvent event;
    TapVerdict verdict;
    bool reEnabled = false;
    bool postsMove = false;
};

struct TapCallbacks : ::testing::TestWithParam<TapRow> {};

TEST_P(TapCallbacks, VerdictAndEffects) {
    const TapRow& row = GetParam();
    Harness h;
    h.setSwitch(prefkey::clickOut, false);
    h.start();
    if (row.selecting) h.c().setMouseInput();
    const SimTap* tap = h.desk.input.tap(row.mask);
    ASSERT_NE(tap, nullptr);
    if (row.event.type == EventType::TapDisabledByTimeout) {
        const_cast<SimTap*>(tap)->enabled = false;   // what the platform did before telling
    }
    const auto posted = h.desk.input.postedMoves().size();

    EXPECT_EQ(tap->callback(row.event), row.verdict);
    if (row.event.type == EventType::TapDisabledByTimeout) {
        EXPECT_EQ(tap->enabled, row.reEnabled);
    }
    EXPECT_EQ(h.desk.input.postedMoves().size(), posted + (row.postsMove ? 1 : 0));
}

const InputEvent move{EventType::MouseMoved, {100, 200}, 0};
const InputEvent drag{EventType::LeftMouseDragged, {150, 250}, 0};
const InputEvent down{EventType::LeftMouseDown, {100, 200}, 0};
const InputEvent up{EventType::LeftMouseUp, {100, 200}, 0};
const InputEvent escape{EventType::KeyDown, {}, kEscape};
const InputEvent letter{EventType::KeyDown, {}, 6};
const InputEvent userInput{EventType::TapDisabledByUserInput, {}, 0};
using V = TapVerdict;

INSTANTIATE_TEST_SUITE_P(
    Table, TapCallbacks,
    ::testing::Values(
        TapRow{"keyEscapeOutside", keyDownMask, false, escape, V::Swallow},
        TapRow{"keyOtherOutside", keyDownMask, false, letter, V::Pass},
        TapRow{"keyOtherSelecting", keyDownMask, true, letter, V::Pass},
        // The key-down callback treats every event alike and is not re-enabled.
        TapRow{"keyTimeout", keyDownMask, true, kTimeout, V::Pass, false},
        TapRow{"moveOutside", mouseMovedMask, false, move, V::Pass},
        TapRow{"moveTimeout", mouseMovedMask, false, kTimeout, V::Swallow, true},
        TapRow{"moveUserInputSelecting", mouseMovedMask, true, userInput, V::Pass},
        TapRow{"dragOutside", leftMouseDraggedMask, false, drag, V::Pass},
        TapRow{"dragTimeout", leftMouseDraggedMask, false, kTimeout, V::Swallow, true},
        TapRow{"downOutsideClickOutOff", leftMouseDownMask, false, down, V::Pass},
        TapRow{"downSelecting", leftMouseDownMask, true, down, V::Swallow, false, true},
        TapRow{"downTimeout", leftMouseDownMask, false, kTimeout, V::Swallow, true},
        TapRow{"upOutside", leftMouseUpMask, false, up, V::Pass},
        TapRow{"upSelecting", leftMouseUpMask, true, up, V::Pass, false, true},
        TapRow{"upTimeout", leftMouseUpMask, true, kTimeout, V::Swallow, true}),
    [](const auto& p) { return std::string(p.param.name); });

// The click-out test reads the window list for every event it receives, before
// it looks at the event's type.
TEST(TapTimeouts, MouseDownReadsTheWindowListEvenForANotice) {
    Running h;
    const SimTap* tap = h.desk.input.tap(leftMouseDownMask);
    const int reads = h.desk.windowServer.reads();
    tap->callback(kTimeout);
    tap->callback(userInput);
    EXPECT_EQ(h.desk.windowServer.reads(), reads + 2);
}

} // namespace
} // namespace dimwell::test
