#include <gtest/gtest.h>
#include <algorithm>
#include <utility>
#include <sys/socket.h>
#include <sys/time.h>
#include <asio.hpp>
#include <array>
#include <condition_variable>
#include <mutex>
#include <thread>
#include "FakeNetEnvironment.h"
#include "RawPlayer.h"
#include "platform/NetPeer.h"
#include "testing/TestHooks.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
const char* const Loopback = "127.0.0.1";
// Any port above 1000 passes the component's check; the host listens on one
// the system chooses.
constexpr unsigned long SomePort = 24600;

void GiveLevel(FakeNetEnvironment& env) {
    std::lock_guard<qel::CriticalSection> hold(env.lock);
    env.sprites[1].name = "Red";
    env.sprites[2].name = "Blue";
    env.sprites[3].name = "Scenery";
    env.sprites[3].networkPlayer = false;
}

// A port nobody listens on: one the system gave out and took back.
std::uint32_t UnusedPort() {
    FakeNetEnvironment env;
    NetworkComponent probe(env);
    NetworkComponentTesting::BindAddress(probe, Loopback);
    NetworkComponentTesting::ListenOnAnyPort(probe);
    if (probe.Host(TestGuid(99), SomePort, "S", "P") != 0) return 0;
    const std::uint32_t port = NetworkComponentTesting::ListeningPort(probe);
    probe.Kill();
    env.JoinWorkers();
    return port;
}

std::vector<std::int32_t> Active(FakeNetEnvironment& env) {
    std::lock_guard<qel::CriticalSection> hold(env.lock);
    std::vector<std::int32_t> ids;
    for (unsigned i = 0; i < env.activeIds.Size(); ++i) ids.push_back(env.activeIds[i]);
    std::sort(ids.begin(), ids.end());
    return ids;
}

// A host and a joiner on loopback that have both taken their sprites: the host
// takes the first sprite offered, the joiner the last.
class TwoPlayers : public ::testing::Test {
protected:
    void Open() {
        GiveLevel(hostEnv);
        GiveLevel(joinEnv);
        hostEnv.chooser = ChooseFirst;
        joinEnv.chooser = [](int kind, const std::vector<std::uint32_t>& ids) {
            return ids.empty() || kind != 109 ? 2 : int(ids.back() | 0x10000);
        };
        NetworkComponentTesting::BindAddress(host, Loopback);
        NetworkComponentTesting::ListenOnAnyPort(host);
        ASSERT_EQ(host.Host(TestGuid(7), SomePort, "Session", "Hoster"), 0);
        ASSERT_TRUE(hostEnv.WaitUntil([&] { return hostEnv.waits == 1; }));
        ASSERT_EQ(joiner.Connect(TestGuid(7), Loopback, NetworkComponentTesting::ListeningPort(host), "Joiner"), 0);
        ASSERT_TRUE(joinEnv.WaitUntil([&] { return joinEnv.waits == 1; }));
        // Both sprites are taken on both peers (each counts as it marks).
        for (FakeNetEnvironment* env : {&hostEnv, &joinEnv}) ASSERT_TRUE(env->WaitUntilTaken(2));
    }
    // Both peers run one frame: this peer's input goes out, then the frame
    // step's event admits the peers' packets.
    void ExchangeFrame(const std::vector<netwire::FrameRecord>& hostInput,
                       const std::vector<netwire::FrameRecord>& joinInput, int frame) {
        for (auto [c, input] : {std::pair{&host, &hostInput}, std::pair{&joiner, &joinInput}}) {
            for (const auto& r : *input)
                c->AddToQOut(r.type, const_cast<std::uint8_t*>(r.data.data()), unsigned(r.data.size()));
            c->SendQOut();
            c->ClearQOut();
        }
        hostEnv.frameEvent.Set();
        joinEnv.frameEvent.Set();
        ASSERT_TRUE(hostEnv.WaitUntil([&] { return hostEnv.framesReceived == frame; }));
        ASSERT_TRUE(joinEnv.WaitUntil([&] { return joinEnv.framesReceived == frame; }));
    }
    // Sends these bytes as a packet from the joiner to every player.
    void JoinerSends(Bytes packet) { ASSERT_EQ(joiner.Send(packet.data(), packet.size(), 0, 0), 0); }
    std::vector<netwire::FrameRecord> Queue(FakeNetEnvironment& env, std::uint32_t sprite) {
        return env.Read([&] { return env.sprites[sprite].queue; });
    }
    bool Logged(FakeNetEnvironment& env, const std::string& part) {
        return env.WaitUntil([&] {
            for (const std::string& line : env.logs)
                if (line.find(part) != std::string::npos) return true;
            return false;
        });
    }

    void TearDown() override {
        joiner.Kill();
        host.Kill();
        hostEnv.JoinWorkers();
        joinEnv.JoinWorkers();
    }

    FakeNetEnvironment hostEnv, joinEnv;
    NetworkComponent host{hostEnv}, joiner{joinEnv};
};

}  // namespace

