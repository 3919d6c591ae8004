#include <vector>

#include "LogicFixture.h"
#include "logic/Timer.h"

namespace logictest {
namespace {

class TimerTest : public LogicTest {};

std::vector<int> fired;
int tickNumber = 0;
void Fire(void*) { fired.push_back(tickNumber); }

struct Conversion {
    unsigned int rate;
    unsigned int milliseconds;
    unsigned int init;
    unsigned int reset;
};

// The two formulas multiply in different orders in extended precision: an exact
// product can lose its last frame through Reset.
TEST_F(TimerTest, MillisecondsBecomeFramesAtTheLevelRate) {
    const Conversion cases[] = {
        {60, 16, 0, 0},     {60, 17, 1, 1},     {60, 50, 3, 2},      {60, 100, 6, 5},     {60, 370, 22, 22},
        {60, 950, 57, 56},  {60, 1000, 60, 59}, {60, 4350, 261, 261}, {60, 15000, 900, 899},
        {30, 110, 3, 3},    {30, 1001, 30, 30}, {50, 990, 49, 49},   {50, 10, 0, 0},
    };
    for (const Conversion& c : cases) {
        frameRate = c.rate;
        Timer converted(nullptr, c.milliseconds, 1, true, 1);
        converted.Init();
        Timer reset(nullptr, 0, 1, true, 1);
        reset.Reset(c.milliseconds, 1);
        EXPECT_EQ(converted.TimeRemaining(), c.init) << c.milliseconds << " ms at " << c.rate;
        EXPECT_EQ(reset.TimeRemaining(), c.reset) << c.milliseconds << " ms at " << c.rate;
    }
}

TEST_F(TimerTest, FramesAreNeverConverted) {
    Timer frames(nullptr, 1000, 0, true, 1);
    frames.Init();
    EXPECT_EQ(frames.TimeRemaining(), 1000u);
    frames.Reset(37, 0);
    EXPECT_EQ(frames.TimeRemaining(), 37u);
    EXPECT_EQ(frames.GetMode(), 0);
    // Init keeps the unit, so a later Reset still takes milliseconds.
    Timer ms(nullptr, 1000, 1, true, 1);
    ms.Init();
    ms.Init();
    EXPECT_EQ(ms.TimeRemaining(), 3u);  // converted twice: 60, then 3
    ms.Reset(1000, 1);
    EXPECT_EQ(ms.TimeRemaining(), 59u);
}

TEST_F(TimerTest, HugeDelaysSaturateInsteadOfWrapping) {
    frameRate = 100000;
    Timer t(nullptr, 4000000000u, 1, true, 1);
    t.Init();
    EXPECT_EQ(t.TimeRemaining(), 4294967295u);
}

struct TickCase {
    const char* name;
    unsigned int delay;
    TimerMode mode;
    int ticks;
    std::vector<int> expected;
};

TEST_F(TimerTest, CallsBackOnTheTicksItsDelayAndModeGive) {
    const TickCase cases[] = {
        {"one-shot 3", 3, 0, 12, {3}},
        {"periodic 3", 3, 1, 9, {3, 6, 9}},
        {"periodic 1", 1, 1, 4, {1, 2, 3, 4}},
        {"one-shot 0", 0, 0, 5, {}},
        {"periodic 0", 0, 1, 5, {}},
    };
    for (const TickCase& c : cases) {
        fired.clear();
        Timer t(&Fire, c.delay, 0, true, c.mode);
        for (tickNumber = 1; tickNumber <= c.ticks; ++tickNumber) t.Tick(nullptr);
        EXPECT_EQ(fired, c.expected) << c.name;
    }
}

TEST_F(TimerTest, StopKeepsTheRemainingCountAndStartResumes) {
    fired.clear();
    Timer t(&Fire, 4, 0, true, 0);
    tickNumber = 1;
    t.Tick(nullptr);
    t.Stop();
    for (int i = 0; i < 10; ++i) t.Tick(nullptr);
    EXPECT_FALSE(t.IsRunning());
    EXPECT_EQ(t.TimeRemaining(), 3u);
    t.Start();
    for (tickNumber = 2; tickNumber <= 4; ++tickNumber) t.Tick(nullptr);
    EXPECT_EQ(fired, std::vector<int>{4});
    // A timer built stopped never counts.
    Timer idle(&Fire, 1, 0, false, 1);
    idle.Tick(nullptr);
    EXPECT_EQ(idle.TimeRemaining(), 1u);
}

Timer* running = nullptr;
void ResetToFive(void*) {
    fired.push_back(tickNumber);
    running->Reset(5, 0);
}
void StopIt(void*) {
    fired.push_back(tickNumber);
    running->Stop();
}

TEST_F(TimerTest, ACallbackMayResetOrStopItsOwnTimer) {
    fired.clear();
    Timer resetting(&ResetToFive, 2, 0, true, 1);
    running = &resetting;
    for (tickNumber = 1; tickNumber <= 12; ++tickNumber) resetting.Tick(nullptr);
    // The new delay holds (not the periodic reload of 2), and the mode is now one-shot.
    EXPECT_EQ(fired, (std::vector<int>{2, 7, 12}));

    fired.clear();
    Timer stopping(&StopIt, 3, 0, true, 1);
    running = &stopping;
    for (tickNumber = 1; tickNumber <= 3; ++tickNumber) stopping.Tick(nullptr);
    EXPECT_EQ(fired, std::vector<int>{3});
    EXPECT_EQ(stopping.TimeRemaining(), 3u);  // reloaded although stopped
}

void First(void*) {}
void Second(void*) {}
void Outsider(void*) {}

TEST_F(TimerTest, SavedCountsComeBackWithoutConversionAndCallbacksByNumber) {
    MakeTables(2, 0, 0);
    FArray[0] = reinterpret_cast<void*>(&First);
    FArray[1] = reinterpret_cast<void*>(&Second);

    Timer t(&Second, 1000, 1, false, 1);
    t.Init();
    t.Tick(nullptr);
    const Bytes saved = Written([&](File& f) { t.Save(f); });
    const Bytes expected = Record().Bool(false).U32(1).U32(60).U32(60).I32(1).I32(1).bytes;
    EXPECT_EQ(saved, expected);

    frameRate = 30;  // loading must not convert again
    Timer loaded(&First, 7, 0, true, 0);
    EXPECT_TRUE(ReadBack(saved, [&](File& f) { loaded.Load(f); }));
    EXPECT_EQ(Written([&](File& f) { loaded.Save(f); }), saved);

    // A callback outside FArray is saved as none; a stored number outside the
    // table loads as none.
    Timer foreign(&Outsider, 5, 0, true, 0);
    EXPECT_EQ(Written([&](File& f) { foreign.Save(f); }), Record().Bool(true).U32(0).U32(5).U32(5).I32(0).I32(-1).bytes);
    for (std::int32_t number : {2, -7, 1000000}) {
        Timer unknown(&First, 0, 0, true, 1);
        EXPECT_TRUE(ReadBack(Record().Bool(true).U32(0).U32(2).U32(2).I32(1).I32(number).bytes,
                             [&](File& f) { unknown.Load(f); }));
        fired.clear();
        unknown.Tick(nullptr);
        unknown.Tick(nullptr);
        EXPECT_EQ(Written([&](File& f) { unknown.Save(f); }),
                  Record().Bool(true).U32(0).U32(2).U32(2).I32(1).I32(-1).bytes);
    }
}

}  // namespace
}  // namespace logictest
