// A small game for save, replay and system-key runs: two levels that each hold
// two maps, a hero steered by the keys and the mouse, a crate that drifts on
// its own, a score and a label; the game program keeps one value of its own in
// every save. Keys and mouse motion are pushed as system events.
#pragma once
#include <SDL.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/BmpWriter.h"
#include "EngineRun.h"
#include "display/Display.h"
#include "foundation/File.h"
#include "foundation/Variable.h"
#include "input/Keyboard.h"
#include "input/Mouse.h"
#include "logic/LogicTables.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/FileDialogInternal.h"
#include "runtime/Game.h"
#include "runtime/GameNode.h"
#include "sprites/AnimationElem.h"
#include "sprites/FrameElem.h"
#include "sprites/Sprite.h"
#include "sprites/SpriteList.h"
#include "world/Map.h"
#include "world/ViewPort.h"

namespace savedgame {

constexpr int ScreenW = 64, ScreenH = 48, WorldW = 128;
constexpr int Walker = 1;  // the actor slot of every sprite

// Keys the hero reads: DirectInput codes and the system's codes.
constexpr std::uint8_t RightKey = 0xCD, LeftKey = 0xCB, SpaceKey = 0x39;

using Bytes = std::vector<char>;

inline Bytes ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void WriteBytes(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
}
// A bitmap of one colour.
inline void WriteBmp(const std::filesystem::path& path, int w, int h, std::uint32_t colour) {
    bmp24::WriteSolid(path.string(), w, h, colour);
}

inline void PushKey(SDL_Scancode code, bool down) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.scancode = code;
    SDL_PushEvent(&e);
}

inline void PushMotion(int dx, int dy) {
    SDL_Event e{};
    e.type = SDL_MOUSEMOTION;
    e.motion.xrel = dx;
    e.motion.yrel = dy;
    SDL_PushEvent(&e);
}

// What one frame's game logic saw: the input, then the state it found.
struct Seen {
    bool right = false, left = false, space = false;
    int mouseX = 0, mouseY = 0;
    float heroX = 0, heroY = 0, crateX = 0;
    double score = 0;
    bool operator==(const Seen&) const = default;
};

inline std::ostream& operator<<(std::ostream& os, const Seen& s) {
    return os << "{keys " << s.right << s.left << s.space << " mouse " << s.mouseX << "," << s.mouseY << " hero "
              << s.heroX << "," << s.heroY << " crate " << s.crateX << " score " << s.score << "}";
}

// The game's logic, once per frame with the level: logs what it sees, then
// steers the hero (arrows and vertical mouse motion) and counts Space presses.
struct SmallGame {
    static inline std::vector<std::pair<int, Seen>> log;  // (pass, seen)
    static inline std::int32_t programValue = 0;          // the program's own saved data

    static Seen Look() {
        Seen s;
        Sprite* hero = Sprite::Search("hero");
        Sprite* crate = Sprite::Search("crate");
        s.right = pKeyboard->IsPressed(RightKey);
        s.left = pKeyboard->IsPressed(LeftKey);
        s.space = pKeyboard->IsTriggered(SpaceKey);
        s.mouseX = pMouse->ViewportX();
        s.mouseY = pMouse->ViewportY();
        s.heroX = hero->LeftPosition();
        s.heroY = hero->TopPosition();
        s.crateX = crate->LeftPosition();
        s.score = double(*Variable::Search("score"));
        return s;
    }

    static void Steer(void*) {
        const Seen s = Look();
        log.emplace_back(EngineRun::pass, s);
        Sprite* hero = Sprite::Search("hero");
        const float dx = s.right ? 1.0f : s.left ? -1.0f : 0.0f;
        hero->MapPosition(hero->LeftPosition() + dx, hero->TopPosition() + float(pMouse->RelY()) / 4, false);
        if (s.space) *Variable::Search("score") += 1;
    }

    static void BuildActors(GameNode*) {
        SpriteElem& walker = SpriteList[Walker];
        walker.AnimationCount = 1;
        walker.Animations = new AnimationElem[1];
        walker.Animations[0].FrameCount = 2;
        walker.Animations[0].Frames = new FrameElem[2];
        for (int i = 0; i < 2; ++i) {
            FrameElem& frame = walker.Animations[0].Frames[i];
            frame.FileName = "walk.bmp";
            frame.Width = 4;
            frame.Height = 3;
            frame.Box = frame.hFBox = frame.vFBox = frame.hvFBox = tagRECT{0, 0, 3, 2};
            frame.Delay = 3;
        }
    }

