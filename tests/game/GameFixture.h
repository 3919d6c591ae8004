// A small level for the game-logic tests: the game's own logic tables, a game
// with one current level, a 640 x 480 map whose floors (id 0) and walls (id 1)
// the test lays, the player's actor with its collision box (feet id 1), parked
// templates, a keyboard driven by system key events, and a frame step of the
// level's sprites. Everything runs in a scratch folder that is the working
// directory meanwhile.
#pragma once
#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "common/BmpWriter.h"
#include "display/DisplayInternal.h"
#include "foundation/UserError.h"
#include "input/InputSession.h"
#include "input/Keyboard.h"
#include "logic/FrameRateInternal.h"
#include "logic/GameDeclarations.h"
#include "logic/PlayerLD.h"
#include "platform/InputDevices.h"
#include "platform/MessageQueue.h"
#include "platform/Surface.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/Game.h"
#include "runtime/GameNode.h"
#include "runtime/SpriteStepInternal.h"
#include "sprites/AnimationElem.h"
#include "sprites/FrameElem.h"
#include "sprites/Sprite.h"
#include "sprites/SpriteListInternal.h"
#include "world/CollisionSegment.h"
#include "world/LevelViewInternal.h"
#include "world/Map.h"
#include "world/ViewPort.h"

namespace gametest {

// Actor slots as the game's tables have them.
constexpr int PlayerActor = 0, ProjectileActor = 1, GoalActor = 2, UtilityActor = 3;

inline std::vector<char> ReadBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::filesystem::path& path, const std::vector<char>& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
}

// A 24-bit BMP of one colour (black).
inline void WriteBmp(const std::filesystem::path& path, int w, int h) { bmp24::WriteSolid(path.string(), w, h, 0); }

// An SDL scancode that reaches the keyboard as this scan code.
inline SDL_Scancode SdlOf(unsigned char code) {
    for (int s = 0; s < SDL_NUM_SCANCODES; ++s)
        if (qel::ScanCodeOfSdlScancode(s) == code) return SDL_Scancode(s);
    return SDL_SCANCODE_UNKNOWN;
}

inline void PumpEvents() {
    qel::Message m;
    while (qel::PeekMessage(m)) {
    }
}

inline void PushKey(unsigned char code, bool down) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.scancode = SdlOf(code);
    ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
}

inline void PushFocus() {
    SDL_Event e{};
    e.type = SDL_WINDOWEVENT;
    e.window.event = SDL_WINDOWEVENT_FOCUS_GAINED;
    ASSERT_EQ(SDL_PushEvent(&e), 1) << SDL_GetError();
}

