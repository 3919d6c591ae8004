#include "network/NetworkComponent.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include "input/MouseEvent.h"
#include "network/NetEnvironment.h"
#include "platform/NetPeer.h"
#include "testing/TestHooks.h"

namespace {

constexpr unsigned long LowestPort = 1000;
constexpr int DialogSelectPlayer = 109;
constexpr int DialogWaitForPlayers = 110;
constexpr int DialogCancel = 2;
// The frame admission and the packet queue look this often whether their
// session has ended.
constexpr std::uint32_t AdmissionSliceMs = 50;
// A peer sends its next frame only once it has every player's input for the
// frame before, and the host relays a sprite's packet only when no other
// playing sprite has fewer relayed: so no sprite's packets are ever more than
// two frames ahead of this peer's frame step.
constexpr std::size_t MaxWaitingFrames = 2;
// Session packets waiting for the packet queue's worker; more are dropped.
constexpr std::size_t MaxQueuedPackets = 1024;
// Of those, the packets of one sender: a player who floods the session has
// only its own packets dropped.
constexpr std::size_t MaxQueuedPerSender = 64;
// The sender of the session's own events (players come and go): no player.
constexpr std::uint32_t SessionEvents = 0;
// The session's log lines per second; the rest are counted and said once.
constexpr int LogLinesPerSecond = 10;

const char* const HostTerminated = "The host has terminated the session.\nSorry, the game cannot continue.";
const char* const HostLost = "Connection to the host is lost.\nSorry, the game cannot continue.";
const char* const SessionFull = "Sorry, the session is full.\nTry again later.";

qel::NetPeer::AppId ToAppId(const _GUID& g) {
    qel::NetPeer::AppId id{};
    for (int i = 0; i < 4; ++i) id[std::size_t(i)] = std::uint8_t(g.Data1 >> (8 * i));
    id[4] = std::uint8_t(g.Data2);
    id[5] = std::uint8_t(g.Data2 >> 8);
    id[6] = std::uint8_t(g.Data3);
    id[7] = std::uint8_t(g.Data3 >> 8);
    std::memcpy(id.data() + 8, g.Data4, 8);
    return id;
}

}  // namespace

// Everything the session's workers use; they hold it, so a worker that is
// still running when the component goes finds it alive and closed.
struct NetworkComponent::Core : std::enable_shared_from_this<Core> {
    explicit Core(NetEnvironment& e) : env(e) {}

    NetEnvironment& env;
    std::atomic<std::uint32_t> hostFlag{0};
    std::atomic<std::uint32_t> connectedFlag{0};
    std::atomic<std::uint32_t> hostPlayerId{0};
    std::uint32_t playerCount = 0;  // under the player lock
    std::atomic<std::uint32_t> ownSpriteId{0};
    // Changes at every Init and Kill: a worker of an earlier session gives up.
    std::atomic<std::uint64_t> generation{0};
    // Set by the first of the ways the session can end that tells the user;
    // it and the game's waiting flag change together under waitLock, so the
    // end of a wait for players never lets a game run that is ending.
    std::atomic<bool> ending{false};
    std::mutex waitLock;
    // The frame exchange timed out: the links are reset when the session ends.
    std::atomic<bool> lost{false};
    std::string bindAddress;
    bool anyPort = false;

    // The lockstep: every playing sprite's frame packets in the order its
    // player sent them; a frame is admitted once each has one.
    std::mutex frameMutex;
    std::condition_variable frameArrived;
    std::map<std::uint32_t, std::deque<std::vector<netwire::FrameRecord>>> frames;
    std::set<std::uint32_t> playing;
    // Joining side: the player whose frames a sprite takes (the host checks
    // its player map instead).
    std::map<std::uint32_t, std::uint32_t> frameOwners;
    // Host: frame packets relayed per seated sprite, in the relay order.
    std::map<std::uint32_t, std::uint64_t> relayed;
    // Host: the joiners' sprite announcements relayed so far, by sender and
    // addressee (all players or one).
    std::set<std::pair<std::uint32_t, std::uint32_t>> announced;
    // Host: a frame has been relayed, so the game runs. A player who comes
    // now is turned away: it has not played the frames so far, and the
    // peers would wait for its sprite from different frames on.
    bool gameRuns = false;
    // Sprites whose player has left but whose frames still wait to be admitted.
    std::set<std::uint32_t> leaving;

    // Session packets other than frames, worked off in arrival order by one
    // worker; what waits for the user runs on a worker of its own, at most
    // one of each kind at a time.
    std::mutex queueMutex;
    std::condition_variable queued;
    struct QueuedWork {
        std::uint32_t sender;
        std::function<void()> work;
    };
    std::deque<QueuedWork> packetQueue;
    std::map<std::uint32_t, std::size_t> queuedFrom;  // waiting packets per sender
    // Work holds the core: a session's end empties the queue and takes no
    // more, or the core would hold itself for ever.
    bool takingPackets = false;
    std::atomic<bool> choosing{false};
    std::atomic<bool> releasePending{false};

