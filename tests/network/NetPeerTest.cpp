#include <gtest/gtest.h>
#include <asio.hpp>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <vector>
#include "platform/NetPeer.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
const qel::NetPeer::AppId Game1{1, 2, 3};
const qel::NetPeer::AppId Game2{9, 9, 9};
// Ports below the system's range of ephemeral ports, which the joiners use.
const char* const Loopback = "127.0.0.1";

// What one peer has been told, in order.
struct Journal {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::uint32_t> created, destroyed;
    std::vector<std::pair<std::uint32_t, Bytes>> packets;
    std::vector<std::string> problems;
    int terminated = 0;

    qel::NetPeerEvents Events() {
        qel::NetPeerEvents e;
        e.playerCreated = [this](std::uint32_t p) { Note([&] { created.push_back(p); }); };
        e.playerDestroyed = [this](std::uint32_t p) { Note([&] { destroyed.push_back(p); }); };
        e.received = [this](std::uint32_t from, Bytes b) { Note([&] { packets.emplace_back(from, std::move(b)); }); };
        e.sessionTerminated = [this] { Note([&] { ++terminated; }); };
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

}  // namespace

TEST(NetPeer, JoiningPlayersAreAnnouncedToEveryPeer) {
    const std::uint32_t port = 24611;
    Journal hostSeen, aSeen, bSeen;
    qel::NetPeer host(hostSeen.Events()), a(aSeen.Events()), b(bSeen.Events());
    ASSERT_EQ(host.Host(Game1, port, "Session", "Hoster", Loopback), qel::NetResult::Ok);
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
    const std::uint32_t port = 24612;
    Journal hostSeen, aSeen, bSeen;
    qel::NetPeer host(hostSeen.Events()), a(aSeen.Events()), b(bSeen.Events());
    ASSERT_EQ(host.Host(Game1, port, "S", "H", Loopback), qel::NetResult::Ok);
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
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(aSeen.packets.size(), std::size_t(Count));

    // Sends that cannot go anywhere are refused.
    EXPECT_FALSE(a.SendTo(9999, direct.data(), direct.size(), false));
    EXPECT_FALSE(a.SendTo(pb, direct.data(), 0, false));
    const Bytes tooLarge(qel::NetPeer::MaxPacket + 1, 0);
    EXPECT_FALSE(a.SendTo(pb, tooLarge.data(), tooLarge.size(), false));
}

TEST(NetPeer, TheHostClosingEndsTheSessionOfEveryJoiner) {
    const std::uint32_t port = 24613;
    Journal hostSeen, aSeen;
    qel::NetPeer host(hostSeen.Events()), a(aSeen.Events());
    ASSERT_EQ(host.Host(Game1, port, "S", "H", Loopback), qel::NetResult::Ok);
    ASSERT_EQ(a.Connect(Game1, Loopback, port, "A"), qel::NetResult::Ok);
    host.Close();
    ASSERT_TRUE(aSeen.WaitUntil([&] { return aSeen.terminated == 1; }));
    EXPECT_FALSE(a.IsOpen());
    const Bytes p{1};
    EXPECT_FALSE(a.SendTo(qel::NetPeer::AllPlayers, p.data(), p.size(), true));
    EXPECT_EQ(hostSeen.terminated, 0);  // closing raises no event of one's own
}

TEST(NetPeer, SessionsThatCannotOpenSayWhy) {
    const std::uint32_t port = 24614;
    Journal seen;
    qel::NetPeer host(seen.Events()), other(seen.Events()), joiner(seen.Events());
    EXPECT_EQ(host.Host(Game1, 70000, "S", "H", Loopback), qel::NetResult::BadPort);
    ASSERT_EQ(host.Host(Game1, port, "S", "H", Loopback), qel::NetResult::Ok) << host.LastError();
    EXPECT_EQ(host.Host(Game1, port, "S", "H", Loopback), qel::NetResult::Failed);  // already hosting
    EXPECT_EQ(other.Host(Game1, port, "S", "H", Loopback), qel::NetResult::Failed);  // port taken
    EXPECT_FALSE(other.LastError().empty());
    EXPECT_EQ(joiner.Connect(Game2, Loopback, port, "J"), qel::NetResult::Failed);  // another game's session
    EXPECT_EQ(joiner.Connect(Game1, Loopback, port + 1, "J"), qel::NetResult::Failed);  // nobody listens
    EXPECT_FALSE(joiner.LastError().empty());
    EXPECT_FALSE(joiner.IsOpen());
}

TEST(NetPeer, BadFramesAreDroppedAndTheSessionGoesOn) {
    const std::uint32_t port = 24615;
    Journal hostSeen, aSeen;
    qel::NetPeer host(hostSeen.Events()), a(aSeen.Events());
    ASSERT_EQ(host.Host(Game1, port, "S", "H", Loopback), qel::NetResult::Ok);
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
    EXPECT_FALSE(hostSeen.problems.empty());
}
