#include <gtest/gtest.h>
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <asio.hpp>
#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>
#include "platform/NetPeer.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
const qel::NetPeer::AppId Game1{1, 2, 3};
const qel::NetPeer::AppId Game2{9, 9, 9};
const char* const Loopback = "127.0.0.1";
// Hosts listen on a port the system chooses, so that test runs sharing a
// machine never meet.
constexpr std::uint32_t AnyPort = 0;

// What one peer has been told, in order.
struct Journal {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::uint32_t> created, destroyed;
    std::vector<std::pair<std::uint32_t, Bytes>> packets;
    std::vector<std::string> problems;
    int terminated = 0;
    std::vector<bool> terminations;  // lost or ended, in order

    qel::NetPeerEvents Events() {
        qel::NetPeerEvents e;
        e.playerCreated = [this](std::uint32_t p) { Note([&] { created.push_back(p); }); };
        e.playerDestroyed = [this](std::uint32_t p) { Note([&] { destroyed.push_back(p); }); };
        e.received = [this](std::uint32_t from, Bytes b) { Note([&] { packets.emplace_back(from, std::move(b)); }); };
        e.sessionTerminated = [this](bool lost) {
            Note([&] {
                ++terminated;
                terminations.push_back(lost);
            });
        };
        e.problem = [this](const std::string& why) { Note([&] { problems.push_back(why); }); };
        return e;
    }
    template <class F>
    void Note(F f) {
        {
            std::lock_guard<std::mutex> hold(lock);
            f();
        }
        changed.notify_all();
    }
    bool WaitUntil(const std::function<bool()>& condition) {
        std::unique_lock<std::mutex> hold(lock);
        return changed.wait_for(hold, std::chrono::seconds(5), condition);
    }
};

// Raw bytes to a port, as a peer that does not follow the session's rules.
void SendRaw(std::uint32_t port, const Bytes& bytes) {
    asio::io_context io;
    asio::ip::tcp::socket socket(io);
    // The host may hang up first: its refusal is what is being tested.
    asio::error_code ignored;
    socket.connect({asio::ip::make_address(Loopback), std::uint16_t(port)}, ignored);
    asio::write(socket, asio::buffer(bytes), ignored);
    socket.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
}

// A connection to a host that sends the bytes, then reads until the host
// hangs up (at most 5 s). What the host sent back, and whether it hung up.
struct RawReply {
    Bytes received;
    bool hungUp = false;
};
class RawLink {
public:
    // From that loopback address, when one is given.
    RawLink(std::uint32_t port, const Bytes& bytes, const char* from = nullptr) : socket(io) {
        asio::error_code ignored;
        if (from != nullptr) {
            socket.open(asio::ip::tcp::v4(), ignored);
            socket.bind({asio::ip::make_address(from), 0}, ignored);
        }
        socket.connect({asio::ip::make_address(Loopback), std::uint16_t(port)}, ignored);
        asio::write(socket, asio::buffer(bytes), ignored);
    }
    RawReply ReadToEnd() {
        RawReply reply;
        std::array<std::uint8_t, 256> buffer{};
        std::function<void()> next = [&] {
            socket.async_read_some(asio::buffer(buffer), [&](const asio::error_code& e, std::size_t n) {
                reply.received.insert(reply.received.end(), buffer.begin(), buffer.begin() + long(n));
                if (e)
                    reply.hungUp = true;
                else
                    next();
            });
        };
        next();
        io.run_for(std::chrono::seconds(5));
        return reply;
    }

private:
    asio::io_context io;
    asio::ip::tcp::socket socket;
};

Bytes Hello(const qel::NetPeer::AppId& app) {
    Bytes frame{0, 0, 0, 0, 1};  // length to come; a hello
    frame.insert(frame.end(), app.begin(), app.end());
    frame.insert(frame.end(), {1, 0, 'X'});
    frame[0] = std::uint8_t(frame.size() - 4);
    return frame;
}

}  // namespace