TEST_F(TwoPlayers, EachPlayerTakesASpriteAndEveryPeerKnowsBoth) {
    Open();
    EXPECT_TRUE(host.IsHost());
    EXPECT_TRUE(joiner.IsConnected());
    EXPECT_EQ(host.OwnSpriteId(), 1u);
    EXPECT_EQ(joiner.OwnSpriteId(), 2u);
    EXPECT_EQ(host.PlayerCount(), 2u);
    EXPECT_EQ(joiner.PlayerCount(), 2u);
    EXPECT_EQ(Active(hostEnv), (std::vector<std::int32_t>{1, 2}));
    EXPECT_EQ(Active(joinEnv), (std::vector<std::int32_t>{1, 2}));
    {
        std::lock_guard<qel::CriticalSection> hold(hostEnv.lock);
        EXPECT_TRUE(hostEnv.sprites[1].mainCharacter);
        EXPECT_FALSE(hostEnv.sprites[2].mainCharacter);
        EXPECT_FALSE(hostEnv.sprites[3].taken);  // not a network player's sprite
        EXPECT_EQ(hostEnv.playerMap.size(), 2u);
    }
    {
        std::lock_guard<qel::CriticalSection> hold(joinEnv.lock);
        EXPECT_TRUE(joinEnv.sprites[2].mainCharacter);
        EXPECT_TRUE(joinEnv.sprites[1].taken);
        // The joiner was offered only what was free: the host's sprite was taken.
        EXPECT_EQ(joinEnv.offered, std::vector<std::uint32_t>{2});
        EXPECT_TRUE(joinEnv.playerMap.empty());  // only the host keeps the map
    }
    int isHost = 0;
    char* name = nullptr;
    EXPECT_EQ(joiner.GetPlayerInfo(joiner.HostPlayerId(), isHost, name), 1);
    ASSERT_NE(name, nullptr);
    EXPECT_STREQ(name, "Hoster");
    EXPECT_EQ(isHost, 1);
    EXPECT_EQ(joiner.GetPlayerInfo(0, isHost, name), 0);
    delete[] name;
}

TEST_F(TwoPlayers, FrameInputReachesTheSendersSpriteOnEveryPeerByteForByte) {
    Open();
    const std::vector<netwire::FrameRecord> hostInput = {
        {NetFrameMarker, {}}, {NetMouseEvents, {1, 0xC8, 0, 0, 0x10, 0x27, 0, 0}}, {NetKeyEvents, {0x20, 1, 0x1E, 0}}};
    const std::vector<netwire::FrameRecord> joinInput = {{NetFrameMarker, {}}};
    ExchangeFrame(hostInput, joinInput, 1);
    for (FakeNetEnvironment* env : {&hostEnv, &joinEnv}) {
        env->Read([&] {
            const auto& red = env->sprites[1].queue;
            const auto& blue = env->sprites[2].queue;
            EXPECT_EQ(red.size(), hostInput.size());
            for (std::size_t i = 0; i < std::min(red.size(), hostInput.size()); ++i) {
                EXPECT_EQ(red[i].type, hostInput[i].type);
                EXPECT_EQ(red[i].data, hostInput[i].data);
            }
            EXPECT_EQ(blue.size(), 1u);
            EXPECT_EQ(env->framesQueued, 2);
            return 0;
        });
    }
    // The next frame's packets wait for the frame step of that frame.
    ExchangeFrame(joinInput, joinInput, 2);
    EXPECT_EQ(hostEnv.Read([&] { return hostEnv.framesQueued; }), 4);
}

TEST_F(TwoPlayers, BadPacketsAreDroppedWithAMessageAndTheSessionGoesOn) {
    Open();
    struct Case {
        const char* what;
        Bytes packet;
    };
    const Case cases[] = {
        {"unused type 3", {3, 1, 0, 0, 0}},
        {"type above the known ones", {200}},
        {"announcement cut short", {NetPlayerActive, 2}},
        {"resignation without an id", {NetPlayerResigned}},
        {"frame packet cut short", {NetFrameInput, 2, 0, 0, 0, 1, 0, 0}},
        {"frame record longer than the packet", {NetFrameInput, 2, 0, 0, 0, 1, 0, 0, 0, 9, 0xFF, 0xFF, 0xFF, 0x7F, 1}},
    };
    for (const Case& c : cases) {
        Bytes p = c.packet;
        ASSERT_EQ(joiner.Send(p.data(), p.size(), 0, 0), 0) << c.what;
    }
    ASSERT_TRUE(hostEnv.WaitUntil([&] { return hostEnv.logs.size() == std::size(cases); }));
    EXPECT_EQ(host.PlayerCount(), 2u);
    EXPECT_EQ(hostEnv.Read([&] { return hostEnv.disconnects; }), 0);
    // A choice that only the host may answer changes nothing on the joiner.
    Bytes choice = netwire::IdPacket(NetPlayerChoice, 1);
    ASSERT_EQ(host.Send(choice.data(), choice.size(), 0, 0), 0);
    ExchangeFrame({{NetFrameMarker, {}}}, {{NetFrameMarker, {}}}, 1);
    EXPECT_EQ(joinEnv.Read([&] { return joinEnv.boxes.size(); }), 0u);
    EXPECT_EQ(Active(joinEnv), (std::vector<std::int32_t>{1, 2}));
}

