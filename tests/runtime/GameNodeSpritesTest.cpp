// A level's sprites: how they are numbered and placed in the display lists,
// which becomes the main character, and what the level clears when a map
// shape they point at is destroyed; the remote players' input, the cursor
// object and the levels' own destruction.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/UserError.h"
#include "foundation/Variable.h"
#include "input/QelCursor.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/Game.h"
#include "runtime/GameNode.h"
#include "sprites/Sprite.h"
#include "sprites/SpriteListInternal.h"
#include "world/CollisionSegment.h"
#include "world/LevelViewInternal.h"
#include "world/Map.h"

namespace {

class GameNodeSprites : public ::testing::Test {
protected:
    void SetUp() override {
        gNode = &level;
        std::memset(_UE.ErrorMessage, 0, sizeof _UE.ErrorMessage);
    }
    void TearDown() override {
        for (int n = 0; n < GameNode::DisplayListCount; ++n) level.DisplayList(n).del();
        pMainCharacter = nullptr;
        gNode = nullptr;
    }

    static Sprite* Make(const char* name, int list, unsigned z, bool main = false) {
        Sprite* s = new Sprite();
        s->Name(name);
        s->DisplayListNumber(list);
        s->ZOrder(z);
        s->MainCharacter(main);
        return s;
    }

    std::vector<std::string> Names(int list) {
        std::vector<std::string> names;
        for (node* p = level.DisplayList(list).Head(); !p->EOList(); p = p->Next()) {
            const Sprite* s = static_cast<const Sprite*>(p);
            names.push_back(std::string(static_cast<const char*>(s->Name())) + "#" + std::to_string(s->Id()));
        }
        return names;
    }

    GameNode level;
};

TEST_F(GameNodeSprites, SpritesAreNumberedAndKeptInZOrderAheadOfEqualOnes) {
    struct Case {
        const char* name;
        unsigned z;
    };
    for (const Case& c : {Case{"first5", 5}, Case{"three", 3}, Case{"second5", 5}, Case{"zero", 0}, Case{"nine", 9}})
        ASSERT_TRUE(level.Add(Make(c.name, 2, c.z)));
    EXPECT_EQ(Names(2), (std::vector<std::string>{"zero#4", "three#2", "second5#3", "first5#1", "nine#5"}));
    EXPECT_EQ(level.IdCounter(GameNode::SpriteIds), 5);
    // Placed by its z-order, a new sprite has nothing to re-sort at the frame's end.
    for (node* p = level.DisplayList(2).Head(); !p->EOList(); p = p->Next())
        EXPECT_EQ(static_cast<Sprite*>(p)->SortedZOrder(), static_cast<Sprite*>(p)->ZOrder());
}

TEST_F(GameNodeSprites, OnlySixteenDisplayListsExist) {
    struct Case {
        int list;
        bool accepted;
    };
    for (const Case& c : {Case{0, true}, Case{15, true}, Case{16, false}, Case{-1, false}}) {
        SCOPED_TRACE(c.list);
        std::memset(_UE.ErrorMessage, 0, sizeof _UE.ErrorMessage);
        const int before = level.IdCounter(GameNode::SpriteIds);
        EXPECT_EQ(level.Add(Make("s", c.list, 0)), c.accepted);
        EXPECT_EQ(level.IdCounter(GameNode::SpriteIds), before + (c.accepted ? 1 : 0));
        EXPECT_STREQ(_UE.ErrorMessage,
                     c.accepted ? "" : "Sprite s can't be added because there are only 16 display lists.");
        if (!c.accepted) {
            EXPECT_STREQ(_UE.TargetFunction, "bool GameNode::Add(Sprite *)");
        }
    }
    EXPECT_EQ(level.DisplayList(0).Count() + level.DisplayList(15).Count(), 2);
}

TEST_F(GameNodeSprites, AnObjectAddedTwiceStaysOnceInItsList) {
    // The second Add of the same object is refused and reported; the lists
    // stay whole, and emptying the level destroys each object once.
    Sprite* sprite = Make("twice", 2, 0);
    ASSERT_TRUE(level.Add(sprite));
    EXPECT_FALSE(level.Add(sprite));
    EXPECT_STREQ(_UE.TargetFunction, "bool GameNode::Add(Sprite *)");
    EXPECT_STREQ(_UE.ErrorMessage, "Sprite twice has already been added.");
    sprite->DisplayListNumber(16);  // refused as added before, so not destroyed as misplaced
    EXPECT_FALSE(level.Add(sprite));
    sprite->DisplayListNumber(2);
    EXPECT_EQ(Names(2), (std::vector<std::string>{"twice#1"}));

    Map* map = new Map();
    map->Name("world");
    ASSERT_TRUE(level.Add(map));
    EXPECT_FALSE(level.Add(map));
    EXPECT_STREQ(_UE.ErrorMessage, "Map world has already been added.");
    EXPECT_EQ(level.Maps().Count(), 1);
    EXPECT_EQ(level.Maps().Head()->Next(), level.Maps().Sentinel());

    Variable* variable = new Variable(3);
    variable->Name("score");
    const int texts = level.Variables().Count();
    ASSERT_TRUE(level.Add(variable));
    EXPECT_FALSE(level.Add(variable));
    EXPECT_STREQ(_UE.ErrorMessage, "Variable score has already been added.");
    EXPECT_EQ(level.Variables().Count(), texts + 1);

    // Another level does not take what this one owns.
    GameNode other;
    EXPECT_FALSE(other.Add(sprite));
    EXPECT_FALSE(other.Add(map));
    EXPECT_EQ(other.DisplayList(2).Count() + other.Maps().Count(), 0);
    gNode = &level;
}

TEST_F(GameNodeSprites, TheMainCharacterIsTheLevelsOwnCopyNeverACopyOfIt) {
    Sprite hero;
    hero.Name("hero");
    hero.MainCharacter(true);
    ASSERT_TRUE(level.Add(hero));
    Sprite* added = static_cast<Sprite*>(level.DisplayList(0).Head());
    EXPECT_NE(added, &hero);
    EXPECT_EQ(pMainCharacter, added);
    Sprite* copy = added->CreateSprite();
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(pMainCharacter, added);
    EXPECT_FALSE(copy->MainCharacter());
    EXPECT_EQ(copy->Id(), 2);
}

TEST_F(GameNodeSprites, DestroyedMapShapesLeaveNoSpritePointingAtThem) {
    Map map;
    map.SpacePartitionGridSize(64);
    map.AddCollisionData(CollisionSegment(0, 10, 20, 10, 7, 0, 0));
    map.AddCollisionData(CollisionSegment(0, 20, 20, 20, 8, 0, 0));
    List* cell = map.Cell(0, 0);
    ASSERT_NE(cell, nullptr);
    ASSERT_EQ(cell->Count(), 2);
    CollisionData* seven = nullptr;
    CollisionData* eight = nullptr;
    for (node* p = cell->Head(); !p->EOList(); p = p->Next()) {
        CollisionSegment* s = static_cast<CollisionSegment*>(p);
        (s->Id() == 7 ? seven : eight) = s;
    }
    ASSERT_TRUE(seven && eight);
    ASSERT_TRUE(level.Add(Make("a", 0, 0)));
    ASSERT_TRUE(level.Add(Make("b", 3, 0)));
    Sprite* a = static_cast<Sprite*>(level.DisplayList(0).Head());
    Sprite* b = static_cast<Sprite*>(level.DisplayList(3).Head());
    a->mapShapesHit.Add(seven);
    a->mapShapesHit.Add(eight);
    a->mapShapesHit.Add(seven);
    b->mapShapesHit.Add(seven);

    map.RemoveCollisionData(7, 1);

    ASSERT_EQ(a->mapShapesHit.Size(), 1u);
    EXPECT_EQ(a->mapShapesHit[0], eight);
    EXPECT_EQ(b->mapShapesHit.Size(), 0u);
}

}  // namespace

