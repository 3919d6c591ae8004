// A peer-to-peer game session over TCP: one peer hosts on a port, the others
// join it by address and port. Every peer is a player with a session-wide id;
// sends are guaranteed and arrive in order; the session's events are reported
// on its own thread, never on the caller's.
#pragma once
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include "QelExport.h"

namespace qel {

// Where the host passes a packet addressed to all players: to nobody, to
// everyone, only to the players it has seated (and itself), or to itself.
enum class NetRelay { Drop, All, Seated, Host };

// Called on the session's thread. They must not block for long: a handler
// that needs to wait hands the work on to a thread of its own.
struct NetPeerEvents {
    std::function<void(std::uint32_t player)> playerCreated;
    std::function<void(std::uint32_t player)> playerDestroyed;
    std::function<void(std::uint32_t from, std::vector<std::uint8_t> packet)> received;
    // Host side: asked for every game packet a joiner sends, to all players
    // or to one, and for the host's own packets to all, before it goes to
    // anyone (in the one order in which the host relays); a packet it drops
    // goes nowhere. A packet to one player goes to it unless dropped.
    std::function<NetRelay(std::uint32_t from, std::uint32_t to, const std::vector<std::uint8_t>& packet)> relay;
    // The host went away (lost: the link broke or the host reset it rather
    // than ending its session); the session is over.
    std::function<void(bool lost)> sessionTerminated;
    // A frame was dropped or a link refused; the text says why.
    std::function<void(const std::string& why)> problem;
};

enum class NetResult { Ok, BadPort, Failed };

// What a host grants its links. A connection that has not joined must say
// hello within the handshake time; when too many wait, in all or from one
// address, the oldest of them is closed for the newcomer. A joined player
// must be seated (Seat) within the seat time; when too many are joined and
// unseated, in all or from one address, one of them is let go for the
// newcomer. A link whose unsent bytes pass the queue limit (its
// peer does not read) is closed. A failed accept (no descriptors left) is
// retried after a pause that doubles up to the longest.
struct NetPeerLimits {
    std::chrono::milliseconds handshakeTime{5000};
    std::size_t pendingLinks = 8;
    std::size_t pendingPerAddress = 2;
    std::chrono::milliseconds seatTime{120000};
    std::size_t unseatedLinks = 8;
    std::size_t unseatedPerAddress = 4;
    std::size_t queuedBytes = std::size_t(1) << 20;
    std::chrono::milliseconds acceptPause{50};
    std::chrono::milliseconds longestAcceptPause{1000};
};

class QEL_API NetPeer {
public:
    using AppId = std::array<std::uint8_t, 16>;
    // Addressing a send to this id reaches every player.
    static constexpr std::uint32_t AllPlayers = 0;
    // Larger packets are refused on sending and end the link on receipt.
    static constexpr std::size_t MaxPacket = 65536;

    explicit NetPeer(NetPeerEvents events, NetPeerLimits limits = {});
    // Closes the session.
    ~NetPeer();
    NetPeer(const NetPeer&) = delete;
    NetPeer& operator=(const NetPeer&) = delete;

    // Listens on the port (every local address unless one is given; port 0
    // lets the system choose one) and creates this peer's player, reported
    // through playerCreated.
    NetResult Host(const AppId& app, std::uint32_t port, const std::string& session, const std::string& player,
                   const std::string& bindAddress = "");
    // Joins synchronously; on success every player of the session, this one
    // included, is reported through playerCreated.
    NetResult Connect(const AppId& app, const std::string& host, std::uint32_t port, const std::string& player);
    // Ends the session; no event is reported once it has begun. Safe to repeat.
    // With connectionLost the links are reset instead of ended, so that the
    // other peers learn the session was lost rather than closed.
    void Close(bool connectionLost = false);
    // Host: the player's link is closed once what was sent to it has gone out;
    // it is destroyed for everyone at once.
    void Dismiss(std::uint32_t player);
    // Host: the player takes part in the game: it keeps its link and gets
    // the packets relayed to seated players.
    void Seat(std::uint32_t player);

    // Queues one packet for a player or for all (the sender too when loopback
    // is set). False when no session is open, the player is unknown or the
    // packet is empty or too large.
    bool SendTo(std::uint32_t to, const std::uint8_t* data, std::size_t size, bool loopback);

    // Name and host flag of a player of the session; false when unknown.
    bool PlayerInfo(std::uint32_t id, std::string& name, bool& isHost) const;
    std::uint32_t LocalPlayer() const;
    bool IsOpen() const;
    // The port a host listens on (0 when it does not).
    std::uint32_t ListeningPort() const;
    // Why the last Host or Connect failed, for the log.
    std::string LastError() const;

private:
    struct Impl;
    std::shared_ptr<Impl> impl_;
};

}  // namespace qel
