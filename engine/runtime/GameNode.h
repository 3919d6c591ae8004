// One level of the game: its maps, its sprites in 16 display lists, its named
// variables, sounds and particle systems, its behaviour and its frame rate. It
// is emptied when left and rebuilt by its level functions when entered.
#pragma once
#include <cstdint>
#include "QelExport.h"
#include "foundation/Create.h"
#include "foundation/List.h"
#include "foundation/Node.h"
#include "foundation/String.h"
#include "input/RecordedInput.h"
#include "logic/Behavior.h"
#include "runtime/ZOrderQueue.h"
#include "world/Map.h"
#include "world/ViewPort.h"

class GameNode;
class MidiFile;
class ParticleSystem;
class Sound;
class Sprite;
class StreamedSound;
class Variable;

// A level function of the game program, given the level.
typedef void (*LevelFunction)(GameNode*);

// A 16-byte identifier of a networked level's session.
struct _GUID {
    std::uint32_t Data1 = 0;
    std::uint16_t Data2 = 0;
    std::uint16_t Data3 = 0;
    std::uint8_t Data4[8] = {};
};
static_assert(sizeof(_GUID) == 16);

class QEL_API GameNode : public node {
public:
    static constexpr int DisplayListCount = 16;
    // The id counters, in their stored order.
    enum Counter {
        SpriteIds,
        MapIds,
        VariableIds,
        SoundIds,
        StreamedSoundIds,
        MidiFileIds,
        ParticleSystemIds,
        CounterCount
    };

    GameNode();
    // A level with the same settings and copies of the other's lists; its
    // sound lists start empty (sounds hold devices and cannot be copied).
    GameNode(const GameNode& other);
    GameNode& operator=(const GameNode&) = delete;
    // The current level also clears the actor frames and the cursor, and
    // leaves gNode null.
    ~GameNode() override;

    const char* ClassName() const override;
    // The level's saved record, with the engine-wide state that travels with
    // it; loading expects an emptied level that is the current one.
    void Load(File& file) override;
    void Save(File& file) override;
    static node* CreateObject();
    static CREATE cr;

    // --- settings ---
    int Id() const { return id; }
    void Id(int n) { id = n; }
    const char* Name() const { return name; }
    void Name(const char* text);
    unsigned int WorldWidth() const { return worldWidth; }
    void WorldWidth(unsigned int width);
    unsigned int WorldHeight() const { return worldHeight; }
    void WorldHeight(unsigned int height);
    void PaletteName(const char* text);
    const char* PaletteName() const { return paletteName; }
    bool ShowScrollingBoundingBox() const { return showScrollingBox; }
    void ShowScrollingBoundingBox(bool show) { showScrollingBox = show; }
    bool QuitOnEscape() const { return quitOnEscape; }
    void QuitOnEscape(bool quit) { quitOnEscape = quit; }
    Behavior& GetBehavior() { return behavior; }
    ViewPort& GetViewPort() { return viewPort; }
    // The input recorded frame by frame in this level.
    RecordedInput Recorded() { return {&keysPerFrame, &mouseFlags, &mouseMoves}; }

    // --- frame pacing ---
    // A rate of 0 is refused (the rate stays); above 1000 the period is 0.
    void FPStoMS(unsigned int fps);
    unsigned int FramesPerSecond() const { return framesPerSecond; }
    std::uint32_t Period() const { return period; }
    std::uint32_t Elapsed() const { return elapsed; }
    float MeasuredRate() const { return measuredRate; }
    void StartTimer();
    void EndTimer();
    // Spins on the millisecond clock until the period has passed.
    void Idle();
    std::uint32_t FrameStart() const { return frameStart; }
    void FrameStart(std::uint32_t time) { frameStart = time; }

    // --- contents ---
    // Maps are kept in ascending z-order, ahead of those of equal z-order.
    bool Add(Map* map);
    bool Add(Map& map);
    // A map of that bitmap at world (0, 0), z-order 0, with the default rectangle.
    bool AddMap(const char* name, const char* file, Map::MapType type);
    bool Add(Variable* variable);
    bool Add(Variable& variable);
    // A sprite goes to its display list (0 to 15) in front of the first
    // sprite whose z-order is not below its own, with the next sprite id; a
    // main character becomes the level's. Another list number is reported and
    // the sprite deleted (false).
    bool Add(Sprite* sprite);
    // Adds a copy (from the sprite pool).
    bool Add(Sprite& sprite);
    // Sounds, streamed sounds, MIDI files and particle systems take the next id
    // of their kind and go to the front of their list.
    bool Add(Sound* sound);
    bool Add(StreamedSound* sound);
    bool Add(MidiFile* midi);
    bool Add(ParticleSystem* system);
    // From the program's resource of that file name, else from the sound
    // folders; a missing file is reported and adds nothing (false).
    bool AddSFX(const char* soundName, const char* file, bool loop, int playPercentage);
    bool AddMusic(const char* soundName, const char* file, bool loop);
    bool AddMidiFile(const char* midiName, const char* file, bool loop);
    // By name in the current level; a missing name is reported.
    void PlaySFX(const char* soundName);
    void PlayMusic(const char* soundName);
    void StopMusic(const char* soundName);
    void PlayMidiFile(const char* midiName);
    void StopMidiFile(const char* midiName);
    void AddLocalVariable(unsigned int index);
    node* LocalVariable() const { return localVariable; }
    std::int32_t LocalVariableIndex() const { return localVariableIndex; }

