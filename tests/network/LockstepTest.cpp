#include <gtest/gtest.h>
#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>
#include "LockstepPair.h"
#include "RawPlayer.h"
#include "SeatlessCrowd.h"

namespace {

std::string Lines(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& line : lines) all += line + "\n";
    return all;
}

// Runs the game and checks that every honest peer saw the same state in every frame.
void ExpectOneGame(LockstepPair& game, int frames) {
    ASSERT_TRUE(game.Ready());
    ASSERT_TRUE(game.RunFrames(frames)) << game.Progress() << "the host's log:\n"
                                        << game.Env(0).Read([&] { return Lines(game.Env(0).logs); })
                                        << "the first joiner's log:\n"
                                        << game.Env(1).Read([&] { return Lines(game.Env(1).logs); });
    const std::size_t played = game.Hashes(0).size();
    for (std::size_t peer = 0; peer < game.HonestPeers(); ++peer) {
        ASSERT_EQ(game.Hashes(peer).size(), played) << "peer " << peer;
        for (std::size_t i = 0; i < played; ++i)
            ASSERT_EQ(game.Hashes(0)[std::size_t(i)], game.Hashes(peer)[std::size_t(i)])
                << "peer " << peer << " parts from the host at frame " << i + 1 << "; the host's log:\n"
                << game.Env(0).Read([&] { return Lines(game.Env(0).logs); }) << "that peer's log:\n"
                << game.Env(peer).Read([&] { return Lines(game.Env(peer).logs); });
    }
}

}  // namespace

// Peers that play thousands of frames of random input must see exactly the
// same state on every sprite in every frame, whatever order their session's
// threads happen to run in.
TEST(Lockstep, TwoPeersSeeTheSameStateInEveryFrameOfALongGame) {
    LockstepPair game;
    ExpectOneGame(game, 2000);
}

// A joiner whose threads start late (a loaded machine) learns of the players
// after the host's first frames have come: those must wait for it, not be
// admitted alone and leave one player's input a frame behind for good.
TEST(Lockstep, AJoinerWhoseThreadsStartLateStaysInStep) {
    for (int run = 0; run < 3; ++run) {
        LockstepOptions options;
        options.joinerThreadDelay = std::chrono::milliseconds(100);
        LockstepPair game(options);
        ExpectOneGame(game, 60);
    }
}

// A third player that sends its frame packets in bursts (or repeats them)
// cannot make the honest peers drop different packets.
TEST(Lockstep, AThirdPlayerBurstingItsPacketsCannotPartTheOthers) {
    LockstepOptions options;
    options.peers = 3;
    options.burstEvery = 5;
    LockstepPair game(options);
    ExpectOneGame(game, 400);
}

// A peer whose input is reset (a pause, a focus change, a dialog) releases
// its sprite's keys on every peer in the same frame.
TEST(Lockstep, AnInputResetOnOnePeerReachesEveryPeerInTheSameFrame) {
    LockstepPair game;
    ASSERT_TRUE(game.Ready());
    bool released = false;
    for (int attempt = 0; attempt < 100 && !released; ++attempt) {
        ASSERT_TRUE(game.RunFrames(1));
        const std::uint32_t joinerSprite = game.Component(1).OwnSpriteId();
        std::vector<std::uint8_t> keys, buttons;
        HeldInputOf(*game.Env(1).Real(joinerSprite), keys, buttons);
        if (keys.empty()) continue;
        game.Component(1).ReleaseHeldInput();
        ExpectOneGame(game, 1);
        // Released on the host's copy too, unless that frame pressed it again.
        const Sprite& onHost = *game.Env(0).Real(joinerSprite);
        released = std::any_of(keys.begin(), keys.end(), [&](std::uint8_t k) { return !onHost.Keyboard_IsPressed(k); });
    }
    EXPECT_TRUE(released);
    ExpectOneGame(game, 100);
}