    std::mutex logMutex;
    std::chrono::steady_clock::time_point logSecond{};
    int logLines = 0;
    std::uint64_t logLeftOut = 0;

    mutable std::mutex peerMutex;
    std::shared_ptr<qel::NetPeer> peer;

    std::shared_ptr<qel::NetPeer> Peer() const {
        std::lock_guard<std::mutex> hold(peerMutex);
        return peer;
    }
    bool SessionExists() const {
        auto p = Peer();
        return p && p->IsOpen();
    }

    int Send(const std::vector<std::uint8_t>& packet, std::uint32_t to, bool loopback) {
        if (connectedFlag == 0 && hostFlag == 0) return -1;
        auto p = Peer();
        if (!p || packet.empty()) return -1;
        return p->SendTo(to, packet.data(), packet.size(), loopback) ? 0 : -1;
    }

    // A stranger can make every packet a log line: a few a second are
    // written, the rest counted and said with the next line that is.
    void Log(const std::string& text) {
        std::string line = "Network: " + text;
        {
            std::lock_guard<std::mutex> hold(logMutex);
            const auto now = std::chrono::steady_clock::now();
            if (now - logSecond >= std::chrono::seconds(1)) {
                logSecond = now;
                logLines = 0;
            }
            if (++logLines > LogLinesPerSecond) {
                ++logLeftOut;
                return;
            }
            if (logLeftOut > 0) {
                line += " (" + std::to_string(logLeftOut) + " more network messages were left out)";
                logLeftOut = 0;
            }
        }
        env.Log(line.c_str());
    }

    // --- the session's events (on the session's thread) ---
    qel::NetPeerEvents Events() {
        std::weak_ptr<Core> weak = weak_from_this();
        const std::uint64_t g = generation;
        qel::NetPeerEvents events;
        events.playerCreated = [weak, g](std::uint32_t p) {
            if (auto c = weak.lock(); c && c->generation == g) c->PlayerCreated(p);
        };
        events.playerDestroyed = [weak, g](std::uint32_t p) {
            if (auto c = weak.lock(); c && c->generation == g && c->hostFlag) {
                c->ForgetAnnouncements(p);
                c->Enqueue(SessionEvents, [c, p] { c->PlayerDestroyedWork(p); });
            }
        };
        events.received = [weak, g](std::uint32_t from, std::vector<std::uint8_t> packet) {
            auto c = weak.lock();
            if (c && c->generation == g && !packet.empty()) c->Received(g, from, std::move(packet));
        };
        events.relay = [weak, g](std::uint32_t from, std::uint32_t to, const std::vector<std::uint8_t>& packet) {
            auto c = weak.lock();
            return c && c->generation == g ? c->Relay(from, to, packet) : qel::NetRelay::Drop;
        };
        events.sessionTerminated = [weak, g](bool connectionLost) {
            auto c = weak.lock();
            if (!c || c->generation != g || c->hostFlag) return;
            const char* text = connectionLost ? HostLost : HostTerminated;
            // A joiner without a sprite hears of it after what the host said
            // before it went: a full session has told the user already.
            if (c->ownSpriteId == 0) return c->Enqueue(SessionEvents, [c, g, text] { c->EndSession(g, text); });
            c->EndSession(g, text);
        };
        events.problem = [weak](const std::string& why) {
            if (auto c = weak.lock()) c->Log(why);
        };
        return events;
    }

    void Start(std::uint64_t g, std::function<void()> work) {
        if (generation != g) return;
        if (!env.StartWorker(std::move(work))) Log("no thread could be started for a session event; it is lost");
    }

    // Session events that need no user go to the packet queue.
    void Enqueue(std::uint32_t sender, std::function<void()> work) {
        {
            std::lock_guard<std::mutex> hold(queueMutex);
            if (!takingPackets) return;
            if (packetQueue.size() >= MaxQueuedPackets) {
                Log("too many session packets wait; one was dropped");
                return;
            }
            std::size_t& fromSender = queuedFrom[sender];
            if (sender != SessionEvents && fromSender >= MaxQueuedPerSender) {
                Log("too many packets of player " + std::to_string(sender) + " wait; one was dropped");
                return;
            }
            ++fromSender;
            packetQueue.push_back({sender, std::move(work)});
        }
        queued.notify_one();
    }

    // The packet queue's worker, for one session.
    void WorkOffPackets(std::uint64_t g) {
        while (generation == g) {
            std::function<void()> work;
            {
                std::unique_lock<std::mutex> hold(queueMutex);
                if (!queued.wait_for(hold, std::chrono::milliseconds(AdmissionSliceMs),
                                     [&] { return !packetQueue.empty() || generation != g; }))
                    continue;
                if (generation != g) return;
                QueuedWork& next = packetQueue.front();
                work = std::move(next.work);
                if (--queuedFrom[next.sender] == 0) queuedFrom.erase(next.sender);
                packetQueue.pop_front();
            }
            work();
        }
    }

