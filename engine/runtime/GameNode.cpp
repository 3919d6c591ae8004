#include "runtime/GameNode.h"

#include <algorithm>
#include <cstring>
#include <mutex>

#include "display/DisplayInternal.h"
#include "display/SurfaceLoadingInternal.h"
#include "foundation/FatalExit.h"
#include "foundation/File.h"
#include "foundation/MessageTable.h"
#include "foundation/UserError.h"
#include "foundation/Variable.h"
#include "input/Keyboard.h"
#include "input/Mouse.h"
#include "input/QelCursor.h"
#include "network/NetSession.h"
#include "network/NetworkComponent.h"
#include "platform/Clock.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/Game.h"
#include "runtime/SystemKeysInternal.h"
#include "sound/LevelSounds.h"
#include "sound/MidiFile.h"
#include "sound/Sound.h"
#include "sound/StreamedSound.h"
#include "sprites/FrameElem.h"
#include "sprites/FrameVariant.h"
#include "sprites/Sprite.h"
#include "sprites/SpriteListInternal.h"
#include "world/CollisionData.h"
#include "world/GeometryInternal.h"
#include "world/Map.h"
#include "world/ParticleSystem.h"

CREATE GameNode::cr("GameNode", GameNode::CreateObject);

namespace {

constexpr int MsgLevelName = 22;
constexpr int MsgDisplayLists = 23;
constexpr int MsgMainCharacterOutside = 27;
constexpr const char* CursorSpriteName = "QEL_CURSOR_ROSRUC_";

List* CurrentLevelVariables() { return gNode != nullptr ? &gNode->Variables() : nullptr; }

bool AddToCurrentLevel(Variable* v) { return gNode != nullptr && gNode->Add(v); }

const char* NameOfMap(const Map* map) { return map != nullptr ? map->Name() : nullptr; }

void AddToMapTexts(Map* map, Variable* v) {
    if (map != nullptr && v != nullptr) map->TextVariables().Add(v);
}

// An object already in a list (of this level or of another) stays where it is:
// that list owns it, and linking it a second time would join the two chains.
template <class T>
bool AlreadyAdded(const T* object, const char* target, const char* kind) {
    if (object->Next() == nullptr) return false;
    const char* name = object->Name();
    UserError::Report(target, "%s %s has already been added.", kind, name ? name : "");
    return true;
}

// Without the entry: the array keeps its other entries in order.
template <typename T, typename E>
void DropEntry(Array<T>& entries, const E* entry) {
    bool found = false;
    for (unsigned int i = 0; i < entries.Size() && !found; ++i) found = entries[i] == entry;
    if (!found) return;
    Array<T> kept;
    for (unsigned int i = 0; i < entries.Size(); ++i)
        if (entries[i] != entry) kept.Add(entries[i]);
    entries = kept;
}

void DropFromLevelMaps(GameNode& level, const Variable* v) {
    for (node* n = level.Maps().Head(); !n->EOList(); n = n->Next())
        DropEntry(static_cast<Map*>(n)->TextVariables(), v);
}

// A text about to be destroyed leaves no map listing it, in any level: a
// level left earlier keeps its texts and maps. Only live maps are walked: the
// one it names may already be gone.
void DropFromMapTexts(const Variable* v) {
    for (node* n = Game::gameNodeList.Head(); !n->EOList(); n = n->Next())
        DropFromLevelMaps(*static_cast<GameNode*>(n), v);
    // The current level may be one of no game (a level being read).
    if (gNode != nullptr) DropFromLevelMaps(*gNode, v);
}

// A text's letter sound is one of the level's sound effects.
SoundBase* FindLetterSound(const char* soundName) { return Sound::Search(soundName); }

const char* NameOfSound(const SoundBase* sound) { return sound != nullptr ? sound->Name() : ""; }

void PlayLetterSound(SoundBase* sound) {
    if (sound != nullptr) sound->Play();
}

// A map shape about to be destroyed leaves no sprite pointing at it.
void ForgetDestroyedShape(const CollisionData* shape) {
    if (gNode == nullptr) return;
    for (int n = 0; n < GameNode::DisplayListCount; ++n) {
        List& list = gNode->DisplayList(n);
        for (node* p = list.Head(); !p->EOList(); p = p->Next()) {
            Sprite* s = static_cast<Sprite*>(p);
            DropEntry(s->mapShapesHit, shape);
            DropEntry(s->ownShapesHit, shape);
            DropEntry(s->otherShapesHit, shape);
            if (s->followedSegment == shape) s->followedSegment = nullptr;
        }
    }
}

// The variables and the maps reach the current level through these.
const bool levelLinksSet = [] {
    Variable::links.levelVariables = CurrentLevelVariables;
    Variable::links.addToLevel = AddToCurrentLevel;
    Variable::links.findMap = Map::Search;
    Variable::links.mapName = NameOfMap;
    Variable::links.addToMapTexts = AddToMapTexts;
    Variable::links.dropFromMapTexts = DropFromMapTexts;
    Variable::links.findSound = FindLetterSound;
    Variable::links.soundName = NameOfSound;
    Variable::links.playSound = PlayLetterSound;
    Map::SetShapeDestroyedHook(ForgetDestroyedShape);
    return true;
}();

// The rectangle's overlap with another, all zero when they do not overlap.
QelRect Intersection(const QelRect& a, const QelRect& b) {
    const QelRect r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                    std::min(a.bottom, b.bottom)};
    if (r.left >= r.right || r.top >= r.bottom) return QelRect{};
    return r;
}

