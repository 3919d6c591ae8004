#include "sprites/SpriteLevelInternal.h"

#include "foundation/MessageTable.h"
#include "foundation/UserError.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/GameNode.h"
#include "sprites/SpriteMessages.h"
#include "world/LevelViewInternal.h"
#include "world/Map.h"
#include "world/ViewPort.h"

namespace {

// The viewport moves the main character along when asked to keep it in place
// on the screen.
void MoveMainCharacter(float dx, float dy) {
    if (!pMainCharacter) return;
    pMainCharacter->MapPositionX(pMainCharacter->MapPositionX() + dx, false);
    pMainCharacter->MapPositionY(pMainCharacter->MapPositionY() + dy, false);
}

const bool moverRegistered = (ViewPort::SetMainCharacterMover(MoveMainCharacter), true);

}  // namespace

namespace sprites {

List* LevelDisplayList(int n) {
    if (!gNode || n < 0 || n >= GameNode::DisplayListCount) return nullptr;
    return &gNode->DisplayList(n);
}

std::uint32_t LevelFrameNumber() { return gameLoopCounter; }

bool LevelAddSprite(Sprite* sprite) {
    if (gNode) return gNode->Add(sprite);
    // No level to take it: refused as a level refuses a sprite it cannot list.
    UserError::Report("bool GameNode::Add(Sprite *)", MessageTable[23], static_cast<const char*>(sprite->Name()),
                      GameNode::DisplayListCount);
    delete sprite;
    return false;
}

ViewPort* LevelViewPort() { return &::LevelViewPort(); }

float LevelWorldWidth() { return gNode ? static_cast<float>(gNode->WorldWidth()) : 0.0f; }
float LevelWorldHeight() { return gNode ? static_cast<float>(gNode->WorldHeight()) : 0.0f; }
bool LevelIsNetworked() { return gNode && gNode->NetworkLevel; }

float ViewWorldX() {
    ViewPort* v = LevelViewPort();
    return v ? v->WorldXPos() : 0.0f;
}

float ViewWorldY() {
    ViewPort* v = LevelViewPort();
    return v ? v->WorldYPos() : 0.0f;
}

Map* DummyMap() {
    // Lives for the whole run, like the placeholder sprite that points at it.
    static Map* placeholder = new Map();
    return placeholder;
}

float MapWorldX(const Map* map) {
    return map && map->Type() == Map::StandardMap ? const_cast<Map*>(map)->WorldPositionX() : 0.0f;
}

float MapWorldY(const Map* map) {
    return map && map->Type() == Map::StandardMap ? const_cast<Map*>(map)->WorldPositionY() : 0.0f;
}

int MapKind(const Map* map) { return map ? static_cast<int>(map->Type()) : -1; }

const char* MapName(const Map* map) { return map ? map->Name() : nullptr; }

Map* FindMap(const char* name) { return Map::Search(name); }

List* MapAlarms(Map* map) { return map ? &map->Alarms() : nullptr; }

}  // namespace sprites