    void PlayerCreated(std::uint32_t p) {
        auto session = Peer();
        if (session && session->IsOpen() && hostPlayerId == 0) {
            int isHost = 0;
            char* name = nullptr;
            if (PlayerInfo(p, isHost, name) && isHost) hostPlayerId = p;
            delete[] name;
        }
        if (session && session->IsOpen() && ownSpriteId != 0)
            Send(netwire::IdPacket(NetPlayerActive, ownSpriteId), p, false);
        if (hostFlag == 0) return;
        AnnounceTakenSprites(p);
        std::uint32_t count;
        {
            std::lock_guard<qel::CriticalSection> hold(env.PlayerLock());
            count = playerCount;
        }
        if (count < env.MaximumPlayers() && !GameRuns()) {
            auto self = shared_from_this();
            Enqueue(SessionEvents, [self, p] { self->OfferSprites(p); });
        } else {
            TurnAway(p);
        }
    }

    // The player is told the session is full, then let go: it takes no part.
    void TurnAway(std::uint32_t p) {
        Send({NetSessionFull}, p, true);
        if (auto session = Peer()) session->Dismiss(p);
    }

    // Host: a newcomer hears of every sprite taken so far. A player that took
    // one a moment ago may not know its own yet and so not announce it, and
    // the host's announcement to all went out before the newcomer came.
    void AnnounceTakenSprites(std::uint32_t p) {
        if (p == LocalPlayer()) return;
        std::vector<std::uint32_t> taken;
        {
            std::lock_guard<qel::CriticalSection> hold(env.PlayerLock());
            for (const auto& [player, sprite] : env.PlayerMap()) taken.push_back(sprite);
        }
        for (std::uint32_t id : taken) Send(netwire::IdPacket(NetPlayerActive, id), p, false);
    }

    // --- who may send what ---

    void Dropped(std::uint32_t from, std::uint8_t type, const char* why) {
        Log("a packet of type " + std::to_string(type) + " from player " + std::to_string(from) +
            " was dropped: " + why);
    }

    // The sprite a player took, as the host handed it out; 0 for none.
    std::uint32_t SpriteOf(std::uint32_t player) {
        std::lock_guard<qel::CriticalSection> hold(env.PlayerLock());
        auto it = env.PlayerMap().find(player);
        return it == env.PlayerMap().end() ? 0 : it->second;
    }

    // Host, for every packet of a joiner and every packet of its own to all
    // players, in the one order in which it relays them: a packet goes on
    // only when its sender's role allows it. Lists, acceptances, full-session
    // notices, resignations and announcements of others come from the host
    // alone; a player announces and plays only the sprite it was given; a
    // choice concerns the host alone; types nobody knows go nowhere. Frames,
    // the host's too, take their turn and go to the seated players only: a
    // frame to one player would be counted there and nowhere else.
    qel::NetRelay Relay(std::uint32_t from, std::uint32_t to, const std::vector<std::uint8_t>& packet) {
        const std::uint8_t type = packet[0];
        const std::uint32_t self = LocalPlayer();
        if (from == self && type != NetFrameInput) return qel::NetRelay::All;
        const bool toAll = to == qel::NetPeer::AllPlayers;
        switch (type) {
            case NetPlayerList:
            case NetPlayerAccepted:
            case NetSessionFull:
            case NetPlayerResigned: Dropped(from, type, "only the host sends it"); return qel::NetRelay::Drop;
            case NetPlayerChoice:
                if (toAll || to == self) return qel::NetRelay::Host;
                Dropped(from, type, "only the host answers it");
                return qel::NetRelay::Drop;
            case NetPlayerActive: return RelayAnnouncement(from, to, packet);
            case NetFrameInput:
                if (!toAll) {
                    Dropped(from, type, "a frame goes to every player or to none");
                    return qel::NetRelay::Drop;
                }
                return OwnSprite(from, packet) && InTurn(from, packet) ? qel::NetRelay::Seated : qel::NetRelay::Drop;
            default: Dropped(from, type, "nobody knows that type"); return qel::NetRelay::Drop;
        }
    }

    // A player announces its sprite to each newcomer, and says nothing new
    // by saying it again: the host passes on the first announcement to each
    // addressee and drops the repeats before anything else is looked at, so
    // that a player who repeats it costs the others next to nothing.
    qel::NetRelay RelayAnnouncement(std::uint32_t from, std::uint32_t to, const std::vector<std::uint8_t>& packet) {
        const std::pair<std::uint32_t, std::uint32_t> pair{from, to};
        {
            std::lock_guard<std::mutex> hold(frameMutex);
            if (announced.count(pair) > 0) return qel::NetRelay::Drop;
        }
        if (!OwnSprite(from, packet)) return qel::NetRelay::Drop;
        // Only pairs of players who are there are kept: they go when they do.
        if (to != qel::NetPeer::AllPlayers && !IsPlayer(to)) {
            Dropped(from, NetPlayerActive, "the addressee is not in the session");
            return qel::NetRelay::Drop;
        }
        std::lock_guard<std::mutex> hold(frameMutex);
        announced.insert(pair);
        return qel::NetRelay::All;
    }

    void ForgetAnnouncements(std::uint32_t player) {
        std::lock_guard<std::mutex> hold(frameMutex);
        for (auto it = announced.begin(); it != announced.end();)
            it = it->first == player || it->second == player ? announced.erase(it) : std::next(it);
    }

