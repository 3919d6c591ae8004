// The level builder run on the registered levels with the generated assets:
// spot checks of the Menu and Level_1, and every level built without a single
// report, its camera sprite inside the scrolling box and on the map.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <set>
#include <cstring>
#include <string>
#include <vector>

#include "BuiltLevelFixture.h"
#include "levels/LevelData.h"
#include "sound/Sound.h"
#include "sound/StreamedSound.h"

namespace {

std::array<float, 4> Corners(const FRECT& r) { return {r.left, r.top, r.right, r.bottom}; }

class LevelBuilderTest : public gametest::BuiltLevelTest {};

TEST_F(LevelBuilderTest, MenuHasTitleMapFiguresAndStartsItsMusic) {
    GameNode* menu = Build(0);
    ASSERT_NE(menu, nullptr);
    EXPECT_STREQ(_UE.ErrorMessage, "") << Reported();

    EXPECT_EQ(menu->WorldWidth(), 640u);
    EXPECT_EQ(menu->WorldHeight(), 480u);
    EXPECT_EQ(menu->FramesPerSecond(), 60u);
    EXPECT_TRUE(menu->QuitOnEscape());
    EXPECT_FALSE(menu->ShowScrollingBoundingBox());
    EXPECT_TRUE(menu->GetBehavior().IsFunctionAdded(FunctionNo::title));

    ViewPort& view = menu->GetViewPort();
    const FRECT box = view.BBViewPortRect();
    EXPECT_EQ(Corners(box), (std::array<float, 4>{0, 0, 640, 480}));
    EXPECT_EQ(view.MaxInflateBBLeft(), 0.0f);
    EXPECT_EQ(view.WorldXPos(), 0.0f);
    EXPECT_EQ(view.Width(), 640.0f);
    EXPECT_EQ(view.Height(), 480.0f);

    ASSERT_EQ(menu->Maps().Count(), 1u);
    Map* map = Map::Search("level");
    ASSERT_NE(map, nullptr);
    EXPECT_TRUE(map->IsMasterMap());
    EXPECT_STREQ(map->FileName(), "title.bmp");
    EXPECT_EQ(map->Shapes().Count(), 0u);
    EXPECT_EQ(map->SpacePartitionGridSize(), 128u);

    // Two effects and two tunes; "enter" plays from the build on, the standard
    // jump and shot effects are not registered here.
    EXPECT_EQ(menu->Sounds().Count(), 2u);
    EXPECT_EQ(menu->StreamedSounds().Count(), 2u);
    ASSERT_NE(StreamedSound::Search("enter"), nullptr);
    EXPECT_TRUE(StreamedSound::Search("enter")->IsPlaying());
    EXPECT_FALSE(StreamedSound::Search("mus")->IsPlaying());
    ClearReports();
    EXPECT_EQ(Sound::Search("JumpOne"), nullptr);

    EXPECT_EQ(SpriteCount(menu), 9);
    EXPECT_EQ(CountNamed(menu, "reveal"), 5);
    EXPECT_EQ(CountNamed(menu, "eveal"), 1);
    EXPECT_EQ(CountNamed(menu, "veal"), 1);
    Sprite* decider = Sprite::Search("decider");
    ASSERT_NE(decider, nullptr);
    EXPECT_FALSE(decider->Visible());
    EXPECT_EQ(decider->VariableNumber(), 1);
    EXPECT_EQ(decider->ActorIndex(), 3);
    EXPECT_TRUE(decider->behavior.IsFunctionAdded(FunctionNo::deciderLogic));
    Sprite* title = Sprite::Search("titleScreen");
    ASSERT_NE(title, nullptr);
    EXPECT_EQ(title->ActorIndex(), 4);
    EXPECT_FALSE(title->Visible());
}

TEST_F(LevelBuilderTest, Level1HasItsSegmentsSoundsAndOwnPlayerAndGoal) {
    GameNode* first = Build(1);
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(_UE.ErrorMessage, "") << Reported();

    Map* map = Map::Search("level");
    ASSERT_NE(map, nullptr);
    EXPECT_FALSE(map->IsMasterMap());
    EXPECT_STREQ(map->FileName(), "noltlvl1dash1.bmp");
    EXPECT_EQ(map->ScrollRatioX(), 0.0f);
    EXPECT_TRUE(map->UseTransparency());
    EXPECT_EQ(map->TransparencyColor(), 0xDC00FFul);
    // The shapes are the seven lines of the level, each from its own first point.
    std::multiset<std::array<float, 5>> expected{
        {632, 394, 359, 394, 0}, {359, 394, 359, 267, 1}, {359, 267, 277, 267, 0}, {277, 267, 277, 398, 1},
        {271, 398, 1, 398, 0},   {2, 411, 2, 1, 1},       {637, 0, 637, 472, 1}};
    std::multiset<std::array<float, 5>> actual;
    for (node* p = map->Shapes().Head(); !p->EOList(); p = p->Next()) {
        auto* s = static_cast<CollisionSegment*>(p);
        actual.insert({s->OriginX(), s->OriginY(), s->EndX(), s->EndY(), float(s->Id())});
    }
    EXPECT_EQ(actual, expected);

    // "mus" and the effects "name", "shoot" and the eight standard ones.
    EXPECT_EQ(first->StreamedSounds().Count(), 1u);
    EXPECT_FALSE(StreamedSound::Search("mus")->IsPlaying());
    EXPECT_EQ(first->Sounds().Count(), 10u);
    for (const char* name : {"name", "shoot", "JumpOne", "ShootFour"}) EXPECT_NE(Sound::Search(name), nullptr) << name;

    const FRECT box = first->GetViewPort().BBViewPortRect();
    EXPECT_EQ(Corners(box), (std::array<float, 4>{0, 0, 640, 480}));
    EXPECT_EQ(first->GetViewPort().MaxInflateBBBottom(), 0.0f);

    Sprite* protag = Sprite::Search("protag");
    ASSERT_NE(protag, nullptr);
    EXPECT_TRUE(protag->behavior.IsStateMachineAdded(StateMachineNo::PlyrOnWhatSM));
    EXPECT_TRUE(protag->behavior.IsStateMachineAdded(StateMachineNo::SpriteCopySM));
    EXPECT_EQ(protag->behavior.Count(), 2u) << "Level_1's player has no ResetDeath";
    EXPECT_FALSE(protag->CollisionType());
    EXPECT_TRUE(protag->CheckCollisionWithMap());
    EXPECT_EQ(protag->MapPositionX(), 57.0f);
    EXPECT_EQ(protag->MapPositionY(), 296.0f);
    Sprite* goal = Sprite::Search("goal");
    ASSERT_NE(goal, nullptr);
    EXPECT_EQ(goal->DisplayListNumber(), 2);
    EXPECT_FALSE(goal->GhostCollisionWithSprite());
    EXPECT_TRUE(goal->CheckCollisionWithSprite());
    Sprite* projectile = Sprite::Search("masterProjectile");
    ASSERT_NE(projectile, nullptr);
    EXPECT_TRUE(projectile->Unused());
    EXPECT_TRUE(projectile->behavior.IsTimerAdded(TimerNo::projectileDelete));
    EXPECT_EQ(Sprite::Search("mainChar"), nullptr);
    ClearReports();
}

TEST_F(LevelBuilderTest, EveryLevelBuildsCleanlyWithItsCameraInsideTheBox) {
    for (int k = 0; k < nolt::LevelCount; ++k) {
        const nolt::LevelRecord& record = nolt::LevelRecordOf(k);
        SCOPED_TRACE(record.name);
        ClearReports();
        GameNode* g = Build(k);
        ASSERT_NE(g, nullptr);
        EXPECT_STREQ(_UE.ErrorMessage, "") << Reported();
        EXPECT_EQ(SpriteCount(g), int(record.sprites.size()));
        EXPECT_EQ(g->GetViewPort().WorldYPos(), record.viewStartY);

        Map* map = Map::Search("level");
        ASSERT_NE(map, nullptr);
        EXPECT_EQ(map->Shapes().Count(), record.segments.size());
        EXPECT_EQ(int(map->Width()), record.BitmapWidth());
        EXPECT_EQ(int(map->Height()), record.BitmapHeight());

        ClearReports();
        if (Sprite* camera = FindQuietly(g, "mainChar")) {
            EXPECT_TRUE(camera->MainCharacter());
            const ViewPort& view = g->GetViewPort();
            const float x = camera->MapPositionX(), y = camera->MapPositionY();
            EXPECT_GE(x, view.BBWorldXPos());
            EXPECT_LE(x + 32, view.BBWorldRightPos());
            EXPECT_GE(y, view.BBWorldYPos());
            EXPECT_LE(y + 32, view.BBWorldBottomPos());
            EXPECT_GE(x, 0.0f);
            EXPECT_GE(y, 0.0f);
            EXPECT_LE(x + 32, float(map->Width()));
            EXPECT_LE(y + 32, float(map->Height()));
        }
        if (Sprite* player = FindQuietly(g, "protag")) {
            EXPECT_GE(player->MapPositionX(), 0.0f);
            EXPECT_LE(player->MapPositionX() + 32, float(g->WorldWidth()));
            EXPECT_LE(player->MapPositionY() + 32, float(g->WorldHeight()));
        }
        Leave();
    }
}

}  // namespace