bool operator!=(const QelRect& a, const QelRect& b) {
    return a.left != b.left || a.top != b.top || a.right != b.right || a.bottom != b.bottom;
}

// The sprite's frame box on its map for its current flips, each side truncated.
bool FrameBoxOnMap(const Sprite& sprite, QelRect& box) {
    const FrameElem* frame = sprite.DisplayedFrame();
    if (frame == nullptr) return false;
    const tagRECT& b = sprites::FrameVariant{*frame, sprite.HFlip() != 0, sprite.VFlip() != 0}.Box();
    const float x = sprite.LeftPosition(), y = sprite.TopPosition();
    box = QelRect{TruncToInt32(float(b.left) + x), TruncToInt32(float(b.top) + y), TruncToInt32(float(b.right) + x),
                  TruncToInt32(float(b.bottom) + y)};
    return true;
}

}  // namespace

node* GameNode::CreateObject() { return new GameNode(); }

const char* GameNode::ClassName() const { return "GameNode"; }

GameNode::GameNode() {
    FPStoMS(60);
    InitFPS();
}

GameNode::GameNode(const GameNode& other)
    : node(),
      BuildLevelP(other.BuildLevelP),
      BuildActorsP(other.BuildActorsP),
      OnLevelChangeP(other.OnLevelChangeP),
      OnLevelExitP(other.OnLevelExitP),
      LevelFileName(other.LevelFileName),
      NetworkPort(other.NetworkPort),
      DisconnectLevel(other.DisconnectLevel),
      NetworkLevel(other.NetworkLevel),
      RequiredPlayers(other.RequiredPlayers),
      MaximumPlayers(other.MaximumPlayers),
      ApplicationGUID(other.ApplicationGUID),
      id(other.id),
      name(other.name),
      worldWidth(other.worldWidth),
      worldHeight(other.worldHeight),
      frameEnd(other.frameEnd),
      frameStart(other.frameStart),
      showScrollingBox(other.showScrollingBox),
      quitOnEscape(other.quitOnEscape),
      paletteName(other.paletteName),
      localVariableIndex(other.localVariableIndex),
      behavior(other.behavior),
      maps(other.maps),
      variables(other.variables),
      particleSystems(other.particleSystems),
      viewPort(other.viewPort),
      keysPerFrame(other.keysPerFrame),
      mouseFlags(other.mouseFlags),
      mouseMoves(other.mouseMoves),
      levelChangeCalled(other.levelChangeCalled),
      measuredRate(other.measuredRate),
      framesPerSecond(other.framesPerSecond),
      elapsed(other.elapsed),
      period(other.period) {
    for (int i = 0; i < CounterCount; ++i) counters[i] = other.counters[i];
    for (int i = 0; i < DisplayListCount; ++i) displayLists[i] = other.displayLists[i];
    if (other.localVariable != nullptr) localVariable = other.localVariable->Clone();
}