    bool IsPlayer(std::uint32_t player) {
        std::string name;
        bool isHost = false;
        auto session = Peer();
        return session && session->PlayerInfo(player, name, isHost);
    }

    bool OwnSprite(std::uint32_t from, const std::vector<std::uint8_t>& packet) {
        std::uint32_t sprite = 0;
        if (!netwire::ReadId(packet.data(), packet.size(), sprite)) {
            Dropped(from, packet[0], "it is cut short");
            return false;
        }
        if (sprite != 0 && SpriteOf(from) == sprite) return true;
        Dropped(from, packet[0], "the sprite is not the sender's");
        return false;
    }

    // One frame packet per sprite per frame, judged in the relay order that
    // every peer shares: a sprite's packet goes on only while no other seated
    // sprite has had fewer relayed. An honest peer never sends sooner (it
    // waits for every player's packet of the frame before); a burst or a
    // replay is dropped here for everybody alike.
    bool InTurn(std::uint32_t from, const std::vector<std::uint8_t>& packet) {
        std::uint32_t sprite = 0;
        std::vector<netwire::FrameRecord> records;
        std::string why;
        if (!netwire::ReadFrameInput(packet.data(), packet.size(), sprite, records, why)) {
            Dropped(from, NetFrameInput, why.c_str());
            return false;
        }
        std::lock_guard<std::mutex> hold(frameMutex);
        auto it = relayed.find(sprite);
        if (it == relayed.end()) it = relayed.emplace(sprite, LeastRelayed()).first;
        if (it->second > LeastRelayed()) {
            Dropped(from, NetFrameInput, "it is ahead of the other players' frames");
            return false;
        }
        ++it->second;
        gameRuns = true;
        return true;
    }

    // The caller holds frameMutex.
    std::uint64_t LeastRelayed() const {
        std::uint64_t least = UINT64_MAX;
        for (const auto& [s, n] : relayed) least = std::min(least, n);
        return least == UINT64_MAX ? 0 : least;
    }

    std::uint32_t LocalPlayer() {
        auto session = Peer();
        return session ? session->LocalPlayer() : 0;
    }

    bool IsHostPlayer(std::uint32_t player) {
        if (player != 0 && player == hostPlayerId) return true;
        std::string name;
        bool isHost = false;
        auto session = Peer();
        return session && session->PlayerInfo(player, name, isHost) && isHost;
    }

    // Every peer, in the order the session delivers: frame packets join their
    // sprite's queue at once, the rest is worked off on a worker.
    void Received(std::uint64_t g, std::uint32_t from, std::vector<std::uint8_t> packet) {
        const std::uint8_t type = packet[0];
        const bool hostOnly =
            type == NetPlayerList || type == NetPlayerAccepted || type == NetSessionFull || type == NetPlayerResigned;
        if (hostOnly && !IsHostPlayer(from)) return Dropped(from, type, "only the host sends it");
        if (type == NetFrameInput) return QueueFrame(from, packet);
        if (type == NetPlayerResigned) StopWaitingFor(packet);
        auto self = shared_from_this();
        Enqueue(from, [self, g, from, packet = std::move(packet)] { self->ReceiveWork(g, from, packet); });
    }

    // A player left. Its sprite plays out the frames it sent, which came
    // before this news on every peer, and no frame waits for it after them:
    // taken in the order of delivery, not on the worker, so that every peer
    // lets it go after the same frame however far its frame step has got.
    // The host stops counting its frames in its relay order.
    void StopWaitingFor(const std::vector<std::uint8_t>& packet) {
        std::uint32_t sprite = 0;
        if (!netwire::ReadId(packet.data(), packet.size(), sprite)) return;
        {
            std::lock_guard<std::mutex> hold(frameMutex);
            relayed.erase(sprite);
            leaving.insert(sprite);
            LetLeaversGo();
        }
        frameArrived.notify_all();
    }

    // The caller holds frameMutex.
    void LetLeaversGo() {
        for (auto it = leaving.begin(); it != leaving.end();) {
            auto queued = frames.find(*it);
            if (queued != frames.end() && !queued->second.empty()) {
                ++it;
                continue;
            }
            playing.erase(*it);
            frames.erase(*it);
            it = leaving.erase(it);
        }
    }

    // Whether the player plays that sprite: the host's map says so; a joiner
    // learns it from the first frames, which the host has checked already.
    // The caller holds frameMutex; the host's answer (the sender's sprite) and
    // this peer's own player are read before.
    bool OwnsSprite(std::uint32_t from, std::uint32_t sprite, std::uint32_t hostsAnswer, std::uint32_t self) {
        if (hostFlag) return hostsAnswer == sprite;
        if ((from == self) != (sprite == ownSpriteId)) return false;
        for (const auto& [s, owner] : frameOwners)
            if (owner == from && s != sprite) return false;
        return frameOwners.emplace(sprite, from).first->second == from;
    }

