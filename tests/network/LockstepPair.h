// Two peers of a networked level in one process on loopback, each with its
// own frame loop on a thread of its own, as two game programs would run:
// every frame a peer sends random key input, lets the session admit the
// frame's packets, applies each sprite's queue (Sprite::HandleQ) and keeps a
// hash of both sprites' input state. Both peers must end with the same
// hashes. A delaying relay between the joiner and the host adds latency.
#pragma once
#include <asio.hpp>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <random>
#include <thread>
#include <vector>
#include "FakeNetEnvironment.h"
#include "sprites/Sprite.h"

// A FakeNetEnvironment whose two network-player sprites are real sprites:
// the admitted input goes into their queues as the engine's does.
class SpriteNetEnvironment : public FakeNetEnvironment {
public:
    SpriteNetEnvironment() {
        std::lock_guard<qel::CriticalSection> hold(lock);
        sprites[1].name = "Red";
        sprites[2].name = "Blue";
    }
    bool QueueInput(std::uint32_t id, std::vector<netwire::FrameRecord>& records) override {
        Sprite* s = Real(id);
        if (s == nullptr) return false;
        QueueFrameRecords(*s, records);
        return FakeNetEnvironment::QueueInput(id, records);
    }
    Sprite* Real(std::uint32_t id) { return id == 1 ? &red : id == 2 ? &blue : nullptr; }

    Sprite red, blue;
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

class LockstepPair {
public:
    // Hosts and joins (through a relay when latency is asked for); Ready()
    // tells whether both peers took their sprites.
    explicit LockstepPair(std::chrono::milliseconds latency = std::chrono::milliseconds(0)) {
        hostEnv.chooser = [](int kind, const std::vector<std::uint32_t>& ids) {
            return kind == 109 && !ids.empty() ? int(ids.front() | 0x10000) : 2;
        };
        joinEnv.chooser = hostEnv.chooser;
        host.BindAddress("127.0.0.1");
        host.ListenOnAnyPort();
        if (host.Host(TestGuid(77), 24600, "Lockstep", "Host") != 0) return;
        std::uint32_t port = host.ListeningPort();
        if (latency.count() > 0) {
            relay = std::make_unique<DelayRelay>(port, latency);
            port = relay->Port();
        }
        if (!hostEnv.WaitUntil([&] { return hostEnv.waits == 1; })) return;
        if (joiner.Connect(TestGuid(77), "127.0.0.1", port, "Joiner") != 0) return;
        ready = joinEnv.WaitUntil([&] { return joinEnv.waits == 1; }) && joinEnv.WaitUntilTaken(2) &&
                hostEnv.WaitUntilTaken(2);
    }
    ~LockstepPair() {
        joiner.Kill();
        host.Kill();
        hostEnv.JoinWorkers();
        joinEnv.JoinWorkers();
    }
    bool Ready() const { return ready; }

    // Both peers run `count` more frames. False when a peer waited more than
    // five seconds for a frame's input.
    bool RunFrames(int count) {
        bool hostOk = true, joinOk = true;
        std::thread hostLoop([&] { hostOk = Frames(host, hostEnv, hostRandom, hostHashes, count); });
        joinOk = Frames(joiner, joinEnv, joinRandom, joinHashes, count);
        hostLoop.join();
        return hostOk && joinOk;
    }

    SpriteNetEnvironment hostEnv, joinEnv;
    NetworkComponent host{hostEnv}, joiner{joinEnv};
    // Per frame, each peer's hash of both sprites' input state.
    std::vector<std::uint64_t> hostHashes, joinHashes;

private:
    static bool Frames(NetworkComponent& peer, SpriteNetEnvironment& env, std::mt19937& random,
                       std::vector<std::uint64_t>& hashes, int count) {
        for (int i = 0; i < count; ++i) {
            std::vector<std::uint8_t> keys = RandomKeys(random);
            peer.AddToQOut(NetFrameMarker, nullptr, 0);
            if (!keys.empty()) peer.AddToQOut(NetKeyEvents, keys.data(), unsigned(keys.size()));
            peer.SendQOut();
            peer.ClearQOut();
            env.frameEvent.Set();
            const int frame = int(hashes.size()) + 1;
            if (!env.WaitUntil([&] { return env.framesReceived >= frame; })) return false;
            hashes.push_back(StateHash(env));
        }
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

    static std::uint64_t StateHash(SpriteNetEnvironment& env) {
        std::uint64_t h = 1469598103934665603ull;
        auto mix = [&h](std::uint64_t v) { h = (h ^ v) * 1099511628211ull; };
        for (Sprite* s : {&env.red, &env.blue}) {
            s->HandleQ();
            mix(s->remoteFrameCounter);
            for (int k = 0; k < 256; ++k) {
                const auto key = std::uint8_t(k);
                mix(s->Keyboard_IsPressed(key) | (s->Keyboard_IsTriggered(key) << 1));
                mix(s->Keyboard_HoldCounter(key));
            }
        }
        return h;
    }

    std::unique_ptr<DelayRelay> relay;
    std::mt19937 hostRandom{11}, joinRandom{29};
    bool ready = false;
};
