// A remote player's sprite: its queued key and mouse records become its own
// keyboard and mouse state, one batch per frame.
#include <atomic>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "SpriteFixture.h"
#include "input/Mouse.h"
#include "input/MouseEvent.h"
#include "network/NetEnvironment.h"
#include "runtime/EngineGlobals.h"
#include "sprites/Sprite.h"

namespace {

constexpr unsigned char Space = 0x39;

// A record whose data the queue takes over.
_NETMSGQ Record(std::uint8_t type, const std::vector<std::uint8_t>& bytes) {
    _NETMSGQ m;
    m.type = type;
    m.size = std::uint32_t(bytes.size());
    if (!bytes.empty()) {
        m.data = new std::uint8_t[bytes.size()];
        std::memcpy(m.data, bytes.data(), bytes.size());
    }
    return m;
}

// Key entries as they travel: 16-bit little-endian, scan code | 0x100 when down.
std::vector<std::uint8_t> KeyBytes(std::initializer_list<std::uint16_t> entries) {
    std::vector<std::uint8_t> out;
    for (std::uint16_t e : entries) {
        out.push_back(std::uint8_t(e & 0xFF));
        out.push_back(std::uint8_t(e >> 8));
    }
    return out;
}

std::vector<std::uint8_t> MouseBytes(std::initializer_list<MouseEvent> events) {
    std::vector<std::uint8_t> out;
    for (const MouseEvent& e : events) {
        const auto* p = reinterpret_cast<const std::uint8_t*>(&e);
        out.insert(out.end(), p, p + sizeof e);
    }
    return out;
}

MouseEvent Event(MouseEvent::Kind kind, std::int8_t value, std::int32_t world = 0) {
    MouseEvent e;
    e.kind = kind;
    e.value = value;
    e.world = world;
    return e;
}

void Keys(Sprite& s, std::initializer_list<std::uint16_t> entries) {
    _NETMSGQ m = Record(9, KeyBytes(entries));
    s.AddToQ(m);
}

void Mice(Sprite& s, std::initializer_list<MouseEvent> events) {
    _NETMSGQ m = Record(10, MouseBytes(events));
    s.AddToQ(m);
}

void Click(Sprite& s, unsigned button, bool down) {
    const MouseEvent::Kind kinds[] = {MouseEvent::Button0, MouseEvent::Button1, MouseEvent::Button2};
    Mice(s, {Event(kinds[button], down ? 1 : 0)});
}

// A local mouse to clamp against and to time double clicks with.
class RemoteInputTest : public SpriteTest {
protected:
    void SetUp() override {
        SpriteTest::SetUp();
        QelRect motion{0, 0, 640, 480};
        mouse.SetMotionRect(&motion);
        mouse.DoubleClickAccuracy(2);
        mouse.DoubleClickSpeed(10);  // gaps of 8 to 12 frames are double clicks
        pMouse = &mouse;
    }
    void TearDown() override {
        pMouse = nullptr;
        SpriteTest::TearDown();
    }
    Mouse mouse{nullptr, nullptr};
};

}  // namespace

TEST_F(RemoteInputTest, AKeyIsTriggeredOnceThenHeldAndAfterItsReleaseCountsTheFramesSince) {
    Sprite s;
    Keys(s, {0x0120});
    s.HandleQ();
    EXPECT_TRUE(s.Keyboard_IsPressed(0x20));
    EXPECT_TRUE(s.Keyboard_IsTriggered(0x20));
    EXPECT_EQ(s.Keyboard_HoldCounter(0x20), 1u);
    unsigned char key = 0;
    ASSERT_TRUE(s.Keyboard_GetKey(key));
    EXPECT_EQ(key, 0x20);
    EXPECT_TRUE(s.Keyboard_Any());

    for (unsigned held = 2; held <= 4; ++held) {
        s.HandleQ();  // nothing new: the key stays down
        EXPECT_TRUE(s.Keyboard_IsPressed(0x20));
        EXPECT_TRUE(s.Keyboard_IsNotTriggered(0x20));
        EXPECT_EQ(s.Keyboard_HoldCounter(0x20), held);
    }
    EXPECT_FALSE(s.Keyboard_GetKey(key));

    Keys(s, {0x0020});
    s.HandleQ();
    s.HandleQ();
    s.HandleQ();
    EXPECT_TRUE(s.Keyboard_IsNotPressed(0x20));
    EXPECT_TRUE(s.Keyboard_Nothing());
    EXPECT_EQ(s.Keyboard_HoldCounter(0x20), 0u);
    EXPECT_EQ(s.Keyboard_TapCounter(0x20), 3u);

    // Pressed again: the tap counter gives the released gap once.
    Keys(s, {0x0120});
    s.HandleQ();
    EXPECT_EQ(s.Keyboard_TapCounter(0x20), 3u);
    EXPECT_EQ(s.Keyboard_TapCounter(0x20), 0u);
}