TEST_F(TwoPlayers, TheHostEndingTheSessionSendsTheJoinerToItsDisconnectLevel) {
    Open();
    host.Kill();
    ASSERT_TRUE(joinEnv.WaitUntil([&] { return joinEnv.disconnects == 1; }));
    EXPECT_EQ(joinEnv.Read([&] { return joinEnv.boxes; }),
              std::vector<std::string>{
                  "Attention|The host has terminated the session.\nSorry, the game cannot continue.|8240"});
    EXPECT_TRUE(joinEnv.waiting);
    EXPECT_EQ(joinEnv.Read([&] { return joinEnv.framesReceived; }), 1);  // the frame wait lets go
}

TEST_F(TwoPlayers, AResignationBelowTheRequiredPlayersEndsTheGameOnEveryPeer) {
    Open();
    joiner.Kill();
    ASSERT_TRUE(hostEnv.WaitUntil([&] { return hostEnv.disconnects == 1; }));
    EXPECT_EQ(hostEnv.Read([&] { return hostEnv.boxes; }),
              std::vector<std::string>{"Attention|Player 'Blue' has resigned.\nSorry, the game cannot continue.|8240"});
    EXPECT_EQ(host.PlayerCount(), 1u);
    EXPECT_TRUE(hostEnv.waiting);
    {
        std::lock_guard<qel::CriticalSection> hold(hostEnv.lock);
        EXPECT_TRUE(hostEnv.sprites[2].taken);  // the resigned sprite stays taken
        EXPECT_EQ(hostEnv.playerMap.size(), 1u);
    }
    EXPECT_EQ(joinEnv.Read([&] { return joinEnv.boxes.size(); }), 0u);
}