    void QueueFrame(std::uint32_t from, const std::vector<std::uint8_t>& packet) {
        std::uint32_t sprite = 0;
        std::vector<netwire::FrameRecord> records;
        std::string why;
        if (!netwire::ReadFrameInput(packet.data(), packet.size(), sprite, records, why))
            return Log("a frame packet was dropped: " + why);
        const std::uint32_t hostsAnswer = hostFlag ? SpriteOf(from) : 0;
        auto session = Peer();
        const std::uint32_t self = session ? session->LocalPlayer() : 0;
        {
            std::lock_guard<std::mutex> hold(frameMutex);
            if (!OwnsSprite(from, sprite, hostsAnswer, self))
                return Dropped(from, NetFrameInput, "the sprite is not the sender's");
            auto& waiting = frames[sprite];
            if (waiting.size() >= MaxWaitingFrames)
                return Dropped(from, NetFrameInput, "it is ahead of every frame still to come");
            waiting.push_back(std::move(records));
        }
        frameArrived.notify_all();
    }

    int PlayerInfo(std::uint32_t id, int& isHost, char*& name) {
        auto p = Peer();
        if (id == 0 || !p) return 0;
        std::string text;
        bool host = false;
        if (!p->PlayerInfo(id, text, host)) return 0;
        isHost = host ? 1 : 0;
        delete[] name;
        name = nullptr;
        if (!text.empty()) {
            name = new char[text.size() + 1];
            std::memcpy(name, text.c_str(), text.size() + 1);
        }
        return 1;
    }

    // --- workers ---

    // Host: the free network-player sprites go to the player.
    void OfferSprites(std::uint32_t p) {
        std::vector<std::uint32_t> ids;
        {
            std::lock_guard<qel::CriticalSection> hold(env.PlayerLock());
            for (std::uint32_t id : env.FreeNetworkSprites())
                if (!Reserved(id)) ids.push_back(id);
        }
        if (SessionExists()) Send(netwire::PlayerList(ids), p, true);
    }

    void PlayerDestroyedWork(std::uint32_t p) {
        std::uint32_t sprite = 0;
        {
            // Out of the map before anyone hears of it, so that every peer's
            // reaction finds the player gone.
            std::lock_guard<qel::CriticalSection> hold(env.PlayerLock());
            auto it = env.PlayerMap().find(p);
            if (it == env.PlayerMap().end()) return;  // left before taking a sprite
            sprite = it->second;
            env.PlayerMap().erase(it);
        }
        Send(netwire::IdPacket(NetPlayerResigned, sprite), 0, true);
    }

    // The first ending of the session freezes the game (and lets a frame step
    // that waits for input go on when asked); false for every later one.
    bool BeginEnding(bool releaseFrame) {
        std::lock_guard<std::mutex> hold(waitLock);
        if (ending) return false;
        ending = true;
        if (releaseFrame) env.ReceivedFromPlayers();
        env.WaitingForPlayers(true);
        return true;
    }

    // The host is gone: the game stops, the user is told why and the
    // disconnect level follows, unless the session has ended otherwise.
    void EndSession(std::uint64_t g, const char* text) {
        if (generation != g || !BeginEnding(true)) return;
        auto self = shared_from_this();
        Start(g, [self, g, text] { self->EndWithMessage(g, text); });
    }

    // The message, then the disconnect level, unless the session has ended
    // while the message was up (the game may be elsewhere by then).
    void EndWithMessage(std::uint64_t g, const char* text) {
        env.RequestMessageBox(text, "Attention", NetworkComponent::AttentionFlags);
        if (generation == g) env.GoToDisconnectLevel();
    }

    // The frame exchange gave up waiting: the game stops and goes to the
    // disconnect level, and the session is reset when it ends.
    void ConnectionLost() {
        lost = true;
        if (!BeginEnding(false)) return;
        const std::uint64_t g = generation;
        auto self = shared_from_this();
        Start(g, [self, g] { self->EndWithMessage(g, HostLost); });
    }

    // On the packet queue's worker; what waits for the user goes on to a
    // worker of its own.
    void ReceiveWork(std::uint64_t g, std::uint32_t from, const std::vector<std::uint8_t>& packet) {
        const std::uint8_t* data = packet.data();
        const std::size_t size = packet.size();
        std::uint32_t id = 0;
        auto self = shared_from_this();
        if (generation != g) return;
        switch (data[0]) {
            case NetPlayerList:
                if (choosing.exchange(true))
                    return Log("a player list came while one was being chosen from; it was dropped");
                return Start(g, [self, g, packet] {
                    self->ChooseSprite(g, packet.data(), packet.size());
                    self->choosing = false;
                });
            case NetPlayerChoice: return AnswerChoice(from, data, size);
            case NetPlayerAccepted:
                if (!ReadIdOrDrop(data, size, id)) return;
                if (ownSpriteId != 0) return Log("a second acceptance was dropped");
                ownSpriteId = id;
                return Start(g, [self, g, id] { self->Accepted(g, id); });
            case NetPlayerActive:
                if (!ReadIdOrDrop(data, size, id)) return;
                return Active(id);
            case NetSessionFull:
                if (!BeginEnding(false)) return;
                return Start(g, [self, g] {
                    self->env.RequestMessageBox(SessionFull, "Reply", NetworkComponent::ReplyFlags);
                    if (self->generation == g) self->env.GoToDisconnectLevel();
                });
            case NetPlayerResigned:
                if (!ReadIdOrDrop(data, size, id)) return;
                return Resigned(g, id);
            default: return Log("a packet of unknown type " + std::to_string(data[0]) + " was dropped");
        }
    }

