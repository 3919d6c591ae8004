// The game's behaviour functions and timer callbacks on a small level: keys
// that face, mute and quit, the menu cursor, the camera, the falls out of the
// world, the goals, the hazard columns, the gradient and the finale.
#include <algorithm>
#include <cmath>
#include <string>

#include "GameFixture.h"
#include "foundation/Variable.h"
#include "logic/BehaviourFunctions.h"
#include "logic/GameKeys.h"
#include "sound/LevelSounds.h"
#include "sound/SoundCard.h"
#include "sound/StreamedSound.h"
#include "sound/StreamedSoundPTR.h"
#include "world/ParticleSystem.h"

using namespace gametest;

namespace {

// A short RIFF WAVE of silence: 16-bit mono at 22050 Hz.
void WriteWave(const std::filesystem::path& path) {
    const std::uint32_t samples = 4410, dataBytes = samples * 2;
    std::vector<char> b;
    auto text = [&](const char* t) { b.insert(b.end(), t, t + 4); };
    auto u32 = [&](std::uint32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<char>(v >> (8 * i)));
    };
    auto u16 = [&](std::uint16_t v) {
        b.push_back(static_cast<char>(v));
        b.push_back(static_cast<char>(v >> 8));
    };
    text("RIFF");
    u32(36 + dataBytes);
    text("WAVE");
    text("fmt ");
    u32(16);
    u16(1);
    u16(1);
    u32(22050);
    u32(44100);
    u16(2);
    u16(16);
    text("data");
    u32(dataBytes);
    b.resize(b.size() + dataBytes, 0);
    WriteBytes(path, b);
}

}  // namespace

class LogicBehavioursTest : public LevelTest {
protected:
    void SetUp() override {
        LevelTest::SetUp();
        MakeMap({{640, 400, 0, 400, 0}});
    }

    Sprite* AddSprite(const char* name, float x, float y, int actor = UtilityActor, int displayList = 0) {
        Sprite proto;
        proto.Name(name);
        proto.BelongToMap("level");
        proto.ActorIndex(actor);
        proto.DisplayListNumber(displayList);
        proto.WorldPosition(x, y, false);
        EXPECT_TRUE(level->Add(proto));
        return Sprite::Search(name);
    }

    // Levels after the fixture (Ids 2, 3, ...) so that the game can move on.
    void AddLevels(std::initializer_list<const char*> names) {
        int id = 2;
        for (const char* name : names) {
            GameNode* l = NewGameNode();
            l->Id(id++);
            l->Name(name);
            myGame->Add(l);
        }
    }
};

TEST_F(LogicBehavioursTest, ArrowsAndLettersSetTheFacingWithRightWinning) {
    struct Case {
        std::initializer_list<unsigned char> keys;
        bool before, after;
    };
    const Case cases[] = {
        {{key::Left}, true, false},
        {{key::A}, true, false},
        {{key::Right}, false, true},
        {{key::D}, false, true},
        {{key::Left, key::Right}, false, true},
        {{key::A, key::D}, true, true},
        {{}, false, false},
        {{}, true, true},
    };
    for (const Case& c : cases) {
        facingRight = c.before;
        Hold(c.keys);
        leftright(myGame);
        EXPECT_EQ(facingRight, c.after);
    }
    EXPECT_STREQ(_UE.FunctionName, "leftright");
    EXPECT_STREQ(_UE.ObjectType, "Game");
}

TEST_F(LogicBehavioursTest, MTogglesTheMuteAndHoldsTheMusicVolume) {
    SoundCard::Instance();  // the device, so that the music has a buffer to set
    musicFolder = (folder.string() + "/").c_str();
    WriteWave(folder / "music.wav");
    ASSERT_TRUE(sound::AddMusic(*level, "mus", "music.wav", false));
    StreamedSound* music = StreamedSound::Search("mus");
    ASSERT_NE(music, nullptr);
    struct Step {
        std::initializer_list<unsigned char> keys;
        bool muted;
    };
    const Step steps[] = {{{}, false}, {{key::M}, true}, {{key::M}, true}, {{}, true}, {{key::M}, false}};
    for (const Step& s : steps) {
        Hold(s.keys);
        leftright(myGame);
        EXPECT_EQ(soundMuted, s.muted);
        EXPECT_EQ(music->Volume(), s.muted ? -10000 : 0);
    }
    // The menu keeps its music silent whatever the mute says.
    title(level);
    EXPECT_EQ(music->Volume(), -10000);
}