// The game's logic tables and values, a game with one current level and the
// keyboard; no map or sprite yet.
class GameTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device rd;
        folder = std::filesystem::temp_directory_path() / ("nolt-game-" + std::to_string(rd()) + std::to_string(rd()));
        std::filesystem::create_directories(folder);
        previousFolder = std::filesystem::current_path();
        std::filesystem::current_path(folder);

        gravity = 0.5f;
        facingRight = true;
        soundMuted = false;
        playerColour = 0;
        BuildLogic();
        OnSaveP = OnSave;
        OnLoadP = OnLoad;

        myGame = new Game();
        level = NewGameNode();
        level->Id(1);
        level->Name("Fixture");
        level->WorldWidth(640);
        level->WorldHeight(480);
        myGame->Add(level);
        gNode = level;
        LevelViewPort() = ViewPort(640, 480, 0, 0, 640, 480);

        PumpEvents();
        PushFocus();
        PumpEvents();
        keyboard = std::make_unique<Keyboard>(nullptr, nullptr);
        pKeyboard = keyboard.get();
        ClearReports();
    }

    void TearDown() override {
        pKeyboard = nullptr;
        keyboard.reset();
        for (int k = 0; k < 256; ++k) held[k] = false;
        Game::gameNodeList.del();
        delete myGame;
        myGame = nullptr;
        gNode = nullptr;
        pMainCharacter = nullptr;
        EmptyActorTable();
        FreeGameTables();
        OnSaveP = nullptr;
        OnLoadP = nullptr;
        LevelViewPort() = ViewPort(640, 480, 0, 0, 640, 480);
        std::filesystem::current_path(previousFolder);
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }

    // Keys for the next frame: pressed ones go down, all others up.
    void Hold(std::initializer_list<unsigned char> keys) {
        bool want[256] = {};
        for (unsigned char k : keys) want[k] = true;
        for (int k = 0; k < 256; ++k)
            if (want[k] != held[k]) {
                PushKey(static_cast<unsigned char>(k), want[k]);
                held[k] = want[k];
            }
        ReadKeyboard();
    }

    // The keyboard's per-frame read (keys triggered last frame stop being so).
    void ReadKeyboard() {
        PumpEvents();
        unsigned char pairs[512];
        unsigned char* out = pairs;
        keyboard->Update(out);
    }

    static void ClearReports() {
        for (Array<UserError>* h : {&UserError::SpritesErrors, &UserError::Errors, &UserError::MapsErrors,
                                    &UserError::GameErrors, &UserError::VariablesErrors})
            h->Clear();
        std::memset(static_cast<void*>(&_UE), 0, sizeof _UE);
    }

    std::filesystem::path folder, previousFolder;
    GameNode* level = nullptr;
    std::unique_ptr<Keyboard> keyboard;
    bool held[256] = {};
};

// GameTest with the map "level", the standard actors and sprites made like
// the level builders make them; frames run the level's sprites.
class LevelTest : public GameTest {
protected:
    void SetUp() override {
        GameTest::SetUp();
        savedDepth = displayDepth;
        displayDepth = 32;
        mapsFolder = (folder.string() + "/").c_str();
        currentAssetFolder = mapsFolder;
        back = qel::Surface::Create(64, 48, 32);
        pBackBuffer = back.get();
        // Loading a saved game builds the level's actors again.
        level->BuildActorsP = FixtureActors;
        FixtureActors(level);
        WriteBmp(folder / "level.bmp", 640, 480);
    }

    void TearDown() override {
        pBackBuffer = nullptr;
        back.reset();
        displayDepth = savedDepth;
        GameTest::TearDown();
    }

    // The map with these segments (x1, y1, x2, y2, id), added to the level.
    void MakeMap(std::initializer_list<std::array<float, 5>> segments) {
        Map map("level", "level.bmp", Map::StandardMap, 0, 0, 0, true, QelRect{0, 0, 640, 480});
        map.SpacePartitionGridSize(128);
        for (const auto& s : segments)
            map.AddCollisionData(CollisionSegment(s[0], s[1], s[2], s[3], static_cast<int>(s[4]), 0, 0));
        ASSERT_TRUE(level->Add(map));
    }

    // The player as the level builders make it: shapes, PlayerLD, SM0, F5, SM1.
    Sprite* AddPlayer(float x, float y, bool withMachines = true) {
        Sprite proto;
        proto.Name("protag");
        proto.BelongToMap("level");
        proto.ActorIndex(PlayerActor);
        proto.Animation(0);
        proto.MapPositionX(x, false);
        proto.MapPositionY(y, false);
        proto.CheckCollisionWithMap(true);
        proto.GhostCollisionWithMap(false);
        proto.DisplayListNumber(0);
        proto.ActivateCollisionWithSprite(true);
        proto.CheckCollisionWithSprite(true);
        proto.CheckSameDisplayList(false);
        proto.GhostCollisionWithSprite(false);
        proto.AddLocalVariable(LocalDataNo::PlayerLD);
        if (withMachines) {
            proto.behavior.AddStateMachine(StateMachineNo::PlyrOnWhatSM, true);
            proto.behavior.AddFunction(FunctionNo::ResetDeath, true);
            proto.behavior.AddStateMachine(StateMachineNo::SpriteCopySM, true);
        }
        proto.VectorDirection(0, 0, 0);
        proto.CollisionType(false);
        proto.Speed(0);
        EXPECT_TRUE(level->Add(proto));
        return Sprite::Search("protag");
    }