    bool ReadIdOrDrop(const std::uint8_t* data, std::size_t size, std::uint32_t& id) {
        if (netwire::ReadId(data, size, id)) return true;
        Log("a packet of type " + std::to_string(data[0]) + " and " + std::to_string(size) + " bytes was dropped");
        return false;
    }

    // Joining player: picks one of the offered sprites.
    void ChooseSprite(std::uint64_t g, const std::uint8_t* data, std::size_t size) {
        {
            std::lock_guard<qel::CriticalSection> hold(env.PlayerLock());
            env.OfferedIds() = netwire::ReadPlayerList(data, size);
        }
        const int r = env.RequestDialog(DialogSelectPlayer);
        if (generation != g) return;
        if (r == DialogCancel) return env.GoToDisconnectLevel();
        const std::uint32_t chosen = std::uint32_t(r) & 0xFFFF;
        // A host that went while the dialog was up has been reported already.
        if ((!SessionExists() || Send(netwire::IdPacket(NetPlayerChoice, chosen), hostPlayerId, true) != 0) &&
            BeginEnding(false))
            EndWithMessage(g, HostLost);
    }

    bool GameRuns() {
        std::lock_guard<std::mutex> hold(frameMutex);
        return gameRuns;
    }

    // Host: accepts a choice of a free sprite, else offers the list again.
    void AnswerChoice(std::uint32_t from, const std::uint8_t* data, std::size_t size) {
        // Only the host hands out sprites: a choice sent to every player
        // before the host was known reaches the others too.
        if (hostFlag == 0) return;
        if (GameRuns()) return TurnAway(from);
        std::uint32_t id = 0;
        bool valid = false;
        if (size == netwire::IdPacketSize && netwire::ReadId(data, size, id)) {
            std::lock_guard<qel::CriticalSection> hold(env.PlayerLock());
            valid = env.IsFreeNetworkSprite(id) && !Reserved(id);
            // Reserved now, so that a second choice of the same sprite made
            // before its announcement has come back is refused.
            if (valid) env.PlayerMap()[from] = id;
        }
        if (!valid) return OfferSprites(from);
        {
            // The sprite's frames count from here, level with the others'.
            std::lock_guard<std::mutex> hold(frameMutex);
            relayed[id] = LeastRelayed();
        }
        if (auto session = Peer()) session->Seat(from);
        if (Send(netwire::IdPacket(NetPlayerAccepted, id), from, true) != 0) {
            std::lock_guard<qel::CriticalSection> hold(env.PlayerLock());
            env.PlayerMap().erase(from);
        }
        Send(netwire::IdPacket(NetPlayerActive, id), 0, true);
    }

    bool Reserved(std::uint32_t id) {
        for (const auto& [player, sprite] : env.PlayerMap())
            if (sprite == id) return true;
        return false;
    }

    void Accepted(std::uint64_t g, std::uint32_t id) {
        if (!SessionExists()) return;
        {
            std::lock_guard<qel::CriticalSection> hold(env.PlayerLock());
            env.MakeMainCharacter(id);
        }
        env.RequestDialog(DialogWaitForPlayers);
        // A wait of a session that has ended meanwhile must not let the game
        // of the next one run.
        std::lock_guard<std::mutex> hold(waitLock);
        if (generation == g && !ending) env.WaitingForPlayers(false);
    }

    void Active(std::uint32_t id) {
        const bool session = SessionExists();
        {
            // The frames wait for the player from the moment it counts, so
            // the first frame of the game already waits for everyone.
            std::lock_guard<qel::CriticalSection> hold(env.PlayerLock());
            // A sprite may be announced twice (by the host to all, and by its
            // player to a newcomer): it counts once.
            for (unsigned int i = 0; i < env.ActiveIds().Size(); ++i)
                if (std::uint32_t(env.ActiveIds()[i]) == id) return;
            if (env.TakeSprite(id)) {
                env.ActiveIds().Add(std::int32_t(id));
                std::lock_guard<std::mutex> frameHold(frameMutex);
                playing.insert(id);
            }
            if (session) ++playerCount;
        }
        frameArrived.notify_all();
    }

    void Resigned(std::uint64_t g, std::uint32_t id) {
        std::uint32_t count;
        {
            std::lock_guard<qel::CriticalSection> hold(env.PlayerLock());
            if (playerCount > 0) --playerCount;
            count = playerCount;
        }
        if (count >= env.RequiredPlayers() || env.WaitingForPlayers() || !BeginEnding(true)) return;
        String name;
        bool found;
        {
            std::lock_guard<qel::CriticalSection> hold(env.PlayerLock());
            found = env.SpriteName(id, name);
        }
        const std::string text = std::string("Player '") + (found ? static_cast<const char*>(name) : "Unidentified") +
                                 "' has resigned.\nSorry, the game cannot continue.";
        auto self = shared_from_this();
        Start(g, [self, g, text] { self->EndWithMessage(g, text.c_str()); });
    }

