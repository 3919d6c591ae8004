#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "LogicFixture.h"
#include "foundation/File.h"
#include "logic/Alarm.h"
#include "logic/AlarmPTR.h"
#include "runtime/EngineGlobals.h"
#include "runtime/GameNode.h"
#include "sprites/Sprite.h"
#include "world/CollisionCircle.h"
#include "world/CollisionSegment.h"
#include "world/Map.h"

namespace logictest {
namespace {

// Who set the alarm off, one entry per run of its behaviour.
std::vector<Sprite*> fired;
void RecordTrigger(void* owner) { fired.push_back(static_cast<Alarm*>(owner)->TriggerSprite()); }

const QelRect kInside{40, 40, 60, 60};
const QelRect kOutside{200, 200, 230, 230};

class AlarmTest : public LogicTest {
protected:
    void SetUp() override {
        LogicTest::SetUp();
        MakeTables(1, 0, 0);
        FArray[0] = reinterpret_cast<void*>(&RecordTrigger);
        fired.clear();
        zone.GetBehavior() = Behavior();  // sized for the tables just made
        zone.Name("zone");
        zone.AddCollisionData(CollisionCircle(50, 50, 10, 7, 0));
        zone.GetBehavior().AddFunction(0, true);
    }

    // One frame: each sprite's test in order, inside or not.
    void Frame(std::initializer_list<std::pair<Sprite*, bool>> tests) {
        for (auto [sprite, inside] : tests) zone.Watch(sprite, inside ? kInside : kOutside, 0, 0);
    }

