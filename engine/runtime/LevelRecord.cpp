#include "runtime/LevelRecordInternal.h"

#include <array>
#include <cstring>
#include <string>

#include "display/DisplayInternal.h"
#include "display/SurfaceLoadingInternal.h"
#include "foundation/AssetName.h"
#include "foundation/File.h"
#include "foundation/Variable.h"
#include "input/QelCursor.h"
#include "platform/Clock.h"
#include "platform/Window.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/Game.h"
#include "runtime/GameNode.h"
#include "runtime/WholeFileInternal.h"
#include "sound/LevelSounds.h"
#include "sound/MidiFile.h"
#include "sound/Sound.h"
#include "sound/StreamedSound.h"
#include "sprites/Sprite.h"
#include "sprites/SpriteListInternal.h"
#include "world/Map.h"
#include "world/ParticleSystem.h"

namespace {

constexpr std::size_t MaxTitleLength = 255;

void WriteMouse(File& file, const MouseRecord& m) {
    file.Write(m.sensitivity);
    for (std::int32_t v : {m.x, m.y, m.relX, m.relY, m.wheel}) file.Write(v);
    file.Write(m.motionRect);
    file.Write(m.movedX);
    file.Write(m.movedY);
    for (std::uint32_t v : {m.accuracy, m.minimum, m.maximum}) file.Write(v);
    file.Write(m.doubleClicked0);
    file.Write(m.doubleClicked1);
    for (std::uint32_t v : m.firstPress) file.Write(v);
}

void ReadMouse(File& file, MouseRecord& m) {
    file.Read(m.sensitivity);
    for (std::int32_t* v : {&m.x, &m.y, &m.relX, &m.relY, &m.wheel}) file.Read(*v);
    file.Read(m.motionRect);
    file.Read(m.movedX);
    file.Read(m.movedY);
    for (std::uint32_t* v : {&m.accuracy, &m.minimum, &m.maximum}) file.Read(*v);
    file.Read(m.doubleClicked0);
    file.Read(m.doubleClicked1);
    for (std::uint32_t& v : m.firstPress) file.Read(v);
}

String WindowTitle() {
    if (_Ghwnd == nullptr || !qel::IsWindow(_Ghwnd)) return String();
    const std::string& text = _Ghwnd->Title();
    return String(text.substr(0, MaxTitleLength).c_str());
}

// The level's sound and particle lists, in their stored order.
std::array<List*, 4> OtherLists(GameNode& level) {
    return {&level.Sounds(), &level.StreamedSounds(), &level.MidiFiles(), &level.ParticleSystems()};
}

// A transition that the engine has not made is saved as a new one would be.
template <class Transition>
void SaveTransition(File& file, Transition* transition) {
    if (transition != nullptr) {
        transition->Save(file);
    } else {
        Transition idle;
        idle.Save(file);
    }
}

template <class Transition>
void ApplyTransition(Transition* transition, const Transition& loaded) {
    if (transition != nullptr) *transition = loaded;
}

void MoveList(List& from, List& to) {
    to.del();
    while (from.Count() > 0) {
        node* n = from.Head();
        from.remove(n);
        to.add(n, to.Sentinel());
    }
}

}  // namespace

LevelRecord::~LevelRecord() {
    delete gameLocal;
    if (previousPalette) {
        paletteBitmapName = *previousPalette;
        SetDisplayPalette();
    }
}

// The level's palette is in use while its bitmaps are read; a record that is
// not applied gives the previous one back.
void LevelRecord::UsePalette(const String& name) {
    if (!previousPalette) previousPalette = paletteBitmapName;
    paletteBitmapName = name;
    SetDisplayPalette();
}

void LevelRecord::Write(File& file, GameNode& level) {
    file.Write(level.worldWidth);
    file.Write(level.worldHeight);
    level.behavior.Save(file);
    WriteMouse(file, pMouse != nullptr ? pMouse->Record() : MouseRecord());
    file.Write(level.framesPerSecond);
    file.Write(level.period);
    file.Write(static_cast<node*>(pMainCharacter));
    file.Write(pQelCursor != nullptr);
    level.paletteName.Save(file);
    file.Write(level.showScrollingBox);
    file.Write(level.quitOnEscape);
    for (std::int32_t counter : level.counters) file.Write(counter);
    level.maps.Save(file);
    for (List& list : level.displayLists) list.Save(file);
    level.variables.Save(file);
    for (List* list : OtherLists(level)) list->Save(file);
    level.viewPort.Save(file);
    file.Write(pQelCursor != nullptr);
    if (pQelCursor != nullptr) {
        pQelCursor->Save(file);
        file.Write(myGame->ShowCursor());
    }
    file.Write(level.levelChangeCalled);
    file.Write(std::int32_t(myGame->LevelNumber()));
    file.Write(myGame->ChangePending());
    SaveTransition(file, Effect_GammaRamp);
    SaveTransition(file, Effect_OpenClose);
    SaveTransition(file, Effect_RandomDissolve);
    FloatGenerator().Save(file);
    IntegerGenerator().Save(file);
    Variable::TextEffectGenerator().Save(file);
    myGame->GetBehavior().Save(file);
    file.Write(_IsWindowed);
    WindowTitle().Save(file);
    file.Write(myGame->LocalVariableIndex());
    file.Write(myGame->LocalVariable());
    file.Write(level.localVariableIndex);
    file.Write(level.localVariable);
}

