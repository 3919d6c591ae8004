#include "runtime/Game.h"

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "foundation/FloatToInt.h"
#include "foundation/MessageTable.h"
#include "foundation/UserError.h"
#include "input/EngineInputSessionInternal.h"
#include "input/Mouse.h"
#include "input/QelCursor.h"
#include "network/NetSession.h"
#include "platform/Paths.h"
#include "platform/Sync.h"
#include "platform/Window.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/GameNode.h"
#include "sprites/Sprite.h"
#include "sprites/SpritePTR.h"

List Game::gameNodeList;

namespace {

constexpr int MsgLevelNumber = 21;
constexpr int MsgLevelName = 22;

void RemoveStateFile(const char* name) {
    std::error_code error;
    std::filesystem::remove(qel::NativePath(workingDirectory + String(name)), error);
}

}  // namespace

Game::Game() { UseEngineInputSession(); }

Game::~Game() {
    delete localVariable;
    localVariable = nullptr;
    // The state files of recording and replay are written into the working
    // directory, so they are removed from there.
    RemoveStateFile("/gamesavestartrecording.sat");
    RemoveStateFile("/gamesavewhenreplay.sat");
    LevelHistory.Free();
    CloseNetworkSession();
    // Worker threads still running are joined by their own destruction,
    // outside the lock, which a finishing worker may still want.
    std::vector<std::unique_ptr<qel::WorkerThread>> remaining;
    {
        std::lock_guard<std::mutex> hold(threadsLock);
        remaining.swap(threads);
    }
    remaining.clear();
}

// --- levels ---

void Game::Add(GameNode* level) {
    if (level == nullptr) return;
    for (node* n = gameNodeList.Head(); !n->EOList(); n = n->Next())
        if (static_cast<GameNode*>(n)->Id() == level->Id()) return;
    gameNodeList.add(level);
}

void Game::Add(const GameNode& level) {
    for (node* n = gameNodeList.Head(); !n->EOList(); n = n->Next())
        if (static_cast<GameNode*>(n)->Id() == level.Id()) return;
    gameNodeList.add(new GameNode(level));
}

GameNode* Game::Search(int n) {
    for (node* p = gameNodeList.Head(); !p->EOList(); p = p->Next()) {
        GameNode* level = static_cast<GameNode*>(p);
        if (static_cast<long long>(level->Id()) == static_cast<long long>(n) + 1) return level;
    }
    return nullptr;
}

node* Game::Search(const char* text) {
    if (text == nullptr) return nullptr;
    if (text[0] == '\0') return myGame;
    for (node* p = gameNodeList.Head(); !p->EOList(); p = p->Next()) {
        GameNode* level = static_cast<GameNode*>(p);
        if (level->Name() == String(text)) return level;
    }
    return nullptr;
}

// --- level-change requests ---

void Game::LevelNumber(int n) {
    previousLevelNumber = levelNumber;
    if (Search(n) == nullptr) {
        UserError::Report("void Game::LevelNumber(int)", MessageTable[MsgLevelNumber], n);
        return;
    }
    levelNumber = n;
    changePending = true;
    if (gNode != nullptr && gNode->OnLevelChangeP != nullptr && !gNode->LevelChangeCalled()) {
        gNode->LevelChangeCalled(true);
        gNode->OnLevelChangeP(gNode);
    }
}

void Game::LevelName(const char* text) {
    // A level without a name cannot be asked for by name (the empty text
    // stands for the game itself).
    GameNode* level = text != nullptr && text[0] != '\0' ? static_cast<GameNode*>(Search(text)) : nullptr;
    if (level == nullptr) {
        UserError::Report("void Game::LevelName(const char *)", MessageTable[MsgLevelName], text ? text : "");
        return;
    }
    LevelNumber(level->Id() - 1);
}

const char* Game::LevelName() const { return gNode != nullptr ? gNode->Name() : ""; }

// Next, previous and restart take the current level's own Id, so levels
// without names (or sharing one) are found all the same.
void Game::NextLevel() {
    if (gNode != nullptr && gNode->Id() < gameNodeList.Count()) LevelNumber(gNode->Id());
}

void Game::PreviousLevel() {
    if (gNode != nullptr && gNode->Id() > 1) LevelNumber(gNode->Id() - 2);
}

void Game::RestartLevel() {
    if (gNode != nullptr) LevelNumber(gNode->Id() - 1);
}

void Game::BackwardLevel() {
    if (historyIndex <= 0) return;
    navigating = true;
    LevelNumber(LevelHistory[historyIndex - 1]);
    --historyIndex;
}