GameNode::~GameNode() {
    delete localVariable;
    localVariable = nullptr;
    // The actor table and the cursor belong to the level being played: only
    // its own destruction (or shut-down) clears them, never a copy's.
    const bool current = this == gNode;
    if (current) {
        ClearActorFrames();
        DeleteQelCursor();
    }
    // Emptied in this order while every list is still whole: a map's shapes,
    // as they go, are looked for in the sprites of the current level.
    particleSystems.del();
    midiFiles.del();
    streamedSounds.del();
    sounds.del();
    variables.del();
    DeleteSprites();
    maps.del();
    if (current) {
        // Network workers read the current level under this lock.
        std::lock_guard<qel::CriticalSection> hold(NetQueueLock);
        gNode = nullptr;
    }
}

void GameNode::Name(const char* text) {
    if (text != nullptr) name = text;
}

void GameNode::WorldWidth(unsigned int width) {
    worldWidth = width;
    viewPort.WorldWidth(float(width));
}

void GameNode::WorldHeight(unsigned int height) {
    worldHeight = height;
    viewPort.WorldHeight(float(height));
}

void GameNode::PaletteName(const char* text) {
    if (text != nullptr) paletteName = text;
}

// --- frame pacing ---

void GameNode::FPStoMS(unsigned int fps) {
    if (fps == 0) return;  // no period can be made of it
    measuredRate = float(fps);
    framesPerSecond = fps;
    period = 1000 / fps;
}

void GameNode::StartTimer() { frameStart = qel::TimeGetTime(); }

void GameNode::EndTimer() {
    frameEnd = qel::TimeGetTime();
    elapsed = frameEnd - frameStart;
}

void GameNode::Idle() {
    const float nominal = 1000.0f / float(period);
    if (period == elapsed) {
        measuredRate = nominal;
    } else if (period < elapsed) {
        measuredRate = 1000.0f / float(elapsed);
    } else {
        const std::uint32_t wait = period - elapsed;
        const std::uint32_t t0 = qel::TimeGetTime();
        // One sleep to the very tick a spin on the clock would end on, so the
        // frame ends as exactly without using the core.
        while (qel::TimeGetTime() - t0 < wait) qel::SleepUntil(t0 + wait);
        measuredRate = nominal;
    }
}

// --- contents ---

bool GameNode::Add(Map* map) {
    if (map == nullptr || AlreadyAdded(map, "bool GameNode::Add(Map *)", "Map")) return false;
    map->Id(++counters[MapIds]);
    node* before = maps.Head();
    while (!before->EOList() && static_cast<Map*>(before)->ZOrder() < map->ZOrder()) before = before->Next();
    maps.add(map, before);
    return true;
}

bool GameNode::Add(Map& map) { return Add(new Map(map)); }

bool GameNode::AddMap(const char* mapName, const char* file, Map::MapType type) {
    return Add(new Map(mapName, file, type, 0, 0, 0, true, zrect));
}

bool GameNode::Add(Variable* variable) {
    if (variable == nullptr || AlreadyAdded(variable, "bool GameNode::Add(Variable *)", "Variable")) return false;
    variable->Id(++counters[VariableIds]);
    variables.add(variable);
    return true;
}

bool GameNode::Add(Variable& variable) { return Add(new Variable(variable)); }

bool GameNode::Add(Sound* sound) {
    if (sound != nullptr && AlreadyAdded(sound, "bool GameNode::Add(Sound *)", "Sound")) return false;
    return sound::Add(*this, sound);
}

bool GameNode::Add(StreamedSound* sound) {
    if (sound != nullptr && AlreadyAdded(sound, "bool GameNode::Add(StreamedSound *)", "Streamed sound")) return false;
    return sound::Add(*this, sound);
}

bool GameNode::Add(MidiFile* midi) {
    if (midi != nullptr && AlreadyAdded(midi, "bool GameNode::Add(MidiFile *)", "MIDI file")) return false;
    return sound::Add(*this, midi);
}

bool GameNode::Add(ParticleSystem* system) {
    if (system == nullptr || AlreadyAdded(system, "bool GameNode::Add(ParticleSystem *)", "Particle system"))
        return false;
    ++counters[ParticleSystemIds];
    particleSystems.add(system);
    return true;
}

bool GameNode::AddSFX(const char* soundName, const char* file, bool loop, int playPercentage) {
    return sound::AddSFX(*this, soundName, file, loop, playPercentage);
}

bool GameNode::AddMusic(const char* soundName, const char* file, bool loop) {
    return sound::AddMusic(*this, soundName, file, loop);
}