TEST(NetPeer, ConnectionsTheHostDoesNotAdmitAreClosed) {
    const Bytes refused{1, 0, 0, 0, 3};
    const Bytes hello = Hello(Game1);
    const Bytes halfHello(hello.begin(), hello.begin() + 9);
    struct Case {
        const char* what;
        std::chrono::milliseconds handshakeTime;
        int alreadyJoining;  // silent connections held before this one
        Bytes bytes;
        Bytes reply;
    };
    const Case cases[] = {
        {"says nothing", std::chrono::milliseconds(200), 0, {}, {}},
        {"sends half a hello", std::chrono::milliseconds(200), 0, halfHello, {}},
        {"says hello for another game", std::chrono::seconds(30), 0, Hello(Game2), refused},
    };
    for (const Case& c : cases) {
        Journal seen;
        qel::NetPeerLimits limits;
        limits.handshakeTime = c.handshakeTime;
        limits.pendingLinks = 2;
        qel::NetPeer host(seen.Events(), limits);
        ASSERT_EQ(host.Host(Game1, AnyPort, "S", "H", Loopback), qel::NetResult::Ok);
        std::vector<std::unique_ptr<RawLink>> joining;
        // Connections are accepted in the order they came: the held ones first.
        for (int i = 0; i < c.alreadyJoining; ++i)
            joining.push_back(std::make_unique<RawLink>(host.ListeningPort(), Bytes{}));
        RawLink link(host.ListeningPort(), c.bytes);
        const RawReply reply = link.ReadToEnd();
        EXPECT_TRUE(reply.hungUp) << c.what;
        EXPECT_EQ(reply.received, c.reply) << c.what;
        EXPECT_EQ(seen.created.size(), 1u) << c.what;  // the host's own player only
        // The host still takes a real player, once the ones that held it up
        // have gone (the host learns of that on its own thread).
        joining.clear();
        qel::NetResult joined = qel::NetResult::Failed;
        for (int i = 0; i < 100 && joined != qel::NetResult::Ok; ++i) {
            Journal joinerSeen;
            qel::NetPeer joiner(joinerSeen.Events());
            joined = joiner.Connect(Game1, Loopback, host.ListeningPort(), "J");
            if (joined != qel::NetResult::Ok) std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        EXPECT_EQ(joined, qel::NetResult::Ok) << c.what;
    }
}

TEST(NetPeer, AFailedAcceptIsTriedAgainAfterAPause) {
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizers' own checks open descriptors and fail without them.
    GTEST_SKIP() << "runs without the sanitizers only";
#endif
    Journal seen;
    qel::NetPeerLimits limits;
    limits.acceptPause = std::chrono::milliseconds(20);
    limits.longestAcceptPause = std::chrono::milliseconds(100);
    qel::NetPeer host(seen.Events(), limits);
    ASSERT_EQ(host.Host(Game1, AnyPort, "S", "H", Loopback), qel::NetResult::Ok);
    const int client = ::socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(client, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(std::uint16_t(host.ListeningPort()));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);

    // No descriptor is left for the host's accept: every lower one is taken
    // and the limit stops just above them.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    const int lowestFree = ::open("/dev/null", O_RDONLY);
    ASSERT_GE(lowestFree, 0);
    ::close(lowestFree);
    rlimit tight = saved;
    tight.rlim_cur = rlim_t(lowestFree);
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &tight), 0);
    const int connected = ::connect(client, reinterpret_cast<const sockaddr*>(&to), sizeof to);
    auto failures = [&] {
        std::size_t n = 0;
        for (const std::string& p : seen.problems) n += p.find("could not be accepted") != std::string::npos;
        return n;
    };
    // Three failed accepts take at least 20 + 40 ms of pauses: a session
    // thread that spun would have failed thousands of times by then.
    const bool failedThrice = seen.WaitUntil([&] { return failures() >= 3; });
    const auto start = std::chrono::steady_clock::now();
    seen.WaitUntil([&] { return failures() >= 4; });
    const auto fourth = std::chrono::steady_clock::now() - start;
    ::setrlimit(RLIMIT_NOFILE, &saved);
    ASSERT_EQ(connected, 0);
    ASSERT_TRUE(failedThrice);
    EXPECT_GE(fourth, std::chrono::milliseconds(70));  // the pause had doubled to 80 ms
    {
        std::lock_guard<std::mutex> hold(seen.lock);
        EXPECT_LE(failures(), 6u);
    }
    // With descriptors back, the waiting connection is taken and joins.
    const Bytes hello = Hello(Game1);
    ASSERT_EQ(::write(client, hello.data(), hello.size()), ssize_t(hello.size()));
    EXPECT_TRUE(seen.WaitUntil([&] { return seen.created.size() == 2; }));
    ::close(client);
}