TEST(NetworkComponent, AFullSessionTurnsNewPlayersAway) {
    FakeNetEnvironment hostEnv, joinEnv;
    GiveLevel(hostEnv);
    GiveLevel(joinEnv);
    hostEnv.maximum = 1;
    hostEnv.chooser = ChooseFirst;
    {
        NetworkComponent host(hostEnv), joiner(joinEnv);
        NetworkComponentTesting::BindAddress(host, Loopback);
        NetworkComponentTesting::ListenOnAnyPort(host);
        ASSERT_EQ(host.Host(TestGuid(8), SomePort, "S", "H"), 0);
        ASSERT_TRUE(hostEnv.WaitUntil([&] { return hostEnv.waits == 1; }) && hostEnv.WaitUntilTaken(1));
        ASSERT_EQ(joiner.Connect(TestGuid(8), Loopback, NetworkComponentTesting::ListeningPort(host), "J"), 0);
        ASSERT_TRUE(joinEnv.WaitUntil([&] { return joinEnv.disconnects == 1; }));
        EXPECT_EQ(joinEnv.Read([&] { return joinEnv.boxes; }),
                  std::vector<std::string>{"Reply|Sorry, the session is full.\nTry again later.|8256"});
        EXPECT_TRUE(joinEnv.Read([&] { return joinEnv.dialogs.empty(); }));
        // Turned away means let go: the host closes the link.
        for (int i = 0; i < 500 && joiner.SessionOpen(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_FALSE(joiner.SessionOpen());
    }
    hostEnv.JoinWorkers();
    joinEnv.JoinWorkers();
}

TEST(NetworkComponent, SessionsAreRefusedWithTheirMessages) {
    FakeNetEnvironment env;
    struct Case {
        const char* what;
        std::function<int(NetworkComponent&)> call;
        int result;
        std::vector<std::string> errors;
    };
    const Case cases[] = {
        {"host on port 1000", [](NetworkComponent& c) { return c.Host(TestGuid(1), 1000, "S", "P"); }, -1, {}},
        {"host on a port beyond 65535",
         [](NetworkComponent& c) { return c.Host(TestGuid(1), 70000, "S", "P"); },
         -1,
         {"Failed to use the port."}},
        {"join on port 1000", [](NetworkComponent& c) { return c.Connect(TestGuid(1), Loopback, 1000, "P"); }, -1, {}},
        {"join without a host name",
         [](NetworkComponent& c) { return c.Connect(TestGuid(1), nullptr, SomePort, "P"); },
         -1,
         {}},
        {"join where nobody hosts",
         [](NetworkComponent& c) { return c.Connect(TestGuid(1), Loopback, UnusedPort(), "P"); },
         -1,
         {"Failed to connect."}},
        {"send before any session",
         [](NetworkComponent& c) {
             unsigned char b[] = {4, 1, 0, 0, 0};
             return c.Send(b, sizeof b, 1, 0);
         },
         -1,
         {}},
    };
    for (const Case& c : cases) {
        NetworkComponent component(env);
        NetworkComponentTesting::BindAddress(component, Loopback);
        EXPECT_EQ(c.call(component), c.result) << c.what;
        EXPECT_EQ(env.Read([&] { return env.errors; }), c.errors) << c.what;
        EXPECT_FALSE(component.SessionOpen()) << c.what;
        env.Read([&] { return (env.errors.clear(), 0); });
    }
    // A host cannot join, and an empty out-queue sends nothing.
    NetworkComponent host(env);
    NetworkComponentTesting::BindAddress(host, Loopback);
    NetworkComponentTesting::ListenOnAnyPort(host);
    ASSERT_EQ(host.Host(TestGuid(1), SomePort, "S", "P"), 0);
    EXPECT_EQ(host.Connect(TestGuid(1), Loopback, NetworkComponentTesting::ListeningPort(host), "P"), -1);
    EXPECT_EQ(host.Init(), -1);
    host.SendQOut();
    host.Kill();
    env.JoinWorkers();
}

TEST_F(TwoPlayers, ControlPacketsFromAPlayerWhoMayNotSendThemAreDropped) {
    Open();
    struct Case {
        const char* what;
        Bytes packet;
    };
    const Case cases[] = {
        {"a sprite list", {NetPlayerList, 1, 0, 0, 0}},
        {"an acceptance", netwire::IdPacket(NetPlayerAccepted, 1)},
        {"a full session", {NetSessionFull}},
        {"a resignation", netwire::IdPacket(NetPlayerResigned, 1)},
        {"an announcement of another's sprite", netwire::IdPacket(NetPlayerActive, 1)},
    };
    for (const Case& c : cases) JoinerSends(c.packet);
    ASSERT_TRUE(hostEnv.WaitUntil([&] { return hostEnv.logs.size() == std::size(cases); }));
    for (const std::string& line : hostEnv.Read([&] { return hostEnv.logs; }))
        EXPECT_NE(line.find("dropped"), std::string::npos) << line;
    // The game goes on everywhere: a frame still runs on both peers.
    ExchangeFrame({{NetFrameMarker, {}}}, {{NetFrameMarker, {}}}, 1);
    for (FakeNetEnvironment* env : {&hostEnv, &joinEnv}) {
        EXPECT_EQ(env->Read([&] { return env->boxes.size() + std::size_t(env->disconnects); }), 0u);
        EXPECT_EQ(env->Read([&] { return env->dialogs; }), (std::vector<int>{109, 110}));  // nothing new
    }
    EXPECT_EQ(host.PlayerCount(), 2u);
}

TEST_F(TwoPlayers, AFramePacketCountsOnlyFromItsSpritesPlayerAndOnlyOnce) {
    Open();
    const netwire::FrameRecord press{NetKeyEvents, {0x39, 1}};
    // The joiner plays for the host's sprite; then sends three frames of its
    // own where only one can be due: the third is a replay.
    JoinerSends(netwire::FrameInput(1, {press}));
    for (std::uint8_t key : {0x1E, 0x1F, 0x20}) {
        const netwire::FrameRecord r{NetKeyEvents, {key, 1}};
        joiner.AddToQOut(r.type, const_cast<std::uint8_t*>(r.data.data()), 2);
        joiner.SendQOut();
        joiner.ClearQOut();
    }
    ASSERT_TRUE(Logged(hostEnv, "not the sender's"));
    ASSERT_TRUE(Logged(hostEnv, "ahead"));
    host.AddToQOut(NetFrameMarker, nullptr, 0);
    host.SendQOut();
    host.ClearQOut();
    hostEnv.frameEvent.Set();
    ASSERT_TRUE(hostEnv.WaitUntil([&] { return hostEnv.framesReceived == 1; }));
    EXPECT_EQ(Queue(hostEnv, 1).size(), 1u);  // the host's own marker, nothing forged
    ASSERT_EQ(Queue(hostEnv, 2).size(), 1u);
    EXPECT_EQ(Queue(hostEnv, 2)[0].data, (Bytes{0x1E, 1}));  // the joiner's first frame
}

TEST_F(TwoPlayers, AWorkerOfASessionThatEndedWhileItWaitedLeavesTheGameAlone) {
    Open();
    // The joiner's game leaves the session (a level switch) while the host's
    // end is still on its screen.
    joinEnv.whileBoxIsUp = [&] { joiner.Kill(); };
    host.Kill();
    ASSERT_TRUE(joinEnv.WaitUntil([&] { return joinEnv.boxes.size() == 1; }));
    joinEnv.JoinWorkers();
    EXPECT_EQ(joinEnv.Read([&] { return joinEnv.disconnects; }), 0);
}

TEST_F(TwoPlayers, ATimedOutFrameTellsBothPeersTheConnectionIsLost) {
    Open();
    const std::string lost = "Attention|Connection to the host is lost.\nSorry, the game cannot continue.|8240";
    host.ConnectionLost();
    ASSERT_TRUE(hostEnv.WaitUntil([&] { return hostEnv.disconnects == 1; }));
    EXPECT_EQ(hostEnv.Read([&] { return hostEnv.boxes; }), std::vector<std::string>{lost});
    EXPECT_TRUE(hostEnv.waiting);
    // The disconnect level closes the host's session: the joiner hears of a
    // lost connection, not of a session the host ended.
    host.Kill();
    ASSERT_TRUE(joinEnv.WaitUntil([&] { return joinEnv.disconnects == 1; }));
    EXPECT_EQ(joinEnv.Read([&] { return joinEnv.boxes; }), std::vector<std::string>{lost});
}

TEST_F(TwoPlayers, ASpriteAnnouncedAgainCountsOnce) {
    Open();
    // The host announces its own sprite again, as it does to a newcomer that
    // joins while its first announcement is still on the way; then a third
    // sprite, so that both peers have worked the repeats off.
    for (std::uint32_t id : {1u, 2u, 1u, 3u}) {
        Bytes p = netwire::IdPacket(NetPlayerActive, id);
        ASSERT_EQ(host.Send(p.data(), p.size(), 1, 0), 0);
    }
    for (FakeNetEnvironment* env : {&hostEnv, &joinEnv}) {
        ASSERT_TRUE(env->WaitUntilTaken(3));
        EXPECT_EQ(Active(*env), (std::vector<std::int32_t>{1, 2, 3}));
    }
    EXPECT_EQ(host.PlayerCount(), 3u);
    EXPECT_EQ(joiner.PlayerCount(), 3u);
}

// A stranger who joins the session and floods it with packets of a type
// nobody knows: the host passes none of them on, neither peer starts a thread
// per packet or writes a log line per packet, and the game goes on.
TEST_F(TwoPlayers, AStrangerFloodingUnknownPacketsFreezesNobody) {
    Open();
    const std::size_t hostThreads = hostEnv.WorkersStarted(), joinThreads = joinEnv.WorkersStarted();
    asio::io_context io;
    asio::ip::tcp::socket stranger(io);
    stranger.connect({asio::ip::make_address(Loopback), std::uint16_t(NetworkComponentTesting::ListeningPort(host))});
    Bytes stream{0, 0, 0, 0, 1};  // a hello for this game, as a peer says it
    const qel::NetPeer::AppId app{7, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0x5A};
    stream.insert(stream.end(), app.begin(), app.end());
    stream.insert(stream.end(), {1, 0, 'S'});
    stream[0] = std::uint8_t(stream.size() - 4);
    constexpr int Flood = 5000;
    for (int i = 0; i < Flood; ++i) stream.insert(stream.end(), {11, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0, 0, 0, 3, 1});
    asio::write(stranger, asio::buffer(stream));
    // The stranger is a player now, offered the sprites; its flood has been
    // read once its choice after it is answered with a second offer.
    Bytes choice{0, 0, 0, 0, 6, 0, 0, 0, 0, 0, 0, 0, 0};
    const Bytes invalid = netwire::IdPacket(NetPlayerChoice, 99);
    choice.insert(choice.end(), invalid.begin(), invalid.end());
    choice[0] = std::uint8_t(choice.size() - 4);
    asio::write(stranger, asio::buffer(choice));
    timeval fiveSeconds{5, 0};
    const int raw = stranger.native_handle();
    ::setsockopt(raw, SOL_SOCKET, SO_RCVTIMEO, &fiveSeconds, sizeof fiveSeconds);
    auto readAll = [raw](std::uint8_t* to, std::size_t n) { return ::recv(raw, to, n, MSG_WAITALL) == ssize_t(n); };
    int offers = 0;
    for (bool reading = true; reading && offers < 2;) {
        std::array<std::uint8_t, 4> header{};
        reading = readAll(header.data(), 4);
        Bytes body(std::size_t(header[0] | header[1] << 8 | header[2] << 16));
        reading = reading && readAll(body.data(), body.size());
        offers += reading && body.size() > 9 && body[0] == 6 && body[9] == NetPlayerList;
    }
    ASSERT_EQ(offers, 2);
    ExchangeFrame({{NetFrameMarker, {}}}, {{NetFrameMarker, {}}}, 1);
    EXPECT_LE(hostEnv.WorkersStarted(), hostThreads + 2);
    EXPECT_LE(joinEnv.WorkersStarted(), joinThreads + 2);
    EXPECT_LE(hostEnv.Read([&] { return hostEnv.logs.size(); }), 40u);
    EXPECT_EQ(joinEnv.Read([&] { return joinEnv.logs.size(); }), 0u);  // nothing reached the joiner
}

// A frame admitted as the session ends must not tell the game (by then on
// another level, or in the next session) that its frame's input is in.
TEST_F(TwoPlayers, AFrameAdmittedAsTheSessionEndsIsNotCounted) {
    Open();
    bool once = false;
    joinEnv.whileQueueing = [&] {
        if (std::exchange(once, true)) return;
        joiner.Kill();  // the game leaves the level as the frame's input is handed over
    };
    for (NetworkComponent* c : {&host, &joiner}) {
        c->AddToQOut(NetFrameMarker, nullptr, 0);
        c->SendQOut();
        c->ClearQOut();
    }
    hostEnv.frameEvent.Set();
    joinEnv.frameEvent.Set();
    ASSERT_TRUE(joinEnv.WaitUntil([&] { return joinEnv.framesQueued > 0; }));
    joinEnv.JoinWorkers();
    EXPECT_TRUE(once);
    EXPECT_EQ(joinEnv.Read([&] { return joinEnv.framesReceived; }), 0);
}

// A joined player may address a packet to one player instead of all. The host
// judges those too: frames go to everyone in their turn or nowhere, and only
// a sprite's own player announces it, so a stranger cannot make one peer take
// its frames for another player's or wait for a sprite nobody plays.
TEST_F(TwoPlayers, PacketsAStrangerSendsToOnePlayerCannotPartThePeers) {
    Open();
    const std::uint32_t hostPlayer = 1, joinerPlayer = 2;  // the order in which they came
    RawPlayer stranger(NetworkComponentTesting::ListeningPort(host), 7);
    ASSERT_TRUE(stranger.ReadUntilPacket(NetPlayerList));
    const netwire::FrameRecord press{NetKeyEvents, {0x39, 1}};
    for (std::uint32_t to : {joinerPlayer, hostPlayer}) {
        stranger.SendTo(to, netwire::FrameInput(1, {press}));  // the host's sprite
        stranger.SendTo(to, netwire::FrameInput(2, {press}));  // the joiner's
        stranger.SendTo(to, netwire::IdPacket(NetPlayerActive, 3));
    }
    // Once the host has had the stranger's last word, the rest has been routed.
    stranger.SendTo(0, {200});
    ASSERT_TRUE(Logged(hostEnv, "type 200"));
    const std::vector<netwire::FrameRecord> hostInput = {{NetFrameMarker, {}}, {NetKeyEvents, {0x1E, 1}}};
    const std::vector<netwire::FrameRecord> joinInput = {{NetFrameMarker, {}}};
    ExchangeFrame(hostInput, joinInput, 1);
    for (FakeNetEnvironment* env : {&hostEnv, &joinEnv}) {
        EXPECT_EQ(Active(*env), (std::vector<std::int32_t>{1, 2}));
        const auto hostSprite = Queue(*env, 1), joinSprite = Queue(*env, 2);
        ASSERT_EQ(hostSprite.size(), hostInput.size());
        EXPECT_EQ(hostSprite[1].data, hostInput[1].data);
        ASSERT_EQ(joinSprite.size(), joinInput.size());
    }
}

// Three players of a level that two may play: a host and two joiners, each of
// whom has taken one of the three sprites, in the order they came.
class ThreePlayers : public ::testing::Test {
protected:
    void SetUp() override {
        for (FakeNetEnvironment* env : envs) {
            std::lock_guard<qel::CriticalSection> hold(env->lock);
            for (std::uint32_t id : {1u, 2u, 3u}) env->sprites[id].name = "Player " + std::to_string(id);
            env->chooser = ChooseFirst;
            env->maximum = 3;
        }
        NetworkComponentTesting::BindAddress(peers[0], Loopback);
        NetworkComponentTesting::ListenOnAnyPort(peers[0]);
        ASSERT_EQ(peers[0].Host(TestGuid(9), SomePort, "S", "H"), 0);
        ASSERT_TRUE(envs[0]->WaitUntilTaken(1));
        for (int i = 1; i < 3; ++i) {
            ASSERT_EQ(peers[i].Connect(TestGuid(9), Loopback, NetworkComponentTesting::ListeningPort(peers[0]), "J"),
                      0);
            for (int j = 0; j <= i; ++j) ASSERT_TRUE(envs[j]->WaitUntilTaken(i + 1));
        }
        for (FakeNetEnvironment* env : envs) ASSERT_TRUE(env->WaitUntilTaken(3));
    }
    void TearDown() override {
        for (int i = 2; i >= 0; --i) peers[i].Kill();
        for (FakeNetEnvironment* env : envs) env->JoinWorkers();
    }
    // The peer sends its frame packet: a marker and a key of its own.
    void SendFrame(int peer) {
        std::uint8_t key[] = {std::uint8_t(0x10 + peer), 1};
        peers[peer].AddToQOut(NetFrameMarker, nullptr, 0);
        peers[peer].AddToQOut(NetKeyEvents, key, 2);
        peers[peer].SendQOut();
        peers[peer].ClearQOut();
    }
    std::vector<netwire::FrameRecord> Queue(FakeNetEnvironment& env, std::uint32_t sprite) {
        return env.Read([&] { return env.sprites[sprite].queue; });
    }
    // The peer's frame step asks for the frame's input and gets it.
    bool Admit(int peer, int frame) {
        envs[peer]->frameEvent.Set();
        return envs[peer]->WaitUntil([&] { return envs[peer]->framesReceived == frame; });
    }

    FakeNetEnvironment hostEnv, aEnv, cEnv;
    FakeNetEnvironment* envs[3] = {&hostEnv, &aEnv, &cEnv};
    NetworkComponent peers[3] = {NetworkComponent(hostEnv), NetworkComponent(aEnv), NetworkComponent(cEnv)};
};

// A player that leaves plays out the frames it sent before it went, on every
// peer alike, however far each peer's frame step has got when it hears of it.
TEST_F(ThreePlayers, APlayerWhoLeavesCountsInTheSameFramesOnEveryPeer) {
    for (int peer : {0, 1, 2}) SendFrame(peer);
    for (int peer : {0, 1, 2}) ASSERT_TRUE(Admit(peer, 1));
    // Frame 2 is sent by all; the host takes it in at once, the first joiner
    // only after the third player has left.
    for (int peer : {0, 1, 2}) SendFrame(peer);
    ASSERT_TRUE(Admit(0, 2));
    peers[2].Kill();
    for (int peer : {0, 1}) {
        for (int i = 0; i < 500 && peers[peer].PlayerCount() != 2; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_EQ(peers[peer].PlayerCount(), 2u) << peer;
    }
    ASSERT_TRUE(Admit(1, 2));
    const std::uint32_t leaver = 3;
    EXPECT_EQ(Queue(hostEnv, leaver).size(), 4u);  // two frames of marker and key
    EXPECT_EQ(Queue(aEnv, leaver).size(), Queue(hostEnv, leaver).size());
    // The two who stay play on without it.
    for (int peer : {0, 1}) SendFrame(peer);
    for (int peer : {0, 1}) EXPECT_TRUE(Admit(peer, 3)) << peer;
    EXPECT_EQ(Queue(aEnv, leaver).size(), Queue(hostEnv, leaver).size());
    for (FakeNetEnvironment* env : {&hostEnv, &aEnv})
        EXPECT_EQ(env->Read([&] { return env->boxes.size() + std::size_t(env->disconnects); }), 0u);
}

// A joined stranger who floods the host with sprite choices while the host's
// worker is busy fills the packets waiting for it only with its own: a real
// player's choice that comes meanwhile is still answered.
TEST(NetworkComponent, AStrangerFloodingChoicesCannotCrowdOutAPlayersChoice) {
    FakeNetEnvironment hostEnv, joinEnv;
    GiveLevel(hostEnv);
    GiveLevel(joinEnv);
    hostEnv.chooser = ChooseFirst;
    std::mutex gate;
    std::condition_variable opened;
    bool joinerMayChoose = false, hostMayOffer = false;
    auto waitFor = [&](bool& flag) {
        std::unique_lock<std::mutex> hold(gate);
        opened.wait_for(hold, std::chrono::seconds(10), [&] { return flag; });
    };
    auto open = [&](bool& flag) {
        {
            std::lock_guard<std::mutex> hold(gate);
            flag = true;
        }
        opened.notify_all();
    };
    joinEnv.chooser = [&](int kind, const std::vector<std::uint32_t>& ids) {
        waitFor(joinerMayChoose);
        return ChooseFirst(kind, ids);
    };
    NetworkComponent host(hostEnv), joiner(joinEnv);
    NetworkComponentTesting::BindAddress(host, Loopback);
    NetworkComponentTesting::ListenOnAnyPort(host);
    ASSERT_EQ(host.Host(TestGuid(7), SomePort, "S", "H"), 0);
    ASSERT_TRUE(hostEnv.WaitUntilTaken(1));
    const std::uint32_t port = NetworkComponentTesting::ListeningPort(host);
    ASSERT_EQ(joiner.Connect(TestGuid(7), Loopback, port, "J"), 0);
    ASSERT_TRUE(joinEnv.WaitUntil([&] { return joinEnv.offered == std::vector<std::uint32_t>{2}; }));
    // The host's worker is held up as it lists the sprites for the stranger;
    // meanwhile the stranger's choices pile up.
    hostEnv.whileOffering = [&] { waitFor(hostMayOffer); };
    RawPlayer stranger(port, 7);
    for (int i = 0; i < 3000; ++i) stranger.SendTo(1, netwire::IdPacket(NetPlayerChoice, 99));
    ASSERT_TRUE(hostEnv.WaitUntil([&] { return !hostEnv.logs.empty(); }));
    // A second later the log takes lines again: the joiner's choice, were it
    // dropped, would say so.
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    const std::size_t logged = hostEnv.Read([&] { return hostEnv.logs.size(); });
    open(joinerMayChoose);
    hostEnv.WaitUntil([&] { return hostEnv.logs.size() > logged; }, std::chrono::seconds(2));
    open(hostMayOffer);
    EXPECT_TRUE(joinEnv.WaitUntilTaken(2)) << hostEnv.Read([&] {
        std::string all;
        for (const std::string& line : hostEnv.logs) all += line + "\n";
        return all;
    });
    EXPECT_EQ(joiner.OwnSpriteId(), 2u);
    joiner.Kill();
    host.Kill();
    hostEnv.JoinWorkers();
    joinEnv.JoinWorkers();
}

// A host that speaks the session's frames over a socket of its own: it
// welcomes one joiner as player 2 (itself player 1), may offer it sprites,
// then goes as a process does that ends (its socket closed) or is killed
// with data unread (its socket reset).
class RawHost {
public:
    RawHost() : acceptor_(io_, {asio::ip::make_address(Loopback), 0}), socket_(io_) {}
    std::uint32_t Port() const { return acceptor_.local_endpoint().port(); }
    void Welcome() {
        acceptor_.accept(socket_);
        std::array<std::uint8_t, 4> header{};
        asio::read(socket_, asio::buffer(header));
        Bytes hello(netwire::GetU32(header.data()));
        asio::read(socket_, asio::buffer(hello));
        Bytes welcome{2};
        netwire::PutU32(welcome, 2);
        netwire::PutU32(welcome, 1);
        welcome.insert(welcome.end(), {1, 0, 'S'});
        netwire::PutU32(welcome, 2);
        welcome.insert(welcome.end(), {1, 0, 0, 0, 1, 1, 0, 'H', 2, 0, 0, 0, 0, 1, 0, 'J'});
        SendFrame(welcome);
    }
    void Offer(std::uint32_t sprite) {
        Bytes data{6, 1, 0, 0, 0, 2, 0, 0, 0};
        const Bytes list = netwire::PlayerList({sprite});
        data.insert(data.end(), list.begin(), list.end());
        SendFrame(data);
    }
    void Go(bool reset) {
        asio::error_code ignored;
        if (reset) socket_.set_option(asio::socket_base::linger(true, 0), ignored);
        socket_.close(ignored);
    }

private:
    void SendFrame(const Bytes& body) {
        Bytes frame;
        netwire::PutU32(frame, std::uint32_t(body.size()));
        frame.insert(frame.end(), body.begin(), body.end());
        asio::write(socket_, asio::buffer(frame));
    }
    asio::io_context io_;
    asio::ip::tcp::acceptor acceptor_;
    asio::ip::tcp::socket socket_;
};

// A joiner whose host goes away before it has a sprite (none offered yet, or
// the joiner still choosing) is told so once and leaves the level: it does
// not sit in its frozen level for good.
TEST(NetworkComponent, AJoinerWhoseHostGoesBeforeItPlaysIsToldSo) {
    struct Case {
        const char* what;
        bool choosing;  // the joiner's choice dialog is up as the host goes
        bool reset;     // the host's connection is lost rather than ended
        std::string box;
    };
    const std::string ended = "Attention|The host has terminated the session.\nSorry, the game cannot continue.|8240";
    const std::string lost = "Attention|Connection to the host is lost.\nSorry, the game cannot continue.|8240";
    const Case cases[] = {
        {"no sprite offered yet", false, false, ended},
        {"no sprite offered yet, connection lost", false, true, lost},
        {"choosing", true, false, ended},
    };
    for (const Case& c : cases) {
        FakeNetEnvironment joinEnv;
        GiveLevel(joinEnv);
        std::mutex gate;
        std::condition_variable opened;
        bool hostGone = false;
        joinEnv.chooser = [&](int kind, const std::vector<std::uint32_t>& ids) {
            std::unique_lock<std::mutex> hold(gate);
            opened.wait_for(hold, std::chrono::seconds(10), [&] { return hostGone; });
            return ChooseFirst(kind, ids);
        };
        RawHost host;
        std::thread welcoming([&] { host.Welcome(); });
        {
            NetworkComponent joiner(joinEnv);
            joinEnv.waiting = true;  // as the level start leaves it once the session is up
            ASSERT_EQ(joiner.Connect(TestGuid(7), Loopback, host.Port(), "J"), 0) << c.what;
            welcoming.join();
            if (c.choosing) {
                host.Offer(2);
                ASSERT_TRUE(joinEnv.WaitUntil([&] { return !joinEnv.offered.empty(); })) << c.what;
            }
            host.Go(c.reset);
            // The user answers the dialog after the host has gone.
            EXPECT_TRUE(joinEnv.WaitUntil([&] { return !joinEnv.boxes.empty(); })) << c.what;
            {
                std::lock_guard<std::mutex> hold(gate);
                hostGone = true;
            }
            opened.notify_all();
            EXPECT_TRUE(joinEnv.WaitUntil([&] { return joinEnv.disconnects > 0; })) << c.what;
            EXPECT_TRUE(joinEnv.waiting) << c.what;
            joiner.Kill();
            joinEnv.JoinWorkers();  // what the joiner's workers still had to say is said
            EXPECT_EQ(joinEnv.Read([&] { return joinEnv.boxes; }), std::vector<std::string>{c.box}) << c.what;
        }
    }
}

// A lockstep game cannot take a player in once it runs: the newcomer has not
// played its frames, and the peers would wait for its sprite from different
// frames on. A player who comes then is told the session is full, and the
// game goes on without waiting for it.
TEST_F(TwoPlayers, APlayerWhoComesOnceTheGameRunsIsTurnedAway) {
    for (FakeNetEnvironment* env : {&hostEnv, &joinEnv}) {
        std::lock_guard<qel::CriticalSection> hold(env->lock);
        env->sprites[4].name = "Green";  // room for a third player
    }
    Open();
    ExchangeFrame({{NetFrameMarker, {}}}, {{NetFrameMarker, {}}}, 1);
    FakeNetEnvironment lateEnv;
    GiveLevel(lateEnv);
    lateEnv.chooser = ChooseFirst;
    {
        NetworkComponent late(lateEnv);
        ASSERT_EQ(late.Connect(TestGuid(7), Loopback, NetworkComponentTesting::ListeningPort(host), "Late"), 0);
        ASSERT_TRUE(lateEnv.WaitUntil([&] { return lateEnv.disconnects == 1; }));
        EXPECT_EQ(lateEnv.Read([&] { return lateEnv.boxes; }),
                  std::vector<std::string>{"Reply|Sorry, the session is full.\nTry again later.|8256"});
        late.Kill();
    }
    lateEnv.JoinWorkers();
    ExchangeFrame({{NetFrameMarker, {}}}, {{NetFrameMarker, {}}}, 2);
    const std::vector<std::int32_t> playing{std::int32_t(host.OwnSpriteId()), std::int32_t(joiner.OwnSpriteId())};
    EXPECT_EQ(Active(hostEnv), playing);
    EXPECT_EQ(Active(joinEnv), playing);
}