    // A parked template, as the level builders park them.
    Sprite* AddTemplate(const char* name, int actor, std::initializer_list<unsigned int> timers = {},
                        std::initializer_list<unsigned int> functions = {}) {
        Sprite proto;
        proto.Name(name);
        proto.Unused(true);
        proto.BelongToMap("level");
        proto.ActorIndex(actor);
        for (unsigned int t : timers) proto.behavior.AddTimer(t, true);
        for (unsigned int f : functions) proto.behavior.AddFunction(f, true);
        proto.CollisionType(true);
        EXPECT_TRUE(level->Add(proto));
        return Sprite::Search(name);
    }

    // One frame: keys, then every sprite of the level on its map.
    void Frame(std::initializer_list<unsigned char> keys = {}) {
        Hold(keys);
        bool cursorSeen = false;
        for (node* m = level->Maps().Head(); !m->EOList(); m = m->Next())
            RunSpriteStep(static_cast<Map*>(m), cursorSeen);
    }

    int CurrentState(Sprite* s, unsigned int machine) { return s->behavior.GetCurrentState(machine); }

    int CountSprites(const char* name) {
        int n = 0;
        for (int list = 0; list < GameNode::DisplayListCount; ++list)
            for (node* p = level->DisplayList(list).Head(); !p->EOList(); p = p->Next())
                if (std::strcmp(static_cast<Sprite*>(p)->Name(), name) == 0) ++n;
        return n;
    }

    std::vector<Sprite*> SpritesNamed(const char* name) {
        std::vector<Sprite*> found;
        for (int list = 0; list < GameNode::DisplayListCount; ++list)
            for (node* p = level->DisplayList(list).Head(); !p->EOList(); p = p->Next())
                if (std::strcmp(static_cast<Sprite*>(p)->Name(), name) == 0) found.push_back(static_cast<Sprite*>(p));
        return found;
    }

private:
    static void OneFrameActor(int slot, int animations, int w, int h) {
        SpriteElem& s = SpriteList[slot];
        s.AnimationCount = animations;
        s.Animations = new AnimationElem[std::size_t(animations)];
        for (int a = 0; a < animations; ++a) {
            AnimationElem& anim = s.Animations[a];
            anim.FrameCount = 1;
            anim.Frames = new FrameElem[1];
            FrameElem& f = anim.Frames[0];
            f.Width = w;
            f.Height = h;
            f.Box = tagRECT{0, 0, w - 1, h - 1};
            f.CenterX = float(w / 2);
            f.CenterY = float(h / 2);
            f.HotSpots[0] = QelPoint{w / 2, h / 2};
            f.Delay = 1;
        }
    }

    // The player's seven colours, each with the box whose bottom edge is the feet.
    static void FixtureActors(GameNode*) {
        OneFrameActor(PlayerActor, 7, 32, 32);
        for (int a = 0; a < 7; ++a) {
            FrameElem& f = SpriteList[PlayerActor].Animations[a].Frames[0];
            f.HotSpots[0] = QelPoint{8, 8};
            f.Delay = 55;
            f.AddCollisionData(CollisionSegment(30, 2, 1, 2, 0, 0, 0));
            f.AddCollisionData(CollisionSegment(1, 2, 1, 29, 0, 0, 0));
            f.AddCollisionData(CollisionSegment(1, 29, 30, 29, 1, 0, 0));
            f.AddCollisionData(CollisionSegment(30, 29, 30, 2, 0, 0, 0));
            f.hFCollisionList();
            f.vFCollisionList();
            f.hvFCollisionList();
        }
        OneFrameActor(ProjectileActor, 1, 16, 16);
        OneFrameActor(GoalActor, 1, 32, 32);
        OneFrameActor(UtilityActor, 5, 32, 32);
    }

    std::int32_t savedDepth = 0;
    std::unique_ptr<qel::Surface> back;
};

}  // namespace gametest