TEST(NetPeer, AJoinerLearnsHowItsLinkToTheHostEnded) {
    struct Case {
        const char* what;
        std::function<void(qel::NetPeer& host, std::uint32_t joiner)> end;
        bool lost;
    };
    const Case cases[] = {
        {"the host closes its session", [](qel::NetPeer& h, std::uint32_t) { h.Close(); }, false},
        {"the host's connection is lost", [](qel::NetPeer& h, std::uint32_t) { h.Close(true); }, true},
        {"the host lets the joiner go after a last packet",
         [](qel::NetPeer& h, std::uint32_t j) {
             const Bytes last{5};
             h.SendTo(j, last.data(), last.size(), false);
             h.Dismiss(j);
         },
         false},
    };
    for (const Case& c : cases) {
        Journal hostSeen, aSeen;
        qel::NetPeer host(hostSeen.Events()), a(aSeen.Events());
        ASSERT_EQ(host.Host(Game1, AnyPort, "S", "H", Loopback), qel::NetResult::Ok);
        ASSERT_EQ(a.Connect(Game1, Loopback, host.ListeningPort(), "A"), qel::NetResult::Ok);
        ASSERT_TRUE(hostSeen.WaitUntil([&] { return hostSeen.created.size() == 2; }));
        c.end(host, a.LocalPlayer());
        ASSERT_TRUE(aSeen.WaitUntil([&] { return aSeen.terminated == 1; })) << c.what;
        EXPECT_EQ(aSeen.terminations, std::vector<bool>{c.lost}) << c.what;
        if (host.IsOpen()) {
            EXPECT_EQ(aSeen.packets.size(), 1u) << c.what;
            EXPECT_TRUE(hostSeen.WaitUntil([&] { return hostSeen.destroyed.size() == 1; })) << c.what;
            std::string name;
            bool isHost = false;
            EXPECT_FALSE(host.PlayerInfo(a.LocalPlayer(), name, isHost)) << c.what;
        }
    }
}

// The host decides where each packet to all players goes: nowhere (0xEE),
// to the seated players (0x5E), to itself (0x40) or to everyone.
TEST(NetPeer, TheHostRelaysEachPacketAsItsRelayDecides) {
    Journal hostSeen, aSeen, bSeen, cSeen;
    qel::NetPeerEvents events = hostSeen.Events();
    events.relay = [](std::uint32_t, std::uint32_t, const Bytes& packet) {
        switch (packet[0]) {
            case 0xEE: return qel::NetRelay::Drop;
            case 0x5E: return qel::NetRelay::Seated;
            case 0x40: return qel::NetRelay::Host;
            default: return qel::NetRelay::All;
        }
    };
    qel::NetPeer host(events), a(aSeen.Events()), b(bSeen.Events()), c(cSeen.Events());
    ASSERT_EQ(host.Host(Game1, AnyPort, "S", "H", Loopback), qel::NetResult::Ok);
    for (qel::NetPeer* p : {&a, &b, &c})
        ASSERT_EQ(p->Connect(Game1, Loopback, host.ListeningPort(), "P"), qel::NetResult::Ok);
    ASSERT_TRUE(cSeen.WaitUntil([&] { return cSeen.created.size() == 4; }));
    host.Seat(b.LocalPlayer());
    for (const Bytes& p : {Bytes{0xEE, 1}, Bytes{0x40}, Bytes{0x5E}, Bytes{0x01}})
        ASSERT_TRUE(a.SendTo(qel::NetPeer::AllPlayers, p.data(), p.size(), false));
    // The host's own packet follows once it has relayed A's.
    ASSERT_TRUE(hostSeen.WaitUntil([&] { return hostSeen.packets.size() == 3; }));
    const Bytes last{0x02};
    ASSERT_TRUE(host.SendTo(qel::NetPeer::AllPlayers, last.data(), last.size(), true));
    auto got = [](Journal& j) {
        std::vector<Bytes> all;
        for (const auto& [from, bytes] : j.packets) all.push_back(bytes);
        return all;
    };
    for (Journal* j : {&hostSeen, &aSeen, &bSeen, &cSeen})
        ASSERT_TRUE(j->WaitUntil([&] { return !j->packets.empty() && j->packets.back().second == last; }));
    EXPECT_EQ(got(hostSeen), (std::vector<Bytes>{{0x40}, {0x5E}, {0x01}, last}));
    EXPECT_EQ(got(aSeen), (std::vector<Bytes>{last}));
    EXPECT_EQ(got(bSeen), (std::vector<Bytes>{{0x5E}, {0x01}, last}));
    EXPECT_EQ(got(cSeen), (std::vector<Bytes>{{0x01}, last}));
}

