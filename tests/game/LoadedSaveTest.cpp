// Saves of the game's own levels, damaged in one value, loaded through the
// game's load path and played on: the frames after the load stay within
// defined behaviour whatever the saved values are.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "BuiltLevelFixture.h"
#include "platform/MessageBox.h"
#include "testing/TestHooks.h"

using namespace gametest;

class LoadedSaveTest : public BuiltLevelTest {
protected:
    void SetUp() override {
        BuiltLevelTest::SetUp();
        qel::SetMessageBoxObserver(
            [this](const char* text, const char*, qel::MessageBoxIcon) { boxes.emplace_back(text); });
    }
    void TearDown() override {
        qel::SetMessageBoxObserver({});
        BuiltLevelTest::TearDown();
    }

    // Loads a save of the fuzz corpus as the game does at the start of a
    // frame; the level it holds becomes the built one.
    GameNode* LoadCorpusSave(const char* name) {
        const std::string path = std::string(QEL_FUZZ_CORPUS_DIR "/save/") + name;
        myGame->LoadGame(path.c_str());
        myGame->RealLoadGame();
        if (gNode == level) return nullptr;
        built = gNode;
        return built;
    }

    std::vector<std::string> boxes;
};

// A save of one of the game's levels with the camera sprite moved beyond
// the int range: the camera behaviour measures its distance to the player.
TEST_F(LoadedSaveTest, ACameraSavedBeyondTheIntRangeHeadsBackToThePlayer) {
    GameNode* loaded = LoadCorpusSave("camera-x-beyond-int.sav");
    ASSERT_NE(loaded, nullptr);
    EXPECT_TRUE(boxes.empty());
    Sprite* camera = FindQuietly(loaded, "mainChar");
    Sprite* player = FindQuietly(loaded, "protag");
    ASSERT_NE(camera, nullptr);
    ASSERT_NE(player, nullptr);
    ASSERT_GT(camera->WorldPositionX(), 2147483648.0f);
    for (int frame = 0; frame < 3; ++frame) {
        Frame();
        EXPECT_FLOAT_EQ(camera->Speed(), 80) << frame;
        EXPECT_LT(camera->DirectionX(), -0.99f) << frame;
    }
}
