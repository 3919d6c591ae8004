#include "logic/BehaviourFunctions.h"

#include "foundation/FloatToInt.h"
#include "foundation/List.h"
#include "foundation/Variable.h"
#include "logic/GameDeclarations.h"
#include "logic/GameKeys.h"
#include "logic/Owners.h"
#include "logic/ReportContext.h"
#include "runtime/Game.h"
#include "runtime/GameNode.h"
#include "sound/StreamedSound.h"
#include "sound/StreamedSoundPTR.h"
#include "sprites/Sprite.h"
#include "sprites/SpritePTR.h"

namespace {

constexpr int Silent = -10000, FullVolume = 0;
constexpr const char* SaveFile = "nolt.sav";
// The menu cursor's two rows: a new game and the saved game.
constexpr float NewGameRow = 342, LoadGameRow = 380;
// Where the player starts again.
constexpr float StartX = 57, StartY = 296;

// The owner as the kind the function serves, named in the reports the engine
// makes meanwhile; null when it is another kind.
template <class Owner>
Owner* Own(void* owner, const char* kind, const char* function) {
    Owner* typed = OwnerOf<Owner>(owner, kind, function);
    if (typed != nullptr) report::Function(typed->Name(), kind, function);
    return typed;
}

Sprite* OwnSprite(void* owner, const char* function) { return Own<Sprite>(owner, "Sprite", function); }
GameNode* OwnLevel(void* owner, const char* function) { return Own<GameNode>(owner, "GameNode", function); }
Game* OwnGame(void* owner, const char* function) { return Own<Game>(owner, "Game", function); }

// Every sprite of one display list of a level.
template <class F>
void ForEachSprite(GameNode* level, int displayList, F f) {
    if (level == nullptr) return;
    List& list = level->DisplayList(displayList);
    for (node* n = list.Head(); n != nullptr && !n->EOList(); n = n->Next()) f(static_cast<Sprite*>(n));
}

// The sprite's local variable 0, or null when it has none.
Variable* LapCounter(Sprite* s) { return s->localVariables.Size() > 0 ? &s->localVariables[0] : nullptr; }

}  // namespace

void leftright(void* owner) {
    if (OwnGame(owner, "leftright") == nullptr) return;
    if (key::Pressed(key::Left) || key::Pressed(key::A)) facingRight = false;
    if (key::Pressed(key::Right) || key::Pressed(key::D)) facingRight = true;
    StreamedSound* music = StreamedSound::Search("mus");
    if (music == nullptr) return;
    music->Play();
    if (key::Triggered(key::M)) soundMuted = !soundMuted;
    music->SetVolume(soundMuted ? Silent : FullVolume);
}

void goalLogic(void* owner) {
    Sprite* s = OwnSprite(owner, "goalLogic");
    if (s == nullptr) return;
    if (s->CollisionWithSprite("protag") && myGame != nullptr) myGame->NextLevel();
}

void gradientGoalLogic(void* owner) {
    Sprite* s = OwnSprite(owner, "gradientGoalLogic");
    if (s == nullptr) return;
    if (!s->CollisionWithSprite("protag")) return;
    const int shown = SpritePTR("g")->Animation();
    if (shown == 5 && myGame != nullptr) myGame->NextLevel();
    static constexpr int playerColourFor[5] = {1, 3, 6, 2, 0};
    SpritePTR player("protag");
    if (shown >= 0 && shown < 5) player->Animation(playerColourFor[shown]);
    if (myGame != nullptr) {
        auto* level = dynamic_cast<GameNode*>(Game::Search(myGame->LevelName()));
        ForEachSprite(level, 1, [](Sprite* row) { row->Animation(row->Animation() + 1); });
    }
    player->WorldPosition(StartX, StartY, false);
}

void title(void* owner) {
    if (OwnLevel(owner, "title") == nullptr) return;
    StreamedSoundPTR("mus")->SetVolume(Silent);
}

void clearDelete(void* owner) {
    if (Sprite* s = OwnSprite(owner, "clearDelete")) s->DeleteFlag(true);
}

void ResetDeath(void* owner) {
    Sprite* s = OwnSprite(owner, "ResetDeath");
    if (s == nullptr) return;
    if (myGame == nullptr) return;
    const float worldHeight = static_cast<float>(myGame->WorldHeight());
    if (!(s->WorldPositionY() > worldHeight)) return;
    // After the first interlude a fall also brings a fresh hazard column.
    if (myGame->LevelNumber() > 11) Clear("masterClear");
    s->WorldPosition(StartX, worldHeight - 184, false);
}

void ViewPortChara(void* owner) {
    Sprite* camera = OwnSprite(owner, "ViewPortChara");
    if (camera == nullptr) return;
    Sprite* player = FindSprite("protag");
    // A saved position may lie beyond the int range: the distance saturates.
    const int dx = TruncToInt32(player->WorldPositionX() - camera->WorldPositionX());
    const int dy = TruncToInt32(player->WorldPositionY() - camera->WorldPositionY());
    if (dx > 200 || dx < -200 || dy > 300 || dy < -300) {
        camera->Speed(80);
        camera->VectorDirection(static_cast<float>(dx), static_cast<float>(dy), 0);
    } else if (player->Speed() > 2.0f) {
        camera->Speed(player->Speed());
        camera->VectorDirection(static_cast<float>(dx), static_cast<float>(dy), 0);
    } else if (dx == 0 && dy == 0) {
        camera->Speed(0);
    } else {
        camera->Speed(3);
        camera->VectorDirection(static_cast<float>(dx), static_cast<float>(dy), 0);
    }
    SpritePTR("mainChar")->MainCharacter(true);
}

