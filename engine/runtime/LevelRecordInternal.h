// The saved record of a level: the level's own contents together with the
// engine-wide state that travels with it (the mouse, the main character, the
// game's level number, behaviour and local data, the random generators, the
// window). Reading fills a level and keeps the engine-wide part aside, so a
// record can be checked whole before it replaces anything that runs.
#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include "display/GammaRamp.h"
#include "display/LoadingInternal.h"
#include "display/OpenClose.h"
#include "display/RandomDissolve.h"
#include "foundation/Random.h"
#include "foundation/String.h"
#include "input/QelCursor.h"
#include "input/Mouse.h"
#include "logic/Behavior.h"

class File;
class GameNode;
class node;
class Variable;

class LevelRecord {
public:
    LevelRecord() = default;
    // Frees what was read but never applied.
    ~LevelRecord();
    LevelRecord(const LevelRecord&) = delete;
    LevelRecord& operator=(const LevelRecord&) = delete;

    // Writes the record of `level`, the current level.
    static void Write(File& file, GameNode& level);

    // Reads a record into `into`, an emptied level that is the current level
    // while it reads (names in the record are looked up there). The actor
    // table is emptied and refilled by `owner`'s actor builder. The loading
    // screen is up from here until Apply. False when the record is corrupt:
    // then the file is in error and nothing outside `into`, this record and
    // the actor table has changed.
    bool Read(File& file, GameNode& into, GameNode& owner);

    // Moves everything read into `staged` over to `level` (emptied first).
    static void MoveContents(GameNode& staged, GameNode& level);

    // Puts the engine-wide part in place; `level` is now the current level.
    void Apply(GameNode& level);

private:
    void ReadItems(File& file, GameNode& into);
    static bool BuildActors(File& file, GameNode& into, GameNode& owner);
    void UsePalette(const String& name);
    static void TakeFpsVisibility(File& file, GameNode& level);
    static bool IsInDisplayLists(GameNode& level, const node* sprite);
    static void ReadOwned(File& file, node*& slot);
    bool CheckMainCharacter(File& file, GameNode& level);
    bool BelongsTo(const GameNode& owner) const;

    MouseRecord mouse;
    node* mainCharacter = nullptr;  // owned by a display list
    std::unique_ptr<QelCursor> cursor;
    bool cursorShown = false;
    std::int32_t gameLevelNumber = 0;
    bool gameChangePending = false;
    GammaRamp gammaRamp;
    OpenClose openClose;
    RandomDissolve randomDissolve;
    Random floatGenerator;
    Random integerGenerator;
    Random textEffectGenerator;
    Behavior gameBehavior;
    bool windowed = false;
    String title;
    std::int32_t gameLocalIndex = -1;
    node* gameLocal = nullptr;  // owned here until applied
    std::optional<String> previousPalette;
    std::optional<Loading> loading;
};
