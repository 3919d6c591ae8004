// The game's own block in every save file (gravity, facing, mute, colour), the
// local data of the player in it, and what a missing or damaged "nolt.sav"
// leaves behind: the game exactly as it was.
#include <cstring>
#include <string>
#include <vector>

#include "GameFixture.h"
#include "foundation/File.h"
#include "logic/GuardLD.h"
#include "logic/LogicTables.h"
#include "platform/MessageBox.h"
#include "testing/TestHooks.h"

using namespace gametest;

namespace {

struct Values {
    float gravity;
    bool facingRight, soundMuted;
    std::int32_t playerColour;
    bool operator==(const Values&) const = default;
};

Values Current() { return {gravity, facingRight, soundMuted, playerColour}; }

void Set(const Values& v) {
    gravity = v.gravity;
    facingRight = v.facingRight;
    soundMuted = v.soundMuted;
    playerColour = v.playerColour;
}

}  // namespace

class LogicSaveTest : public LevelTest {
protected:
    void SetUp() override {
        LevelTest::SetUp();
        qel::SetMessageBoxObserver(
            [this](const char* text, const char*, qel::MessageBoxIcon) { boxes.emplace_back(text); });
        MakeMap({{640, 400, 0, 400, 0}});
        player = AddPlayer(300, 340, false);
    }
    void TearDown() override {
        qel::SetMessageBoxObserver({});
        LevelTest::TearDown();
    }

    void Save() {
        myGame->SaveGame("nolt.sav");
        myGame->RealSaveGame();
    }
    void Load() {
        myGame->LoadGame("nolt.sav");
        myGame->RealLoadGame();
    }

    PlayerLD* Data() { return dynamic_cast<PlayerLD*>(Sprite::Search("protag")->LocalData()); }

    Sprite* player = nullptr;
    std::vector<std::string> boxes;
};

TEST_F(LogicSaveTest, TheFourValuesFollowTheMagicAndComeBackExactly) {
    const Values saved[] = {{0.75f, false, true, 3}, {0.5f, true, false, 0}, {-1.25f, true, true, 4}};
    for (const Values& v : saved) {
        Set(v);
        Save();
        const std::vector<char> file = ReadBytes(folder / "nolt.sav");
        ASSERT_GT(file.size(), 17u);
        EXPECT_EQ(std::string(file.data(), 7), "QEL_SAR");
        float g = 0;
        std::int32_t colour = -1;
        std::memcpy(&g, file.data() + 7, 4);
        std::memcpy(&colour, file.data() + 13, 4);
        EXPECT_EQ(g, v.gravity);
        EXPECT_EQ(file[11], v.facingRight ? 1 : 0);
        EXPECT_EQ(file[12], v.soundMuted ? 1 : 0);
        EXPECT_EQ(colour, v.playerColour);

        Set({0.1f, !v.facingRight, !v.soundMuted, 2});
        Load();
        EXPECT_EQ(Current(), v);
    }
    EXPECT_TRUE(boxes.empty());
}

TEST_F(LogicSaveTest, ThePlayersRunAndJumpTravelWithTheSave) {
    Data()->run = 5.5f;
    Data()->jump = 9.25f;
    Save();
    Data()->run = 1;
    Data()->jump = 1;
    Load();
    ASSERT_NE(Data(), nullptr);
    EXPECT_FLOAT_EQ(Data()->run, 5.5f);
    EXPECT_FLOAT_EQ(Data()->jump, 9.25f);
    EXPECT_TRUE(boxes.empty());
}