    // The session's frame admission: once the frame step has read this
    // peer's input (the frame event), it waits until every playing sprite has
    // a frame packet, hands the oldest of each to its sprite and tells the
    // frame step that the frame's input is in.
    void AdmitFrames(std::uint64_t g) {
        while (generation == g) {
            if (!env.FrameEvent().WaitFor(AdmissionSliceMs)) continue;
            if (generation != g) {
                env.FrameEvent().Set();  // the frame step's signal was for the next session
                return;
            }
            std::vector<std::pair<std::uint32_t, std::vector<netwire::FrameRecord>>> frame;
            {
                std::unique_lock<std::mutex> hold(frameMutex);
                while (generation == g && !FrameComplete())
                    frameArrived.wait_for(hold, std::chrono::milliseconds(AdmissionSliceMs));
                if (generation != g) return;
                for (std::uint32_t sprite : playing) {
                    frame.emplace_back(sprite, std::move(frames[sprite].front()));
                    frames[sprite].pop_front();
                }
                LetLeaversGo();
            }
            std::lock_guard<qel::CriticalSection> hold(env.PlayerLock());
            if (generation != g) return;
            for (auto& [sprite, records] : frame) env.QueueInput(sprite, records);
            // Kill changes the generation under this lock too: a session that
            // ended meanwhile never tells the game that its frame is in.
            if (generation != g) return;
            env.ReceivedFromPlayers();
        }
    }

    // Nothing is admitted before every required player plays: a frame of the
    // players already known would pair their first packets with nobody's,
    // and the late player's input would stay a frame behind for good.
    bool FrameComplete() {
        if (playing.empty() || playing.size() < env.RequiredPlayers()) return false;
        for (std::uint32_t sprite : playing) {
            auto it = frames.find(sprite);
            if (it == frames.end() || it->second.empty()) return false;
        }
        return true;
    }
};

NetworkComponent::NetworkComponent() : NetworkComponent(EngineNetEnvironment()) {}

NetworkComponent::NetworkComponent(NetEnvironment& environment) : core(std::make_shared<Core>(environment)) {}

NetworkComponent::~NetworkComponent() { Kill(); }

int NetworkComponent::Init() {
    std::lock_guard<std::mutex> hold(core->peerMutex);
    if (core->peer) return -1;
    const std::uint64_t g = ++core->generation;
    core->peer = std::make_shared<qel::NetPeer>(core->Events());
    core->ending = false;
    core->lost = false;
    {
        std::lock_guard<std::mutex> frameHold(core->frameMutex);
        core->frames.clear();
        core->playing.clear();
        core->frameOwners.clear();
        core->relayed.clear();
        core->announced.clear();
        core->leaving.clear();
        core->gameRuns = false;
    }
    {
        std::lock_guard<std::mutex> queueHold(core->queueMutex);
        core->packetQueue.clear();
        core->queuedFrom.clear();
        core->takingPackets = true;
    }
    core->choosing = false;
    while (core->env.FrameEvent().WaitFor(0)) {
    }
    auto c = core;
    core->Start(g, [c, g] { c->AdmitFrames(g); });
    core->Start(g, [c, g] { c->WorkOffPackets(g); });
    return 0;
}

int NetworkComponent::Host(_GUID application, unsigned long port, const char* session, const char* player) {
    if (port <= LowestPort) return -1;
    if (Init() != 0) {
        core->env.ShowError("Initialization failed and/or already connected.");
        return -1;
    }
    core->hostFlag = 1;
    const std::uint32_t listenOn = core->anyPort ? 0 : port > 0xFFFFFFFFul ? 0x10000 : std::uint32_t(port);
    const qel::NetResult r = core->Peer()->Host(ToAppId(application), listenOn, session ? session : "",
                                                player ? player : "", core->bindAddress);
    if (r == qel::NetResult::Ok) return 0;
    if (r == qel::NetResult::BadPort) {
        core->env.ShowError("Failed to use the port.");
    } else {
        core->Log(core->Peer()->LastError());
        core->env.ShowError("Failed to create a session.");
    }
    Kill();
    return -1;
}

int NetworkComponent::Connect(_GUID application, const char* host, unsigned long port, const char* player) {
    if (core->hostFlag || host == nullptr || port <= LowestPort || core->connectedFlag) return -1;
    if (Init() != 0) {
        core->env.ShowError("Initialization failed and/or already connected.");
        return -1;
    }
    // Set first: the session's threads deliver, and may answer, before
    // Connect returns.
    core->connectedFlag = 1;
    const qel::NetResult r = core->Peer()->Connect(ToAppId(application), host,
                                                   port > 0xFFFFFFFFul ? 0 : std::uint32_t(port), player ? player : "");
    if (r == qel::NetResult::Ok) return 0;
    if (r == qel::NetResult::Failed) {
        core->Log(core->Peer()->LastError());
        core->env.ShowError("Failed to connect.");
    }
    Kill();
    return -1;
}