void Game::ForwardLevel() {
    if (historyIndex + 1 >= static_cast<std::int32_t>(LevelHistory.Size())) return;
    navigating = true;
    LevelNumber(LevelHistory[historyIndex + 1]);
    ++historyIndex;
}

void Game::EndGame() { _IsQuitting = true; }

void Game::DropForwardHistory() {
    const std::int64_t keep = std::int64_t(historyIndex) + 1;
    if (std::int64_t(LevelHistory.Size()) <= keep) return;
    Array<std::int32_t> kept;
    for (std::int64_t i = 0; i < keep; ++i) kept.Add(LevelHistory[static_cast<unsigned int>(i)]);
    LevelHistory = kept;
}

void Game::RecordSwitchInHistory() {
    if (!navigating) {
        DropForwardHistory();
        if (levelNumber != previousLevelNumber) {
            LevelHistory.Add(levelNumber);
            ++historyIndex;
        }
    }
    navigating = false;
}

// --- the game and the current level ---

void Game::Name(const char* text) {
    if (text != nullptr) name = text;
}

void Game::Title(const char* text) {
    if (_Ghwnd != nullptr && qel::IsWindow(_Ghwnd)) _Ghwnd->SetTitle(text != nullptr ? text : "");
}

bool Game::IsFullScreen() const { return !_IsWindowed; }

void Game::ShowCursor(bool show) {
    cursorShown = show;
    SpritePTR cursor("QEL_CURSOR_ROSRUC_");
    cursor->Unused(!show);
    if (pQelCursor != nullptr && pMouse != nullptr)
        pMouse->Locate(pQelCursor->ViewportPositionX(), pQelCursor->ViewportPositionY());
}

Behavior* Game::GetCurrentLevelBehavior() { return gNode != nullptr ? &gNode->GetBehavior() : nullptr; }

unsigned int Game::WorldWidth() const { return gNode != nullptr ? gNode->WorldWidth() : 0; }

unsigned int Game::WorldHeight() const { return gNode != nullptr ? gNode->WorldHeight() : 0; }

int Game::ViewportWidth() const { return gNode != nullptr ? TruncToInt32(gNode->GetViewPort().Width()) : 0; }

int Game::ViewportHeight() const { return gNode != nullptr ? TruncToInt32(gNode->GetViewPort().Height()) : 0; }

int Game::ViewPortPositionX() const { return gNode != nullptr ? TruncToInt32(gNode->GetViewPort().WorldXPos()) : 0; }

int Game::ViewPortPositionY() const { return gNode != nullptr ? TruncToInt32(gNode->GetViewPort().WorldYPos()) : 0; }

void Game::ViewPortPosition(unsigned int x, unsigned int y, bool moveMainCharacter) {
    if (gNode != nullptr) gNode->ViewPortPosition(x, y, moveMainCharacter);
}

void Game::AddLocalVariable(unsigned int index) {
    AttachLocalData(index, "void Game::AddLocalVariable(unsigned int index)", localVariable, localVariableIndex);
}

// --- network ---

int Game::HostNetworkSession(_GUID application, unsigned long port, const char* session, const char* player) {
    return net::Host(application, port, session, player);
}

int Game::JoinNetworkSession(_GUID application, const char* host, unsigned long port, const char* player) {
    return net::Join(application, host, port, player);
}

void Game::CloseNetworkSession() { net::Close(); }

void Game::AddToQOut(unsigned char type, unsigned char* data, unsigned int size) { net::AddToQOut(type, data, size); }

void Game::SendQOut() { net::SendQOut(); }

void Game::ClearQOut() { net::ClearQOut(); }

void Game::ReceivedFromPlayers(bool received) {
    std::lock_guard<qel::CriticalSection> lock(NetQueueLock);
    receivedFromPlayers = received;
}

bool Game::ReceivedFromPlayers() {
    std::lock_guard<qel::CriticalSection> lock(NetQueueLock);
    return receivedFromPlayers;
}

void Game::AddThread(std::unique_ptr<qel::WorkerThread> thread) {
    if (!thread) return;
    std::lock_guard<std::mutex> hold(threadsLock);
    threads.push_back(std::move(thread));
}

void Game::ReapFinishedThreads() {
    std::lock_guard<std::mutex> hold(threadsLock);
    std::erase_if(threads, [](const std::unique_ptr<qel::WorkerThread>& t) { return t->CloseIfFinished(); });
}

std::size_t Game::ThreadCount() const {
    std::lock_guard<std::mutex> hold(threadsLock);
    return threads.size();
}
