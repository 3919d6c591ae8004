// The peer-to-peer session of a networked level: hosts or joins a session,
// hands out the level's network-player sprites, sends each frame's input to
// every peer and admits the peers' input in lockstep. Session events are
// worked off on short worker threads; what needs the user goes to the main
// thread through the environment.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>
#include "QelExport.h"
#include "network/NetWire.h"
#include "runtime/GameNode.h"

class NetEnvironment;

class QEL_API NetworkComponent {
public:
    // Message box flags of the workers' messages.
    static constexpr std::uint32_t AttentionFlags = 0x2030;  // task-modal, exclamation
    static constexpr std::uint32_t ReplyFlags = 0x2040;      // task-modal, information

    // Works in the running game.
    NetworkComponent();
    explicit NetworkComponent(NetEnvironment& environment);
    // Kill.
    ~NetworkComponent();
    NetworkComponent(const NetworkComponent&) = delete;
    NetworkComponent& operator=(const NetworkComponent&) = delete;

    // Makes the session object; -1 when one exists already.
    int Init();
    // 0 when hosting; negative on failure (a port of 1000 or lower silently).
    int Host(_GUID application, unsigned long port, const char* session, const char* player);
    // 0 when joined; negative on failure.
    int Connect(_GUID application, const char* host, unsigned long port, const char* player);
    // Ends the session and clears all session state.
    void Kill();
    // One packet to a player (0 = all); 0 or -1.
    int Send(unsigned char* data, unsigned long size, int loopback, unsigned long to);

    // The out-queue: the frame's input records.
    void AddToQOut(unsigned char type, unsigned char* data, unsigned int size);
    // One NetFrameInput of the whole queue to all players, this one included;
    // nothing when the queue is empty. The queue is kept.
    void SendQOut();
    void ClearQOut();
    // This peer's input was reset (a pause, a focus change, a dialog): the
    // next frame packet releases every key and button its sprite holds, so
    // that every peer resets that sprite in the same frame.
    void ReleaseHeldInput();
    std::size_t QOutCount() const { return outQueue.size(); }

    // 1 with the player's host flag and a new name block (the caller's; a
    // previous block is freed), else 0.
    int GetPlayerInfo(unsigned long id, int& isHost, char*& name);

    // --- what the runtime reads ---
    bool SessionOpen() const;
    bool IsHost() const;
    bool IsConnected() const;
    std::uint32_t HostPlayerId() const;
    // Players whose sprite is taken (reads under the player lock).
    std::uint32_t PlayerCount() const;
    std::uint32_t OwnSpriteId() const;

    // The frame exchange waited too long for the other players: the game
    // stops, tells the user the connection is lost and goes to the disconnect
    // level; the session's end then tells the other peers so.
    void ConnectionLost();

private:
    friend class NetworkComponentTesting;
    void AddReleases();
    void PrependRecord(std::uint8_t type, const std::vector<std::uint8_t>& data);

    struct Core;
    std::shared_ptr<Core> core;
    std::vector<netwire::FrameRecord> outQueue;
};
