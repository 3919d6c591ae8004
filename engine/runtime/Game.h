// The one object that stands for the whole game: its levels, the current level
// number with a pending request to change it, the history of visited levels,
// the game-wide behaviour and local data, and the game side of network play.
// Requests are only recorded here; the main loop carries the switch out.
#pragma once
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>
#include "QelExport.h"
#include "foundation/Array.h"
#include "foundation/List.h"
#include "foundation/Node.h"
#include "foundation/String.h"
#include "logic/Behavior.h"

class GameNode;
class NetworkComponent;
struct _GUID;
namespace qel {
class WorkerThread;
}

class QEL_API Game : public node {
public:
    Game();
    ~Game() override;
    Game(const Game&) = delete;
    Game& operator=(const Game&) = delete;

    // Every level; the newest first. Owns the levels.
    static List gameNodeList;

    // --- levels ---
    // Adds the level at the head unless one with its Id is listed (then the
    // caller keeps it).
    void Add(GameNode* level);
    // The same with a new copy of the level.
    void Add(const GameNode& level);
    // The level of Id n + 1, or null.
    static GameNode* Search(int n);
    // "" answers the Game itself; otherwise the level of that name, or null.
    static node* Search(const char* name);

    // --- level-change requests ---
    void LevelNumber(int n);
    int LevelNumber() const { return levelNumber; }
    void LevelName(const char* name);
    const char* LevelName() const;
    void NextLevel();
    void PreviousLevel();
    void RestartLevel();
    void BackwardLevel();
    void ForwardLevel();
    void EndGame();

    // --- the game and the current level ---
    void Name(const char* name);
    const char* Name() const { return name; }
    // The window's title (not stored).
    void Title(const char* text);
    bool IsFullScreen() const;
    void ShowCursor(bool show);
    bool ShowCursor() const { return cursorShown; }
    Behavior* GetCurrentLevelBehavior();
    Behavior& GetBehavior() { return behavior; }
    unsigned int WorldWidth() const;
    unsigned int WorldHeight() const;
    int ViewportWidth() const;
    int ViewportHeight() const;
    int ViewPortPositionX() const;
    int ViewPortPositionY() const;
    void ViewPortPosition(unsigned int x, unsigned int y, bool moveMainCharacter);
    void AddLocalVariable(unsigned int index);
    node* LocalVariable() const { return localVariable; }
    std::int32_t LocalVariableIndex() const { return localVariableIndex; }

    // --- network: the session of a networked level ---
    // -1 when a session exists already; otherwise hosting's (joining's) result,
    // and a failed session is closed at once.
    int HostNetworkSession(_GUID application, unsigned long port, const char* session, const char* player);
    int JoinNetworkSession(_GUID application, const char* host, unsigned long port, const char* player);
    void CloseNetworkSession();
    // The frame's input records for the other players, when there is a session.
    void AddToQOut(unsigned char type, unsigned char* data, unsigned int size);
    void SendQOut();
    void ClearQOut();
    void ReceivedFromPlayers(bool received);
    bool ReceivedFromPlayers();
    // Worker threads started for network play; finished ones are reaped each frame.
    void AddThread(std::unique_ptr<qel::WorkerThread> thread);
    void ReapFinishedThreads();
    std::size_t ThreadCount() const;

    // --- save games: requests run at the start of the next frame, save first ---
    // With a name the file is written silently; without one the player picks
    // it. Refused on a network level; recording stops.
    void SaveGame(const char* fileName);
    void SaveGame();
    void LoadGame(const char* fileName);
    void LoadGame();
    // What the frame step carries out.
    void RealSaveGame();
    void RealLoadGame();
    void SaveGameDialog();
    void LoadGameDialog();
    // Asks for a .bmp or .jpg name and writes the back buffer there.
    void SaveScreenShot();

    // --- input recording and replay (nothing on a network level) ---
    void StartRecording();
    void StopRecording();
    // Replays this level's recording from its starting state, then returns
    // to the state of the moment it began; slow runs at a quarter speed.
    void Replay(bool slow);
    bool ReplayMode() const { return replayMode; }
    void ReplayExitKey(int key) { replayExitKey = key; }
    int ReplayExitKey() const { return replayExitKey; }
    // "name.rep" holds the input, "name.sar" the starting state.
    void SaveReplay(const char* name);
    void SaveReplay();
    void LoadReplay(const char* name, bool slow);
    void LoadReplay(const char* name);
    void LoadReplay();
    // The next load also reads the input of this replay file.
    void LoadInputData(const char* name);
    void SaveReplayDialog();
    void LoadReplayDialog();

    // --- what the main loop's level switch reads and writes ---
    bool ChangePending() const { return changePending; }
    void ChangePending(bool pending) { changePending = pending; }
    int PreviousLevelNumber() const { return previousLevelNumber; }
    // History step of a switch: drops forward entries and pushes the new level
    // unless the change came from BackwardLevel/ForwardLevel.
    void RecordSwitchInHistory();
    const Array<std::int32_t>& History() const { return LevelHistory; }
    std::int32_t HistoryIndex() const { return historyIndex; }

    // Fields read and written by input recording, replay and save games.
    std::int32_t replayExitKey = 62;
    std::uint32_t replayFrameRate = 0;
    bool recording = false;
    bool replayMode = false;
    bool loadRequested = false;
    bool saveRequested = false;
    bool inputDataRequested = false;
    bool slowReplay = false;
    String loadFileName;
    String saveFileName;
    String inputDataFileName;

private:
    friend class LevelRecord;

    // Drops the entries after the history index.
    void DropForwardHistory();
    // A load's history step: as a switch's, for the loaded level.
    void RecordLoadInHistory(std::int32_t loaded);
    // Reads a save file whole and, only when all of it is sound, makes its
    // level the current one; false (nothing changed) otherwise.
    bool LoadSaveFile(const char* name);
    // A refused load leaves no request behind and starts no replay.
    void CancelLoad();
    void StartReplayMode(bool slow);

    // A replay was asked for and its starting state is not loaded yet.
    bool replayStarting = false;

    bool cursorShown = false;
    Array<std::int32_t> LevelHistory;
    bool navigating = false;
    std::int32_t historyIndex = -1;
    std::int32_t localVariableIndex = -1;
    std::int32_t levelNumber = 0;
    std::int32_t previousLevelNumber = -1;
    bool changePending = true;
    String name;
    Behavior behavior;
    bool receivedFromPlayers = false;
    // Network workers add threads from the session's own thread.
    mutable std::mutex threadsLock;
    std::vector<std::unique_ptr<qel::WorkerThread>> threads;
};