// Strangers who hold half-said hellos open, from one address or many
// connections, cannot keep a real player out: the oldest make room.
TEST(NetPeer, HalfOpenConnectionsCannotLockARealPlayerOut) {
    Journal seen;
    qel::NetPeer host(seen.Events());
    ASSERT_EQ(host.Host(Game1, AnyPort, "S", "H", Loopback), qel::NetResult::Ok);
    const Bytes hello = Hello(Game1);
    std::vector<std::unique_ptr<RawLink>> strangers;
    for (int i = 0; i < 12; ++i)
        strangers.push_back(std::make_unique<RawLink>(host.ListeningPort(), Bytes(hello.begin(), hello.begin() + 9)));
    Journal joinerSeen;
    qel::NetPeer joiner(joinerSeen.Events());
    EXPECT_EQ(joiner.Connect(Game1, Loopback, host.ListeningPort(), "J"), qel::NetResult::Ok) << joiner.LastError();
    EXPECT_TRUE(seen.WaitUntil([&] { return seen.created.size() == 2; }));
}

// A player that joins and never takes part is let go after the seat time,
// and a seated player stays.
TEST(NetPeer, JoinedPlayersThatNeverTakePartAreLetGo) {
    Journal seen;
    qel::NetPeerLimits limits;
    limits.seatTime = std::chrono::milliseconds(300);
    limits.unseatedLinks = 2;
    qel::NetPeer host(seen.Events(), limits);
    ASSERT_EQ(host.Host(Game1, AnyPort, "S", "H", Loopback), qel::NetResult::Ok);
    Journal aSeen, bSeen, cSeen;
    qel::NetPeer a(aSeen.Events()), b(bSeen.Events()), c(cSeen.Events());
    ASSERT_EQ(a.Connect(Game1, Loopback, host.ListeningPort(), "A"), qel::NetResult::Ok);
    host.Seat(a.LocalPlayer());
    ASSERT_EQ(b.Connect(Game1, Loopback, host.ListeningPort(), "B"), qel::NetResult::Ok);
    ASSERT_TRUE(seen.WaitUntil([&] { return seen.created.size() == 3; }));
    ASSERT_EQ(c.Connect(Game1, Loopback, host.ListeningPort(), "C"), qel::NetResult::Ok);
    // B and C (unseated) are let go when their time is up; A stays.
    ASSERT_TRUE(seen.WaitUntil([&] { return seen.destroyed.size() == 2; }));
    EXPECT_EQ(seen.destroyed, (std::vector<std::uint32_t>{3, 4}));
    EXPECT_TRUE(bSeen.WaitUntil([&] { return bSeen.terminated == 1; }));
    EXPECT_EQ(aSeen.terminated, 0);
    std::string name;
    bool isHost = false;
    EXPECT_TRUE(host.PlayerInfo(2, name, isHost));
}