    Alarm zone;
    Sprite a, b;
};

TEST_F(AlarmTest, ModesFireAsTheContactsSay) {
    struct Row {
        const char* what;
        bool once;
        std::vector<std::vector<std::pair<int, bool>>> frames;  // sprite (0 = a, 1 = b), inside
        std::vector<int> firedBy;                               // sprite of each run, in order
    };
    const Row rows[] = {
        {"every frame while touching", false, {{{0, true}}, {{0, true}}, {{0, false}}, {{0, true}}}, {0, 0, 0}},
        {"once per entry", true, {{{0, true}}, {{0, true}}, {{0, false}}, {{0, true}}, {{0, true}}}, {0, 0}},
        {"two sprites, one staying inside, one clear after it",
         true,
         {{{0, true}, {1, false}}, {{0, true}, {1, false}}, {{0, true}, {1, false}}},
         {0}},
        {"two sprites, the clear one tested first",
         true,
         {{{1, false}, {0, true}}, {{1, false}, {0, true}}, {{1, false}, {0, true}}},
         {0}},
        {"the firer leaves: the other sprite may fire",
         true,
         {{{0, true}, {1, false}}, {{0, false}, {1, true}}, {{0, false}, {1, true}}},
         {0, 1}},
        {"both inside: fires once", true, {{{0, true}, {1, true}}, {{0, true}, {1, true}}}, {0}},
    };
    Sprite* sprites[] = {&a, &b};
    for (const Row& row : rows) {
        zone.ExecuteOnce(row.once);
        fired.clear();
        for (const auto& frame : row.frames)
            for (auto [who, inside] : frame) zone.Watch(sprites[who], inside ? kInside : kOutside, 0, 0);
        std::vector<Sprite*> expected;
        for (int who : row.firedBy) expected.push_back(sprites[who]);
        EXPECT_EQ(fired, expected) << row.what;
        // Clear everybody out so the next row starts armed.
        Frame({{&a, false}, {&b, false}});
    }
}

TEST_F(AlarmTest, SegmentsCountOnlyAgainstTheMotion) {
    Alarm line;
    line.GetBehavior().AddFunction(0, true);
    // A vertical line at x = 50 whose normal points left (-1, 0).
    line.AddCollisionData(CollisionSegment(50, 0, 50, 100, 1, 0, 0));
    line.Watch(&a, kInside, -1, 0);  // moving left, along the normal: away
    EXPECT_TRUE(fired.empty());
    line.Watch(&a, kInside, 1, 0);  // moving right, into it
    line.Watch(&a, kInside, 0, 0);  // standing still counts
    line.Watch(&a, kOutside, 1, 0);
    EXPECT_EQ(fired.size(), 2u);
}

TEST_F(AlarmTest, InactiveOrEmptyAlarmsNeverRunAndKeepTheirMode) {
    zone.ExecuteOnce(true);
    Frame({{&a, true}});
    ASSERT_EQ(zone.Mode(), Alarm::Fired);
    EXPECT_TRUE(zone.ExecuteOnce());
    zone.Active(false);
    Frame({{&a, false}});
    Frame({{&a, true}});
    EXPECT_EQ(zone.Mode(), Alarm::Fired);
    EXPECT_EQ(zone.TriggerSprite(), nullptr);
    EXPECT_EQ(fired.size(), 1u);

    Alarm empty;
    empty.GetBehavior().AddFunction(0, true);
    empty.ExecuteOnce(true);
    empty.Watch(&a, kInside, 0, 0);
    EXPECT_EQ(empty.Mode(), Alarm::Armed);
    EXPECT_EQ(fired.size(), 1u);
}

TEST_F(AlarmTest, ForgottenFirerLetsTheAlarmReArm) {
    zone.ExecuteOnce(true);
    Frame({{&a, true}, {&b, false}});
    zone.ForgetSprite(&a);
    EXPECT_EQ(zone.TriggerSprite(), nullptr);
    Frame({{&b, false}});
    EXPECT_EQ(zone.Mode(), Alarm::Armed);
}

TEST_F(AlarmTest, ShapesAreAddedNewestFirstAndEmptySegmentsDropped) {
    Alarm alarm;
    alarm.AddCollisionData(CollisionSegment(5, 5, 5, 5, 1, 0, 0));
    alarm.AddCollisionData(CollisionCircle(3, 3, 0, 2, 0));
    alarm.AddCollisionData(CollisionSegment(0, 0, 10, 0, 3, 0, 0));
    ASSERT_EQ(alarm.Shapes().Count(), 2);
    EXPECT_EQ(static_cast<CollisionData*>(alarm.Shapes().Head())->Type(), CollisionData::SegmentKind);
    EXPECT_EQ(static_cast<CollisionCircle*>(alarm.Shapes().Head()->Next())->Radius(), 0.0f);
    // A radius-0 circle still marks its centre.
    alarm.GetBehavior().AddFunction(0, true);
    alarm.Watch(&a, QelRect{0, 0, 4, 4}, 0, 0);
    EXPECT_EQ(fired.size(), 1u);
}

TEST_F(AlarmTest, CopiesTakeEverythingButTheTriggerSprite) {
    zone.Id(4);
    zone.ExecuteOnce(true);
    zone.ShowCollision(true);
    Frame({{&a, true}});
    ASSERT_EQ(zone.TriggerSprite(), &a);
    Alarm copy(&zone);
    EXPECT_STREQ(copy.Name(), "zone");
    EXPECT_EQ(copy.Id(), 4);
    EXPECT_EQ(copy.Mode(), Alarm::Fired);
    EXPECT_TRUE(copy.ShowCollision());
    EXPECT_EQ(copy.Shapes().Count(), 1);
    EXPECT_EQ(copy.GetBehavior().Count(), 1u);
    EXPECT_EQ(copy.TriggerSprite(), nullptr);
    Alarm assigned;
    assigned = zone;
    EXPECT_STREQ(assigned.Name(), "zone");
    EXPECT_EQ(assigned.Shapes().Count(), 1);
}

TEST_F(AlarmTest, SaveAndLoadKeepAFiredAlarmFired) {
    zone.Id(9);
    zone.ExecuteOnce(true);
    zone.AddCollisionData(CollisionSegment(0, 0, 10, 0, 3, 0, 0));
    Frame({{&a, true}});
    zone.TriggerSprite(nullptr);
    const Bytes bytes = Written([&](File& f) { f.Write(static_cast<node*>(&zone)); });
    node* loaded = nullptr;
    ASSERT_TRUE(ReadBack(bytes, [&](File& f) {
        f.Read(loaded);
        f.Claim(loaded);
    }));
    ASSERT_NE(loaded, nullptr);
    auto* alarm = dynamic_cast<Alarm*>(loaded);
    ASSERT_NE(alarm, nullptr);
    EXPECT_STREQ(alarm->Name(), "zone");
    EXPECT_EQ(alarm->Id(), 9);
    EXPECT_EQ(alarm->Mode(), Alarm::Fired);
    EXPECT_EQ(alarm->Shapes().Count(), 2);
    EXPECT_EQ(alarm->GetBehavior().Count(), 1u);
    // Still fired: a sprite inside does not run it again.
    alarm->Watch(&b, kInside, 0, 0);
    EXPECT_EQ(fired.size(), 1u);
    delete alarm;
}

TEST_F(AlarmTest, CorruptRecordLeavesAnAlarmThatNeverFires) {
    Alarm plain;
    plain.Name("bad");
    plain.AddCollisionData(CollisionCircle(50, 50, 10, 7, 0));
    Bytes bytes = Written([&](File& f) { plain.Save(f); });
    // The execute mode sits after the shapes and the null trigger: behaviour,
    // id, name, active, list, null, then the mode. Make it 7.
    const std::size_t modeAt = bytes.size() - (4 + 1 + 4 + 4);
    bytes[modeAt] = 7;
    Alarm loaded;
    EXPECT_FALSE(ReadBack(bytes, [&](File& f) { loaded.Load(f); }));
    EXPECT_FALSE(loaded.Active());
    EXPECT_EQ(loaded.Shapes().Count(), 0);
    loaded.Watch(&a, kInside, 0, 0);
    EXPECT_TRUE(fired.empty());
}

TEST_F(AlarmTest, LocalDataNamingTheAlarmItselfOrItsMapIsRefused) {
    // A stored reference: class name in 32 bytes, then the id.
    auto reference = [](const char* name, std::uint8_t id) {
        Bytes r(32, 0);
        for (std::size_t i = 0; name[i] != 0; ++i) r[i] = static_cast<unsigned char>(name[i]);
        r.insert(r.end(), {id, 0, 0, 0});
        return r;
    };
    // The alarm's record ends with its local data: a null reference here,
    // replaced by a reference to an object already being read.
    const Bytes alarmRecord = Written([&](File& f) { zone.Save(f); });
    Bytes aimedAtItself = reference("Alarm", 1);
    aimedAtItself.insert(aimedAtItself.end(), alarmRecord.begin(), alarmRecord.end() - 4);
    const Bytes self = reference("Alarm", 1);
    aimedAtItself.insert(aimedAtItself.end(), self.begin(), self.end());

    Map map;
    map.Add(zone);
    Bytes aimedAtItsMap = Written([&](File& f) { f.Write(static_cast<node*>(&map)); });
    // Inside the map the shapes get other ids: the record's tail (mode, shown
    // flag, local-data index and reference) is found instead.
    const Bytes tail(alarmRecord.end() - 13, alarmRecord.end());
    const auto at = std::search(aimedAtItsMap.begin(), aimedAtItsMap.end(), tail.begin(), tail.end());
    ASSERT_NE(at, aimedAtItsMap.end());
    const auto end = at + std::ptrdiff_t(tail.size());
    const auto nullLocalData = aimedAtItsMap.erase(end - 4, end);
    const Bytes mapReference = reference("Map", 1);
    aimedAtItsMap.insert(nullLocalData, mapReference.begin(), mapReference.end());

    for (const Bytes* bytes : {&aimedAtItself, &aimedAtItsMap}) {
        node* loaded = nullptr;
        // A refused record: the file frees what it made inside, each object
        // once; the object the read returned is the caller's.
        EXPECT_FALSE(ReadBack(*bytes, [&](File& f) { f.Read(loaded); }));
        EXPECT_NE(loaded, nullptr);
        delete loaded;
    }
}

TEST_F(AlarmTest, SearchFindsOnlyAdoptedAlarms) {
    GameNode level;
    gNode = &level;
    Sprite* holder = new Sprite();
    holder->Name("holder");
    level.DisplayList(3).add(holder);
    Alarm first, second;
    first.Name("first");
    second.Name("second");
    holder->alarms.Add(&first);
    holder->alarms.Add(&second);

    EXPECT_EQ(Alarm::Search("second"), &second);
    EXPECT_EQ(Alarm::Search("second", "holder"), &second);
    ClearReport();
    EXPECT_EQ(Alarm::Search("zone"), nullptr);  // exists, but no sprite adopted it
    EXPECT_EQ(ReportedMessage(), "Alarm zone not found.");
    EXPECT_EQ(ReportedTarget(), "Alarm * Alarm::Search(const char *)");
    ClearReport();
    EXPECT_EQ(Alarm::Search("third", "holder"), nullptr);
    EXPECT_EQ(ReportedTarget(), "Alarm* Alarm::Search(const char *,const char *)");

    AlarmPTR handle("second");
    EXPECT_EQ(static_cast<Alarm*>(handle), &second);
    AlarmPTR missing("nowhere");
    EXPECT_EQ(static_cast<Alarm*>(missing), AlarmPTR::dummyAlarmPtr);
    handle = nullptr;
    EXPECT_EQ(static_cast<Alarm*>(handle), &second);
    handle = &first;
    EXPECT_STREQ(handle->Name(), "first");

    holder->alarms.Clear();
    level.DisplayList(3).del();
    gNode = nullptr;
}

TEST_F(AlarmTest, UnknownLocalVariableIsReported) {
    zone.AddLocalVariable(3);
    EXPECT_EQ(ReportedMessage(), "The local variable 3 cannot be found.");
    EXPECT_EQ(ReportedTarget(), "void Alarm::AddLocalVariable(unsigned int index)");
    EXPECT_EQ(zone.LocalData(), nullptr);
    EXPECT_EQ(zone.LocalDataIndex(), -1);
}

}  // namespace
}  // namespace logictest
