// The one object that stands for the whole game: its levels, the current level
// number with a pending request to change it, the history of visited levels,
// the game-wide behaviour and local data, and the game side of network play.
// Requests are only recorded here; the main loop carries the switch out.
#pragma once
#include <cstdint>
#include <memory>
#include <vector>
#include "QelExport.h"
#include "foundation/Array.h"
#include "foundation/List.h"
#include "foundation/Node.h"
#include "foundation/String.h"
#include "logic/Behavior.h"

class GameNode;
class NetworkComponent;
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

    // --- network (the component itself comes with network play) ---
    void CloseNetworkSession();
    void ReceivedFromPlayers(bool received);
    bool ReceivedFromPlayers();
    // Worker threads started for network play; finished ones are reaped each frame.
    void AddThread(std::unique_ptr<qel::WorkerThread> thread);
    void ReapFinishedThreads();
    std::size_t ThreadCount() const { return threads.size(); }

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
    std::int32_t ReplayExitKey = 62;
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
    static void PopHistory(Array<std::int32_t>& history);

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
    NetworkComponent* networkComponent = nullptr;
    bool receivedFromPlayers = false;
    std::vector<std::unique_ptr<qel::WorkerThread>> threads;
};