TEST_F(LogicBehavioursTest, AltF4EndsTheGameAndF4AloneDoesNot) {
    struct Case {
        std::initializer_list<unsigned char> keys;
        bool quits;
    };
    const Case cases[] = {
        {{key::F4, key::LeftAlt}, true}, {{key::F4, key::RightAlt}, true}, {{key::F4}, false}, {{key::LeftAlt}, false}};
    for (const Case& c : cases) {
        _IsQuitting = false;
        Hold(c.keys);
        altF4(myGame);
        EXPECT_EQ(_IsQuitting, c.quits);
    }
    _IsQuitting = false;
}

TEST_F(LogicBehavioursTest, MenuCursorSwitchesRowsAndStartsOrLoadsTheGame) {
    AddLevels({"Level_1"});
    Sprite* decider = AddSprite("decider", 250, 342);
    struct Step {
        std::initializer_list<unsigned char> keys;
        float y;
    };
    const Step steps[] = {{{key::Down}, 380}, {{}, 380},       {{key::Down}, 342},
                          {{key::W}, 380},    {{key::S}, 342}, {{key::Up}, 380}};
    for (const Step& s : steps) {
        Hold(s.keys);
        deciderLogic(decider);
        EXPECT_FLOAT_EQ(decider->WorldPositionY(), s.y);
        EXPECT_FLOAT_EQ(decider->WorldPositionX(), 250);
    }
    Hold({key::Enter});
    deciderLogic(decider);
    EXPECT_TRUE(myGame->loadRequested);
    EXPECT_EQ(std::string(myGame->loadFileName), "nolt.sav");

    myGame->loadRequested = false;
    decider->WorldPosition(250, 342, false);
    Hold({key::Space});
    deciderLogic(decider);
    EXPECT_FALSE(myGame->loadRequested);
    EXPECT_EQ(myGame->LevelNumber(), 1);
}

TEST_F(LogicBehavioursTest, FallingOutOfTheWorldPutsThePlayerBackAndLaterLevelsAddAColumn) {
    AddLevels({"L2", "L3", "L4", "L5", "L6", "L7", "L8", "L9", "L10", "L11", "L12", "L13"});
    AddTemplate("masterClear", UtilityActor, {TimerNo::clearDelete});
    Sprite* p = AddSprite("protag", 300, 100, PlayerActor);
    struct Case {
        int levelNumber;
        float y;
        bool reset;
        int columns;
    };
    const Case cases[] = {{5, 480, false, 0}, {5, 481, true, 0}, {11, 500, true, 0}, {12, 500, true, 16}};
    for (const Case& c : cases) {
        for (Sprite* s : SpritesNamed("c")) s->DeleteFlag(true);
        Frame();
        myGame->LevelNumber(c.levelNumber);
        p->WorldPosition(300, c.y, false);
        ResetDeath(p);
        EXPECT_FLOAT_EQ(p->WorldPositionX(), c.reset ? 57 : 300) << "level " << c.levelNumber;
        EXPECT_FLOAT_EQ(p->WorldPositionY(), c.reset ? 480 - 184 : c.y) << "level " << c.levelNumber;
        EXPECT_EQ(CountSprites("c"), c.columns) << "level " << c.levelNumber;
    }
}

TEST_F(LogicBehavioursTest, AHazardColumnIsSixteenCopiesThirtyPixelsApart) {
    AddTemplate("masterRClear", UtilityActor, {}, {FunctionNo::triangle});
    ClearGeneration(level);
    const std::vector<Sprite*> column = SpritesNamed("c");
    ASSERT_EQ(column.size(), 16u);
    std::vector<float> ys;
    for (Sprite* s : column) {
        EXPECT_FLOAT_EQ(s->WorldPositionX(), 0);
        EXPECT_FALSE(s->Unused());
        ys.push_back(s->WorldPositionY());
    }
    std::sort(ys.begin(), ys.end());
    for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(ys[std::size_t(i)], 30.0f * i);
    // Copies that leave on the left come back on the right.
    Sprite* first = column.front();
    first->WorldPosition(-32, 60, false);
    triangle(first);
    EXPECT_FLOAT_EQ(first->WorldPositionX(), -32);
    first->WorldPosition(-33, 60, false);
    triangle(first);
    EXPECT_FLOAT_EQ(first->WorldPositionX(), 1100);
    EXPECT_FLOAT_EQ(first->WorldPositionY(), 60);
}

