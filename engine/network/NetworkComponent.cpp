#include "network/NetworkComponent.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include "network/NetEnvironment.h"
#include "platform/NetPeer.h"

namespace {

constexpr unsigned long LowestPort = 1000;
constexpr int DialogSelectPlayer = 109;
constexpr int DialogCancel = 2;
// A waiting frame packet looks this often whether its session has ended.
constexpr std::uint32_t AdmissionSliceMs = 100;

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
    std::atomic<std::uint32_t> framePackets{0};
    // Changes at every Init and Kill: a worker of an earlier session gives up.
    std::atomic<std::uint64_t> generation{0};
    std::string bindAddress;

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

    void Log(const std::string& text) { env.Log(("Network: " + text).c_str()); }

    // --- the session's events (on the session's thread) ---
    qel::NetPeerEvents Events() {
        std::weak_ptr<Core> weak = weak_from_this();
        const std::uint64_t g = generation;
        qel::NetPeerEvents events;
        events.playerCreated = [weak, g](std::uint32_t p) {
            if (auto c = weak.lock(); c && c->generation == g) c->PlayerCreated(p);
        };
        events.playerDestroyed = [weak, g](std::uint32_t p) {
            if (auto c = weak.lock(); c && c->generation == g && c->hostFlag) c->Start(g, [c, p] { c->PlayerDestroyedWork(p); });
        };
        events.received = [weak, g](std::uint32_t from, std::vector<std::uint8_t> packet) {
            auto c = weak.lock();
            if (!c || c->generation != g || packet.empty()) return;
            c->Start(g, [c, g, from, packet = std::move(packet)] { c->ReceiveWork(g, from, packet); });
        };
        events.sessionTerminated = [weak, g] {
            auto c = weak.lock();
            if (!c || c->generation != g || c->ownSpriteId == 0 || c->hostFlag) return;
            c->env.ReceivedFromPlayers();
            c->env.WaitingForPlayers(true);
            c->Start(g, [c] { c->TerminatedWork(); });
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

    void PlayerCreated(std::uint32_t p) {
        auto session = Peer();
        if (session && session->IsOpen() && hostPlayerId == 0) {
            int isHost = 0;
            char* name = nullptr;
            if (PlayerInfo(p, isHost, name) && isHost) hostPlayerId = p;
            delete[] name;
        }
        if (session && session->IsOpen() && ownSpriteId != 0) Send(netwire::IdPacket(NetPlayerActive, ownSpriteId), p, false);
        if (hostFlag == 0) return;
        std::uint32_t count;
        {
            std::lock_guard<qel::CriticalSection> hold(env.PlayerLock());
            count = playerCount;
        }
        if (count < env.MaximumPlayers()) {
            auto self = shared_from_this();
            Start(generation, [self, p] { self->OfferSprites(p); });
        } else {
            Send({NetSessionFull}, p, true);
        }
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
            std::lock_guard<qel::CriticalSection> hold(env.PlayerLock());
            auto it = env.PlayerMap().find(p);
            if (it == env.PlayerMap().end()) return;  // left before taking a sprite
            sprite = it->second;
        }
        Send(netwire::IdPacket(NetPlayerResigned, sprite), 0, true);
        std::lock_guard<qel::CriticalSection> hold(env.PlayerLock());
        env.PlayerMap().erase(p);
    }

    void TerminatedWork() {
        env.RequestMessageBox(HostTerminated, "Attention", NetworkComponent::AttentionFlags);
        env.GoToDisconnectLevel();
    }

    void ReceiveWork(std::uint64_t g, std::uint32_t from, const std::vector<std::uint8_t>& packet) {
        const std::uint8_t* data = packet.data();
        const std::size_t size = packet.size();
        std::uint32_t id = 0;
        switch (data[0]) {
            case NetPlayerList: return ChooseSprite(data, size);
            case NetPlayerChoice: return AnswerChoice(from, data, size);
            case NetPlayerAccepted:
                if (!ReadIdOrDrop(data, size, id)) return;
                return Accepted(id);
            case NetPlayerActive:
                if (!ReadIdOrDrop(data, size, id)) return;
                return Active(id);
            case NetSessionFull:
                env.RequestMessageBox(SessionFull, "Reply", NetworkComponent::ReplyFlags);
                return env.GoToDisconnectLevel();
            case NetPlayerResigned:
                if (!ReadIdOrDrop(data, size, id)) return;
                return Resigned(id);
            case NetFrameInput: return FrameInput(g, data, size);
            default:
                return Log("a packet of unknown type " + std::to_string(data[0]) + " was dropped");
        }
    }

    bool ReadIdOrDrop(const std::uint8_t* data, std::size_t size, std::uint32_t& id) {
        if (netwire::ReadId(data, size, id)) return true;
        Log("a packet of type " + std::to_string(data[0]) + " and " + std::to_string(size) + " bytes was dropped");
        return false;
    }

    // Joining player: picks one of the offered sprites.
    void ChooseSprite(const std::uint8_t* data, std::size_t size) {
        {
            std::lock_guard<qel::CriticalSection> hold(env.PlayerLock());
            env.OfferedIds() = netwire::ReadPlayerList(data, size);
        }
        const int r = env.RequestDialog(DialogSelectPlayer);
        if (r == DialogCancel) return env.GoToDisconnectLevel();
        const std::uint32_t chosen = std::uint32_t(r) & 0xFFFF;
        if (!SessionExists() || Send(netwire::IdPacket(NetPlayerChoice, chosen), hostPlayerId, true) != 0) {
            env.RequestMessageBox(HostLost, "Attention", NetworkComponent::AttentionFlags);
            env.GoToDisconnectLevel();
        }
    }

    // Host: accepts a choice of a free sprite, else offers the list again.
    void AnswerChoice(std::uint32_t from, const std::uint8_t* data, std::size_t size) {
        // Only the host hands out sprites: a choice sent to every player
        // before the host was known reaches the others too.
        if (hostFlag == 0) return;
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

    void Accepted(std::uint32_t id) {
        if (!SessionExists()) return;
        ownSpriteId = id;
        {
            std::lock_guard<qel::CriticalSection> hold(env.PlayerLock());
            env.MakeMainCharacter(id);
        }
        env.WaitForOtherPlayers();
    }

    void Active(std::uint32_t id) {
        const bool session = SessionExists();
        std::lock_guard<qel::CriticalSection> hold(env.PlayerLock());
        if (env.TakeSprite(id)) env.ActiveIds().Add(std::int32_t(id));
        if (session) ++playerCount;
    }

    void Resigned(std::uint32_t id) {
        std::uint32_t count;
        {
            std::lock_guard<qel::CriticalSection> hold(env.PlayerLock());
            if (playerCount > 0) --playerCount;
            count = playerCount;
        }
        if (count >= env.RequiredPlayers() || env.WaitingForPlayers()) return;
        env.ReceivedFromPlayers();
        env.WaitingForPlayers(true);
        String name;
        bool found;
        {
            std::lock_guard<qel::CriticalSection> hold(env.PlayerLock());
            found = env.SpriteName(id, name);
        }
        const std::string text = std::string("Player '") + (found ? static_cast<const char*>(name) : "Unidentified") +
                                 "' has resigned.\nSorry, the game cannot continue.";
        env.RequestMessageBox(text.c_str(), "Attention", NetworkComponent::AttentionFlags);
        env.GoToDisconnectLevel();
    }

    // One peer's input for a frame: admitted one packet at a time once the
    // frame step has read this peer's own input.
    void FrameInput(std::uint64_t g, const std::uint8_t* data, std::size_t size) {
        std::uint32_t sprite = 0;
        std::vector<netwire::FrameRecord> records;
        std::string why;
        if (!netwire::ReadFrameInput(data, size, sprite, records, why)) return Log("a frame packet was dropped: " + why);
        while (!env.FrameEvent().WaitFor(AdmissionSliceMs))
            if (generation != g) return;  // the session ended while this packet waited
        {
            std::lock_guard<qel::CriticalSection> hold(env.PlayerLock());
            env.QueueInput(sprite, records);
        }
        // The input is queued before the next packet is let in, so the frame
        // never runs with a packet half applied.
        if (++framePackets < env.RequiredPlayers()) {
            env.FrameEvent().Set();
        } else {
            framePackets = 0;
            env.ReceivedFromPlayers();
        }
    }
};

NetworkComponent::NetworkComponent() : NetworkComponent(EngineNetEnvironment()) {}

NetworkComponent::NetworkComponent(NetEnvironment& environment) : core(std::make_shared<Core>(environment)) {}

NetworkComponent::~NetworkComponent() { Kill(); }

int NetworkComponent::Init() {
    std::lock_guard<std::mutex> hold(core->peerMutex);
    if (core->peer) return -1;
    ++core->generation;
    core->peer = std::make_shared<qel::NetPeer>(core->Events());
    core->framePackets = 0;
    while (core->env.FrameEvent().WaitFor(0)) {
    }
    return 0;
}

int NetworkComponent::Host(_GUID application, unsigned long port, const char* session, const char* player) {
    if (port <= LowestPort) return -1;
    if (Init() != 0) {
        core->env.ShowError("Initialization failed and/or already connected.");
        return -1;
    }
    core->hostFlag = 1;
    const qel::NetResult r = core->Peer()->Host(ToAppId(application), port > 0xFFFFFFFFul ? 0 : std::uint32_t(port),
                                                session ? session : "", player ? player : "", core->bindAddress);
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
    const qel::NetResult r = core->Peer()->Connect(ToAppId(application), host,
                                                   port > 0xFFFFFFFFul ? 0 : std::uint32_t(port), player ? player : "");
    if (r == qel::NetResult::Ok) {
        core->connectedFlag = 1;
        return 0;
    }
    if (r == qel::NetResult::Failed) {
        core->Log(core->Peer()->LastError());
        core->env.ShowError("Failed to connect.");
    }
    Kill();
    return -1;
}

void NetworkComponent::Kill() {
    NetEnvironment& env = core->env;
    {
        std::lock_guard<qel::CriticalSection> hold(env.PlayerLock());
        env.PlayerMap().clear();
    }
    std::shared_ptr<qel::NetPeer> closing;
    {
        std::lock_guard<std::mutex> hold(core->peerMutex);
        closing = std::move(core->peer);
        ++core->generation;
    }
    if (closing) closing->Close();
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
    core->Send(netwire::FrameInput(core->ownSpriteId, outQueue), 0, true);
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

void NetworkComponent::BindAddress(const char* address) { core->bindAddress = address ? address : ""; }