namespace {

TEST_F(GameNodeSprites, FocusReturnResetsOnlyTheRemotePlayersInput) {
    ASSERT_TRUE(level.Add(Make("remote", 0, 0)));
    ASSERT_TRUE(level.Add(Make("local", 1, 0)));
    Sprite* remote = static_cast<Sprite*>(level.DisplayList(0).Head());
    Sprite* local = static_cast<Sprite*>(level.DisplayList(1).Head());
    for (Sprite* s : {remote, local}) {
        s->keys[0x39].pressed = 1;
        s->mouseButtons[0].pressed = 1;
    }
    netActiveIds.Add(remote->Id());
    level.NResetKM();
    netActiveIds.Clear();
    EXPECT_EQ(remote->keys[0x39].pressed, 0);
    EXPECT_EQ(remote->mouseButtons[0].pressed, 0);
    EXPECT_EQ(local->keys[0x39].pressed, 1);
    EXPECT_EQ(local->mouseButtons[0].pressed, 1);
}

TEST_F(GameNodeSprites, TheCursorObjectIsDeletedAndForgotten) {
    for (int round = 0; round < 2; ++round) {
        pQelCursor = NewQelCursor();
        level.DeleteQelCursor();
        EXPECT_EQ(pQelCursor, nullptr);
    }
    level.DeleteQelCursor();  // none left: nothing to do
    EmptyActorTable();        // the cursor's built-in picture
}

// Levels whose maps hold shapes, each with a sprite that hit one of them, go
// with the game's list whichever of them is the current level.
TEST(LevelLifetime, LevelsWithMapShapesGoInEitherOrderAndLeaveNoCurrentLevel) {
    for (bool currentGoesFirst : {true, false}) {
        SCOPED_TRACE(currentGoesFirst);
        Game game;
        GameNode* levels[2] = {};
        for (int i = 0; i < 2; ++i) {
            GameNode* level = new GameNode();
            level->Id(i + 1);
            Map* map = new Map();
            map->SpacePartitionGridSize(64);
            map->AddCollisionData(CollisionSegment(0, 10, 20, 10, 7, 0, 0));
            level->Add(map);
            Sprite* sprite = new Sprite();
            level->Add(sprite);
            sprite->mapShapesHit.Add(static_cast<CollisionData*>(map->Cell(0, 0)->Head()));
            game.Add(level);
            levels[i] = level;
        }
        // The list runs from the newest level, which goes first.
        gNode = currentGoesFirst ? levels[1] : levels[0];
        Game::gameNodeList.del();
        EXPECT_EQ(gNode, nullptr);
    }
}

}  // namespace