TEST_F(LogicBehavioursTest, TheCameraChasesThePlayerByDistanceAndSpeed) {
    Sprite* p = AddSprite("protag", 300, 200, PlayerActor);
    Sprite* camera = AddSprite("mainChar", 300, 200);
    struct Case {
        float cameraX, cameraY, playerSpeed;
        float speed, dx, dy;
    };
    const Case cases[] = {
        {50, 200, 0, 80, 1, 0},          // more than 200 to the right
        {300, 550, 0, 80, 0, -1},        // more than 300 above
        {200, 200, 4.25f, 4.25f, 1, 0},  // near, the player runs
        {300, 200, 0, 0, 0, 0},          // on the player
        {300, 190, 1, 3, 0, 1},          // near, the player walks slowly
        // Distances beyond the int range (a loaded save) saturate: far, and
        // still toward the player; a NaN distance counts as none.
        {-3e9f, 200, 0, 80, 1, 0},
        {3e9f, 200, 0, 80, -1, 0},
        {300, INFINITY, 0, 80, 0, -1},
        {NAN, 200, 0, 0, 0, 0},
    };
    for (const Case& c : cases) {
        camera->WorldPosition(c.cameraX, c.cameraY, false);
        camera->VectorDirection(0, 0, 0);
        p->Speed(c.playerSpeed);
        camera->MainCharacter(false);
        ViewPortChara(camera);
        EXPECT_FLOAT_EQ(camera->Speed(), c.speed) << c.cameraX << "," << c.cameraY;
        EXPECT_NEAR(camera->DirectionX(), c.dx, 1e-6) << c.cameraX << "," << c.cameraY;
        EXPECT_NEAR(camera->DirectionY(), c.dy, 1e-6) << c.cameraX << "," << c.cameraY;
        EXPECT_TRUE(camera->MainCharacter());
    }
}

TEST_F(LogicBehavioursTest, AMissingSpriteEndsTheProgramWithItsNameAsCaption) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(FindSprite("nobody"), ::testing::ExitedWithCode(0), "nobody");
    EXPECT_EXIT(FindSprite("nobody"), ::testing::ExitedWithCode(0), "You broke the gosh darn game");
}

// A level file or a save may bind any function to any object: run for an
// object of another kind, the game's functions do nothing.
TEST_F(LogicBehavioursTest, FunctionsBoundToAnotherKindOfObjectDoNothing) {
    AddLevels({"Next"});
    Sprite* p = AddSprite("protag", 500, 340, PlayerActor);
    p->ActivateCollisionWithSprite(true);
    Sprite* goal = AddSprite("goal", 500, 340, GoalActor, 2);
    goal->behavior.AddFunction(FunctionNo::FinishWorld, true);        // a level's function
    level->GetBehavior().AddFunction(FunctionNo::clearDelete, true);  // sprites' functions
    level->GetBehavior().AddFunction(FunctionNo::goalLogic, true);
    level->GetBehavior().AddStateMachine(StateMachineNo::PlyrOnWhatSM, true);
    myGame->ChangePending(false);
    Frame();
    level->GetBehavior().Update(*level);
    EXPECT_FALSE(myGame->ChangePending());

    // Particles are no engine objects at all.
    ParticleSystem sparks(4, FunctionNo::gradientGoalLogic, FunctionNo::clearDelete);
    sparks.Update();
    EXPECT_FALSE(myGame->ChangePending());
}

TEST_F(LogicBehavioursTest, TheGoalLeadsOnWhenThePlayerTouchesIt) {
    AddLevels({"Next"});
    Sprite* p = AddSprite("protag", 300, 340, PlayerActor);
    p->CheckCollisionWithSprite(true);
    p->ActivateCollisionWithSprite(true);
    Sprite* goal = AddSprite("goal", 500, 340, GoalActor, 2);
    goal->ActivateCollisionWithSprite(true);
    goal->CheckCollisionWithSprite(true);
    goal->GhostCollisionWithSprite(true);
    goal->behavior.AddFunction(FunctionNo::goalLogic, true);
    myGame->ChangePending(false);
    Frame();
    EXPECT_FALSE(myGame->ChangePending());
    p->WorldPosition(490, 340, false);
    Frame();
    Frame();
    EXPECT_TRUE(myGame->ChangePending());
    EXPECT_EQ(myGame->LevelNumber(), 1);
}

