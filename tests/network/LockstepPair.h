// Peers of a networked level in one process on loopback, each with its own
// frame loop on a thread of its own, as game programs run: while it waits for
// the players a peer sets the frame event every frame, as the frame step
// does; then every frame it sends random key input, lets the session admit
// the frame's packets, applies each sprite's queue (Sprite::HandleQ), moves
// each sprite by its keys inside a small world and keeps a hash of every
// sprite's state. The honest peers must end with the same hashes. A delaying
// relay between the first joiner and the host adds latency.
#pragma once
#include <asio.hpp>
#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>
#include "FakeNetEnvironment.h"
#include "network/NetEnvironmentInternal.h"
#include "network/NetSession.h"
#include "sprites/Sprite.h"
#include "testing/TestHooks.h"

// A FakeNetEnvironment whose network-player sprites are real sprites: the
// admitted input goes into their queues as the engine's does.
class SpriteNetEnvironment : public FakeNetEnvironment {
public:
    static constexpr std::uint32_t SpriteCount = 3;

    SpriteNetEnvironment() {
        std::lock_guard<qel::CriticalSection> hold(lock);
        for (std::uint32_t id = 1; id <= SpriteCount; ++id) sprites[id].name = "Player " + std::to_string(id);
    }
    bool QueueInput(std::uint32_t id, std::vector<netwire::FrameRecord>& records) override {
        Sprite* s = Real(id);
        if (s == nullptr) return false;
        QueueFrameRecords(*s, records);
        return FakeNetEnvironment::QueueInput(id, records);
    }
    void HeldInput(std::uint32_t id, std::vector<std::uint8_t>& keys, std::vector<std::uint8_t>& buttons) override {
        if (Sprite* s = Real(id)) HeldInputOf(*s, keys, buttons);
    }
    Sprite* Real(std::uint32_t id) { return id >= 1 && id <= SpriteCount ? &real[id - 1] : nullptr; }

    Sprite real[SpriteCount];
    // Where each sprite stands in a world 100 steps wide.
    std::array<int, SpriteCount> x{};
};

// Passes one TCP connection on, each chunk after the delay, in order.
class DelayRelay {
public:
    DelayRelay(std::uint32_t toPort, std::chrono::milliseconds delay) : delay_(delay), acceptor_(io_) {
        const asio::ip::tcp::endpoint at(asio::ip::make_address("127.0.0.1"), 0);
        acceptor_.open(at.protocol());
        acceptor_.bind(at);
        acceptor_.listen();
        port_ = acceptor_.local_endpoint().port();
        auto down = std::make_shared<Pipe>(io_), up = std::make_shared<Pipe>(io_);
        acceptor_.async_accept(down->from, [this, down, up, toPort](const asio::error_code& e) {
            if (e) return;
            asio::error_code ignored;
            up->from.connect({asio::ip::make_address("127.0.0.1"), std::uint16_t(toPort)}, ignored);
            down->from.set_option(asio::ip::tcp::no_delay(true), ignored);
            up->from.set_option(asio::ip::tcp::no_delay(true), ignored);
            down->to = &up->from;
            up->to = &down->from;
            Pump(down);
            Pump(up);
        });
        thread_ = std::thread([this] { io_.run(); });
    }
    ~DelayRelay() {
        io_.stop();
        thread_.join();
    }
    std::uint32_t Port() const { return port_; }

private:
    struct Chunk {
        std::chrono::steady_clock::time_point due;
        std::vector<std::uint8_t> bytes;
    };
    struct Pipe {
        explicit Pipe(asio::io_context& io) : from(io), timer(io) {}
        asio::ip::tcp::socket from;
        asio::ip::tcp::socket* to = nullptr;
        asio::steady_timer timer;
        std::array<std::uint8_t, 4096> buffer{};
        std::deque<Chunk> chunks;
    };
    void Pump(const std::shared_ptr<Pipe>& pipe) {
        pipe->from.async_read_some(asio::buffer(pipe->buffer), [this, pipe](const asio::error_code& e, std::size_t n) {
            if (e) {
                asio::error_code ignored;
                pipe->to->shutdown(asio::ip::tcp::socket::shutdown_send, ignored);
                return;
            }
            pipe->chunks.push_back({std::chrono::steady_clock::now() + delay_,
                                    std::vector<std::uint8_t>(pipe->buffer.begin(), pipe->buffer.begin() + long(n))});
            if (pipe->chunks.size() == 1) Forward(pipe);
            Pump(pipe);
        });
    }
    void Forward(const std::shared_ptr<Pipe>& pipe) {
        pipe->timer.expires_at(pipe->chunks.front().due);
        pipe->timer.async_wait([this, pipe](const asio::error_code& e) {
            if (e) return;
            asio::error_code ignored;
            asio::write(*pipe->to, asio::buffer(pipe->chunks.front().bytes), ignored);
            pipe->chunks.pop_front();
            if (!pipe->chunks.empty()) Forward(pipe);
        });
    }