TEST_F(LogicSaveTest, AMissingOrDamagedSaveLeavesTheGameAsItWas) {
    const Values saved{0.75f, false, true, 3};
    Set(saved);
    Save();
    const std::vector<char> good = ReadBytes(folder / "nolt.sav");
    struct Case {
        const char* what;
        std::vector<char> bytes;  // empty: no file at all
    };
    std::vector<char> wrongMagic = good;
    wrongMagic[0] = 'X';
    const Case cases[] = {
        {"missing", {}},
        {"magic only", std::vector<char>(good.begin(), good.begin() + 7)},
        {"cut inside the game's block", std::vector<char>(good.begin(), good.begin() + 12)},
        {"cut after the game's block", std::vector<char>(good.begin(), good.begin() + 19)},
        {"cut in the level", std::vector<char>(good.begin(), good.end() - 10)},
        {"wrong magic", wrongMagic},
    };
    const Values running{0.5f, true, false, 1};
    for (const Case& c : cases) {
        std::filesystem::remove(folder / "nolt.sav");
        if (!c.bytes.empty()) WriteBytes(folder / "nolt.sav", c.bytes);
        Set(running);
        boxes.clear();
        Load();
        EXPECT_EQ(Current(), running) << c.what;
        EXPECT_EQ(boxes.size(), 1u) << c.what;
        EXPECT_FALSE(myGame->loadRequested) << c.what;
        ASSERT_NE(Data(), nullptr) << c.what;
        EXPECT_FLOAT_EQ(Data()->run, PlayerLD::DefaultRun) << c.what;
    }
}

TEST_F(LogicSaveTest, LocalDataIsSavedAsItsClassNameAndItsOwnBytes) {
    struct Case {
        node* object;
        const char* className;
        std::vector<char> body;
    };
    PlayerLD player;
    player.run = 2.5f;    // 0x40200000
    player.jump = -1.0f;  // 0xBF800000
    GuardLD guard;
    guard.flag = true;
    guard.valueA = 2.0f;  // 0x40000000
    const Case cases[] = {
        {&player, "PlayerLD", {0, 0, 0x20, 0x40, 0, 0, char(0x80), char(0xBF)}},
        {&guard, "GuardLD", {1, 0, 0, 0, 0x40, 0, 0, 0x40, 0x40}},
    };
    for (const Case& c : cases) {
        const std::string path = (folder / "local.bin").string();
        {
            File file(path.c_str(), File::Writing);
            file.Write(c.object);
            ASSERT_TRUE(file.Close());
        }
        const std::vector<char> bytes = ReadBytes(path);
        ASSERT_EQ(bytes.size(), 36 + c.body.size()) << c.className;
        EXPECT_STREQ(bytes.data(), c.className);
        EXPECT_EQ(std::vector<char>(bytes.begin() + 36, bytes.end()), c.body) << c.className;

        File file(path.c_str(), File::Reading);
        node* read = nullptr;
        file.Read(read);
        file.Claim(read);
        ASSERT_NE(read, nullptr) << c.className;
        EXPECT_FALSE(file.HasError());
        EXPECT_STREQ(read->ClassName(), c.className);
        if (auto* p = dynamic_cast<PlayerLD*>(read)) {
            EXPECT_EQ(p->run, 2.5f);
            EXPECT_EQ(p->jump, -1.0f);
        }
        if (auto* g = dynamic_cast<GuardLD*>(read)) {
            EXPECT_TRUE(g->flag);
            EXPECT_EQ(g->valueA, 2.0f);
            EXPECT_EQ(g->valueB, 3.0f);
        }
        file.Claim(read);
        delete read;
    }
}

TEST_F(LogicSaveTest, ClonesOfThePrototypesStartFromTheDefaults) {
    node* first = NArray[0]->Clone();
    auto* changed = dynamic_cast<PlayerLD*>(first);
    ASSERT_NE(changed, nullptr);
    changed->run = 9;
    changed->jump = 1;
    node* second = NArray[0]->Clone();
    auto* fresh = dynamic_cast<PlayerLD*>(second);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->run, 4.25f);
    EXPECT_EQ(fresh->jump, 11.5f);
    EXPECT_NE(first, second);
    node* guard = NArray[1]->Clone();
    auto* g = dynamic_cast<GuardLD*>(guard);
    ASSERT_NE(g, nullptr);
    EXPECT_FALSE(g->flag);
    EXPECT_EQ(g->valueA, 4.0f);
    EXPECT_EQ(g->valueB, 3.0f);
    delete first;
    delete second;
    delete guard;
}