TEST_F(LogicBehavioursTest, EachGoalTouchOnTheGradientLevelStepsTheColours) {
    AddLevels({"Level_32"});
    level->Name("Level_31");
    Sprite* p = AddSprite("protag", 300, 200, PlayerActor, 3);
    p->Animation(4);
    Sprite proto;
    proto.Name("newGradient");
    proto.Unused(true);
    proto.BelongToMap("level");
    proto.ActorIndex(PlayerActor);
    proto.DisplayListNumber(1);
    ASSERT_TRUE(level->Add(proto));
    Sprite* goal = AddSprite("goal", 500, 200, GoalActor, 2);
    CopyGradient(level);
    ASSERT_EQ(CountSprites("g"), 370);
    Frame();

    // The row colour before each touch and the player's colour after it.
    const int playerAfter[6] = {1, 3, 6, 2, 0, 0};
    for (int touch = 0; touch < 6; ++touch) {
        myGame->ChangePending(false);
        goal->spriteNamesHit.Add(String("protag"));
        gradientGoalLogic(goal);
        Frame();
        EXPECT_EQ(p->Animation(), playerAfter[touch]) << "touch " << touch;
        EXPECT_FLOAT_EQ(p->WorldPositionX(), 57);
        EXPECT_FLOAT_EQ(p->WorldPositionY(), 296);
        for (Sprite* row : SpritesNamed("g")) ASSERT_EQ(row->Animation(), touch + 1) << "touch " << touch;
        EXPECT_EQ(myGame->ChangePending(), touch == 5) << "touch " << touch;
        EXPECT_EQ(goal->Animation(), 0);
    }
}

TEST_F(LogicBehavioursTest, FinaleFiguresLapStepTheirColoursAndHandOverToTheCredits) {
    Sprite proto;
    proto.Name("masterReveal");
    proto.Unused(true);
    proto.BelongToMap("level");
    proto.ActorIndex(PlayerActor);
    proto.Animation(4);
    proto.VariableNumber(1);
    proto.DisplayListNumber(1);
    ASSERT_TRUE(level->Add(proto));
    Sprite* credits = AddSprite("credits", 0, 0, UtilityActor);
    credits->Visible(false);
    CopyReveal(level);
    const std::vector<Sprite*> figures = SpritesNamed("e");
    ASSERT_EQ(figures.size(), 33u);
    std::vector<float> ys;
    for (Sprite* f : figures) {
        ys.push_back(f->WorldPositionY());
        EXPECT_EQ(int(f->localVariables[0]), 0);
    }
    std::sort(ys.begin(), ys.end());
    EXPECT_FLOAT_EQ(ys.front(), -1);
    EXPECT_FLOAT_EQ(ys.back(), 479);

    Sprite* f = figures.front();
    f->Speed(4.25f);
    f->UpdateAnimation();
    const int colours[] = {1, 3, 6, 2, 4, 1, 3, 6, 2, 4};
    for (int lap = 1; lap <= 26; ++lap) {
        f->WorldPosition(700, f->WorldPositionY(), false);
        const float speed = f->Speed();
        FinaleBehavior(f);
        EXPECT_FLOAT_EQ(f->WorldPositionX(), -106) << "lap " << lap;
        EXPECT_EQ(int(f->localVariables[0]), lap);
        if (lap <= 6) {
            EXPECT_FLOAT_EQ(f->Speed(), speed) << "lap " << lap;
        }
        if (lap > 6 && lap <= 24) {
            EXPECT_FLOAT_EQ(f->Speed(), speed + 1) << "lap " << lap;
        }
        if (lap == 25) {
            EXPECT_FLOAT_EQ(f->Speed(), 4.25f);
        }
        if (lap <= 10) {
            EXPECT_EQ(f->RequestedAnimation(), colours[lap - 1]) << "lap " << lap;
        }
        if (lap == 25) {
            EXPECT_EQ(f->RequestedAnimation(), 0);
        }
        f->UpdateAnimation();
        EXPECT_EQ(f->DeleteFlag(), lap == 26) << "lap " << lap;
        EXPECT_EQ(soundMuted, lap == 26) << "lap " << lap;
    }
    EXPECT_TRUE(credits->behavior.IsTimerAdded(TimerNo::creditsBehavoir));
    // A second figure does not add the timer again.
    Sprite* other = figures.back();
    other->Animation(0);
    other->UpdateAnimation();
    other->WorldPosition(700, other->WorldPositionY(), false);
    FinaleBehavior(other);
    EXPECT_EQ(credits->behavior.Count(), 1u);
    // In the viewport or on the left nothing happens.
    Sprite* third = figures[1];
    for (float x : {300.0f, -50.0f}) {
        third->WorldPosition(x, 100, false);
        FinaleBehavior(third);
        EXPECT_FLOAT_EQ(third->WorldPositionX(), x);
    }
    for (int n = 0; n < 91; ++n) credits->behavior.Update(credits);
    EXPECT_TRUE(credits->Visible());
}