// When too many players are joined without playing, in all or from the
// newcomer's address, the newcomer gets in and the oldest unseated player
// goes: of the newcomer's address, else of the address that holds the most.
// A seated player never goes.
TEST(NetPeer, ANewcomerTakesThePlaceOfAPlayerWhoDoesNotPlay) {
    struct Case {
        const char* what;
        std::size_t unseated, perAddress;
        std::vector<const char*> joiners;  // in order, the first one seated
        const char* newcomer;
        std::uint32_t letGo;  // players count from 2, the host being 1
    };
    const Case cases[] = {
        {"too many in all", 2, 4, {"127.0.0.2", "127.0.0.2", "127.0.0.2"}, "127.0.0.2", 3},
        {"too many from one address", 8, 2, {"127.0.0.2", "127.0.0.2", "127.0.0.3", "127.0.0.2"}, "127.0.0.2", 3},
        {"too many in all, most from one address",
         3,
         4,
         {"127.0.0.2", "127.0.0.3", "127.0.0.4", "127.0.0.4"},
         "127.0.0.5",
         4},
    };
    const Bytes hello = Hello(Game1);
    for (const Case& c : cases) {
        Journal seen;
        qel::NetPeerLimits limits;
        limits.unseatedLinks = c.unseated;
        limits.unseatedPerAddress = c.perAddress;
        qel::NetPeer host(seen.Events(), limits);
        ASSERT_EQ(host.Host(Game1, AnyPort, "S", "H", Loopback), qel::NetResult::Ok);
        std::vector<std::unique_ptr<RawLink>> links;
        for (const char* from : c.joiners) {
            links.push_back(std::make_unique<RawLink>(host.ListeningPort(), hello, from));
            ASSERT_TRUE(seen.WaitUntil([&] { return seen.created.size() == links.size() + 1; })) << c.what;
            if (links.size() == 1) host.Seat(2);
        }
        RawLink newcomer(host.ListeningPort(), hello, c.newcomer);
        ASSERT_TRUE(seen.WaitUntil([&] { return seen.created.size() == links.size() + 2; })) << c.what;
        ASSERT_TRUE(seen.WaitUntil([&] { return !seen.destroyed.empty(); })) << c.what;
        EXPECT_EQ(seen.destroyed, std::vector<std::uint32_t>{c.letGo}) << c.what;
        // The player let go is hung up on; the host keeps the newcomer.
        EXPECT_TRUE(links[c.letGo - 2]->ReadToEnd().hungUp) << c.what;
        std::string name;
        bool isHost = false;
        EXPECT_TRUE(host.PlayerInfo(std::uint32_t(links.size() + 2), name, isHost)) << c.what;
    }
}

// A joined link that never reads what it is sent is closed before its queue
// grows without bound.
TEST(NetPeer, ALinkThatDoesNotReadIsClosed) {
    Journal seen;
    qel::NetPeerLimits limits;
    limits.queuedBytes = 256 * 1024;
    qel::NetPeer host(seen.Events(), limits);
    ASSERT_EQ(host.Host(Game1, AnyPort, "S", "H", Loopback), qel::NetResult::Ok);
    RawLink silent(host.ListeningPort(), Hello(Game1));  // joins, then never reads
    ASSERT_TRUE(seen.WaitUntil([&] { return seen.created.size() == 2; }));
    const Bytes big(qel::NetPeer::MaxPacket, 7);
    for (int i = 0; i < 2000 && host.SendTo(seen.created[1], big.data(), big.size(), false); ++i) {
        std::lock_guard<std::mutex> hold(seen.lock);
        if (!seen.destroyed.empty()) break;
    }
    EXPECT_TRUE(seen.WaitUntil([&] { return seen.destroyed.size() == 1; }));
}

TEST(NetPeer, JoiningPlayersAreAnnouncedToEveryPeer) {
    Journal hostSeen, aSeen, bSeen;
    qel::NetPeer host(hostSeen.Events()), a(aSeen.Events()), b(bSeen.Events());
    ASSERT_EQ(host.Host(Game1, AnyPort, "Session", "Hoster", Loopback), qel::NetResult::Ok);
    const std::uint32_t port = host.ListeningPort();
    ASSERT_EQ(a.Connect(Game1, Loopback, port, "Anna"), qel::NetResult::Ok);
    ASSERT_EQ(b.Connect(Game1, Loopback, port, "Bert"), qel::NetResult::Ok);
    const std::uint32_t h = host.LocalPlayer(), pa = a.LocalPlayer(), pb = b.LocalPlayer();
    EXPECT_NE(h, 0u);
    EXPECT_NE(pa, pb);

    // Each peer learns every player, itself included.
    using Ids = std::vector<std::uint32_t>;
    ASSERT_TRUE(hostSeen.WaitUntil([&] { return hostSeen.created == Ids{h, pa, pb}; }));
    ASSERT_TRUE(aSeen.WaitUntil([&] { return aSeen.created == Ids{h, pa, pb}; }));
    ASSERT_TRUE(bSeen.WaitUntil([&] { return bSeen.created.size() == 3; }));

    std::string name;
    bool isHost = false;
    ASSERT_TRUE(b.PlayerInfo(h, name, isHost));
    EXPECT_EQ(name, "Hoster");
    EXPECT_TRUE(isHost);
    ASSERT_TRUE(host.PlayerInfo(pa, name, isHost));
    EXPECT_EQ(name, "Anna");
    EXPECT_FALSE(isHost);
    EXPECT_FALSE(a.PlayerInfo(12345, name, isHost));

    // A player who leaves is gone for everyone who stays.
    a.Close();
    ASSERT_TRUE(hostSeen.WaitUntil([&] { return hostSeen.destroyed == Ids{pa}; }));
    ASSERT_TRUE(bSeen.WaitUntil([&] { return bSeen.destroyed == Ids{pa}; }));
    EXPECT_FALSE(b.PlayerInfo(pa, name, isHost));
    EXPECT_EQ(bSeen.terminated, 0);
}