bool GameNode::AddMidiFile(const char* midiName, const char* file, bool loop) {
    return sound::AddMidiFile(*this, midiName, file, loop);
}

void GameNode::PlaySFX(const char* soundName) { sound::PlaySFX(soundName); }

void GameNode::PlayMusic(const char* soundName) { sound::PlayMusic(soundName); }

void GameNode::StopMusic(const char* soundName) { sound::StopMusic(soundName); }

void GameNode::PlayMidiFile(const char* midiName) { sound::PlayMidiFile(midiName); }

void GameNode::StopMidiFile(const char* midiName) { sound::StopMidiFile(midiName); }

void GameNode::AddLocalVariable(unsigned int index) {
    AttachLocalData(index, "void GameNode::AddLocalVariable(unsigned int index)", localVariable, localVariableIndex);
}

bool GameNode::Add(Sprite* sprite) {
    if (sprite == nullptr || AlreadyAdded(sprite, "bool GameNode::Add(Sprite *)", "Sprite")) return false;
    const int number = sprite->DisplayListNumber();
    if (number < 0 || number >= DisplayListCount) {
        UserError::Report("bool GameNode::Add(Sprite *)", MessageTable[MsgDisplayLists],
                          static_cast<const char*>(sprite->Name()), DisplayListCount);
        delete sprite;
        return false;
    }
    sprite->Id(++counters[SpriteIds]);
    List& list = displayLists[number];
    {
        // Network workers walk the display lists under this lock.
        std::lock_guard<qel::CriticalSection> hold(NetQueueLock);
        node* before = list.Head();
        while (!before->EOList() && static_cast<Sprite*>(before)->ZOrder() < sprite->ZOrder()) before = before->Next();
        list.add(sprite, before);
    }
    // It now stands where its z-order puts it: nothing to re-sort at the frame's end.
    sprite->SortedZOrder(sprite->ZOrder());
    if (sprite->MainCharacter()) pMainCharacter = sprite;
    return true;
}

bool GameNode::Add(Sprite& sprite) { return Add(new Sprite(sprite)); }

GameNode* GameNode::Search(const char* text) {
    if (text != nullptr) {
        for (node* n = Game::gameNodeList.Head(); !n->EOList(); n = n->Next()) {
            GameNode* level = static_cast<GameNode*>(n);
            if (level->name == text) return level;
        }
    }
    UserError::Report("GameNode* GameNode::Search(char *)", MessageTable[MsgLevelName], text ? text : "");
    return nullptr;
}

// --- entering and leaving ---

void GameNode::Execute() {
    if (pKeyboard != nullptr) pKeyboard->Reset();
    if (pMouse != nullptr) {
        pMouse->ResetKeys();
        pMouse->Locate(0, 0);
    }
    paletteBitmapName = paletteName;
    SetDisplayPalette();
    if (!LevelFileName.empty()) {
        delete _LevelFile;
        _LevelFile = new File(LevelFileName, File::Reading);
    }
    if (BuildActorsP != nullptr) BuildActorsP(this);
    if (BuildLevelP != nullptr) BuildLevelP(this);
    LoadActorSurfaces();
    delete _LevelFile;
    _LevelFile = nullptr;
    CheckMainCharacters();
    waitingForPlayers = false;
    net::EnterLevel(*this);
}

bool GameNode::HostNetworkSession(_GUID application) { return net::HostLevelSession(*this, application); }

bool GameNode::JoinNetworkSession(_GUID application) { return net::JoinLevelSession(*this, application); }

int GameNode::WaitForOtherPlayers() { return net::WaitForOtherPlayers(); }

void GameNode::CheckMainCharacters() {
    const FRECT b = viewPort.BBWorldRect();
    const QelRect box{TruncToInt32(b.left), TruncToInt32(b.top), TruncToInt32(b.right), TruncToInt32(b.bottom)};
    for (List& list : displayLists) {
        for (node* p = list.Head(); !p->EOList(); p = p->Next()) {
            const Sprite* sprite = static_cast<const Sprite*>(p);
            QelRect frame;
            if (!sprite->MainCharacter() || !FrameBoxOnMap(*sprite, frame)) continue;
            if (Intersection(frame, box) != frame) FatalExit("%s", MessageTable[MsgMainCharacterOutside]);
        }
    }
}

