#include <gtest/gtest.h>

#include "input/KeyState.h"

namespace {

// Pressed flags frame by frame, and what the rule must make of them.
TEST(KeyState, PerFrameRuleCountsPressesHoldsAndReleases) {
    struct Frame {
        int pressed;
        int triggered;
        unsigned hold;
        unsigned sinceRelease;
        unsigned tapGap;
    };
    const Frame frames[] = {
        {0, 0, 0, 1, 1}, {1, 1, 1, 0, 1}, {1, 0, 2, 0, 1}, {1, 0, 3, 0, 1}, {0, 0, 0, 1, 2},
        {0, 0, 0, 2, 3}, {1, 1, 1, 0, 3}, {0, 0, 0, 1, 4}, {1, 1, 1, 0, 4},
    };
    KeyState key;
    int n = 0;
    for (const Frame& f : frames) {
        key.pressed = std::uint8_t(f.pressed);
        key.NextFrame();
        EXPECT_EQ(key.triggered, f.triggered) << "frame " << n;
        EXPECT_EQ(key.holdFrames, f.hold) << "frame " << n;
        EXPECT_EQ(key.framesSinceRelease, f.sinceRelease) << "frame " << n;
        EXPECT_EQ(key.tapGap, f.tapGap) << "frame " << n;
        EXPECT_EQ(key.downLatch, f.pressed) << "frame " << n;
        ++n;
    }
}

TEST(KeyState, TapCounterClearsTheGapOnlyWhilePressed) {
    KeyState key;
    for (int i = 0; i < 3; ++i) key.NextFrame();  // released 3 frames
    EXPECT_EQ(key.TapCounter(), 3u);              // released: frames since release
    EXPECT_EQ(key.TapCounter(), 3u);              // nothing cleared
    key.pressed = 1;
    key.NextFrame();
    EXPECT_EQ(key.TapCounter(), 3u);  // the gap before this press
    EXPECT_EQ(key.TapCounter(), 0u);  // read twice in one frame
    key.pressed = 0;
    key.NextFrame();
    key.pressed = 1;
    key.NextFrame();
    EXPECT_EQ(key.TapCounter(), 1u);  // a quick double tap
}

}  // namespace
