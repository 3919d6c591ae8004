#include <iterator>
#include <limits>
#include <random>
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

void ExpectConversions(const Conversion* begin, const Conversion* end) {
    for (const Conversion* c = begin; c != end; ++c) {
        frameRate = c->rate;
        Timer converted(nullptr, c->milliseconds, 1, true, 1);
        converted.Init();
        Timer reset(nullptr, 0, 1, true, 1);
        reset.Reset(c->milliseconds, 1);
        EXPECT_EQ(converted.TimeRemaining(), c->init) << c->milliseconds << " ms at " << c->rate;
        EXPECT_EQ(reset.TimeRemaining(), c->reset) << c->milliseconds << " ms at " << c->rate;
        if (::testing::Test::HasFailure()) return;  // the first wrong case says enough
    }
}

// The two formulas multiply in different orders in extended precision: an exact
// product can lose its last frame through Reset.
TEST_F(TimerTest, MillisecondsBecomeFramesAtTheLevelRate) {
    const Conversion cases[] = {
        {60, 16, 0, 0},     {60, 17, 1, 1},     {60, 50, 3, 2},       {60, 100, 6, 5},       {60, 370, 22, 22},
        {60, 950, 57, 56},  {60, 1000, 60, 59}, {60, 4350, 261, 261}, {60, 15000, 900, 899}, {30, 110, 3, 3},
        {30, 1001, 30, 30}, {50, 990, 49, 49},  {50, 10, 0, 0},
    };
    ExpectConversions(std::begin(cases), std::end(cases));
}

// Results of the x87 extended-precision conversion, kept so that every build
// converts as it did: exact products where the two orders part, 0, 1 and the
// largest delay at many rates, and the edge where counts reach 2^32.
TEST_F(TimerTest, ConversionsKeepTheirExtendedPrecisionResults) {
    const Conversion cases[] = {
        {1, 1000, 0, 0},
        {1, 2000, 1, 1},
        {1, 0, 0, 0},
        {1, 1, 0, 0},
        {1, 999, 0, 0},
        {1, 1001, 1, 1},
        {1, 3000, 2, 2},
        {1, 4294967295, 4294967, 4294967},
        {24, 125, 2, 2},
        {24, 250, 5, 5},
        {24, 375, 8, 9},
        {24, 750, 17, 18},
        {24, 0, 0, 0},
        {24, 1, 0, 0},
        {24, 999, 23, 23},
        {24, 1000, 23, 23},
        {24, 1001, 24, 24},
        {24, 3000, 71, 72},
        {24, 4294967295, 103079215, 103079215},
        {25, 40, 0, 0},
        {25, 80, 1, 1},
        {25, 200, 4, 5},
        {25, 360, 8, 9},
        {25, 0, 0, 0},
        {25, 1, 0, 0},
        {25, 999, 24, 24},
        {25, 1000, 24, 24},
        {25, 1001, 25, 25},
        {25, 3000, 74, 75},
        {25, 4294967295, 107374182, 107374182},
        {30, 100, 3, 2},
        {30, 200, 6, 5},
        {30, 400, 12, 11},
        {30, 500, 15, 14},
        {30, 0, 0, 0},
        {30, 1, 0, 0},
        {30, 999, 29, 29},
        {30, 1000, 30, 29},
        {30, 1001, 30, 30},
        {30, 3000, 90, 89},
        {30, 4294967295, 128849018, 128849018},
        {50, 20, 0, 0},
        {50, 40, 1, 1},
        {50, 100, 4, 5},
        {50, 180, 8, 9},
        {50, 0, 0, 0},
        {50, 1, 0, 0},
        {50, 999, 49, 49},
        {50, 1000, 49, 49},
        {50, 1001, 50, 50},
        {50, 3000, 149, 150},
        {50, 4294967295, 214748364, 214748364},
        {60, 50, 3, 2},
        {60, 100, 6, 5},
        {60, 200, 12, 11},
        {60, 250, 15, 14},
        {60, 0, 0, 0},
        {60, 1, 0, 0},
        {60, 999, 59, 59},
        {60, 1000, 60, 59},
        {60, 1001, 60, 60},
        {60, 3000, 180, 179},
        {60, 4294967295, 257698037, 257698037},
        {75, 40, 2, 2},
        {75, 80, 5, 5},
        {75, 120, 8, 9},
        {75, 240, 17, 18},
        {75, 0, 0, 0},
        {75, 1, 0, 0},
        {75, 999, 74, 74},
        {75, 1000, 74, 75},
        {75, 1001, 75, 75},
        {75, 3000, 224, 224},
        {75, 4294967295, 322122547, 322122547},
        {120, 25, 3, 2},
        {120, 50, 6, 5},
        {120, 100, 12, 11},
        {120, 125, 15, 14},
        {120, 0, 0, 0},
        {120, 1, 0, 0},
        {120, 999, 119, 119},
        {120, 1000, 120, 119},
        {120, 1001, 120, 120},
        {120, 3000, 360, 359},
        {120, 4294967295, 515396075, 515396075},
        {144, 125, 17, 18},
        {144, 250, 35, 36},
        {144, 500, 71, 72},
        {144, 1000, 143, 144},
        {144, 0, 0, 0},
        {144, 1, 0, 0},
        {144, 999, 143, 143},
        {144, 1001, 144, 144},
        {144, 3000, 431, 431},
        {144, 4294967295, 618475290, 618475290},
        {240, 25, 6, 5},
        {240, 50, 12, 11},
        {240, 100, 24, 23},
        {240, 125, 30, 29},
        {240, 0, 0, 0},
        {240, 1, 0, 0},
        {240, 999, 239, 239},
        {240, 1000, 240, 239},
        {240, 1001, 240, 240},
        {240, 3000, 720, 719},
        {240, 4294967295, 1030792150, 1030792150},
        {1000, 1, 0, 0},
        {1000, 2, 1, 1},
        {1000, 5, 4, 5},
        {1000, 9, 8, 9},
        {1000, 0, 0, 0},
        {1000, 999, 998, 998},
        {1000, 1000, 999, 999},
        {1000, 1001, 1000, 1000},
        {1000, 3000, 2999, 2999},
        {1000, 4294967295, 4294967294, 4294967294},
        {1001, 1000, 1000, 1000},
        {1001, 2000, 2001, 2001},
        {1001, 5000, 5004, 5005},
        {1001, 9000, 9008, 9009},
        {1001, 0, 0, 0},
        {1001, 1, 1, 1},
        {1001, 999, 999, 999},
        {1001, 1001, 1002, 1002},
        {1001, 3000, 3002, 3002},
        {1001, 4294967295, 4294967295, 4294967295},
        {100000, 1, 99, 99},
        {100000, 2, 199, 199},
        {100000, 3, 299, 300},
        {100000, 6, 599, 600},
        {100000, 0, 0, 0},
        {100000, 999, 99899, 99899},
        {100000, 1000, 99999, 99999},
        {100000, 1001, 100099, 100099},
        {100000, 3000, 299999, 300000},
        {100000, 4294967295, 4294967295, 4294967295},
        {4294967295, 200, 858993458, 858993458},
        {4294967295, 400, 1717986917, 1717986917},
        {4294967295, 600, 2576980376, 2576980377},
        {4294967295, 0, 0, 0},
        {4294967295, 1, 4294967, 4294967},
        {4294967295, 999, 4290672327, 4290672327},
        {4294967295, 1000, 4294967294, 4294967294},
        {4294967295, 1001, 4294967295, 4294967295},
        {4294967295, 3000, 4294967295, 4294967295},
        {4294967295, 4294967295, 4294967295, 4294967295},
        {1000, 4294967294, 4294967293, 4294967293},
        {1001, 4290676617, 4294967293, 4294967293},
        {1001, 4290676618, 4294967294, 4294967294},
        {1001, 4290676619, 4294967295, 4294967295},
        {1001, 4290676620, 4294967295, 4294967295},
        {1001, 4290676621, 4294967295, 4294967295},
        {100000, 42949670, 4294966999, 4294966999},
        {100000, 42949671, 4294967099, 4294967099},
        {100000, 42949672, 4294967199, 4294967199},
        {100000, 42949673, 4294967295, 4294967295},
        {100000, 42949674, 4294967295, 4294967295},
        {4294967295, 998, 4286377360, 4286377360},
        {4294967295, 1002, 4294967295, 4294967295},
    };
    ExpectConversions(std::begin(cases), std::end(cases));
}