TEST_F(RemoteInputTest, ABatchLeavesEachKeyAsItsLastEntrySaysWithOneTriggerAtMost) {
    struct Case {
        const char* name;
        std::vector<std::vector<std::uint16_t>> records;  // one batch of key records
        bool pressed;
        bool triggered;
    } cases[] = {
        {"two presses in one record", {{0x0139, 0x0139}}, true, true},
        {"two presses in two records", {{0x0139}, {0x0139}}, true, true},
        {"press then release", {{0x0139, 0x0039}}, false, false},
        {"release then press", {{0x0039}, {0x0139}}, true, true},
        {"the down flag is the high byte", {{0xFF39}}, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Sprite s;
        for (const auto& r : c.records) {
            std::vector<std::uint8_t> bytes;
            for (std::uint16_t e : r) {
                bytes.push_back(std::uint8_t(e & 0xFF));
                bytes.push_back(std::uint8_t(e >> 8));
            }
            _NETMSGQ m = Record(9, bytes);
            s.AddToQ(m);
        }
        s.HandleQ();
        EXPECT_EQ(s.Keyboard_IsPressed(Space), c.pressed);
        EXPECT_EQ(s.Keyboard_IsTriggered(Space), c.triggered);
        EXPECT_TRUE(s.inputQueue.empty());
    }
}

TEST_F(RemoteInputTest, MotionStaysInsideTheLocalMotionRectangleAndLastsOneFrame) {
    Sprite s;
    s.mouseX = 600;
    s.mouseY = 10;
    Mice(s, {Event(MouseEvent::MoveX, 100, 1700), Event(MouseEvent::MoveY, -50, 900)});
    s.HandleQ();
    EXPECT_EQ(s.Mouse_ViewportX(), 639);
    EXPECT_EQ(s.Mouse_ViewportY(), 0);
    EXPECT_EQ(s.Mouse_RelX(), 100);
    EXPECT_EQ(s.Mouse_RelY(), -50);
    EXPECT_EQ(s.Mouse_WorldX(), 1700);
    EXPECT_EQ(s.Mouse_WorldY(), 900);
    EXPECT_TRUE(s.Mouse_IsMoving());

    s.HandleQ();
    EXPECT_EQ(s.Mouse_RelX(), 0);
    EXPECT_EQ(s.Mouse_RelY(), 0);
    EXPECT_FALSE(s.Mouse_IsMoving());
    EXPECT_EQ(s.Mouse_ViewportX(), 639);  // the position itself stays

    // Several moves in one frame add up; the last delta is the relative value.
    Mice(s, {Event(MouseEvent::MoveX, -127, 0), Event(MouseEvent::MoveX, -12, 0)});
    s.HandleQ();
    EXPECT_EQ(s.Mouse_ViewportX(), 500);
    EXPECT_EQ(s.Mouse_RelX(), -12);
    EXPECT_EQ(s.Mouse_RelY(), 0);
}

TEST_F(RemoteInputTest, TheWheelAnswersItsDirectionInTheFrameItTurned) {
    const struct {
        std::int8_t value;
        int answer;
    } cases[] = {{-3, -1}, {0, -1}, {1, 1}, {120, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(int(c.value));
        Sprite s;
        EXPECT_EQ(s.Mouse_Wheel(), 0);
        Mice(s, {Event(MouseEvent::Wheel, c.value)});
        s.HandleQ();
        EXPECT_EQ(s.Mouse_Wheel(), c.answer);
        s.HandleQ();
        EXPECT_EQ(s.Mouse_Wheel(), 0);
    }
}

TEST_F(RemoteInputTest, ButtonsFollowTheKeyRuleAndOtherIndicesAreNeverDown) {
    Sprite s;
    Click(s, 1, true);
    s.HandleQ();
    EXPECT_TRUE(s.Mouse_IsPressed(1));
    EXPECT_TRUE(s.Mouse_IsTriggered(1));
    EXPECT_TRUE(s.Mouse_IsNotPressed(0));
    EXPECT_TRUE(s.Mouse_Any());
    unsigned char button = 9;
    ASSERT_TRUE(s.Mouse_GetKey(button));
    EXPECT_EQ(button, 1);
    s.HandleQ();
    EXPECT_TRUE(s.Mouse_IsNotTriggered(1));
    EXPECT_EQ(s.Mouse_HoldCounter(1), 2u);
    EXPECT_FALSE(s.Mouse_GetKey(button));
    Click(s, 1, false);
    s.HandleQ();
    s.HandleQ();
    EXPECT_TRUE(s.Mouse_Nothing());
    EXPECT_EQ(s.Mouse_TapCounter(1), 2u);

    for (unsigned char b : {3, 7, 255}) {
        SCOPED_TRACE(int(b));
        EXPECT_FALSE(s.Mouse_IsPressed(b));
        EXPECT_TRUE(s.Mouse_IsNotPressed(b));
        EXPECT_FALSE(s.Mouse_IsTriggered(b));
        EXPECT_EQ(s.Mouse_HoldCounter(b), 0u);
        EXPECT_EQ(s.Mouse_TapCounter(b), 0u);
    }
}

TEST_F(RemoteInputTest, ASecondClickWithinTheLocalMousesGapIsADoubleClick) {
    // Gaps in frames between the two clicks' first frames; 8 to 12 count.
    const struct {
        unsigned gap;
        bool doubled;
    } cases[] = {{7, false}, {8, true}, {12, true}, {13, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.gap);
        Sprite s;
        Click(s, 0, true);
        s.HandleQ();
        Click(s, 0, false);
        s.HandleQ();
        for (unsigned f = 2; f < c.gap; ++f) s.HandleQ();
        Click(s, 0, true);
        s.HandleQ();
        EXPECT_EQ(s.Mouse_IsDoubleClicked(0), c.doubled);
        s.HandleQ();
        EXPECT_FALSE(s.Mouse_IsDoubleClicked(0));  // one frame only
    }
}

TEST_F(RemoteInputTest, AThirdClickStartsANewPairAndHighButtonsAskButtonTwo) {
    Sprite s;
    auto clickAndRelease = [&s](unsigned button) {
        Click(s, button, true);
        s.HandleQ();
        Click(s, button, false);
        s.HandleQ();
        for (int f = 0; f < 8; ++f) s.HandleQ();
    };
    clickAndRelease(2);  // first click at frame 1
    Click(s, 2, true);   // second at frame 11: a double click
    s.HandleQ();
    EXPECT_TRUE(s.Mouse_IsDoubleClicked(2));
    EXPECT_TRUE(s.Mouse_IsDoubleClicked(7));
    EXPECT_FALSE(s.Mouse_IsDoubleClicked(1));
    Click(s, 2, false);
    s.HandleQ();
    for (int f = 0; f < 8; ++f) s.HandleQ();
    Click(s, 2, true);  // third: the first of a new pair
    s.HandleQ();
    EXPECT_FALSE(s.Mouse_IsDoubleClicked(2));
}

TEST_F(RemoteInputTest, MarkersAndShortOrEmptyRecordsChangeNothingButTheFrameCount) {
    Sprite s;
    Keys(s, {0x0139});
    s.HandleQ();
    const std::uint32_t frames = s.remoteFrameCounter;

    _NETMSGQ marker = Record(8, {});
    s.AddToQ(marker);
    _NETMSGQ oddKeys = Record(9, {0x20, 0x01, 0x21});  // a whole entry and a stray byte
    s.AddToQ(oddKeys);
    _NETMSGQ shortMouse = Record(10, {MouseEvent::MoveX, 50, 0, 0, 0, 0, 0});  // 7 of 8 bytes
    s.AddToQ(shortMouse);
    _NETMSGQ noData;
    noData.type = 9;
    noData.size = 64;  // a size without data reads nothing
    s.AddToQ(noData);
    _NETMSGQ unknown = Record(77, {1, 2, 3, 4});
    s.AddToQ(unknown);
    const std::int32_t x = s.Mouse_ViewportX();
    s.HandleQ();

    EXPECT_EQ(s.remoteFrameCounter, frames + 1);
    EXPECT_TRUE(s.Keyboard_IsPressed(0x39));
    EXPECT_TRUE(s.Keyboard_IsPressed(0x20));  // the whole entry counts
    EXPECT_TRUE(s.Keyboard_IsNotPressed(0x21));
    EXPECT_EQ(s.Mouse_ViewportX(), x);
    EXPECT_FALSE(s.Mouse_IsMoving());
    EXPECT_TRUE(s.inputQueue.empty());
}

TEST_F(RemoteInputTest, AnUnhandledQueueKeepsOnlyItsNewestRecords) {
    Sprite s;
    const std::size_t sent = Sprite::MaxQueuedRecords + 100;
    for (std::size_t i = 0; i < sent; ++i) Keys(s, {std::uint16_t(i == sent - 1 ? 0x0150 : 0x0100 | (i % 0x40))});
    EXPECT_EQ(s.inputQueue.size(), Sprite::MaxQueuedRecords);
    EXPECT_EQ(s.inputQueue.back().data[0], 0x50);
    s.HandleQ();
    EXPECT_TRUE(s.Keyboard_IsPressed(0x50));
    EXPECT_TRUE(s.inputQueue.empty());

    Keys(s, {0x0160});
    s.ClearQ();
    EXPECT_TRUE(s.inputQueue.empty());
    s.HandleQ();
    EXPECT_TRUE(s.Keyboard_IsNotPressed(0x60));
}

TEST_F(RemoteInputTest, ThePointerIsInARectangleByItsLeftAndTopEdgesOnly) {
    Sprite s;
    QelRect r{10, 20, 30, 40};
    const struct {
        std::int32_t x, y;
        bool inside;
    } cases[] = {{10, 20, true}, {29, 39, true}, {30, 25, false}, {15, 40, false}, {9, 25, false}, {15, 19, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.x << "," << c.y);
        s.mouseX = c.x;
        s.mouseY = c.y;
        EXPECT_EQ(s.Mouse_InRect(&r), c.inside);
    }
    EXPECT_FALSE(s.Mouse_InRect(nullptr));
}

// The network thread queues whole batches through the engine while the frame
// applies them: a frame sees every record of a batch or none.
TEST_F(RemoteInputTest, BatchesFromTheNetworkAreAppliedWhole) {
    Sprite* remote = Add("Remote");
    ASSERT_NE(remote, nullptr);
    remote->networkPlayer = remote->networkActive = true;
    const std::uint32_t id = std::uint32_t(remote->Id());

    std::vector<netwire::FrameRecord> unknownSprite(1);
    EXPECT_FALSE(EngineNetEnvironment().QueueInput(id + 1000, unknownSprite));

    constexpr int Batches = 300;
    std::atomic<bool> torn{false};
    std::thread network([&] {
        for (int i = 0; i < Batches; ++i) {
            // Down in the first record, up in the second: never both applied
            // half-way, so after a frame the key is never left down.
            std::vector<netwire::FrameRecord> batch(3);
            batch[0].type = 8;
            batch[1].type = 9;
            batch[1].data = KeyBytes({0x0142});
            batch[2].type = 9;
            batch[2].data = KeyBytes({0x0042});
            EngineNetEnvironment().QueueInput(id, batch);
        }
    });
    for (int frame = 0; frame < 2000 && !torn; ++frame) {
        remote->HandleQ();
        if (remote->Keyboard_IsPressed(0x42)) torn = true;
    }
    network.join();
    remote->HandleQ();
    EXPECT_FALSE(torn);
    EXPECT_TRUE(remote->Keyboard_IsNotPressed(0x42));
    EXPECT_TRUE(remote->inputQueue.empty());
}

// A session's workers look the level's sprites up (to offer, take and name
// them) while the frame adds, re-sorts and deletes them: as when a player
// joins just as the host's game moves on to its next level.
TEST_F(RemoteInputTest, WorkersLookingSpritesUpMeetALevelThatChangesThemSafely) {
    NetEnvironment& env = EngineNetEnvironment();
    const auto addPlayers = [&](unsigned z) {
        for (const char* name : {"Red", "Blue", "Green"}) {
            Sprite open;
            open.Name(name);
            open.ZOrder(z);
            open.ActorIndex(Walker);
            open.networkPlayer = true;
            level.Add(open);  // as the level's builder adds them
        }
    };
    addPlayers(0);
    {
        std::lock_guard<qel::CriticalSection> hold(env.PlayerLock());
        ASSERT_EQ(env.FreeNetworkSprites().size(), 3u);
    }
    level.Empty();  // as a level switch does

    std::atomic<bool> done{false};
    std::atomic<int> walks{0};
    std::thread network([&] {
        while (!done) {
            std::lock_guard<qel::CriticalSection> hold(env.PlayerLock());
            for (std::uint32_t id : env.FreeNetworkSprites()) {
                String name;
                if (env.SpriteName(id, name) && env.IsFreeNetworkSprite(id) && id % 2 == 0) env.TakeSprite(id);
            }
            ++walks;
        }
    });
    for (int round = 0; round < 300; ++round) {
        addPlayers(unsigned(round % 3));
        level.Empty();  // as a level switch does
    }
    while (walks < 10) std::this_thread::yield();
    done = true;
    network.join();
}