void GameNode::Empty() {
    if (contentsRunning) {
        UserError::Report("void GameNode::Empty()",
                          "The level %s cannot be emptied while its texts, maps and sprites run.",
                          static_cast<const char*>(name));
        return;
    }
    viewPort.WorldXPos(0);
    viewPort.WorldYPos(0);
    for (std::int32_t& counter : counters) counter = 0;
    QuitOnEscape(false);
    maps.del();
    variables.del();
    sounds.del();
    streamedSounds.del();
    midiFiles.del();
    particleSystems.del();
    levelChangeCalled = false;
    InitFPS();
    behavior = Behavior();
    zOrders.Clear();
    DeleteSprites();
}

void GameNode::DeleteSprites() {
    // Network workers look sprites up and queue input to them under this lock.
    std::lock_guard<qel::CriticalSection> hold(NetQueueLock);
    for (List& list : displayLists) list.del();
}

// --- per frame ---

void GameNode::GetNewVariableStates() {
    for (node* n = variables.Head(); !n->EOList(); n = n->Next()) {
        Variable* v = static_cast<Variable*>(n);
        if (v->Unused() || v->Pause()) continue;
        v->GetBehavior().Update(*v);
        if (std::strcmp(v->Name(), "FPS") == 0) UpdateFpsDisplay(*v);
    }
}

void GameNode::DisplayTextNoMap() {
    for (node* n = variables.Head(); !n->EOList(); n = n->Next()) static_cast<Variable*>(n)->DisplayTextNoMap();
}

void GameNode::UpdateCursor() {
    if (myGame == nullptr || !myGame->ShowCursor()) return;
    Sprite* cursorSprite = Sprite::Search(CursorSpriteName);
    if (cursorSprite == nullptr || pQelCursor == nullptr) return;
    pQelCursor->GetBehavior().Update(*pQelCursor);
    cursorSprite->DisplaySprite();
}

void GameNode::UpdateParticleSystem(Map* map) {
    if (map == nullptr || (map->Type() != Map::MasterMap && map->Type() != Map::StandardMap)) return;
    node* n = particleSystems.Head();
    while (!n->EOList()) {
        ParticleSystem* system = static_cast<ParticleSystem*>(n);
        n = n->Next();
        if (system->GetMap() != map) continue;
        if (system->Alive() && !system->Unused()) system->Update();
        // A system whose last particle died goes at once.
        if (!system->Alive()) {
            particleSystems.del(system);
            --counters[ParticleSystemIds];
        }
    }
}

void GameNode::ViewPortPosition(unsigned int x, unsigned int y, bool moveMainCharacter) {
    viewPort.Offset(float(x) - viewPort.WorldXPos(), float(y) - viewPort.WorldYPos(), moveMainCharacter);
}

void GameNode::NResetKM() {
    // In a networked game a reset on one peer alone would part the peers:
    // this peer's sprite is released through its next frame packet instead,
    // on every peer at once, and the others' sprites follow their own peers.
    if (NetworkLevel && net::Current() != nullptr) return net::Current()->ReleaseHeldInput();
    for (unsigned int i = 0; i < netActiveIds.Size(); ++i) {
        if (Sprite* sprite = Sprite::Search(netActiveIds[i])) {
            sprite->Keyboard_Reset();
            sprite->Mouse_Reset();
        }
    }
}

void GameNode::DeleteQelCursor() {
    QelCursor* cursor = pQelCursor;
    pQelCursor = nullptr;
    delete cursor;
}

void GameNode::InitFPS() {
    Variable* fps = new Variable("FPS = ");
    fps->Name("FPS");
    fps->Visible(false);
    // The font settings as their setters leave them, with the font made once
    // rather than once per setting.
    fps->m_Color = 0x00F500;
    fps->m_FontName = "Impact";
    fps->m_Weight = 0;
    fps->m_Width = 6;
    fps->m_Height = 10.0f;
    fps->m_DisplayType = Variable::RespectingWords;
    fps->m_ArrowsSize = 0;
    if (Variable::links.drawContextReady != nullptr && Variable::links.drawContextReady()) {
        fps->UpdateLogFont(Variable::FontAll);
        fps->RebuildFont();
    }
    fps->Frame(QelRect{displayWidth / 2 - 75, 0, displayWidth / 2 + 75, 40});
    fps->LetterSpacing(2);
    Add(fps);
}

void GameNode::UpdateScreen() {
    if (_IsSuspended) return;
    PresentBackBuffer();
}