    static void AddSprite(GameNode* level, const char* name, float x, float y, float speed, bool main) {
        Sprite s;
        s.Name(name);
        s.ActorIndex(Walker);
        s.BelongToMap("master");
        s.MapPosition(x, y, false);
        s.Speed(speed);
        if (speed != 0) s.VectorDirection(1, 0, 0);
        s.MainCharacter(main);
        level->Add(s);
    }

    static void BuildLevel(GameNode* level) { BuildLevelShowing(level, "master.bmp", "deck.bmp"); }

    static void BuildLevelShowing(GameNode* level, const char* masterPicture, const char* deckPicture) {
        level->WorldWidth(WorldW);
        level->WorldHeight(ScreenH);
        ViewPort& view = level->GetViewPort();
        view.ViewPortWidth(ScreenW);
        view.ViewPortHeight(ScreenH);
        view.ViewPortScrollingBB(0, 0, ScreenW, ScreenH);
        level->AddMap("master", masterPicture, Map::MasterMap);
        Map deck("deck", deckPicture, Map::StandardMap, 1, 40, 30, false, QelRect{0, 0, WorldW, ScreenH});
        level->Add(deck);
        // Grids sized by the level, as a level does before it adds shapes.
        for (const char* name : {"master", "deck"}) Map::Search(name)->SpacePartitionGridSize(128);
        AddSprite(level, "hero", 20, 20, 0, true);
        AddSprite(level, "crate", 2, 40, 0.5f, false);
        Variable* score = new Variable(0);
        score->Name("score");
        level->Add(score);
        Variable* label = new Variable("saved games");
        label->Name("label");
        level->Add(label);
        level->GetBehavior().AddFunction(0, true);
    }

    static void SaveProgramData(File& file) { file.Write(programValue); }
    static void LoadProgramData(File& file) { file.Read(programValue); }
};

// Runs of the small game in a fresh folder.
class SavedGameTest : public EngineRunTest {
protected:
    void SetUp() override {
        EngineRunTest::SetUp();
        const std::filesystem::path art = std::filesystem::path(folder) / "Art Assets";
        std::filesystem::create_directories(art / "Actors");
        std::filesystem::create_directories(art / "Maps");
        WriteBmp(art / "Maps" / "master.bmp", WorldW, ScreenH, 0x406080);
        WriteBmp(art / "Maps" / "deck.bmp", 8, 6, 0x2060A0);
        WriteBmp(art / "Actors" / "walk.bmp", 4, 3, 0xA00001);
        assetRoot = folder;
        EngineRun::setDataPath = [this] { ArtAssetsPath = assetRoot.c_str(); };
        EngineRun::mode = [] { SetMode(ScreenW, ScreenH, 32); };
        EngineRun::levels = [] {
            EngineRun::AddLevels({1, 2});
            for (int n : {0, 1}) ::Game::Search(n)->BuildActorsP = savedgame::SmallGame::BuildActors;
            FArray = NewVoidPointers(1);
            FArray[0] = reinterpret_cast<void*>(&savedgame::SmallGame::Steer);
            maxFIndex = 0;
        };
        EngineRun::buildLevel = savedgame::SmallGame::BuildLevel;
        savedgame::SmallGame::log.clear();
        savedgame::SmallGame::programValue = 0;
        OnSaveP = savedgame::SmallGame::SaveProgramData;
        OnLoadP = savedgame::SmallGame::LoadProgramData;
        // The state files of recording and replay go to this test's folder.
        previousWorkingDirectory = workingDirectory;
        workingDirectory = folder.c_str();
    }

    void TearDown() override {
        workingDirectory = previousWorkingDirectory;
        OnSaveP = nullptr;
        OnLoadP = nullptr;
        SetFileDialogAnswerForTests({});
        EngineRunTest::TearDown();
    }

    std::string Path(const std::string& name) const { return folder + "/" + name; }

    // Saves the running game now, by name; the file's bytes.
    Bytes SaveNow(const std::string& name) {
        myGame->SaveGame(Path(name).c_str());
        myGame->RealSaveGame();
        return ReadBytes(Path(name));
    }

    void LoadNow(const std::string& name) {
        myGame->LoadGame(Path(name).c_str());
        myGame->RealLoadGame();
    }

    std::string assetRoot;
    String previousWorkingDirectory;
};

}  // namespace savedgame
