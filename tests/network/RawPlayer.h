#pragma once
#include <sys/socket.h>
#include <sys/time.h>
#include <asio.hpp>
#include <array>
#include <cstdint>
#include <vector>
#include "FakeNetEnvironment.h"
#include "network/NetWireInternal.h"

// A player that speaks the session's frames over a socket of its own, as a
// hostile program would: it joins, reads what the host sends and sends game
// packets to whichever player it likes.
class RawPlayer {
public:
    RawPlayer(std::uint32_t port, std::uint32_t game) : socket_(io_) {
        socket_.connect({asio::ip::make_address("127.0.0.1"), std::uint16_t(port)});
        timeval fiveSeconds{5, 0};
        ::setsockopt(socket_.native_handle(), SOL_SOCKET, SO_RCVTIMEO, &fiveSeconds, sizeof fiveSeconds);
        asio::write(socket_, asio::buffer(Hello(game)));
    }
    // The frame that joins the game's session, its length first.
    static std::vector<std::uint8_t> Hello(std::uint32_t game) {
        std::vector<std::uint8_t> hello{1};
        const _GUID guid = TestGuid(game);
        hello.insert(hello.end(), {std::uint8_t(guid.Data1), std::uint8_t(guid.Data1 >> 8),
                                   std::uint8_t(guid.Data1 >> 16), std::uint8_t(guid.Data1 >> 24), 0, 0, 0, 0});
        hello.insert(hello.end(), guid.Data4, guid.Data4 + 8);
        hello.insert(hello.end(), {1, 0, 'R'});
        return Framed(hello);
    }
    // A game packet to one player (0: all).
    void SendTo(std::uint32_t to, const std::vector<std::uint8_t>& packet) {
        std::vector<std::uint8_t> frame{6, 0, 0, 0, 0};
        netwire::PutU32(frame, to);
        frame.insert(frame.end(), packet.begin(), packet.end());
        SendFrame(frame);
    }
    // Reads frames until a game packet of that type arrives; false when the
    // host went quiet or hung up first.
    bool ReadUntilPacket(std::uint8_t type) {
        for (;;) {
            std::array<std::uint8_t, 4> header{};
            if (!ReadAll(header.data(), 4)) return false;
            std::vector<std::uint8_t> body(netwire::GetU32(header.data()));
            if (!ReadAll(body.data(), body.size())) return false;
            if (body.size() > 9 && body[0] == 6 && body[9] == type) return true;
        }
    }

private:
    static std::vector<std::uint8_t> Framed(const std::vector<std::uint8_t>& body) {
        std::vector<std::uint8_t> frame;
        netwire::PutU32(frame, std::uint32_t(body.size()));
        frame.insert(frame.end(), body.begin(), body.end());
        return frame;
    }
    void SendFrame(const std::vector<std::uint8_t>& body) { asio::write(socket_, asio::buffer(Framed(body))); }
    bool ReadAll(std::uint8_t* to, std::size_t n) {
        return n == 0 || ::recv(socket_.native_handle(), to, n, MSG_WAITALL) == ssize_t(n);
    }
    asio::io_context io_;
    asio::ip::tcp::socket socket_;
};