    std::chrono::milliseconds delay_;
    asio::io_context io_;
    asio::ip::tcp::acceptor acceptor_;
    std::uint32_t port_ = 0;
    std::thread thread_;
};

struct LockstepOptions {
    int peers = 2;  // the host and peers - 1 joiners, all required
    std::chrono::milliseconds latency{0};
    // The first joiner's new threads start this late, as on a loaded machine.
    std::chrono::milliseconds joinerThreadDelay{0};
    // The last peer sends its frame packet three times every this many
    // frames (0: never); its own hashes are not compared.
    int burstEvery = 0;
    // Each frame goes through the engine's own exchange (net::ExchangeInput,
    // which waits in 10 ms steps) instead of waiting on the admission itself.
    bool enginePath = false;
    // Called with the host's port once it has its sprite, before anyone
    // joins; false leaves the pair not ready.
    std::function<bool(std::uint32_t port)> beforeJoining;
};

class LockstepPair {
public:
    // Hosts and joins (the first joiner through a relay when latency is
    // asked for); Ready() tells whether every peer joined. The peers choose
    // their sprites while their frame loops already run.
    explicit LockstepPair(LockstepOptions options = {}) : options_(options) {
        for (int i = 0; i < options.peers; ++i) {
            peers_.push_back(std::make_unique<Peer>(std::uint32_t(options.peers), std::uint32_t(11 + 18 * i)));
            if (i == 1) peers_.back()->env.workerDelay = options.joinerThreadDelay;
        }
        NetworkComponent& host = peers_[0]->component;
        NetworkComponentTesting::BindAddress(host, "127.0.0.1");
        NetworkComponentTesting::ListenOnAnyPort(host);
        if (host.Host(TestGuid(77), 24600, "Lockstep", "Host") != 0) return;
        if (options.beforeJoining && (!Host().WaitUntil([&] { return Host().taken >= 1; }) ||
                                      !options.beforeJoining(NetworkComponentTesting::ListeningPort(host))))
            return;
        for (int i = 1; i < options.peers; ++i) {
            // One at a time, so that each is offered what the others left.
            if (!Host().WaitUntil([&] { return Host().taken >= i; })) return;
            std::uint32_t port = NetworkComponentTesting::ListeningPort(host);
            if (i == 1 && options.latency.count() > 0) {
                relay_ = std::make_unique<DelayRelay>(port, options.latency);
                port = relay_->Port();
            }
            if (peers_[std::size_t(i)]->component.Connect(TestGuid(77), "127.0.0.1", port, "Joiner") != 0) return;
        }
        ready_ = true;
    }
    ~LockstepPair() {
        for (auto it = peers_.rbegin(); it != peers_.rend(); ++it) (*it)->component.Kill();
        for (auto& p : peers_) p->env.JoinWorkers();
    }
    bool Ready() const { return ready_; }

    // Every peer runs `count` more frames. False when an honest peer waited
    // more than five seconds for the players or for a frame's input.
    bool RunFrames(int count) {
        std::vector<std::thread> loops;
        std::vector<char> ok(peers_.size(), 1);
        for (std::size_t i = 1; i < peers_.size(); ++i)
            loops.emplace_back([&, i] { ok[i] = Frames(*peers_[i], count, Bursts(i)); });
        ok[0] = Frames(*peers_[0], count, Bursts(0));
        for (auto& t : loops) t.join();
        for (std::size_t i = 0; i < peers_.size(); ++i)
            if (!ok[i] && !Bursts(i)) return false;
        return true;
    }

    // Where each peer stands, for a failure's message.
    std::string Progress() {
        std::string all;
        for (std::size_t i = 0; i < peers_.size(); ++i) {
            SpriteNetEnvironment& e = peers_[i]->env;
            all += "peer " + std::to_string(i) + ": waiting " + std::to_string(int(e.waiting)) + ", sprites taken " +
                   std::to_string(e.Read([&] { return e.taken; })) + ", own sprite " +
                   std::to_string(peers_[i]->component.OwnSpriteId()) + ", frames " +
                   std::to_string(peers_[i]->hashes.size()) + "\n";
        }
        return all;
    }

    // The peers whose hashes must agree.
    std::size_t HonestPeers() const { return options_.burstEvery > 0 ? peers_.size() - 1 : peers_.size(); }
    // Per frame, the peer's hash of every sprite's state.
    const std::vector<std::uint64_t>& Hashes(std::size_t peer) const { return peers_[peer]->hashes; }
    // The longest a peer's game stood still between two of its frames.
    std::chrono::steady_clock::duration LongestFrameGap(std::size_t peer) const { return peers_[peer]->longestGap; }
    SpriteNetEnvironment& Env(std::size_t peer) { return peers_[peer]->env; }
    NetworkComponent& Component(std::size_t peer) { return peers_[peer]->component; }