TEST(NetPeer, PacketsArriveInOrderAtTheirAddressees) {
    Journal hostSeen, aSeen, bSeen;
    qel::NetPeer host(hostSeen.Events()), a(aSeen.Events()), b(bSeen.Events());
    ASSERT_EQ(host.Host(Game1, AnyPort, "S", "H", Loopback), qel::NetResult::Ok);
    const std::uint32_t port = host.ListeningPort();
    ASSERT_EQ(a.Connect(Game1, Loopback, port, "A"), qel::NetResult::Ok);
    ASSERT_EQ(b.Connect(Game1, Loopback, port, "B"), qel::NetResult::Ok);
    const std::uint32_t h = host.LocalPlayer(), pa = a.LocalPlayer(), pb = b.LocalPlayer();
    for (Journal* j : {&hostSeen, &aSeen, &bSeen}) ASSERT_TRUE(j->WaitUntil([&] { return j->created.size() == 3; }));

    // 300 numbered packets from A to everyone with loopback, then one to B only.
    constexpr int Count = 300;
    for (int i = 0; i < Count; ++i) {
        const Bytes p{std::uint8_t(i), std::uint8_t(i >> 8), 0xAB};
        ASSERT_TRUE(a.SendTo(qel::NetPeer::AllPlayers, p.data(), p.size(), true));
    }
    const Bytes direct{0xD1};
    ASSERT_TRUE(a.SendTo(pb, direct.data(), direct.size(), false));
    const Bytes toHost{0xD2};
    ASSERT_TRUE(b.SendTo(h, toHost.data(), toHost.size(), true));  // loopback only counts for all

    // Packets of one sender arrive in the order sent; the direct packet from A
    // comes after A's broadcasts.
    for (Journal* j : {&hostSeen, &aSeen, &bSeen}) {
        const std::size_t expected = Count + (j == &aSeen ? 0 : 1);
        ASSERT_TRUE(j->WaitUntil([&] { return j->packets.size() >= expected; }));
        std::vector<Bytes> fromA;
        for (const auto& [from, bytes] : j->packets)
            if (from == pa) fromA.push_back(bytes);
        ASSERT_GE(fromA.size(), std::size_t(Count));
        for (int i = 0; i < Count; ++i)
            EXPECT_EQ(fromA[std::size_t(i)], (Bytes{std::uint8_t(i), std::uint8_t(i >> 8), 0xAB})) << i;
    }
    EXPECT_EQ(bSeen.packets.back(), std::make_pair(pa, direct));
    EXPECT_NE(std::find(hostSeen.packets.begin(), hostSeen.packets.end(), std::make_pair(pb, toHost)),
              hostSeen.packets.end());
    // Whatever the host could still pass to A went before this last packet.
    const Bytes last{0xE0};
    ASSERT_TRUE(host.SendTo(pa, last.data(), last.size(), false));
    ASSERT_TRUE(aSeen.WaitUntil([&] { return aSeen.packets.size() > std::size_t(Count); }));
    EXPECT_EQ(aSeen.packets.size(), std::size_t(Count) + 1);
    EXPECT_EQ(aSeen.packets.back(), std::make_pair(h, last));

    // Sends that cannot go anywhere are refused.
    EXPECT_FALSE(a.SendTo(9999, direct.data(), direct.size(), false));
    EXPECT_FALSE(a.SendTo(pb, direct.data(), 0, false));
    const Bytes tooLarge(qel::NetPeer::MaxPacket + 1, 0);
    EXPECT_FALSE(a.SendTo(pb, tooLarge.data(), tooLarge.size(), false));
}

