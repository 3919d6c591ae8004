// The shared routines: velocity arithmetic over direction and speed, copies of
// parked templates, and the eight standard sound effects of a level.
#include <string>
#include <vector>

#include "GameFixture.h"
#include "sound/LevelSounds.h"
#include "sound/Sound.h"

using namespace gametest;

class LogicRoutinesTest : public LevelTest {
protected:
    void SetUp() override {
        LevelTest::SetUp();
        MakeMap({});
    }
};

TEST_F(LogicRoutinesTest, VelocityRoutinesWorkOnDirectionTimesSpeed) {
    struct Case {
        const char* what;
        float dx, dy, speed;  // before
        void (*apply)(Sprite*);
        float ex, ey, espeed;  // after
    };
    const Case cases[] = {
        {"x 3 on a sprite falling at 4", 0, 1, 4, [](Sprite* s) { SetSpriteVectorX(s, 3); }, 0.6f, 0.8f, 5},
        {"y -4 on a sprite running at 3", 1, 0, 3, [](Sprite* s) { SetSpriteVectorY(s, -4); }, 0.6f, -0.8f, 5},
        {"gravity on a resting sprite", 0, 0, 0, [](Sprite* s) { SpriteGravity(s, 0.5f); }, 0, 1, 0.5f},
        {"add (3, 4) to (-3, 0)", -1, 0, 3, [](Sprite* s) { SpriteVectorAdd(s, 3, 4); }, 0, 1, 4},
        {"x 0 on a sprite running at 2", 1, 0, 2, [](Sprite* s) { SetSpriteVectorX(s, 0); }, 0, 0, 0},
    };
    Sprite s;
    for (const Case& c : cases) {
        s.VectorDirection(c.dx, c.dy, 0);
        s.Speed(c.speed);
        c.apply(&s);
        EXPECT_NEAR(s.DirectionX(), c.ex, 1e-6) << c.what;
        EXPECT_NEAR(s.DirectionY(), c.ey, 1e-6) << c.what;
        EXPECT_NEAR(s.Speed(), c.espeed, 1e-6) << c.what;
    }
    s.VectorDirection(-3, 4, 0);
    s.Speed(10);
    EXPECT_FLOAT_EQ(GetSpriteVectorX(&s), -6);
    EXPECT_STREQ(_UE.FunctionName, "GetSpriteVectorX");
}

TEST_F(LogicRoutinesTest, CopiesOfATemplateAreNamedPlacedAndAwake) {
    AddTemplate("masterProjectile", ProjectileActor, {TimerNo::projectileDelete});
    Sprite* copy = SpriteCopy("masterProjectile", "proj", 40, 70, 90, 7);
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(std::string(copy->Name()), "proj");
    EXPECT_FALSE(copy->Unused());
    EXPECT_FLOAT_EQ(copy->WorldPositionX(), 40);
    EXPECT_FLOAT_EQ(copy->WorldPositionY(), 70);
    EXPECT_FLOAT_EQ(copy->Speed(), 7);
    EXPECT_NEAR(copy->DirectionX(), 0, 1e-6);
    EXPECT_NEAR(copy->DirectionY(), -1, 1e-6);
    EXPECT_TRUE(copy->behavior.IsTimerAdded(TimerNo::projectileDelete));
    EXPECT_TRUE(Sprite::Search("masterProjectile")->Unused());
    EXPECT_EQ(CountSprites("proj"), 1);
}

TEST_F(LogicRoutinesTest, AddSFXRegistersTheEightStandardEffectsInOrder) {
    sfxFolder = (folder.string() + "/").c_str();
    const char* files[8] = {"Jump1.wav",  "Jump2.wav",  "Jump3.wav",  "Jump4.wav",
                            "Shoot1.wav", "Shoot2.wav", "Shoot3.wav", "Shoot4.wav"};
    const char* names[8] = {"JumpOne",  "JumpTwo",  "JumpThree",  "JumpFour",
                            "ShootOne", "ShootTwo", "ShootThree", "ShootFour"};
    // Any RIFF WAVE will do: 16-bit mono silence.
    std::vector<char> wave = {'R', 'I', 'F', 'F', 0,  0, 0,   0,   'W', 'A',  'V',  'E', 'f', 'm',  't',
                              ' ', 16,  0,   0,   0,  1, 0,   1,   0,   0x22, 0x56, 0,   0,   0x44, (char)0xAC,
                              0,   0,   2,   0,   16, 0, 'd', 'a', 't', 'a',  0,    2,   0,   0};
    wave.resize(wave.size() + 512, 0);
    const std::uint32_t riff = std::uint32_t(wave.size() - 8);
    std::memcpy(wave.data() + 4, &riff, 4);
    for (const char* f : files) WriteBytes(folder / f, wave);
    AddSFX(level);
    std::vector<std::string> added;
    // The level keeps the newest first.
    for (node* n = level->Sounds().Head(); !n->EOList(); n = n->Next())
        added.insert(added.begin(), static_cast<Sound*>(n)->Name());
    EXPECT_EQ(added, std::vector<std::string>(names, names + 8));
    for (node* n = level->Sounds().Head(); !n->EOList(); n = n->Next()) {
        EXPECT_EQ(static_cast<Sound*>(n)->PlayPercentage(), 100);
    }
    // The random effects play one of the level's sounds without a report of
    // their own once all five exist.
    ASSERT_TRUE(sound::AddSFX(*level, "shoot", "Shoot1.wav", false, 100));
    ASSERT_TRUE(sound::AddSFX(*level, "name", "Jump1.wav", false, 100));
    ClearReports();
    for (int n = 0; n < 10; ++n) {
        ShootSFX();
        JumpSFX();
    }
    EXPECT_STREQ(_UE.ErrorMessage, "");
}