    // For the single-pair tests and benchmarks.
    SpriteNetEnvironment& Host() { return peers_[0]->env; }

private:
    struct Peer {
        Peer(std::uint32_t players, std::uint32_t seed) : random(seed) {
            env.required = players;
            env.maximum = players;
            env.waitDialogWaitsForPlayers = true;
            env.waiting = true;  // as the level start leaves it once the session is up
            env.chooser = [](int kind, const std::vector<std::uint32_t>& ids) {
                return kind == 109 && !ids.empty() ? int(ids.front() | 0x10000) : 2;
            };
        }
        SpriteNetEnvironment env;
        NetworkComponent component{env};
        std::mt19937 random;
        std::vector<std::uint64_t> hashes;
        std::chrono::steady_clock::time_point lastFrame{};
        std::chrono::steady_clock::duration longestGap{};

        void Played(std::uint64_t hash) {
            const auto now = std::chrono::steady_clock::now();
            if (!hashes.empty()) longestGap = std::max(longestGap, now - lastFrame);
            lastFrame = now;
            hashes.push_back(hash);
        }
    };

    bool Bursts(std::size_t peer) const { return options_.burstEvery > 0 && peer + 1 == peers_.size() && peer > 0; }

    bool Frames(Peer& p, int count, bool bursts) const {
        // The frame step sets the frame event every frame, the lockstep
        // runs once the players are in.
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (p.env.waiting) {
            p.env.frameEvent.Set();
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            if (std::chrono::steady_clock::now() > giveUp) return false;
        }
        for (int i = 0; i < count; ++i) {
            std::vector<std::uint8_t> keys = RandomKeys(p.random);
            if (options_.enginePath) {
                if (!EngineFrame(p, keys)) return false;
                continue;
            }
            p.component.AddToQOut(NetFrameMarker, nullptr, 0);
            if (!keys.empty()) p.component.AddToQOut(NetKeyEvents, keys.data(), unsigned(keys.size()));
            const int copies = bursts && p.hashes.size() % std::size_t(5) == 4 ? 3 : 1;
            for (int c = 0; c < copies; ++c) p.component.SendQOut();
            p.component.ClearQOut();
            p.env.frameEvent.Set();
            const int frame = int(p.hashes.size()) + 1;
            // The bursting peer may run out of the others' frames at the end.
            const auto limit = bursts ? std::chrono::milliseconds(500) : std::chrono::milliseconds(5000);
            if (!p.env.WaitUntil([&] { return p.env.framesReceived >= frame; }, limit)) return false;
            p.Played(StateHash(p.env));
        }
        return true;
    }

    // The frame step's order: the frame event, then the engine's exchange.
    static bool EngineFrame(Peer& p, const std::vector<std::uint8_t>& keys) {
        p.env.frameEvent.Set();
        const int frame = int(p.hashes.size()) + 1;
        auto inputIn = [&] { return p.env.Read([&] { return p.env.framesReceived >= frame; }); };
        if (!net::ExchangeInput(p.component, inputIn, nullptr, 0, keys.data(), int(keys.size() / 2), 5000))
            return false;
        p.Played(StateHash(p.env));
        return true;
    }

    // Up to three key changes among a few keys, as a player's hands give.
    static std::vector<std::uint8_t> RandomKeys(std::mt19937& random) {
        static const std::uint8_t Keys[] = {0x1E, 0x20, 0x39, 0xCB, 0xCD};
        std::vector<std::uint8_t> out;
        const int changes = int(random() % 4);
        for (int k = 0; k < changes; ++k) {
            out.push_back(Keys[random() % std::size(Keys)]);
            out.push_back(std::uint8_t(random() % 2));
        }
        return out;
    }

    // Applies the frame's input to every sprite, moves it by its arrow keys
    // (kept inside the world) and hashes what that leaves.
    static std::uint64_t StateHash(SpriteNetEnvironment& env) {
        constexpr std::uint8_t Left = 0xCB, Right = 0xCD;
        std::uint64_t h = 1469598103934665603ull;
        auto mix = [&h](std::uint64_t v) { h = (h ^ v) * 1099511628211ull; };
        for (std::uint32_t i = 0; i < SpriteNetEnvironment::SpriteCount; ++i) {
            Sprite& s = env.real[i];
            s.HandleQ();
            env.x[i] =
                std::clamp(env.x[i] + int(s.Keyboard_IsPressed(Right)) - int(s.Keyboard_IsPressed(Left)), 0, 100);
            mix(std::uint64_t(env.x[i]));
            mix(s.remoteFrameCounter);
            for (int k = 0; k < 256; ++k) {
                const auto key = std::uint8_t(k);
                mix(s.Keyboard_IsPressed(key) | (s.Keyboard_IsTriggered(key) << 1));
                mix(s.Keyboard_HoldCounter(key));
            }
        }
        return h;
    }

    LockstepOptions options_;
    std::vector<std::unique_ptr<Peer>> peers_;
    std::unique_ptr<DelayRelay> relay_;
    bool ready_ = false;
};
