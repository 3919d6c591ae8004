// The game's registered levels built as the engine enters them, with the
// generated assets: the actor table, then the level builder; frames run the
// built level's sprites with keys held.
#pragma once
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "GameFixture.h"
#include "levels/LevelData.h"

namespace gametest {

inline const std::string AssetsFolder = std::string(QEL_BINARY_DIR) + "/game/Art Assets/";

class BuiltLevelTest : public GameTest {
protected:
    void SetUp() override {
        // Headless sound, unless the run chose a driver (e.g. "disk").
        setenv("SDL_AUDIODRIVER", "dummy", 0);
        GameTest::SetUp();
        savedDepth = displayDepth;
        displayDepth = 32;
        mapsFolder = (AssetsFolder + "Maps/").c_str();
        actorsFolder = (AssetsFolder + "Actors/").c_str();
        sfxFolder = (AssetsFolder + "Sounds/SFX/").c_str();
        musicFolder = (AssetsFolder + "Sounds/Music/").c_str();
        currentAssetFolder = mapsFolder;
        back = qel::Surface::Create(64, 48, 32);
        pBackBuffer = back.get();
        // The registered levels take Ids 1 to 39.
        level->Id(1000);
        Qel();
        ClearReports();
    }

    void TearDown() override {
        if (built) Leave();
        pBackBuffer = nullptr;
        back.reset();
        displayDepth = savedDepth;
        GameTest::TearDown();
    }

    // Enters level k as the engine does: its actor table, then its builder.
    GameNode* Build(int k) {
        built = static_cast<GameNode*>(Game::Search(nolt::LevelRecordOf(k).name.c_str()));
        if (!built) return nullptr;
        gNode = built;
        if (built->BuildActorsP) built->BuildActorsP(built);
        if (built->BuildLevelP) built->BuildLevelP(built);
        return built;
    }

    // One frame of the built level: keys, then its sprites on each map.
    void Frame(std::initializer_list<unsigned char> keys = {}) {
        Hold(keys);
        bool cursorSeen = false;
        for (node* m = built->Maps().Head(); !m->EOList(); m = m->Next())
            RunSpriteStep(static_cast<Map*>(m), cursorSeen);
    }

    void Leave() {
        built->Empty();
        EmptyActorTable();
        pMainCharacter = nullptr;
        gNode = level;
        built = nullptr;
    }

    static std::string Reported() { return std::string(_UE.TargetFunction) + " | " + _UE.ErrorMessage; }

    static int SpriteCount(GameNode* g) {
        int n = 0;
        for (int list = 0; list < GameNode::DisplayListCount; ++list) n += g->DisplayList(list).Count();
        return n;
    }

    static std::vector<Sprite*> Named(GameNode* g, const char* name) {
        std::vector<Sprite*> found;
        for (int list = 0; list < GameNode::DisplayListCount; ++list)
            for (node* p = g->DisplayList(list).Head(); !p->EOList(); p = p->Next())
                if (std::strcmp(static_cast<Sprite*>(p)->Name(), name) == 0) found.push_back(static_cast<Sprite*>(p));
        return found;
    }
    static int CountNamed(GameNode* g, const char* name) { return int(Named(g, name).size()); }
    // The first sprite of that name, without the report of a failed search.
    static Sprite* FindQuietly(GameNode* g, const char* name) {
        std::vector<Sprite*> found = Named(g, name);
        return found.empty() ? nullptr : found.front();
    }

    GameNode* built = nullptr;
    std::int32_t savedDepth = 0;
    std::unique_ptr<qel::Surface> back;
};

}  // namespace gametest
