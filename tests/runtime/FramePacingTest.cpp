#include <cstdint>
#include <vector>

#include "EngineRun.h"
#include "platform/Clock.h"
#include "runtime/EngineGlobals.h"
#include "runtime/Game.h"
#include "runtime/GameNode.h"
#include "testing/TestHooks.h"

TEST(GameNodePacing, IdleWaitsOutThePeriodAndMeasuresTheRate) {
    struct Case {
        std::uint32_t elapsed;
        float rate;
        std::uint32_t wait;
    };
    const Case cases[] = {{0, 62.50f, 16}, {10, 62.50f, 6}, {16, 62.50f, 0}, {25, 40.00f, 0}};
    for (const Case& c : cases) {
        GameNode level;
        qel::UseVirtualClock(5000, 1);
        level.FrameStart(5000 - c.elapsed);
        level.EndTimer();  // reads 5000
        ASSERT_EQ(level.Elapsed(), c.elapsed);
        level.Idle();
        const std::uint32_t waited = qel::TimeGetTime() - 5001;
        EXPECT_FLOAT_EQ(level.MeasuredRate(), c.rate) << c.elapsed;
        if (c.wait == 0)
            EXPECT_LE(waited, 1u) << c.elapsed;
        else
            EXPECT_EQ(waited, c.wait + 1) << c.elapsed;  // the clock read that ends the wait
        qel::UseRealClock();
        Game::gameNodeList.del();
    }
}

TEST(GameNodePacing, FrameRateSetsThePeriod) {
    struct Case {
        unsigned int fps;
        std::uint32_t period;
        unsigned int rateKept;
    };
    // 0 cannot make a period and is refused; above 1000 the period is 0.
    const Case cases[] = {{60, 16, 60}, {30, 33, 30}, {1, 1000, 1}, {2000, 0, 2000}, {0, 16, 60}};
    for (const Case& c : cases) {
        GameNode level;
        level.FPStoMS(c.fps);
        EXPECT_EQ(level.Period(), c.period) << c.fps;
        EXPECT_EQ(level.FramesPerSecond(), c.rateKept) << c.fps;
    }
}

TEST_F(EngineRunTest, MainLoopHoldsTheLevelsFrameRateOnTheClock) {
    for (unsigned int fps : {60u, 30u, 25u}) {
        EngineRun::buildLevel = [fps](GameNode* level) { level->FPStoMS(fps); };
        std::vector<std::uint32_t> starts;
        EngineRun::script = [&starts](int pass) {
            starts.push_back(gNode->FrameStart());
            if (pass == 3) qel::AdvanceVirtualClock(100);  // one frame far over its time
            if (pass == 12) myGame->EndGame();
        };
        ASSERT_EQ(EngineRun::Run(), 0);
        const std::uint32_t period = 1000 / fps;
        for (std::size_t i = 1; i < starts.size(); ++i) {
            const std::uint32_t frame = starts[i] - starts[i - 1];
            if (i == 3) {
                EXPECT_GE(frame, 100u) << fps;  // no wait after a late frame
                EXPECT_LE(frame, 104u) << fps;
            } else {
                EXPECT_GE(frame, period) << fps << " frame " << i;
                EXPECT_LE(frame, period + 3) << fps << " frame " << i;
            }
        }
    }
}
