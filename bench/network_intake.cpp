// Packets per second a host takes in from one joined peer that floods it with
// small game packets, each of which the host drops as it would a repeated
// sprite announcement. The peer writes as fast as the link takes the bytes;
// what limits the rate is the host's own work per packet, which such a flood
// must not turn into a stall of the game. The reference reads the same bytes
// from a plain socket on a thread of its own and counts the frames in them.
#include <benchmark/benchmark.h>

#include <asio.hpp>
#include <atomic>
#include <cstdint>
#include <thread>
#include <vector>

#include "platform/NetPeer.h"

namespace {

constexpr int PacketsPerRound = 100000;
const qel::NetPeer::AppId Game{4, 2};

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(v >> (8 * i)));
}

// The session's frames: a hello, then a round's game packets to all players.
std::vector<std::uint8_t> Hello() {
    std::vector<std::uint8_t> frame;
    PutU32(frame, 1 + std::uint32_t(Game.size()) + 3);
    frame.push_back(1);
    frame.insert(frame.end(), Game.begin(), Game.end());
    frame.insert(frame.end(), {1, 0, 'F'});
    return frame;
}
std::vector<std::uint8_t> Round() {
    std::vector<std::uint8_t> all;
    for (int i = 0; i < PacketsPerRound; ++i) {
        PutU32(all, 14);
        all.push_back(6);
        PutU32(all, 2);
        PutU32(all, 0);
        all.insert(all.end(), {4, 3, 0, 0, 0});
    }
    return all;
}

void HostIntake(benchmark::State& state) {
    std::atomic<std::uint64_t> dropped{0};
    qel::NetPeerEvents events;
    events.relay = [&](std::uint32_t, std::uint32_t, const std::vector<std::uint8_t>&) {
        dropped.fetch_add(1, std::memory_order_relaxed);
        return qel::NetRelay::Drop;
    };
    qel::NetPeer host(events);
    if (host.Host(Game, 0, "Intake", "Host", "127.0.0.1") != qel::NetResult::Ok) {
        state.SkipWithError("the host could not listen");
        return;
    }
    asio::io_context io;
    asio::ip::tcp::socket flooder(io);
    flooder.connect({asio::ip::make_address("127.0.0.1"), std::uint16_t(host.ListeningPort())});
    asio::write(flooder, asio::buffer(Hello()));
    const std::vector<std::uint8_t> round = Round();
    std::uint64_t expected = 0;
    for (auto _ : state) {
        expected += PacketsPerRound;
        asio::write(flooder, asio::buffer(round));
        while (dropped.load(std::memory_order_relaxed) < expected) std::this_thread::yield();
    }
    state.counters["packets_per_s"] =
        benchmark::Counter(double(state.iterations()) * PacketsPerRound, benchmark::Counter::kIsRate);
}

void PlainIntake(benchmark::State& state) {
    asio::io_context io;
    asio::ip::tcp::acceptor acceptor(io, {asio::ip::make_address("127.0.0.1"), 0});
    asio::ip::tcp::socket flooder(io), reader(io);
    flooder.connect(acceptor.local_endpoint());
    acceptor.accept(reader);
    std::atomic<std::uint64_t> counted{0};
    std::thread reading([&] {
        std::vector<std::uint8_t> inbox;
        std::vector<std::uint8_t> chunk(16 * 1024);
        asio::error_code error;
        for (;;) {
            const std::size_t n = reader.read_some(asio::buffer(chunk), error);
            if (error) return;
            inbox.insert(inbox.end(), chunk.begin(), chunk.begin() + long(n));
            std::size_t at = 0;
            while (inbox.size() - at >= 4) {
                const std::uint32_t length = std::uint32_t(inbox[at] | inbox[at + 1] << 8 | inbox[at + 2] << 16);
                if (inbox.size() - at - 4 < length) break;
                at += 4 + length;
                counted.fetch_add(1, std::memory_order_relaxed);
            }
            inbox.erase(inbox.begin(), inbox.begin() + long(at));
        }
    });
    const std::vector<std::uint8_t> round = Round();
    std::uint64_t expected = 0;
    for (auto _ : state) {
        expected += PacketsPerRound;
        asio::write(flooder, asio::buffer(round));
        while (counted.load(std::memory_order_relaxed) < expected) std::this_thread::yield();
    }
    flooder.close();
    reading.join();
    state.counters["packets_per_s"] =
        benchmark::Counter(double(state.iterations()) * PacketsPerRound, benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(PlainIntake)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);
BENCHMARK(HostIntake)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(1.0);

BENCHMARK_MAIN();
