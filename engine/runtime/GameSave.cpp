// Save games: the requests of Game, carried out at the start of the next frame.
// A save file is the magic, the game program's own data, the current level's
// number and the level's record. A file is read whole and checked before it
// replaces the running level, so a bad file changes nothing.
#include <chrono>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "display/DisplayInternal.h"
#include "foundation/File.h"
#include "foundation/Random.h"
#include "foundation/Variable.h"
#include "platform/HeapTuning.h"
#include "platform/ScratchFile.h"
#include "platform/Window.h"
#include "runtime/DialogInputPauseInternal.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/FileDialogInternal.h"
#include "runtime/GameFilesInternal.h"
#include "runtime/Game.h"
#include "runtime/GameNode.h"
#include "runtime/LevelRecordInternal.h"
#include "runtime/ReplayFileInternal.h"
#include "runtime/WholeFileInternal.h"
#include "sprites/SpriteListInternal.h"

using namespace gamefiles;

namespace {

constexpr int MagicSize = 7;
constexpr char SavedThroughDialog[] = "QEL_SAV";
constexpr char SavedByName[] = "QEL_SAR";

void WriteSave(File& file, const char* magic) {
    file.Write(magic, MagicSize);
    if (OnSaveP != nullptr) OnSaveP(file);
    file.Write(std::int32_t(gNode->Id() - 1));
    gNode->Save(file);
}

bool SaveTo(const char* name, const char* magic) {
    if (gNode == nullptr) return false;
    return WriteWholeFile(name, [magic](File& file) { WriteSave(file, magic); });
}

// A file that is there but does not start as a replay file does.
bool IsNoReplayFile(const char* name) { return CanOpenForReading(name) && !ReplayFile::HasMagic(name); }

// The state file of a pair loaded by LoadReplay.
bool IsStateOfReplay(const char* state, const char* replay) { return StateFileOfReplay(replay) == state; }

bool KnownMagic(const char* magic) {
    return std::memcmp(magic, SavedThroughDialog, MagicSize) == 0 || std::memcmp(magic, SavedByName, MagicSize) == 0;
}

// The game program's own data as they were before a load, so that a file found
// bad after its hook has read them can give them back. They are kept in
// memory where the system allows, so a full or read-only temporary folder
// does not cost them.
class ProgramDataSnapshot {
public:
    ProgramDataSnapshot() {
        if (OnSaveP == nullptr || OnLoadP == nullptr) return;
        if (scratch.Made()) {
            File file(scratch.Path().c_str(), File::Writing);
            OnSaveP(file);
            saved = file.Close();
            return;
        }
        static std::uint32_t taken = 0;
        const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
        std::error_code error;
        path = (std::filesystem::temp_directory_path(error) /
                ("qel-gamedata-" + std::to_string(stamp) + "-" + std::to_string(++taken) + ".tmp"))
                   .string();
        saved = !error && WriteWholeFile(path.c_str(), [](File& file) { OnSaveP(file); });
    }
    ~ProgramDataSnapshot() {
        if (saved && !scratch.Made()) RemoveFile(path.c_str());
    }
    ProgramDataSnapshot(const ProgramDataSnapshot&) = delete;
    ProgramDataSnapshot& operator=(const ProgramDataSnapshot&) = delete;

    void Restore() {
        const char* name = scratch.Made() ? scratch.Path().c_str() : path.c_str();
        if (!saved || !CanOpenForReading(name)) return;
        File file(name, File::Reading);
        OnLoadP(file);
    }

private:
    qel::ScratchFile scratch;
    std::string path;
    bool saved = false;
};

// The running level's actor table, kept aside while the table of the level in
// a save file is built and the file is checked against it.
class ActorTableAside {
public:
    ActorTableAside() : slots(ActorTableSize) { Swap(); }
    // The table goes back as it was (the other one is destroyed).
    void PutBack() {
        EmptyActorTable();
        Swap();
    }
    // The kept table is destroyed; the new one stays.
    void Discard() {
        Swap();
        EmptyActorTable();
        Swap();
    }

private:
    struct Slot {
        std::int32_t count = 0;
        AnimationElem* animations = nullptr;
    };
    void Swap() {
        for (int i = 0; i < ActorTableSize; ++i) {
            std::swap(SpriteList[i].AnimationCount, slots[std::size_t(i)].count);
            std::swap(SpriteList[i].Animations, slots[std::size_t(i)].animations);
        }
    }
    std::vector<Slot> slots;
};

// Network workers read the current level under the queue lock.
void MakeCurrent(GameNode* level) {
    std::lock_guard<qel::CriticalSection> hold(NetQueueLock);
    gNode = level;
}

}  // namespace

// --- requests ---

void Game::SaveGame(const char* fileName) {
    if (OnNetworkLevel()) return;
    recording = false;
    saveRequested = true;
    if (fileName != nullptr) saveFileName = fileName;
}

void Game::SaveGame() {
    if (OnNetworkLevel()) return;
    recording = false;
    saveRequested = true;
}

void Game::LoadGame(const char* fileName) {
    if (OnNetworkLevel()) return;
    recording = false;
    loadRequested = true;
    if (fileName != nullptr) loadFileName = fileName;
}

void Game::LoadGame() {
    if (OnNetworkLevel()) return;
    recording = false;
    loadRequested = true;
}

// --- carried out ---