bool LevelRecord::Read(File& file, GameNode& into, GameNode& owner) {
    // The sprites of the record are checked against the level's own actor
    // table, so it is built first; its bitmaps follow the level's palette.
    if (!BuildActors(file, into, owner)) return false;
    {
        // What the record refers to belongs to the level (or to the record),
        // not to the code that asked for the load.
        File::InPlace level(file, into);
        ReadItems(file, into);
    }
    // A rate of 0 makes no frame period; a level number naming no level would
    // send the next level switch nowhere.
    if (into.framesPerSecond == 0 || Game::Search(gameLevelNumber) == nullptr) file.SetError();
    if (!BelongsTo(owner)) file.SetError();
    // An object that no part of the level owns would be freed with the file
    // while something read may still point at it.
    if (file.Unclaimed() > 0) file.SetError();
    return CheckMainCharacter(file, into) && !file.HasError();
}

// Unless a change was pending when it was saved, the record names its own
// level in the game's level number. A record filed under another level's
// number would put one level's contents into another.
bool LevelRecord::BelongsTo(const GameNode& owner) const {
    return gameChangePending || gameLevelNumber == owner.Id() - 1;
}

void LevelRecord::ReadItems(File& file, GameNode& into) {
    file.Read(into.worldWidth);
    file.Read(into.worldHeight);
    loading.emplace();
    into.behavior.Load(file);
    ReadMouse(file, mouse);
    file.Read(into.framesPerSecond);
    file.Read(into.period);
    file.Read(mainCharacter);
    bool hasCursor = false;
    file.Read(hasCursor);
    // Made now as the level would make it; it takes its saved state below.
    if (hasCursor) cursor = std::make_unique<QelCursor>();
    into.paletteName.Load(file);
    if (!IsConfinedAssetName(into.paletteName)) file.SetError();
    if (file.HasError()) return;
    UsePalette(into.paletteName);
    LoadActorSurfaces();
    file.Read(into.showScrollingBox);
    file.Read(into.quitOnEscape);
    for (std::int32_t& counter : into.counters) file.Read(counter);
    // The frame step, the sprites and the sounds take each list's elements as
    // their own class: anything else in a list makes the record corrupt.
    into.maps.LoadOnly<Map>(file);
    for (List& list : into.displayLists) list.LoadOnly<Sprite>(file);
    into.variables.LoadOnly<Variable>(file);
    TakeFpsVisibility(file, into);
    into.sounds.LoadOnly<Sound>(file);
    into.streamedSounds.LoadOnly<StreamedSound>(file);
    into.midiFiles.LoadOnly<MidiFile>(file);
    into.particleSystems.LoadOnly<ParticleSystem>(file);
    into.viewPort.Load(file);
    file.Read(hasCursor);
    if (hasCursor != (cursor != nullptr)) file.SetError();
    if (file.HasError()) return;
    if (cursor) {
        // Only its state: it becomes the current cursor when the record is applied.
        cursor->Load(file);
        file.Read(cursorShown);
    }
    file.Read(into.levelChangeCalled);
    file.Read(gameLevelNumber);
    file.Read(gameChangePending);
    gammaRamp.Load(file);
    openClose.Load(file);
    randomDissolve.Load(file);
    floatGenerator.Load(file);
    integerGenerator.Load(file);
    textEffectGenerator.Load(file);
    gameBehavior.Load(file);
    file.Read(windowed);
    title.Load(file);
    file.Read(gameLocalIndex);
    ReadOwned(file, gameLocal);
    file.Read(into.localVariableIndex);
    delete into.localVariable;
    into.localVariable = nullptr;
    ReadOwned(file, into.localVariable);
}

bool LevelRecord::BuildActors(File& file, GameNode& into, GameNode& owner) {
    EmptyActorTable();
    delete _LevelFile;
    _LevelFile = nullptr;
    if (!owner.LevelFileName.empty()) {
        if (!CanOpenForReading(owner.LevelFileName)) {
            file.SetError();
            return false;
        }
        _LevelFile = new File(owner.LevelFileName, File::Reading);
    }
    // The owner's builder fills the level being read, the current one while it
    // runs: the sounds it adds are then found, and come in with the record.
    if (&into != &owner) into.LevelFileName = owner.LevelFileName;
    if (owner.BuildActorsP != nullptr) owner.BuildActorsP(&into);
    delete _LevelFile;
    _LevelFile = nullptr;
    return true;
}