// Where long double is x87's, its products are the reference over many values.
TEST_F(TimerTest, ConversionsMatchExtendedPrecisionOverManyValues) {
    if (std::numeric_limits<long double>::digits != 64) GTEST_SKIP() << "long double is not x87 extended precision";
    auto frames = [](long double f) -> unsigned int {
        return f >= 4294967296.0L ? 4294967295u : static_cast<unsigned int>(f);
    };
    std::mt19937 random(20261210);
    std::vector<Conversion> cases;
    auto add = [&](unsigned int rate, unsigned int ms) {
        const long double perMillisecond = static_cast<long double>(rate) * 0.001L;
        const long double product = static_cast<long double>(ms) * static_cast<long double>(rate);
        cases.push_back({rate, ms, frames(static_cast<long double>(ms) * perMillisecond), frames(product * 0.001L)});
    };
    for (unsigned int rate = 1; rate <= 250; ++rate)
        for (unsigned int ms = 0; ms <= 2000; ++ms) add(rate, ms);
    for (int i = 0; i < 200000; ++i) {
        const unsigned int rate = random(), ms = random();
        add(rate, ms >> (random() % 32));  // delays of every length
    }
    ExpectConversions(cases.data(), cases.data() + cases.size());
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
        {"one-shot 3", 3, 0, 12, {3}}, {"periodic 3", 3, 1, 9, {3, 6, 9}}, {"periodic 1", 1, 1, 4, {1, 2, 3, 4}},
        {"one-shot 0", 0, 0, 5, {}},   {"periodic 0", 0, 1, 5, {}},
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
    EXPECT_EQ(Written([&](File& f) { foreign.Save(f); }),
              Record().Bool(true).U32(0).U32(5).U32(5).I32(0).I32(-1).bytes);
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