void Game::RealSaveGame() {
    if (!saveFileName.empty()) {
        // A save that cannot be written whole leaves the old file as it was.
        // A replay does not start without the state it is to return to.
        if (!SaveTo(saveFileName, SavedByName)) {
            ErrorBox(MsgErrorSaving);
            if (replayStarting) CancelLoad();
        }
    } else {
        DialogInputPause paused;
        SaveGameDialog();
    }
    saveRequested = false;
    saveFileName = "";
}

void Game::SaveGameDialog() {
    qel::ShowCursor(true);
    std::string name;
    if (ChooseFileName({true, {{"Saved Files (*.sav)", "*.sav"}}, "sav"}, name)) {
        if (!HasExtension(name, ".sav") || !SaveTo(name.c_str(), SavedThroughDialog)) ErrorBox(MsgErrorSaving);
    }
    qel::ShowCursor(false);
}

void Game::RealLoadGame() {
    if (loadFileName.empty()) {
        {
            DialogInputPause paused;
            LoadGameDialog();
        }
        loadRequested = false;
        loadFileName = "";
        return;
    }
    // A replay's input is read and checked before its starting state is loaded.
    // A file that is no replay at all gives up its input only: the state named
    // with it loads all the same, and the replay, with nothing to play, ends.
    ReplayFile replay;
    bool good = true, saidSo = false;
    if (inputDataRequested) {
        if (IsNoReplayFile(inputDataFileName)) {
            ErrorBox(MsgErrorLoadingReplay);
            saidSo = true;
        } else {
            good = replay.Read(inputDataFileName);
        }
    }
    if (good) good = LoadSaveFile(loadFileName);
    if (!good) {
        // A game that cannot be loaded is not a replay: only a replay's load
        // says so, and a bad replay is reported once.
        if (!saidSo) ErrorBox(inputDataRequested || replayStarting ? MsgErrorLoadingReplay : MsgErrorLoading);
        CancelLoad();
        return;
    }
    // A later replay of the same input starts from the same state.
    if (inputDataRequested && IsStateOfReplay(loadFileName, inputDataFileName))
        CopyWholeFile(loadFileName, StartRecordingState());
    loadRequested = false;
    loadFileName = "";
    replayStarting = false;
    if (inputDataRequested) replay.MoveInto(gNode->Recorded());
    inputDataFileName = "";
    inputDataRequested = false;
    if (slowReplay) {
        const unsigned int slowed = gNode->FramesPerSecond() / 4;
        gNode->FPStoMS(slowed < 15 ? 15 : slowed);
        slowReplay = false;
    }
}

void Game::LoadGameDialog() {
    qel::ShowCursor(true);
    std::string name;
    if (ChooseFileName({false, {{"Load Files (*.sav)", "*.sav"}}, "sav"}, name)) {
        // The dialog leaves no trace on the screen.
        ClearBackBuffer();
        if (gNode != nullptr) gNode->UpdateScreen();
        if (!HasExtension(name, ".sav") || !LoadSaveFile(name.c_str())) ErrorBox(MsgErrorLoading);
    }
    qel::ShowCursor(false);
}

// A failed load leaves the game as it was: no load is pending any more, and a
// replay that was to start from the file does not start.
void Game::CancelLoad() {
    loadRequested = false;
    loadFileName = "";
    inputDataRequested = false;
    inputDataFileName = "";
    if (replayStarting) {
        replayMode = false;
        slowReplay = false;
        replayStarting = false;
    }
}

bool Game::LoadSaveFile(const char* name) {
    if (!CanOpenForReading(name)) return false;
    File file(name, File::Reading);
    char magic[MagicSize] = {};
    file.Read(magic, MagicSize);
    if (file.HasError() || !KnownMagic(magic)) return false;

    ProgramDataSnapshot programData;
    if (OnLoadP != nullptr) OnLoadP(file);
    std::int32_t stored = 0;
    file.Read(stored);
    GameNode* target = Search(stored);
    if (file.HasError() || target == nullptr) {
        programData.Restore();
        return false;
    }

    // The record is read into a level of its own, against the actor table of
    // the level it belongs to; the running level stays untouched meanwhile.
    ActorTableAside runningActors;
    // Building the staged level reseeds the text-effect generator: a refused
    // save puts all three generators back as they were.
    const Random floatKept = FloatGenerator(), integerKept = IntegerGenerator(),
                 textEffectKept = Variable::TextEffectGenerator();
    GameNode* running = gNode;
    GameNode* staged = new GameNode();
    MakeCurrent(staged);
    LevelRecord record;
    // Every byte belongs to the record: a longer file was not written for it.
    const bool good = record.Read(file, *staged, *target) && file.BytesLeft() == 0;
    MakeCurrent(running);
    if (!good) {
        delete staged;
        runningActors.PutBack();
        programData.Restore();
        FloatGenerator() = floatKept;
        IntegerGenerator() = integerKept;
        Variable::TextEffectGenerator() = textEffectKept;
        return false;
    }

    pMainCharacter = nullptr;
    if (running != nullptr) running->Empty();
    runningActors.Discard();
    RecordLoadInHistory(stored);
    MakeCurrent(target);
    // This frame is timed from its start, as in the level it began in.
    if (running != nullptr) target->FrameStart(running->FrameStart());
    ShowCursor(false);
    LevelRecord::MoveContents(*staged, *target);
    delete staged;
    record.Apply(*target);
    // As after a level switch: what the level left held goes back.
    qel::GiveBackFreeHeap();
    return true;
}

void Game::RecordLoadInHistory(std::int32_t loaded) {
    if (!navigating) {
        DropForwardHistory();
        if (levelNumber != loaded) {
            LevelHistory.Add(loaded);
            ++historyIndex;
        }
    }
    navigating = false;
}
