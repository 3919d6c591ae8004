// Session frames as a peer receives them over its connection: a host reading
// what a joiner sends (first byte even), or a joiner reading what its host
// sends from the handshake on (first byte odd). The rest of the input is the
// byte stream; the harness plays the other peer over the loopback.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

#include "FuzzSupport.h"
#include "platform/NetPeer.h"

namespace {

const qel::NetPeer::AppId App{'Q', 'E', 'L', 'F', 'U', 'Z', 'Z'};
std::unique_ptr<qel::NetPeer> host;
std::uint32_t hostPort = 0;

sockaddr_in Loopback(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

// A listening socket on a free loopback port. Thousands of inputs a second
// leave the ports of their ended connections waiting: one of those may serve.
int Listen(std::uint16_t& port) {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    const int reuse = 1;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &reuse, sizeof reuse);
    sockaddr_in address = Loopback(0);
    socklen_t length = sizeof address;
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || listen(s, 4) != 0 ||
        getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        std::abort();
    port = ntohs(address.sin_port);
    return s;
}

// Sends the bytes, ends the sending side and waits until the peer hangs up.
void Play(int s, const std::uint8_t* data, std::size_t size) {
    for (std::size_t sent = 0; sent < size;) {
        const ssize_t n = send(s, data + sent, size - sent, MSG_NOSIGNAL);
        if (n <= 0) break;
        sent += std::size_t(n);
    }
    shutdown(s, SHUT_WR);
    char sink[4096];
    while (recv(s, sink, sizeof sink, 0) > 0) {
    }
    close(s);
}

void ToHost(const std::uint8_t* data, std::size_t size) {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    const sockaddr_in address = Loopback(std::uint16_t(hostPort));
    if (connect(s, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) std::abort();
    Play(s, data, size);
}

void ToJoiner(const std::uint8_t* data, std::size_t size) {
    std::uint16_t port = 0;
    const int listening = Listen(port);
    std::thread fakeHost([&] {
        const int s = accept(listening, nullptr, nullptr);
        if (s < 0) return;
        // The joiner's hello first: unread bytes would make the close a reset.
        std::uint8_t header[4] = {};
        if (recv(s, header, 4, MSG_WAITALL) == 4) {
            std::vector<std::uint8_t> hello(std::size_t(header[0] | header[1] << 8 | header[2] << 16) + 1);
            recv(s, hello.data(), hello.size() - 1, MSG_WAITALL);
        }
        Play(s, data, size);
    });
    std::mutex mutex;
    std::condition_variable ended;
    bool over = false;
    qel::NetPeerEvents events;
    events.sessionTerminated = [&](bool) {
        std::lock_guard<std::mutex> hold(mutex);
        over = true;
        ended.notify_all();
    };
    {
        qel::NetPeer joiner(events);
        if (joiner.Connect(App, "127.0.0.1", port, "fuzz") == qel::NetResult::Ok) {
            // The rest of the stream is read on the session's thread.
            std::unique_lock<std::mutex> hold(mutex);
            ended.wait_for(hold, std::chrono::seconds(2), [&] { return over; });
        }
        joiner.Close();
    }
    fakeHost.join();
    close(listening);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::StartHeadless();
    std::uint16_t port = 0;
    close(Listen(port));
    host = std::make_unique<qel::NetPeer>(qel::NetPeerEvents{});
    if (host->Host(App, port, "fuzz", "host", "127.0.0.1") != qel::NetResult::Ok) std::abort();
    hostPort = port;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    if (data[0] % 2 == 0)
        ToHost(data + 1, size - 1);
    else
        ToJoiner(data + 1, size - 1);
    return 0;
}