// The fresh "FPS" text keeps the shown state of the saved one, which comes
// back under the name "FPS_COPY".
void LevelRecord::TakeFpsVisibility(File& file, GameNode& level) {
    Variable* fps = nullptr;
    Variable* copy = nullptr;
    for (node* n = level.variables.Head(); !n->EOList(); n = n->Next()) {
        Variable* v = static_cast<Variable*>(n);
        if (fps == nullptr && std::strcmp(v->Name(), "FPS") == 0) fps = v;
        if (copy == nullptr && std::strcmp(v->Name(), "FPS_COPY") == 0) copy = v;
    }
    if (copy == nullptr) return;
    if (fps != nullptr) fps->Visible(copy->Visible());
    // The file must not hand the deleted copy to a later reference.
    file.Forget(copy);
    level.variables.del(copy);
}

bool LevelRecord::IsInDisplayLists(GameNode& level, const node* sprite) {
    for (List& list : level.displayLists)
        for (node* n = list.Head(); !n->EOList(); n = n->Next())
            if (n == sprite) return true;
    return false;
}

// The main character is one of the level's sprites, or none.
bool LevelRecord::CheckMainCharacter(File& file, GameNode& level) {
    if (mainCharacter == nullptr || IsInDisplayLists(level, mainCharacter)) return true;
    // Owned by nothing when no list took it: it goes with the record.
    if (file.Claim(mainCharacter)) delete mainCharacter;
    mainCharacter = nullptr;
    file.SetError();
    return false;
}

void LevelRecord::ReadOwned(File& file, node*& slot) {
    node* p = nullptr;
    file.Read(p);
    if (!file.Claim(p)) {
        file.SetError();
        return;
    }
    slot = p;
}

void LevelRecord::MoveContents(GameNode& staged, GameNode& level) {
    level.worldWidth = staged.worldWidth;
    level.worldHeight = staged.worldHeight;
    level.behavior = staged.behavior;
    level.framesPerSecond = staged.framesPerSecond;
    level.period = staged.period;
    level.paletteName = staged.paletteName;
    level.showScrollingBox = staged.showScrollingBox;
    level.quitOnEscape = staged.quitOnEscape;
    for (int i = 0; i < GameNode::CounterCount; ++i) level.counters[i] = staged.counters[i];
    MoveList(staged.maps, level.maps);
    for (int i = 0; i < GameNode::DisplayListCount; ++i) MoveList(staged.displayLists[i], level.displayLists[i]);
    MoveList(staged.variables, level.variables);
    const std::array<List*, 4> from = OtherLists(staged), to = OtherLists(level);
    for (std::size_t i = 0; i < from.size(); ++i) MoveList(*from[i], *to[i]);
    level.viewPort = staged.viewPort;
    level.levelChangeCalled = staged.levelChangeCalled;
    level.localVariableIndex = staged.localVariableIndex;
    delete level.localVariable;
    level.localVariable = staged.localVariable;
    staged.localVariable = nullptr;
}

void LevelRecord::Apply(GameNode& level) {
    // The level's cursor is the record's (none when it holds none); it takes
    // its sprite from the level before the mouse gets its saved state.
    level.DeleteQelCursor();
    if (cursor) {
        cursor->AdoptOrAddSpriteCursor();
        pQelCursor = cursor.release();
        myGame->ShowCursor(cursorShown);
    }
    if (pMouse != nullptr) pMouse->Restore(mouse);
    pMainCharacter = static_cast<Sprite*>(mainCharacter);
    mainCharacter = nullptr;
    previousPalette.reset();
    myGame->levelNumber = gameLevelNumber;
    myGame->ChangePending(gameChangePending);
    ApplyTransition(Effect_GammaRamp, gammaRamp);
    ApplyTransition(Effect_OpenClose, openClose);
    ApplyTransition(Effect_RandomDissolve, randomDissolve);
    FloatGenerator() = floatGenerator;
    IntegerGenerator() = integerGenerator;
    Variable::TextEffectGenerator() = textEffectGenerator;
    myGame->GetBehavior() = gameBehavior;
    if (windowed != _IsWindowed) {
        loading.reset();
        ToggleFullScreen();
        qel::Sleep(1000);
        sound::RestartWantedMidiFiles(level);
    }
    myGame->Title(title);
    loading.reset();
    delete myGame->localVariable;
    myGame->localVariable = gameLocal;
    gameLocal = nullptr;
    myGame->localVariableIndex = gameLocalIndex;
}

void GameNode::Save(File& file) { LevelRecord::Write(file, *this); }

void GameNode::Load(File& file) {
    // A level inside another object's data would be read as engine-wide
    // state that the outer read may still refuse; no save holds one.
    if (file.IsLoading(this)) {
        file.SetError();
        return;
    }
    LevelRecord record;
    if (record.Read(file, *this, *this)) record.Apply(*this);
}
