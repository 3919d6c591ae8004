#include <cstdio>
#include <cstring>
#include <memory>
#include "foundation/Console.h"
#include "network/NetEnvironmentInternal.h"
#include "network/NetSession.h"
#include "network/NetworkRequest.h"
#include "platform/MessageBox.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/Game.h"
#include "runtime/GameNode.h"
#include "sprites/Sprite.h"
#include "sprites/SpriteLevelInternal.h"

void QueueFrameRecords(Sprite& sprite, const std::vector<netwire::FrameRecord>& records) {
    for (const netwire::FrameRecord& r : records) {
        _NETMSGQ m;
        m.type = r.type;
        m.size = std::uint32_t(r.data.size());
        if (m.size > 0) {
            m.data = new std::uint8_t[m.size];
            std::memcpy(m.data, r.data.data(), m.size);
        }
        sprite.AddToQ(m);
    }
}

void HeldInputOf(const Sprite& sprite, std::vector<std::uint8_t>& keys, std::vector<std::uint8_t>& buttons) {
    for (int k = 0; k < 256; ++k)
        if (sprite.Keyboard_IsPressed(std::uint8_t(k))) keys.push_back(std::uint8_t(k));
    for (std::uint8_t b = 0; b < 3; ++b)
        if (sprite.Mouse_IsPressed(b)) buttons.push_back(b);
}

namespace {

// The text cursor's sprite is never offered to a player.
const char* const TextsCursorName = "QelTextsCursor";

Sprite* SpriteWithId(std::uint32_t id) {
    return sprites::ForEachSprite([id](Sprite* s) { return std::uint32_t(s->Id()) == id; });
}

// The main thread changes the current level, and adds and deletes its
// sprites, under the queue lock: a worker that walked them without it could
// meet a sprite being deleted as the level switches.
using LevelHold = std::lock_guard<qel::CriticalSection>;

class Engine final : public NetEnvironment {
public:
    qel::CriticalSection& PlayerLock() override { return PlayerListLock; }
    std::map<std::uint32_t, std::uint32_t>& PlayerMap() override { return playerMap; }
    std::vector<std::uint32_t>& OfferedIds() override { return offeredIds; }
    Array<std::int32_t>& ActiveIds() override { return netActiveIds; }
    qel::AutoResetEvent& FrameEvent() override { return gameLoopEvent; }
    bool WaitingForPlayers() override { return waitingForPlayers; }
    void WaitingForPlayers(bool waiting) override { waitingForPlayers = waiting; }
    void ReceivedFromPlayers() override {
        if (myGame != nullptr) myGame->ReceivedFromPlayers(true);
    }

    std::uint32_t RequiredPlayers() override {
        LevelHold hold(NetQueueLock);
        return gNode != nullptr ? gNode->RequiredPlayers : 0;
    }
    std::uint32_t MaximumPlayers() override {
        LevelHold hold(NetQueueLock);
        return gNode != nullptr ? gNode->MaximumPlayers : 0;
    }
    // Asked by the session's workers; the level change runs the level's own
    // change handler and is read by the main loop, so it is made there,
    // between two frames.
    void GoToDisconnectLevel() override {
        netRequest.RunOnMainThread([] {
            if (gNode != nullptr) net::GoToDisconnectLevel(*gNode);
        });
    }

    std::vector<std::uint32_t> FreeNetworkSprites() override {
        LevelHold hold(NetQueueLock);
        std::vector<std::uint32_t> ids;
        sprites::ForEachSprite([&ids](Sprite* s) {
            if (s->networkPlayer && !s->networkActive &&
                std::strcmp(static_cast<const char*>(s->Name()), TextsCursorName) != 0)
                ids.push_back(std::uint32_t(s->Id()));
            return false;
        });
        return ids;
    }
    bool IsFreeNetworkSprite(std::uint32_t id) override {
        LevelHold hold(NetQueueLock);
        const Sprite* s = SpriteWithId(id);
        return s != nullptr && s->networkPlayer && !s->networkActive;
    }
    bool TakeSprite(std::uint32_t id) override {
        LevelHold hold(NetQueueLock);
        Sprite* s = SpriteWithId(id);
        if (s == nullptr) return false;
        s->networkActive = true;
        return true;
    }
    bool SpriteName(std::uint32_t id, String& name) override {
        LevelHold hold(NetQueueLock);
        const Sprite* s = SpriteWithId(id);
        if (s == nullptr) return false;
        name = s->Name();
        return true;
    }
    void MakeMainCharacter(std::uint32_t id) override {
        LevelHold hold(NetQueueLock);
        if (Sprite* s = SpriteWithId(id)) s->MainCharacter(true);
    }
    bool QueueInput(std::uint32_t id, std::vector<netwire::FrameRecord>& records) override {
        // The whole batch goes in under one hold, so a frame never sees half of
        // it; the level deletes its sprites under the same lock.
        LevelHold hold(NetQueueLock);
        Sprite* s = SpriteWithId(id);
        if (s == nullptr) return false;
        QueueFrameRecords(*s, records);
        return true;
    }

    void HeldInput(std::uint32_t id, std::vector<std::uint8_t>& keys, std::vector<std::uint8_t>& buttons) override {
        LevelHold hold(NetQueueLock);
        if (const Sprite* s = SpriteWithId(id)) HeldInputOf(*s, keys, buttons);
    }

    int RequestDialog(int kind) override { return netRequest.RequestDialog(kind); }
    void RequestMessageBox(const char* text, const char* caption, std::uint32_t flags) override {
        netRequest.RequestMessageBox(text, caption, flags);
    }

    void ShowError(const char* text) override {
        qel::ShowMessageBox(_Ghwnd, text, "Error", qel::MessageBoxIcon::Error);
    }
    void Log(const char* text) override {
        if (pConsole != nullptr)
            pConsole->Print("%s\n", text);
        else
            std::fprintf(stderr, "%s\n", text);
    }
    bool StartWorker(std::function<void()> work) override {
        if (myGame == nullptr) return false;
        auto thread = std::make_unique<qel::WorkerThread>();
        if (!thread->Start(std::move(work))) return false;
        myGame->AddThread(std::move(thread));
        return true;
    }

private:
    std::map<std::uint32_t, std::uint32_t> playerMap;
    std::vector<std::uint32_t> offeredIds;
};

}  // namespace

NetEnvironment& EngineNetEnvironment() {
    static Engine engine;
    return engine;
}
