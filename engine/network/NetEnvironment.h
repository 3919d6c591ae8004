// What the network component reaches outside itself: the player data and its
// lock, the frame event, the current level's sprites and settings, the level
// switch, the main thread's dialogs and the worker threads. The engine's own
// (EngineNetEnvironment) binds them to the running game; a test gives each
// peer one of its own.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <vector>
#include "QelExport.h"
#include "foundation/Array.h"
#include "foundation/String.h"
#include "platform/Sync.h"
#include "network/NetWire.h"

class QEL_API NetEnvironment {
public:
    virtual ~NetEnvironment() = default;

    // --- player data, each read and written under PlayerLock ---
    virtual qel::CriticalSection& PlayerLock() = 0;
    // Host side: the sprite taken by each joined player.
    virtual std::map<std::uint32_t, std::uint32_t>& PlayerMap() = 0;
    // Joining side: the ids offered by the host's last list.
    virtual std::vector<std::uint32_t>& OfferedIds() = 0;
    // Ids of the network-player sprites taken so far, in the order taken.
    virtual Array<std::int32_t>& ActiveIds() = 0;

    // Set once per frame after input is read; admits the frame's input packets.
    virtual qel::AutoResetEvent& FrameEvent() = 0;
    virtual bool WaitingForPlayers() = 0;
    virtual void WaitingForPlayers(bool waiting) = 0;
    // All players' input for the frame has arrived.
    virtual void ReceivedFromPlayers() = 0;

    // --- the current level ---
    virtual std::uint32_t RequiredPlayers() = 0;
    virtual std::uint32_t MaximumPlayers() = 0;
    virtual void GoToDisconnectLevel() = 0;

    // --- the level's sprites, by id; callers hold PlayerLock ---
    // Ids of the network-player sprites not yet taken, in display-list order.
    virtual std::vector<std::uint32_t> FreeNetworkSprites() = 0;
    virtual bool IsFreeNetworkSprite(std::uint32_t id) = 0;
    // Marks the sprite taken; false when the level has no sprite of that id.
    virtual bool TakeSprite(std::uint32_t id) = 0;
    virtual bool SpriteName(std::uint32_t id, String& name) = 0;
    virtual void MakeMainCharacter(std::uint32_t id) = 0;
    // Appends the records, in order, to that sprite's input queue; false when
    // the level has no sprite of that id.
    virtual bool QueueInput(std::uint32_t id, std::vector<netwire::FrameRecord>& records) = 0;
    // The keys and mouse buttons that sprite holds down, as its input left it.
    virtual void HeldInput(std::uint32_t id, std::vector<std::uint8_t>& keys, std::vector<std::uint8_t>& buttons) = 0;

    // --- the main thread; each call blocks until it has been served ---
    // The dialog's result: 109 select a player (2 = cancel, else the chosen id
    // in the low 16 bits), 110 wait for the other players.
    virtual int RequestDialog(int kind) = 0;
    virtual void RequestMessageBox(const char* text, const char* caption, std::uint32_t flags) = 0;

    // A message box on the calling thread (Host and Connect failures).
    virtual void ShowError(const char* text) = 0;
    // A line in the log (dropped packets and the like).
    virtual void Log(const char* text) = 0;
    // Runs the work on a new thread of its own; false when none could be made.
    virtual bool StartWorker(std::function<void()> work) = 0;
};

// The running game's: the engine's globals, the current level and netRequest.
QEL_API NetEnvironment& EngineNetEnvironment();
