#pragma once
#include <asio.hpp>
#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>
#include "RawPlayer.h"

// Strangers who hold joined links that never take part, as a hostile program
// would: each connects from one of the given loopback addresses, says hello,
// never chooses a sprite, reads whatever it is sent and joins again as soon
// as the host lets it go. They stop after so many joins in all, after the
// time given, or when the crowd goes.
class SeatlessCrowd {
public:
    SeatlessCrowd(std::uint32_t port, std::uint32_t game, const std::vector<std::string>& addresses, int perAddress,
                  std::chrono::seconds lasting)
        : hello_(RawPlayer::Hello(game)),
          host_(asio::ip::make_address("127.0.0.1"), std::uint16_t(port)),
          end_(std::chrono::steady_clock::now() + lasting) {
        for (const std::string& address : addresses)
            for (int i = 0; i < perAddress; ++i)
                strangers_.push_back(std::make_shared<Stranger>(io_, asio::ip::make_address(address)));
        for (auto& s : strangers_) Join(s);
        thread_ = std::thread([this] { io_.run(); });
    }
    ~SeatlessCrowd() {
        io_.stop();
        thread_.join();
    }
    // The most strangers that the host had welcomed and not yet let go at once.
    int MostHolding() const { return mostHolding_; }
    int Joins() const { return joins_; }

private:
    static constexpr int MostJoins = 200000;
    struct Stranger {
        Stranger(asio::io_context& io, asio::ip::address from) : socket(io), from(from) {}
        asio::ip::tcp::socket socket;
        asio::ip::address from;
        std::array<std::uint8_t, 4096> buffer{};
        bool welcomed = false;
    };

    void Join(const std::shared_ptr<Stranger>& s) {
        if (joins_ >= MostJoins || std::chrono::steady_clock::now() > end_) return;
        ++joins_;
        asio::error_code ignored;
        s->socket.close(ignored);
        s->socket.open(asio::ip::tcp::v4(), ignored);
        s->socket.bind({s->from, 0}, ignored);
        s->socket.async_connect(host_, [this, s](const asio::error_code& e) {
            if (e) return Join(s);
            asio::async_write(s->socket, asio::buffer(hello_), [this, s](const asio::error_code& e2, std::size_t) {
                if (e2) return Join(s);
                Read(s);
            });
        });
    }
    void Read(const std::shared_ptr<Stranger>& s) {
        s->socket.async_read_some(asio::buffer(s->buffer), [this, s](const asio::error_code& e, std::size_t) {
            if (e) {
                if (s->welcomed) --holding_;
                s->welcomed = false;
                return Join(s);
            }
            if (!s->welcomed) mostHolding_ = std::max(mostHolding_.load(), ++holding_);
            s->welcomed = true;
            Read(s);
        });
    }

    const std::vector<std::uint8_t> hello_;
    const asio::ip::tcp::endpoint host_;
    const std::chrono::steady_clock::time_point end_;
    asio::io_context io_;
    std::vector<std::shared_ptr<Stranger>> strangers_;
    int holding_ = 0;  // on the crowd's thread
    std::atomic<int> mostHolding_{0}, joins_{0};
    std::thread thread_;
};