// A stranger who joins a level with room for more players and, while the
// game runs, sends every kind of packet to everyone and to each player
// alone (frames and announcements of every sprite, choices, resignations,
// sprite lists) can part the honest peers no more than it can freeze them.
TEST(Lockstep, AStrangerFloodingTheSessionCannotPartTheHonestPeers) {
    for (bool joinsBeforeTheGame : {true, false}) {
        LockstepPair game;
        ASSERT_TRUE(game.Ready());
        for (std::size_t peer : {0u, 1u}) game.Env(peer).maximum = SpriteNetEnvironment::SpriteCount;
        const std::uint32_t port = NetworkComponentTesting::ListeningPort(game.Component(0));
        std::unique_ptr<RawPlayer> stranger;
        if (joinsBeforeTheGame) stranger = std::make_unique<RawPlayer>(port, 77);
        ASSERT_TRUE(game.RunFrames(20));
        if (!joinsBeforeTheGame) stranger = std::make_unique<RawPlayer>(port, 77);
        std::atomic<bool> over{false};
        std::thread flood([&] {
            for (std::uint32_t i = 0; !over; ++i) {
                const std::uint32_t sprite = 1 + i % SpriteNetEnvironment::SpriteCount;
                for (std::uint32_t to : {0u, 1u, 2u}) {
                    stranger->SendTo(to, netwire::FrameInput(sprite, {{NetKeyEvents, {0xCD, 1}}}));
                    for (std::uint8_t type : {NetPlayerActive, NetPlayerChoice, NetPlayerResigned, NetPlayerAccepted})
                        stranger->SendTo(to, netwire::IdPacket(type, sprite));
                    stranger->SendTo(to, netwire::PlayerList({sprite}));
                }
                if (i % 50 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
        });
        const bool ran = game.RunFrames(300);
        over = true;
        flood.join();
        ASSERT_TRUE(ran) << game.Progress();
        ExpectOneGame(game, 20);
    }
}

// A seated player who, while it plays on honestly, floods the session with
// its own sprite's announcement (to everyone and to each player) for a few
// seconds makes the others stand still no more than a moment, and all three
// stay in step.
TEST(Lockstep, APlayerFloodingItsOwnAnnouncementStallsNobody) {
#if defined(__SANITIZE_ADDRESS__)
    // The sanitizers slow the flooding peer itself: faster, it would pass
    // its own link's queue limit and be let go.
    constexpr int PerMillisecond = 100;
#else
    constexpr int PerMillisecond = 500;
#endif
    LockstepOptions options;
    options.peers = 3;
    LockstepPair game(options);
    ASSERT_TRUE(game.Ready());
    ASSERT_TRUE(game.RunFrames(20));
    NetworkComponent& flooder = game.Component(2);
    std::vector<std::uint8_t> announcement = netwire::IdPacket(NetPlayerActive, flooder.OwnSpriteId());
    std::atomic<bool> over{false};
    std::thread flood([&] {
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(3);
        for (int i = 0; i < 2000000 && !over && std::chrono::steady_clock::now() < end; ++i) {
            // To all, to the host and to the first joiner in turn.
            flooder.Send(announcement.data(), announcement.size(), 0, unsigned(i % 3));
            if (i % PerMillisecond == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        over = true;
    });
    bool ran = true;
    while (ran && !over) ran = game.RunFrames(20);
    over = true;
    flood.join();
    ASSERT_TRUE(ran) << game.Progress();
    for (std::size_t peer : {0u, 1u})
        EXPECT_LT(game.LongestFrameGap(peer), std::chrono::seconds(1))
            << "peer " << peer << " stood still for "
            << std::chrono::duration_cast<std::chrono::milliseconds>(game.LongestFrameGap(peer)).count() << " ms";
    ExpectOneGame(game, 20);
}

// Strangers who join from two addresses, never take part and join again as
// soon as they are let go, cannot keep a real player out: it joins and plays.
TEST(Lockstep, StrangersWhoJoinAndNeverPlayCannotKeepAPlayerOut) {
    const auto start = std::chrono::steady_clock::now();
    std::unique_ptr<SeatlessCrowd> crowd;
    LockstepOptions options;
    options.beforeJoining = [&](std::uint32_t port) {
        crowd = std::make_unique<SeatlessCrowd>(port, 77, std::vector<std::string>{"127.0.0.2", "127.0.0.3"}, 16,
                                                std::chrono::seconds(20));
        // They hold every place the host has for players who do not play.
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (crowd->MostHolding() < 8 && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return crowd->MostHolding() >= 8;
    };
    LockstepPair game(options);
    ASSERT_TRUE(crowd && crowd->MostHolding() >= 8) << "the strangers did not join";
    ASSERT_TRUE(game.Ready()) << "the real player could not join; the host's log:\n"
                              << game.Env(0).Read([&] { return Lines(game.Env(0).logs); });
    ExpectOneGame(game, 60);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_GT(crowd->Joins(), 32) << "the strangers were never let go";
}