void projectileDelete(void* owner) {
    if (Sprite* s = OwnSprite(owner, "projectileDelete")) s->DeleteFlag(true);
}

void ClearGeneration(void* owner) {
    if (OwnLevel(owner, "ClearGeneration") == nullptr) return;
    Clear("masterRClear");
}

void ClearGenerationW(void* owner) {
    if (OwnLevel(owner, "ClearGenerationW") == nullptr) return;
    Clear("masterWClear");
}

void FinishGame(void* owner) {
    if (OwnLevel(owner, "FinishGame") == nullptr) return;
    if (myGame != nullptr) myGame->EndGame();
}

void FinishWorld(void* owner) {
    if (OwnLevel(owner, "FinishWorld") == nullptr) return;
    if (myGame != nullptr) myGame->NextLevel();
}

void triangle(void* owner) {
    Sprite* s = OwnSprite(owner, "triangle");
    if (s == nullptr) return;
    if (s->WorldPositionX() < -32) s->WorldPosition(1100, s->WorldPositionY(), false);
}

void altF4(void* owner) {
    Game* g = OwnGame(owner, "altF4");
    if (g == nullptr) return;
    if (key::Pressed(key::F4) && (key::Pressed(key::RightAlt) || key::Pressed(key::LeftAlt))) g->EndGame();
}

void titlescreen(void* owner) {
    Sprite* s = OwnSprite(owner, "titlescreen");
    if (s == nullptr) return;
    if (!StreamedSoundPTR("enter")->IsPlaying()) s->Visible(true);
}

void deciderLogic(void* owner) {
    Sprite* s = OwnSprite(owner, "deciderLogic");
    if (s == nullptr) return;
    if (key::Triggered(key::Up) || key::Triggered(key::Down) || key::Triggered(key::W) || key::Triggered(key::S)) {
        const float row = s->WorldPositionY() == NewGameRow ? LoadGameRow : NewGameRow;
        s->WorldPosition(s->WorldPositionX(), row, false);
    }
    if ((key::Triggered(key::Enter) || key::Triggered(key::Space)) && myGame != nullptr) {
        if (s->WorldPositionY() == NewGameRow)
            myGame->LevelName("Level_1");
        else
            myGame->LoadGame(SaveFile);
    }
}

void Reset(void* owner) {
    Game* g = OwnGame(owner, "Reset");
    if (g == nullptr) return;
    if (!(SpritePTR("protag")->WorldPositionX() > 1550)) return;
    ForEachSprite(gNode, 0, [](Sprite* s) {
        s->WorldPosition(static_cast<float>(s->ViewportX() + 30), s->WorldPositionY(), false);
    });
    g->ViewPortPosition(30, 0, true);
}

void CopyGradient(void* owner) {
    if (OwnLevel(owner, "CopyGradient") == nullptr) return;
    for (int y = 0; y < 370; ++y) SpriteCopy2("newGradient", "g", 0, y);
}

void CopyReveal(void* owner) {
    if (OwnLevel(owner, "CopyReveal") == nullptr) return;
    for (int y = -1; y < 480; y += 15) {
        Sprite* copy = SpriteCopy2("masterReveal", "e", 0, y);
        if (copy == nullptr) continue;
        // A figure without its lap counter is left without one.
        if (Variable* laps = LapCounter(copy)) *laps = 0;
    }
}

void clearWorld3(void* owner) {
    if (OwnLevel(owner, "clearWorld3") == nullptr) return;
    Clear("masterClear");
}

void FinaleBehavior(void* owner) {
    Sprite* s = OwnSprite(owner, "FinaleBehavior");
    if (s == nullptr) return;
    Variable* laps = LapCounter(s);
    if (laps == nullptr) return;
    if (s->InViewport() || !(s->WorldPositionX() > 0)) return;
    s->WorldPosition(-106, s->WorldPositionY(), false);
    (*laps)++;
    if (*laps > 6) s->Speed(s->Speed() + 1);
    // The colour steps 4, 1, 3, 6, 2 and round again.
    switch (s->Animation()) {
        case 1: s->Animation(3); break;
        case 2: s->Animation(4); break;
        case 3: s->Animation(6); break;
        case 4: s->Animation(1); break;
        case 6: s->Animation(2); break;
        default: break;
    }
    if (s->Animation() == 0) {
        soundMuted = true;
        SpritePTR credits("credits");
        if (!credits->behavior.IsTimerAdded(TimerNo::creditsBehavoir))
            credits->behavior.AddTimer(TimerNo::creditsBehavoir, true);
        s->DeleteFlag(true);
    }
    if (*laps > 24) {
        s->Animation(0);
        s->Speed(4.25f);
    }
}

void creditsBehavoir(void* owner) {
    if (Sprite* s = OwnSprite(owner, "creditsBehavoir")) s->Visible(true);
}