TEST(NetPeer, TheHostClosingEndsTheSessionOfEveryJoiner) {
    Journal hostSeen, aSeen;
    qel::NetPeer host(hostSeen.Events()), a(aSeen.Events());
    ASSERT_EQ(host.Host(Game1, AnyPort, "S", "H", Loopback), qel::NetResult::Ok);
    const std::uint32_t port = host.ListeningPort();
    ASSERT_EQ(a.Connect(Game1, Loopback, port, "A"), qel::NetResult::Ok);
    host.Close();
    ASSERT_TRUE(aSeen.WaitUntil([&] { return aSeen.terminated == 1; }));
    EXPECT_EQ(aSeen.terminations, std::vector<bool>{false});  // ended, not lost
    EXPECT_FALSE(a.IsOpen());
    const Bytes p{1};
    EXPECT_FALSE(a.SendTo(qel::NetPeer::AllPlayers, p.data(), p.size(), true));
    EXPECT_EQ(hostSeen.terminated, 0);  // closing raises no event of one's own
}

TEST(NetPeer, SessionsThatCannotOpenSayWhy) {
    Journal seen;
    qel::NetPeer host(seen.Events()), other(seen.Events()), joiner(seen.Events()), probe(seen.Events());
    EXPECT_EQ(host.Host(Game1, 70000, "S", "H", Loopback), qel::NetResult::BadPort);
    ASSERT_EQ(host.Host(Game1, AnyPort, "S", "H", Loopback), qel::NetResult::Ok) << host.LastError();
    const std::uint32_t port = host.ListeningPort();
    ASSERT_NE(port, 0u);
    // A port nobody listens on: one the system gave out and took back.
    ASSERT_EQ(probe.Host(Game1, AnyPort, "S", "H", Loopback), qel::NetResult::Ok);
    const std::uint32_t closedPort = probe.ListeningPort();
    probe.Close();
    EXPECT_EQ(host.Host(Game1, port, "S", "H", Loopback), qel::NetResult::Failed);   // already hosting
    EXPECT_EQ(other.Host(Game1, port, "S", "H", Loopback), qel::NetResult::Failed);  // port taken
    EXPECT_FALSE(other.LastError().empty());
    EXPECT_EQ(joiner.Connect(Game2, Loopback, port, "J"), qel::NetResult::Failed);        // another game's session
    EXPECT_EQ(joiner.Connect(Game1, Loopback, closedPort, "J"), qel::NetResult::Failed);  // nobody listens
    EXPECT_FALSE(joiner.LastError().empty());
    EXPECT_FALSE(joiner.IsOpen());
}

TEST(NetPeer, BadFramesAreDroppedAndTheSessionGoesOn) {
    Journal hostSeen, aSeen;
    qel::NetPeer host(hostSeen.Events()), a(aSeen.Events());
    ASSERT_EQ(host.Host(Game1, AnyPort, "S", "H", Loopback), qel::NetResult::Ok);
    const std::uint32_t port = host.ListeningPort();
    ASSERT_EQ(a.Connect(Game1, Loopback, port, "A"), qel::NetResult::Ok);
    ASSERT_TRUE(hostSeen.WaitUntil([&] { return hostSeen.created.size() == 2; }));

    struct Case {
        const char* what;
        Bytes bytes;
    };
    const Case cases[] = {
        {"length of 4 GB", {0xFF, 0xFF, 0xFF, 0xFF, 6}},
        {"length 0", {0, 0, 0, 0}},
        {"data before joining", {5, 0, 0, 0, 6, 0, 0, 0, 0}},
        {"hello cut short", {3, 0, 0, 0, 1, 1, 2}},
        {"a length, then silence", {9, 0, 0, 0, 1}},
        {"noise", {'G', 'E', 'T', ' ', '/', ' ', 'H', 'T', 'T', 'P'}},
    };
    for (const Case& c : cases) SendRaw(port, c.bytes);
    // None of them became a player or a packet; the real session still works.
    const Bytes p{42};
    ASSERT_TRUE(a.SendTo(host.LocalPlayer(), p.data(), p.size(), false));
    ASSERT_TRUE(hostSeen.WaitUntil([&] { return hostSeen.packets.size() == 1; }));
    EXPECT_EQ(hostSeen.packets[0].second, p);
    EXPECT_EQ(hostSeen.created.size(), 2u);
    EXPECT_TRUE(hostSeen.destroyed.empty());
    // The strangers' links are read on their own: their reports may come after the player's packet.
    EXPECT_TRUE(hostSeen.WaitUntil([&] { return !hostSeen.problems.empty(); }));
}
