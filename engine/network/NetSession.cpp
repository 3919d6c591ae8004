#include "network/NetSession.h"

#include <string>
#include <vector>
#include "input/Keyboard.h"
#include "input/Mouse.h"
#include "network/NetEnvironment.h"
#include "network/NetWireInternal.h"
#include "network/NetworkRequest.h"
#include "network/NetworkComponent.h"
#include "platform/Clock.h"
#include "platform/DialogNetwork.h"
#include "platform/MessageBox.h"
#include "platform/Window.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/Game.h"
#include "sprites/Sprite.h"
#include "sprites/SpriteLevelInternal.h"

namespace net {

namespace {

constexpr std::uint32_t LockstepPollMs = 10;
constexpr std::size_t SessionTextLimit = 254;  // a 255-byte field with its terminator

NetworkComponent* component = nullptr;

void ShowError(const char* text) { qel::ShowMessageBox(_Ghwnd, text, "Error", qel::MessageBoxIcon::Error); }

// A mouse event as 8 bytes: kind, signed value, two unused, int32 position.
void PutMouseEvent(std::vector<std::uint8_t>& out, const MouseEvent& e) {
    out.push_back(e.kind);
    out.push_back(std::uint8_t(e.value));
    out.push_back(0);
    out.push_back(0);
    netwire::PutU32(out, std::uint32_t(e.world));
}

// The session dialog (105 or 106) and its fields, cut as the dialog's
// 255-byte fields cut them.
int AskSession(const GameNode& level, bool join, qel::SessionFields& fields) {
    fields.port = level.NetworkPort;
    const int button = qel::SessionDialog(_Ghwnd, join, fields);
    if (fields.first.size() > SessionTextLimit) fields.first.resize(SessionTextLimit);
    if (fields.second.size() > SessionTextLimit) fields.second.resize(SessionTextLimit);
    return button;
}

bool OpenLevelSession(GameNode& level, bool join, _GUID application, const char* failure) {
    qel::ShowCursor(true);
    qel::SessionFields fields;
    const int button = AskSession(level, join, fields);
    bool ok = false;
    if (button == qel::ButtonOk) {
        ok = join ? Join(application, fields.first.c_str(), fields.port, fields.second.c_str()) >= 0
                  : Host(application, fields.port, fields.first.c_str(), fields.second.c_str()) >= 0;
    }
    if (button == qel::ButtonExitGame) {
        if (myGame != nullptr) myGame->EndGame();
        return false;
    }
    if (!ok) ShowError(failure);
    qel::ShowCursor(false);
    return ok;
}

bool WaitForInput(const std::function<bool()>& inputIn, std::uint32_t timeoutMs) {
    const std::uint32_t start = qel::TimeGetTime();
    while (!inputIn()) {
        qel::Sleep(LockstepPollMs);
        if (qel::TimeGetTime() - start > timeoutMs) return false;
    }
    return true;
}

// Every network player's sprite takes its input from the network again.
void GiveSpritesRemoteInput() {
    const std::uint32_t own = component->OwnSpriteId();
    std::vector<std::int32_t> ids;
    {
        std::lock_guard<qel::CriticalSection> hold(PlayerListLock);
        for (unsigned int i = 0; i < netActiveIds.Size(); ++i) ids.push_back(netActiveIds[i]);
    }
    for (std::int32_t id : ids) {
        Sprite* sprite = sprites::ForEachSprite([id](Sprite* s) { return s->Id() == id; });
        if (sprite == nullptr) continue;
        sprite->networkActive = true;
        {
            std::lock_guard<qel::CriticalSection> hold(NetQueueLock);
            for (auto& m : sprite->inputQueue) delete[] m.data;
            sprite->inputQueue.clear();
        }
        sprite->Keyboard_Reset();
        sprite->Mouse_Reset();
        if (pKeyboard != nullptr) pKeyboard->Reset();
        if (pMouse != nullptr) pMouse->ResetKeys();
        if (std::uint32_t(id) == own) sprite->MainCharacter(true);
    }
}

}  // namespace

NetworkComponent* Current() { return component; }

// A level that is its own disconnect level stays: switching to it would ask
// again at once, and the main loop would switch for ever.
void GoToDisconnectLevel(const GameNode& level) {
    if (myGame == nullptr || std::int64_t(level.DisconnectLevel) + 1 == level.Id()) return;
    myGame->LevelNumber(int(level.DisconnectLevel));
}

int Host(_GUID application, unsigned long port, const char* session, const char* player) {
    if (component != nullptr) return -1;
    component = new NetworkComponent();
    const int r = component->Host(application, port, session, player);
    if (r < 0) Close();
    return r;
}

int Join(_GUID application, const char* host, unsigned long port, const char* player) {
    if (component != nullptr) return -1;
    component = new NetworkComponent();
    const int r = component->Connect(application, host, port, player);
    if (r < 0) Close();
    return r;
}

void Close() {
    NetworkComponent* closing = component;
    component = nullptr;
    delete closing;
}

bool SessionOpen() { return component != nullptr && component->SessionOpen(); }

void AddToQOut(unsigned char type, unsigned char* data, unsigned int size) {
    if (component != nullptr) component->AddToQOut(type, data, size);
}

void SendQOut() {
    if (component != nullptr) component->SendQOut();
}

void ClearQOut() {
    if (component != nullptr) component->ClearQOut();
}

void EnterLevel(GameNode& level) {
    if (!level.NetworkLevel) return;
    if (SessionOpen()) return GiveSpritesRemoteInput();
    qel::ShowCursor(true);
    const int option = qel::NetworkOptionDialog(_Ghwnd);
    if (option == qel::ButtonCreate || option == qel::ButtonJoin) {
        const bool open = option == qel::ButtonCreate ? HostLevelSession(level, level.ApplicationGUID)
                                                      : JoinLevelSession(level, level.ApplicationGUID);
        if (open) {
            ClearQOut();
            if (pKeyboard != nullptr) pKeyboard->Reset();
            if (pMouse != nullptr) pMouse->ResetKeys();
            waitingForPlayers = true;
        } else {
            GoToDisconnectLevel(level);
        }
    } else {
        ShowError("Invalid option.");
        GoToDisconnectLevel(level);
    }
    qel::ShowCursor(false);
}

bool HostLevelSession(GameNode& level, _GUID application) {
    return OpenLevelSession(level, false, application, "Failed to create a new session.");
}

bool JoinLevelSession(GameNode& level, _GUID application) {
    return OpenLevelSession(level, true, application, "Failed to join a session.");
}

int WaitForOtherPlayers() {
    const int result = EngineNetEnvironment().RequestDialog(NetworkRequest::WaitForPlayers);
    waitingForPlayers = false;
    return result;
}

bool ExchangeInput(NetworkComponent& peer, const std::function<bool()>& inputIn, const MouseEvent* mouse,
                   int mouseCount, const unsigned char* keys, int keyCount, std::uint32_t timeoutMs) {
    peer.AddToQOut(NetFrameMarker, nullptr, 0);
    if (mouseCount > 0 && mouse != nullptr) {
        std::vector<std::uint8_t> data;
        for (int i = 0; i < mouseCount; ++i) PutMouseEvent(data, mouse[i]);
        peer.AddToQOut(NetMouseEvents, data.data(), unsigned(data.size()));
    }
    if (keyCount > 0 && keys != nullptr) {
        std::vector<std::uint8_t> data(keys, keys + std::size_t(keyCount) * 2);
        peer.AddToQOut(NetKeyEvents, data.data(), unsigned(data.size()));
    }
    peer.SendQOut();
    peer.ClearQOut();
    return WaitForInput(inputIn, timeoutMs);
}

bool Lockstep(const MouseEvent* mouse, int mouseCount, const unsigned char* keys, int keyCount,
              std::uint32_t timeoutMs) {
    auto inputIn = [] {
        if (!myGame->ReceivedFromPlayers()) return false;
        myGame->ReceivedFromPlayers(false);
        return true;
    };
    const bool in = component != nullptr
                        ? ExchangeInput(*component, inputIn, mouse, mouseCount, keys, keyCount, timeoutMs)
                        : WaitForInput(inputIn, timeoutMs);
    if (in) return true;
    if (component != nullptr)
        component->ConnectionLost();
    else if (gNode != nullptr)
        GoToDisconnectLevel(*gNode);
    return false;
}

}  // namespace net