void NetworkComponent::Kill() {
    NetEnvironment& env = core->env;
    std::shared_ptr<qel::NetPeer> closing;
    {
        std::lock_guard<qel::CriticalSection> hold(env.PlayerLock());
        env.PlayerMap().clear();
        std::lock_guard<std::mutex> peerHold(core->peerMutex);
        closing = std::move(core->peer);
        ++core->generation;
    }
    std::deque<Core::QueuedWork> dropped;
    {
        std::lock_guard<std::mutex> queueHold(core->queueMutex);
        core->takingPackets = false;
        dropped.swap(core->packetQueue);
        core->queuedFrom.clear();
    }
    core->frameArrived.notify_all();
    core->queued.notify_all();
    if (closing) closing->Close(core->lost);
    core->hostFlag = 0;
    core->connectedFlag = 0;
    core->hostPlayerId = 0;
    core->ownSpriteId = 0;
    {
        std::lock_guard<qel::CriticalSection> hold(env.PlayerLock());
        core->playerCount = 0;
        env.ActiveIds().Clear();
    }
    env.WaitingForPlayers(false);
    outQueue.clear();
}

int NetworkComponent::Send(unsigned char* data, unsigned long size, int loopback, unsigned long to) {
    if (data == nullptr || size == 0 || to > 0xFFFFFFFFul) return -1;
    return core->Send(std::vector<std::uint8_t>(data, data + size), std::uint32_t(to), loopback != 0);
}

void NetworkComponent::AddToQOut(unsigned char type, unsigned char* data, unsigned int size) {
    netwire::FrameRecord record;
    record.type = type;
    if (size > 0 && data != nullptr) record.data.assign(data, data + size);
    outQueue.push_back(std::move(record));
}

void NetworkComponent::SendQOut() {
    if (outQueue.empty()) return;
    if (core->releasePending.exchange(false)) AddReleases();
    core->Send(netwire::FrameInput(core->ownSpriteId, outQueue), 0, true);
}

void NetworkComponent::ReleaseHeldInput() { core->releasePending = true; }

// The releases go first in their records (mouse after the marker, keys last),
// so that what the frame presses again stays pressed.
void NetworkComponent::AddReleases() {
    std::vector<std::uint8_t> keys, buttons;
    if (core->ownSpriteId != 0) core->env.HeldInput(core->ownSpriteId, keys, buttons);
    std::vector<std::uint8_t> mouse, pairs;
    for (std::uint8_t b : buttons) {
        const std::uint8_t kind = std::uint8_t(MouseEvent::Button0 << b);
        mouse.insert(mouse.end(), {kind, 0, 0, 0, 0, 0, 0, 0});
    }
    for (std::uint8_t k : keys) pairs.insert(pairs.end(), {k, 0});
    PrependRecord(NetMouseEvents, mouse);
    PrependRecord(NetKeyEvents, pairs);
}

void NetworkComponent::PrependRecord(std::uint8_t type, const std::vector<std::uint8_t>& data) {
    if (data.empty()) return;
    for (netwire::FrameRecord& r : outQueue)
        if (r.type == type) {
            r.data.insert(r.data.begin(), data.begin(), data.end());
            return;
        }
    netwire::FrameRecord record{type, data};
    auto at = outQueue.begin();
    if (type == NetMouseEvents) {
        while (at != outQueue.end() && at->type == NetFrameMarker) ++at;
    } else {
        at = outQueue.end();
    }
    outQueue.insert(at, std::move(record));
}

void NetworkComponent::ClearQOut() { outQueue.clear(); }

int NetworkComponent::GetPlayerInfo(unsigned long id, int& isHost, char*& name) {
    if (id > 0xFFFFFFFFul) return 0;
    return core->PlayerInfo(std::uint32_t(id), isHost, name);
}

bool NetworkComponent::SessionOpen() const { return core->SessionExists(); }
bool NetworkComponent::IsHost() const { return core->hostFlag != 0; }
bool NetworkComponent::IsConnected() const { return core->connectedFlag != 0; }
std::uint32_t NetworkComponent::HostPlayerId() const { return core->hostPlayerId; }
std::uint32_t NetworkComponent::OwnSpriteId() const { return core->ownSpriteId; }

std::uint32_t NetworkComponent::PlayerCount() const {
    std::lock_guard<qel::CriticalSection> hold(core->env.PlayerLock());
    return core->playerCount;
}

void NetworkComponentTesting::BindAddress(NetworkComponent& component, const char* address) {
    component.core->bindAddress = address ? address : "";
}

void NetworkComponentTesting::ListenOnAnyPort(NetworkComponent& component) { component.core->anyPort = true; }

std::uint32_t NetworkComponentTesting::ListeningPort(const NetworkComponent& component) {
    auto p = component.core->Peer();
    return p ? p->ListeningPort() : 0;
}

void NetworkComponent::ConnectionLost() { core->ConnectionLost(); }