    List& Maps() { return maps; }
    List& DisplayList(int n) { return displayLists[n]; }
    List& Variables() { return variables; }
    List& Sounds() { return sounds; }
    List& StreamedSounds() { return streamedSounds; }
    List& MidiFiles() { return midiFiles; }
    List& ParticleSystems() { return particleSystems; }
    std::int32_t IdCounter(Counter c) const { return counters[c]; }
    void IdCounter(Counter c, std::int32_t value) { counters[c] = value; }

    // The first level of that name; otherwise a user error and null.
    static GameNode* Search(const char* name);

    // --- entering and leaving ---
    // Builds the level: level functions, actor surfaces, checks.
    void Execute();
    // Empties the level so that the next Execute rebuilds it from scratch;
    // refused (a user error) while the frame step runs the level's texts,
    // maps and sprites, whose callbacks would free what is running.
    void Empty();
    void ContentsRunning(bool running) { contentsRunning = running; }
    bool LevelChangeCalled() const { return levelChangeCalled; }
    void LevelChangeCalled(bool called) { levelChangeCalled = called; }
    // A network level's session: the session dialog, then hosting or
    // joining; true when the session is open.
    bool HostNetworkSession(_GUID application);
    bool JoinNetworkSession(_GUID application);
    // On a network worker: the wait dialog through the main thread; its result.
    int WaitForOtherPlayers();

    // --- per frame ---
    void GetNewVariableStates();
    void DisplayTextNoMap();
    void UpdateCursor();
    void UpdateParticleSystem(Map* map);
    // Moves the view so that its world position becomes (x, y).
    void ViewPortPosition(unsigned int x, unsigned int y, bool moveMainCharacter);
    void NResetKM();
    void DeleteQelCursor();
    // A new hidden "FPS" text variable.
    void InitFPS();
    // Presents the back buffer (nothing while suspended).
    void UpdateScreen();
    // Sprites whose z-order changed this frame, re-sorted at its end.
    ZOrderQueue& ZOrders() { return zOrders; }

    // Level functions and network settings, set by the game program.
    LevelFunction BuildLevelP = nullptr;
    LevelFunction BuildActorsP = nullptr;
    LevelFunction OnLevelChangeP = nullptr;
    LevelFunction OnLevelExitP = nullptr;
    String LevelFileName;
    std::uint32_t NetworkPort = 1111;
    std::uint32_t DisconnectLevel = 0;
    bool NetworkLevel = false;
    std::uint32_t RequiredPlayers = 0;
    std::uint32_t MaximumPlayers = 0;
    _GUID ApplicationGUID;

private:
    // Deletes every sprite of the display lists.
    void DeleteSprites();
    friend class LevelRecord;

    void CheckMainCharacters();

    std::int32_t id = 0;
    String name;
    std::uint32_t worldWidth = 640;
    std::uint32_t worldHeight = 480;
    std::uint32_t frameEnd = 0;
    std::uint32_t frameStart = 0;
    bool showScrollingBox = false;
    bool quitOnEscape = false;
    String paletteName;
    std::int32_t localVariableIndex = -1;
    Behavior behavior;
    std::int32_t counters[CounterCount] = {};
    List maps;
    List displayLists[DisplayListCount];
    List variables;
    List sounds;
    List streamedSounds;
    List midiFiles;
    List particleSystems;
    ViewPort viewPort{640, 480, 0, 0, 640, 480};
    ZOrderQueue zOrders;
    RecordedKeys keysPerFrame;
    Array<unsigned char> mouseFlags;
    Array<MouseRelMove> mouseMoves;
    bool levelChangeCalled = false;
    bool contentsRunning = false;
    float measuredRate = 60.0f;
    std::uint32_t framesPerSecond = 60;
    std::uint32_t elapsed = 0;
    std::uint32_t period = 16;
};
