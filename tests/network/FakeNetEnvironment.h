// One peer's world for the network tests: its own player data, frame event,
// sprite table and answers to the dialogs, so two peers run in one process.
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>
#include "network/NetEnvironment.h"
#include "network/NetworkComponent.h"

struct FakeSprite {
    std::string name;
    bool networkPlayer = true;
    bool taken = false;
    bool mainCharacter = false;
    std::vector<netwire::FrameRecord> queue;
};

class FakeNetEnvironment : public NetEnvironment {
public:
    ~FakeNetEnvironment() override { JoinWorkers(); }

    // --- NetEnvironment ---
    qel::CriticalSection& PlayerLock() override { return lock; }
    std::map<std::uint32_t, std::uint32_t>& PlayerMap() override { return playerMap; }
    std::vector<std::uint32_t>& OfferedIds() override { return offered; }
    Array<std::int32_t>& ActiveIds() override { return activeIds; }
    qel::AutoResetEvent& FrameEvent() override { return frameEvent; }
    bool WaitingForPlayers() override { return waiting; }
    void WaitingForPlayers(bool w) override { waiting = w; }
    void ReceivedFromPlayers() override {
        Note([&] { ++framesReceived; });
    }
    std::uint32_t RequiredPlayers() override { return required; }
    std::uint32_t MaximumPlayers() override { return maximum; }
    void GoToDisconnectLevel() override {
        Note([&] { ++disconnects; });
    }

    std::vector<std::uint32_t> FreeNetworkSprites() override {
        if (whileOffering) whileOffering();
        std::vector<std::uint32_t> ids;
        for (auto& [id, s] : sprites)
            if (s.networkPlayer && !s.taken) ids.push_back(id);
        return ids;
    }
    bool IsFreeNetworkSprite(std::uint32_t id) override {
        auto it = sprites.find(id);
        return it != sprites.end() && it->second.networkPlayer && !it->second.taken;
    }
    bool TakeSprite(std::uint32_t id) override {
        auto it = sprites.find(id);
        if (it == sprites.end()) return false;
        it->second.taken = true;
        Note([&] { ++taken; });
        return true;
    }
    bool SpriteName(std::uint32_t id, String& name) override {
        auto it = sprites.find(id);
        if (it == sprites.end()) return false;
        name = it->second.name.c_str();
        return true;
    }
    void MakeMainCharacter(std::uint32_t id) override {
        if (auto it = sprites.find(id); it != sprites.end()) it->second.mainCharacter = true;
    }
    bool QueueInput(std::uint32_t id, std::vector<netwire::FrameRecord>& records) override {
        if (whileQueueing) whileQueueing();
        auto it = sprites.find(id);
        if (it == sprites.end()) return false;
        Note([&] {
            for (auto& r : records) it->second.queue.push_back(r);
            ++framesQueued;
        });
        return true;
    }

    void HeldInput(std::uint32_t, std::vector<std::uint8_t>&, std::vector<std::uint8_t>&) override {}

    int RequestDialog(int kind) override {
        // As the game's wait dialog: it closes once the required players play.
        if (kind == 110 && waitDialogWaitsForPlayers) WaitUntil([&] { return taken >= int(required); });
        std::vector<std::uint32_t> ids;
        {
            std::lock_guard<qel::CriticalSection> hold(lock);
            ids = offered;
        }
        int answer = chooser ? chooser(kind, ids) : 2;
        Note([&] {
            dialogs.push_back(kind);
            if (kind == 110) ++waits;
        });
        return answer;
    }
    void RequestMessageBox(const char* text, const char* caption, std::uint32_t flags) override {
        if (whileBoxIsUp) whileBoxIsUp();
        Note([&] { boxes.push_back(std::string(caption) + "|" + text + "|" + std::to_string(flags)); });
    }
    void ShowError(const char* text) override {
        Note([&] { errors.push_back(text); });
    }
    void Log(const char* text) override {
        Note([&] { logs.push_back(text); });
    }
    bool StartWorker(std::function<void()> work) override {
        auto t = std::make_unique<qel::WorkerThread>();
        const auto delay = workerDelay;
        if (!t->Start([delay, work = std::move(work)] {
                std::this_thread::sleep_for(delay);
                work();
            }))
            return false;
        std::lock_guard<std::mutex> hold(workerLock);
        workers.push_back(std::move(t));
        return true;
    }
    std::size_t WorkersStarted() {
        std::lock_guard<std::mutex> hold(workerLock);
        return workers.size();
    }

    // --- for the tests ---
    // Waits (at most 5 s) until the condition holds, checked under the state lock.
    bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
        std::unique_lock<std::mutex> hold(stateLock);
        return changed.wait_for(hold, limit, condition);
    }
    // Waits until n sprites are taken and the work of their announcements,
    // which holds the player lock, is done.
    bool WaitUntilTaken(int n) {
        if (!WaitUntil([&] { return taken == n; })) return false;
        std::lock_guard<qel::CriticalSection> hold(lock);
        return true;
    }
    template <class F>
    auto Read(F f) {
        std::lock_guard<std::mutex> hold(stateLock);
        return f();
    }
    void JoinWorkers() {
        std::vector<std::unique_ptr<qel::WorkerThread>> all;
        {
            std::lock_guard<std::mutex> hold(workerLock);
            all.swap(workers);
        }
        all.clear();  // joins
    }

    qel::CriticalSection lock;
    std::map<std::uint32_t, std::uint32_t> playerMap;
    std::vector<std::uint32_t> offered;
    Array<std::int32_t> activeIds;
    qel::AutoResetEvent frameEvent;
    std::atomic<bool> waiting{false};
    std::uint32_t required = 2;
    std::uint32_t maximum = 4;
    // Guarded by `lock` while the session runs.
    std::map<std::uint32_t, FakeSprite> sprites;
    // Answers RequestDialog: kind and the offered ids.
    std::function<int(int, const std::vector<std::uint32_t>&)> chooser;
    // Runs on the worker while its message box is up.
    std::function<void()> whileBoxIsUp;
    // Runs as the admitted frame's input is queued, before it counts.
    std::function<void()> whileQueueing;
    // Runs as the host lists the free sprites for a player, under `lock`.
    std::function<void()> whileOffering;
    // Every new thread waits this long before its work: a loaded machine.
    std::chrono::milliseconds workerDelay{0};
    bool waitDialogWaitsForPlayers = false;

    // Guarded by stateLock.
    int framesReceived = 0;
    int taken = 0;  // sprites marked taken
    int framesQueued = 0;
    int disconnects = 0;
    int waits = 0;
    std::vector<int> dialogs;
    std::vector<std::string> boxes;
    std::vector<std::string> errors;
    std::vector<std::string> logs;

private:
    template <class F>
    void Note(F f) {
        {
            std::lock_guard<std::mutex> hold(stateLock);
            f();
        }
        changed.notify_all();
    }
    std::mutex stateLock;
    std::condition_variable changed;
    std::mutex workerLock;
    std::vector<std::unique_ptr<qel::WorkerThread>> workers;
};

// Picks the first offered sprite, as a player who clicks OK at once.
inline int ChooseFirst(int kind, const std::vector<std::uint32_t>& ids) {
    if (kind != 109 || ids.empty()) return 2;
    return int((ids[0] & 0xFFFF) | 0x10000);
}

inline _GUID TestGuid(std::uint32_t n) {
    _GUID g;
    g.Data1 = n;
    g.Data4[7] = 0x5A;
    return g;
}
