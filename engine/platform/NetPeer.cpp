#include "platform/NetPeer.h"

#include <asio.hpp>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <deque>
#include <list>
#include <map>
#include <optional>
#include <mutex>
#include <set>
#include <thread>

namespace qel {

namespace {

using asio::ip::tcp;

// The session's own frames, each preceded by its uint32 little-endian length.
enum FrameKind : std::uint8_t {
    FrameHello = 1,    // joiner -> host: application id, player name
    FrameWelcome = 2,  // host -> joiner: its id, the host's id, every player
    FrameRefused = 3,  // host -> joiner: another application's session
    FrameJoined = 4,   // host -> joiners: a player came
    FrameLeft = 5,     // host -> joiners: a player went
    FrameData = 6,     // a game packet: from, to, the packet
};

constexpr std::size_t MaxFrame = NetPeer::MaxPacket + 64;
constexpr std::size_t MaxName = 255;
// The most a link reads at once, and the most frames it writes at once.
constexpr std::size_t ReadChunk = 16 * 1024;
constexpr std::size_t WriteGather = 64;
// How long a joiner waits for the host's welcome.
constexpr auto HandshakeTime = std::chrono::seconds(5);

void PutU8(std::vector<std::uint8_t>& out, std::uint8_t v) { out.push_back(v); }
void PutU16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(std::uint8_t(v));
    out.push_back(std::uint8_t(v >> 8));
}
void PutU32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(v >> (8 * i)));
}
void PutText(std::vector<std::uint8_t>& out, const std::string& text) {
    const std::size_t n = std::min(text.size(), MaxName);
    PutU16(out, std::uint16_t(n));
    out.insert(out.end(), text.begin(), text.begin() + std::ptrdiff_t(n));
}

std::vector<std::uint8_t> StartFrame(FrameKind kind) {
    std::vector<std::uint8_t> frame(4, 0);
    frame.push_back(kind);
    return frame;
}
void FinishFrame(std::vector<std::uint8_t>& frame) {
    const std::uint32_t n = std::uint32_t(frame.size() - 4);
    for (int i = 0; i < 4; ++i) frame[std::size_t(i)] = std::uint8_t(n >> (8 * i));
}

// Reads a frame body; any read past its end marks the whole read as bad.
class Reader {
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}
    std::uint8_t U8() { return Has(1) ? data_[at_++] : 0; }
    std::uint16_t U16() {
        if (!Has(2)) return 0;
        const std::uint16_t v = std::uint16_t(data_[at_] | (data_[at_ + 1] << 8));
        at_ += 2;
        return v;
    }
    std::uint32_t U32() {
        if (!Has(4)) return 0;
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v |= std::uint32_t(data_[at_ + std::size_t(i)]) << (8 * i);
        at_ += 4;
        return v;
    }
    std::string Text() {
        const std::size_t n = U16();
        if (!Has(n)) return {};
        std::string s(reinterpret_cast<const char*>(data_ + at_), n);
        at_ += n;
        return s;
    }
    void Bytes(std::uint8_t* out, std::size_t n) {
        if (!Has(n)) return;
        std::memcpy(out, data_ + at_, n);
        at_ += n;
    }
    std::vector<std::uint8_t> Rest() {
        std::vector<std::uint8_t> v(data_ + at_, data_ + size_);
        at_ = size_;
        return v;
    }
    bool Ok() const { return ok_; }

private:
    bool Has(std::size_t n) {
        if (ok_ && size_ - at_ >= n) return true;
        ok_ = false;
        return false;
    }
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
    bool ok_ = true;
};

struct Link {
    explicit Link(asio::io_context& io) : socket(io), deadline(io) {}
    tcp::socket socket;
    // Host side: the end of the handshake time, then of a closing link's wait
    // for its peer to hang up.
    asio::steady_timer deadline;
    std::uint32_t player = 0;  // 0 until the joiner has said hello
    std::string address;       // where the connection came from
    bool seated = false;       // host side: the player takes part in the game
    std::deque<std::vector<std::uint8_t>> writes;
    std::vector<asio::const_buffer> sending;  // the first of writes, on their way
    std::size_t queued = 0;                   // bytes in writes
    std::array<std::uint8_t, 4> header{};     // the welcome, as the joiner waits for it
    std::vector<std::uint8_t> body;
    std::vector<std::uint8_t> inbox;  // bytes read and not yet taken as frames
    bool open = true;
    // Refused or dismissed: what it sends is ignored, and it is closed once
    // what was sent to it has gone out.
    bool closing = false;
};

struct Player {
    std::string name;
    bool isHost = false;
};

}  // namespace

struct NetPeer::Impl : std::enable_shared_from_this<Impl> {
    Impl(NetPeerEvents e, NetPeerLimits l)
        : events(std::move(e)), limits(l), acceptTimer(io), acceptPause(l.acceptPause) {}

    NetPeerEvents events;
    const NetPeerLimits limits;
    asio::io_context io;
    std::optional<asio::executor_work_guard<asio::io_context::executor_type>> work;
    std::thread thread;
    std::unique_ptr<tcp::acceptor> acceptor;
    std::shared_ptr<Link> hostLink;  // joining side
    // Hosting side, session thread only: the joined players' links, and the
    // links that have not joined yet.
    std::map<std::uint32_t, std::shared_ptr<Link>> joiners;
    std::list<std::shared_ptr<Link>> waiting;  // oldest first
    asio::steady_timer acceptTimer;
    std::chrono::milliseconds acceptPause;
    std::atomic<bool> quiet{false};
    std::atomic<bool> resetLinks{false};
    std::atomic<std::uint32_t> listeningPort{0};

    mutable std::mutex mutex;  // guards what follows
    std::map<std::uint32_t, Player> players;
    std::uint32_t self = 0;
    bool hosting = false;
    bool open = false;
    bool terminated = false;
    std::string lastError;
    AppId app{};
    std::string session;
    std::uint32_t nextId = 1;

    // --- events, never after Close began ---
    void Report(const std::string& text) {
        if (!quiet && events.problem) events.problem(text);
    }
    void Created(std::uint32_t id) {
        if (!quiet && events.playerCreated) events.playerCreated(id);
    }
    void Destroyed(std::uint32_t id) {
        if (!quiet && events.playerDestroyed) events.playerDestroyed(id);
    }
    void Deliver(std::uint32_t from, std::vector<std::uint8_t> packet) {
        if (!quiet && events.received) events.received(from, std::move(packet));
    }

    void StartThread() {
        work.emplace(asio::make_work_guard(io));
        thread = std::thread([self = shared_from_this()] { self->io.run(); });
    }

    // --- writing ---
    // A link whose peer stops reading is closed before its queue grows past
    // the limit; callers may be walking the links, so it goes a moment later.
    void Write(const std::shared_ptr<Link>& link, std::vector<std::uint8_t> frame) {
        if (!link->open || link->closing) return;
        if (link->queued + frame.size() > limits.queuedBytes) {
            link->closing = true;
            asio::post(io, [self = shared_from_this(), link] {
                self->LinkLost(link, "a peer does not read what is sent to it; the connection is closed", true);
            });
            return;
        }
        link->queued += frame.size();
        link->writes.push_back(std::move(frame));
        if (link->writes.size() == 1) WriteNext(link);
    }
    // Whatever waits goes out together, as many frames as one write takes:
    // many small frames cost a write, not one each.
    void WriteNext(const std::shared_ptr<Link>& link) {
        link->sending.clear();
        for (const auto& frame : link->writes) {
            if (link->sending.size() == WriteGather) break;
            link->sending.push_back(asio::buffer(frame));
        }
        asio::async_write(link->socket, link->sending,
                          [self = shared_from_this(), link](const asio::error_code& error, std::size_t) {
                              if (!link->open) return;
                              if (error) return self->LinkLost(link, "send failed: " + error.message(), true);
                              for (std::size_t i = 0; i < link->sending.size(); ++i) {
                                  link->queued -= link->writes.front().size();
                                  link->writes.pop_front();
                              }
                              if (!link->writes.empty()) return self->WriteNext(link);
                              if (link->closing) self->HangUp(link);
                          });
    }

    // --- reading ---
    // Reads what has come, as much as a chunk at a time, and works off every
    // whole frame in it: a peer that sends many small frames costs a read per
    // chunk, not two per frame.
    void ReadNext(const std::shared_ptr<Link>& link) {
        const std::size_t had = link->inbox.size();
        link->inbox.resize(had + ReadChunk);
        link->socket.async_read_some(
            asio::buffer(link->inbox.data() + had, ReadChunk),
            [self = shared_from_this(), link, had](const asio::error_code& error, std::size_t n) {
                if (!link->open) return;
                link->inbox.resize(had + n);
                if (error) return self->LinkLost(link, "", error != asio::error::eof);
                self->TakeFrames(link);
                if (link->open) self->ReadNext(link);
            });
    }
    void TakeFrames(const std::shared_ptr<Link>& link) {
        const std::vector<std::uint8_t>& in = link->inbox;
        std::size_t at = 0;
        while (link->open && in.size() - at >= 4) {
            std::uint32_t n = 0;
            for (int i = 0; i < 4; ++i) n |= std::uint32_t(in[at + std::size_t(i)]) << (8 * i);
            if (n == 0 || n > MaxFrame) {
                // The stream can no longer be followed: this link ends.
                return LinkLost(
                    link, "a packet of " + std::to_string(n) + " bytes was refused; the connection is closed", true);
            }
            if (in.size() - at - 4 < n) break;
            const std::uint8_t* frame = in.data() + at + 4;
            at += 4 + n;
            if (link->closing) {
                // Whatever a closing link still says is read and ignored.
            } else if (hosting) {
                FromJoiner(link, frame, n);
            } else {
                FromHost(frame, n);
            }
        }
        if (link->open) link->inbox.erase(link->inbox.begin(), link->inbox.begin() + std::ptrdiff_t(at));
    }

    // --- hosting ---
    void Accept() {
        auto link = std::make_shared<Link>(io);
        acceptor->async_accept(link->socket, [self = shared_from_this(), link](const asio::error_code& error) {
            if (!self->acceptor || !self->acceptor->is_open()) return;
            if (error) return self->AcceptLater(error);
            self->acceptPause = self->limits.acceptPause;
            self->Welcome(link);
            self->Accept();
        });
    }

    // An accept that fails (most often: no descriptors left) fails again at
    // once; the next try waits, longer each time, so the session thread does
    // not spin.
    void AcceptLater(const asio::error_code& error) {
        Report("a connection could not be accepted (" + error.message() + "); trying again in " +
               std::to_string(acceptPause.count()) + " ms");
        acceptTimer.expires_after(acceptPause);
        acceptTimer.async_wait([self = shared_from_this()](const asio::error_code& e) {
            if (!e && self->acceptor && self->acceptor->is_open()) self->Accept();
        });
        acceptPause = std::min(acceptPause * 2, limits.longestAcceptPause);
    }

    // A new connection gets the handshake time to join. When too many are
    // joining, from its address or in all, the oldest of them makes room: a
    // stranger who holds connections open cannot lock real players out.
    void Welcome(const std::shared_ptr<Link>& link) {
        asio::error_code ignored;
        link->address = link->socket.remote_endpoint(ignored).address().to_string();
        std::size_t fromThere = 0;
        for (const auto& w : waiting) fromThere += w->address == link->address;
        std::shared_ptr<Link> oldest;
        if (fromThere >= limits.pendingPerAddress) {
            for (const auto& w : waiting)
                if (w->address == link->address) {
                    oldest = w;
                    break;
                }
        } else if (waiting.size() >= limits.pendingLinks && !waiting.empty()) {
            oldest = waiting.front();
        }
        if (oldest) LinkLost(oldest, "too many connections are joining at once; the oldest was closed", true);
        if (limits.pendingLinks == 0 || limits.pendingPerAddress == 0) {
            link->socket.close(ignored);
            return Report("no connection may join; one was refused");
        }
        waiting.push_back(link);
        link->socket.set_option(tcp::no_delay(true), ignored);
        link->deadline.expires_after(limits.handshakeTime);
        link->deadline.async_wait([self = shared_from_this(), link](const asio::error_code& e) {
            if (!e && link->player == 0) self->LinkLost(link, "a connection did not join in time; it is closed", true);
        });
        ReadNext(link);
    }

    // Ends a closing link once its last frame has gone out: no more sending,
    // and the peer is given the handshake time to hang up.
    void HangUp(const std::shared_ptr<Link>& link) {
        asio::error_code ignored;
        link->socket.shutdown(tcp::socket::shutdown_send, ignored);
        link->deadline.expires_after(limits.handshakeTime);
        link->deadline.async_wait([self = shared_from_this(), link](const asio::error_code& e) {
            if (!e) self->LinkLost(link, "", true);
        });
    }

    void CloseWhenSent(const std::shared_ptr<Link>& link) {
        link->closing = true;
        if (link->writes.empty()) HangUp(link);
    }

    void FromJoiner(const std::shared_ptr<Link>& link, const std::uint8_t* frame, std::size_t size) {
        Reader in(frame, size);
        const std::uint8_t kind = in.U8();
        if (link->player == 0) {
            if (kind != FrameHello)
                return LinkLost(link, "a peer spoke before joining; the connection is closed", true);
            return Hello(link, in);
        }
        if (kind != FrameData)
            return Report("a session frame of unknown kind " + std::to_string(kind) + " was dropped");
        in.U32();  // the sender's own idea of its id is not trusted
        const std::uint32_t to = in.U32();
        std::vector<std::uint8_t> packet = in.Rest();
        if (!in.Ok() || packet.empty()) return Report("a truncated game packet was dropped");
        // A packet to one player is judged as well: the host is the one
        // place that knows who may say what to whom.
        const NetRelay scope = RelayOf(link->player, to, packet);
        if (scope == NetRelay::Drop) return;
        Route(link->player, to, std::move(packet), scope);
    }

    void Hello(const std::shared_ptr<Link>& link, Reader& in) {
        AppId theirs{};
        in.Bytes(theirs.data(), theirs.size());
        const std::string name = in.Text();
        if (!in.Ok()) return LinkLost(link, "a malformed join request was refused", true);
        if (theirs != app) {
            std::vector<std::uint8_t> refused = StartFrame(FrameRefused);
            FinishFrame(refused);
            Write(link, std::move(refused));
            Report("a peer of another game was refused");
            return CloseWhenSent(link);
        }
        waiting.remove(link);
        link->deadline.cancel();
        if (limits.unseatedLinks == 0 || limits.unseatedPerAddress == 0)
            return LinkLost(link, "no player may join without playing; one was refused", true);
        MakeRoomForUnseated(link->address);
        std::vector<std::uint8_t> welcome = StartFrame(FrameWelcome);
        std::vector<std::uint8_t> joined = StartFrame(FrameJoined);
        std::uint32_t id;
        {
            std::lock_guard<std::mutex> hold(mutex);
            id = nextId++;
            players[id] = Player{name, false};
            PutU32(welcome, id);
            PutU32(welcome, self);
            PutText(welcome, session);
            PutU32(welcome, std::uint32_t(players.size()));
            for (const auto& [pid, p] : players) {
                PutU32(welcome, pid);
                PutU8(welcome, p.isHost ? 1 : 0);
                PutText(welcome, p.name);
            }
        }
        PutU32(joined, id);
        PutU8(joined, 0);
        PutText(joined, name);
        FinishFrame(welcome);
        FinishFrame(joined);
        link->player = id;
        for (auto& [pid, other] : joiners) Write(other, joined);
        joiners[id] = link;
        Write(link, std::move(welcome));
        AwaitSeat(link);
        Created(id);
    }

    static bool Unseated(const Link& link) { return !link.seated && !link.closing; }

    // When too many players are joined without playing, from the newcomer's
    // address or in all, the oldest of them goes: of that address, else of
    // the address that holds the most. Strangers who join and never play
    // cannot keep a real player out, and from a few addresses they cannot
    // push out one who came from another.
    void MakeRoomForUnseated(const std::string& address) {
        std::map<std::string, std::size_t> perAddress;
        std::size_t all = 0, most = 0;
        for (const auto& [pid, other] : joiners)
            if (Unseated(*other)) {
                most = std::max(most, ++perAddress[other->address]);
                ++all;
            }
        const bool fromThere = perAddress[address] >= limits.unseatedPerAddress;
        if (!fromThere && all < limits.unseatedLinks) return;
        for (const auto& [pid, other] : joiners) {  // oldest first: ids grow
            if (!Unseated(*other)) continue;
            if (fromThere ? other->address == address : perAddress[other->address] == most)
                return LetGo(other, "too many players are joined without playing; the oldest was let go");
        }
    }

    // The player is gone for everyone and its link closed at once.
    void LetGo(std::shared_ptr<Link> link, const std::string& why) {
        link->closing = true;
        Depart(link->player);
        LinkLost(link, why, true);
    }

    // A joined player that has not taken part in the game by the seat time
    // is let go.
    void AwaitSeat(const std::shared_ptr<Link>& link) {
        link->deadline.expires_after(limits.seatTime);
        link->deadline.async_wait([self = shared_from_this(), link](const asio::error_code& e) {
            if (e || link->seated || !link->open || link->closing) return;
            self->Report("a player did not take part in time; it is let go");
            self->DismissPlayer(link->player);
        });
    }

    void SeatPlayer(std::uint32_t id) {
        auto it = joiners.find(id);
        if (it == joiners.end() || it->second->closing) return;
        it->second->seated = true;
        it->second->deadline.cancel();
    }

    // The host's decision for a game packet, taken in its one relay order.
    NetRelay RelayOf(std::uint32_t from, std::uint32_t to, const std::vector<std::uint8_t>& packet) {
        if (quiet) return NetRelay::Drop;
        return events.relay ? events.relay(from, to, packet) : NetRelay::All;
    }

    // A game packet from `from` (a joiner or this host) to its addressee.
    void Route(std::uint32_t from, std::uint32_t to, std::vector<std::uint8_t> packet, NetRelay scope) {
        std::vector<std::uint8_t> frame = StartFrame(FrameData);
        PutU32(frame, from);
        PutU32(frame, to);
        frame.insert(frame.end(), packet.begin(), packet.end());
        FinishFrame(frame);
        if (to == AllPlayers) {
            for (auto& [pid, link] : joiners)
                if (pid != from && (scope == NetRelay::All || (scope == NetRelay::Seated && link->seated)))
                    Write(link, frame);
            if (from != self) Deliver(from, std::move(packet));
        } else if (to == self) {
            Deliver(from, std::move(packet));
        } else if (auto it = joiners.find(to); it != joiners.end()) {
            Write(it->second, std::move(frame));
        }
    }

    // --- joining ---
    void FromHost(const std::uint8_t* frame, std::size_t size) {
        Reader in(frame, size);
        const std::uint8_t kind = in.U8();
        switch (kind) {
            case FrameJoined: {
                const std::uint32_t id = in.U32();
                const bool isHost = in.U8() != 0;
                const std::string name = in.Text();
                if (!in.Ok() || id == AllPlayers) return Report("a malformed player announcement was dropped");
                {
                    std::lock_guard<std::mutex> hold(mutex);
                    players[id] = Player{name, isHost};
                }
                return Created(id);
            }
            case FrameLeft: {
                const std::uint32_t id = in.U32();
                if (!in.Ok()) return Report("a malformed player departure was dropped");
                bool known;
                {
                    std::lock_guard<std::mutex> hold(mutex);
                    known = players.erase(id) > 0;
                }
                if (known) Destroyed(id);
                return;
            }
            case FrameData: {
                const std::uint32_t from = in.U32();
                in.U32();
                std::vector<std::uint8_t> packet = in.Rest();
                if (!in.Ok() || packet.empty()) return Report("a truncated game packet was dropped");
                return Deliver(from, std::move(packet));
            }
            default: return Report("a session frame of unknown kind " + std::to_string(kind) + " was dropped");
        }
    }

    // Connects, says hello and reads the welcome, all within the handshake time.
    NetResult Handshake(const std::string& host, std::uint32_t port, const std::string& player) {
        hostLink = std::make_shared<Link>(io);
        std::string failure = "no answer from the host";
        bool welcomed = false;
        tcp::resolver resolver(io);
        asio::error_code error;
        auto endpoints = resolver.resolve(host, std::to_string(port), error);
        if (error) return Fail("cannot resolve " + host + ": " + error.message());

        std::vector<std::uint8_t> hello = StartFrame(FrameHello);
        hello.insert(hello.end(), app.begin(), app.end());
        PutText(hello, player);
        FinishFrame(hello);

        auto link = hostLink;
        asio::async_connect(link->socket, endpoints, [&, link](const asio::error_code& e, const tcp::endpoint&) {
            if (e) {
                failure = "cannot connect: " + e.message();
                return;
            }
            asio::error_code ignored;
            link->socket.set_option(tcp::no_delay(true), ignored);
            asio::async_write(link->socket, asio::buffer(hello), [&, link](const asio::error_code& e2, std::size_t) {
                if (e2) {
                    failure = "cannot send: " + e2.message();
                    return;
                }
                asio::async_read(link->socket, asio::buffer(link->header),
                                 [&, link](const asio::error_code& e3, std::size_t) {
                                     if (e3) return;
                                     std::uint32_t n = 0;
                                     for (int i = 0; i < 4; ++i)
                                         n |= std::uint32_t(link->header[std::size_t(i)]) << (8 * i);
                                     if (n == 0 || n > MaxFrame) {
                                         failure = "the host's answer is malformed";
                                         return;
                                     }
                                     link->body.resize(n);
                                     asio::async_read(link->socket, asio::buffer(link->body),
                                                      [&](const asio::error_code& e4, std::size_t) {
                                                          if (!e4) welcomed = Welcome(failure);
                                                      });
                                 });
            });
        });
        io.run_for(HandshakeTime);
        if (!welcomed) {
            asio::error_code ignored;
            hostLink->socket.close(ignored);
            io.restart();
            io.run();  // the cancelled operations finish before their locals go
            hostLink.reset();
            io.restart();
            return Fail(failure);
        }
        io.restart();
        return NetResult::Ok;
    }

    bool Welcome(std::string& failure) {
        Reader in(hostLink->body.data(), hostLink->body.size());
        const std::uint8_t kind = in.U8();
        if (kind == FrameRefused) {
            failure = "the host plays another game";
            return false;
        }
        if (kind != FrameWelcome) {
            failure = "the host's answer is malformed";
            return false;
        }
        const std::uint32_t id = in.U32();
        in.U32();  // the host's id: also listed with its flag below
        std::string name = in.Text();
        const std::uint32_t count = in.U32();
        std::map<std::uint32_t, Player> listed;
        for (std::uint32_t i = 0; i < count && in.Ok(); ++i) {
            const std::uint32_t pid = in.U32();
            const bool isHost = in.U8() != 0;
            listed[pid] = Player{in.Text(), isHost};
        }
        if (!in.Ok() || id == AllPlayers || listed.count(id) == 0) {
            failure = "the host's answer is malformed";
            return false;
        }
        std::lock_guard<std::mutex> hold(mutex);
        self = id;
        session = std::move(name);
        players = std::move(listed);
        return true;
    }

    NetResult Fail(const std::string& why) {
        std::lock_guard<std::mutex> hold(mutex);
        lastError = why;
        return NetResult::Failed;
    }

    // --- losing links ---
    // `lost`: the link broke rather than being ended by its peer.
    void LinkLost(const std::shared_ptr<Link>& link, const std::string& why, bool lost) {
        if (!link->open) return;
        link->open = false;
        asio::error_code ignored;
        link->socket.close(ignored);
        link->deadline.cancel();
        if (!why.empty()) Report(why);
        if (!hosting) {
            bool first;
            {
                std::lock_guard<std::mutex> hold(mutex);
                first = open && !terminated;
                terminated = true;
                open = false;
            }
            if (first && !quiet && events.sessionTerminated) events.sessionTerminated(lost);
            return;
        }
        waiting.remove(link);
        if (link->player == 0) return;  // never joined
        if (link->closing) {
            // Let go already, unless it is a player that stopped reading.
            if (joiners.count(link->player) == 0 || joiners[link->player] != link) return;
        }  // never joined, or gone already
        Depart(link->player);
    }

    // A joined player is gone for everyone.
    void Depart(std::uint32_t id) {
        joiners.erase(id);
        {
            std::lock_guard<std::mutex> hold(mutex);
            players.erase(id);
        }
        std::vector<std::uint8_t> left = StartFrame(FrameLeft);
        PutU32(left, id);
        FinishFrame(left);
        for (auto& [pid, other] : joiners) Write(other, left);
        Destroyed(id);
    }

    void DismissPlayer(std::uint32_t id) {
        auto it = joiners.find(id);
        if (it == joiners.end()) return;
        std::shared_ptr<Link> link = it->second;
        Depart(id);
        CloseWhenSent(link);
    }

    void CloseAll() {
        asio::error_code ignored;
        if (acceptor) acceptor->close(ignored);
        acceptTimer.cancel();
        std::vector<std::shared_ptr<Link>> links(waiting.begin(), waiting.end());
        for (auto& [pid, link] : joiners) links.push_back(link);
        if (hostLink) links.push_back(hostLink);
        for (auto& link : links) {
            // A reset tells the peer that the session was lost, not ended.
            if (resetLinks) link->socket.set_option(asio::socket_base::linger(true, 0), ignored);
            link->open = false;
            link->socket.close(ignored);
            link->deadline.cancel();
        }
        joiners.clear();
        waiting.clear();
        work.reset();
    }
};

NetPeer::NetPeer(NetPeerEvents events, NetPeerLimits limits)
    : impl_(std::make_shared<Impl>(std::move(events), limits)) {}

NetPeer::~NetPeer() { Close(); }

NetResult NetPeer::Host(const AppId& app, std::uint32_t port, const std::string& session, const std::string& player,
                        const std::string& bindAddress) {
    Impl& m = *impl_;
    if (m.thread.joinable() || IsOpen()) return m.Fail("a session is already open");
    if (port > 65535) return NetResult::BadPort;
    asio::error_code error;
    tcp::endpoint at(tcp::v4(), std::uint16_t(port));
    if (!bindAddress.empty()) {
        const auto address = asio::ip::make_address(bindAddress, error);
        if (error) return m.Fail("bad address " + bindAddress);
        at = tcp::endpoint(address, std::uint16_t(port));
    }
    auto acceptor = std::make_unique<tcp::acceptor>(m.io);
    if (acceptor->open(at.protocol(), error) || acceptor->set_option(tcp::acceptor::reuse_address(true), error) ||
        acceptor->bind(at, error) || acceptor->listen(asio::socket_base::max_listen_connections, error))
        return m.Fail("cannot listen on port " + std::to_string(port) + ": " + error.message());
    m.listeningPort = acceptor->local_endpoint(error).port();
    m.acceptor = std::move(acceptor);
    std::uint32_t id;
    {
        std::lock_guard<std::mutex> hold(m.mutex);
        m.app = app;
        m.session = session;
        m.hosting = true;
        m.open = true;
        id = m.self = m.nextId++;
        m.players[id] = Player{player.substr(0, MaxName), true};
    }
    m.Accept();
    asio::post(m.io, [self = impl_, id] { self->Created(id); });
    m.StartThread();
    return NetResult::Ok;
}

NetResult NetPeer::Connect(const AppId& app, const std::string& host, std::uint32_t port, const std::string& player) {
    Impl& m = *impl_;
    if (m.thread.joinable() || IsOpen()) return m.Fail("a session is already open");
    if (port == 0 || port > 65535) return NetResult::BadPort;
    m.app = app;
    const NetResult result = m.Handshake(host, port, player);
    if (result != NetResult::Ok) return result;
    std::vector<std::uint32_t> ids;
    {
        std::lock_guard<std::mutex> hold(m.mutex);
        m.open = true;
        for (const auto& [pid, p] : m.players) ids.push_back(pid);
    }
    // Every player is known before the first packet from the host is read.
    asio::post(m.io, [self = impl_, ids] {
        for (std::uint32_t id : ids) self->Created(id);
        self->ReadNext(self->hostLink);
    });
    m.StartThread();
    return NetResult::Ok;
}

void NetPeer::Close(bool connectionLost) {
    Impl& m = *impl_;
    if (connectionLost) m.resetLinks = true;
    m.quiet = true;
    {
        std::lock_guard<std::mutex> hold(m.mutex);
        m.open = false;
        m.players.clear();
    }
    if (!m.thread.joinable()) return;
    asio::post(m.io, [self = impl_] { self->CloseAll(); });
    if (m.thread.get_id() == std::this_thread::get_id()) {
        m.thread.detach();  // closed from one of its own events: it ends by itself
        return;
    }
    m.thread.join();
    // Work posted while the thread was ending would hold the peer for ever.
    m.io.restart();
    m.io.poll();
}

void NetPeer::Dismiss(std::uint32_t player) {
    if (!IsOpen()) return;
    asio::post(impl_->io, [self = impl_, player] { self->DismissPlayer(player); });
}

void NetPeer::Seat(std::uint32_t player) {
    if (!IsOpen()) return;
    asio::post(impl_->io, [self = impl_, player] { self->SeatPlayer(player); });
}

bool NetPeer::SendTo(std::uint32_t to, const std::uint8_t* data, std::size_t size, bool loopback) {
    Impl& m = *impl_;
    if (data == nullptr || size == 0 || size > MaxPacket) return false;
    std::uint32_t self;
    bool hosting;
    {
        std::lock_guard<std::mutex> hold(m.mutex);
        if (!m.open || (to != AllPlayers && m.players.count(to) == 0)) return false;
        self = m.self;
        hosting = m.hosting;
    }
    std::vector<std::uint8_t> packet(data, data + size);
    asio::post(m.io, [s = impl_, to, self, hosting, loopback, packet = std::move(packet)]() mutable {
        const bool toSelfToo = to == self || (to == AllPlayers && loopback);
        if (hosting) {
            // The host's own packets to all take their place in the relay order too.
            NetRelay scope = NetRelay::All;
            if (to == AllPlayers && (scope = s->RelayOf(self, to, packet)) == NetRelay::Drop) return;
            if (to != self) s->Route(self, to, packet, scope);
        } else if (to != self && s->hostLink && s->hostLink->open) {
            std::vector<std::uint8_t> frame = StartFrame(FrameData);
            PutU32(frame, self);
            PutU32(frame, to);
            frame.insert(frame.end(), packet.begin(), packet.end());
            FinishFrame(frame);
            s->Write(s->hostLink, std::move(frame));
        }
        if (toSelfToo) s->Deliver(self, std::move(packet));
    });
    return true;
}

bool NetPeer::PlayerInfo(std::uint32_t id, std::string& name, bool& isHost) const {
    std::lock_guard<std::mutex> hold(impl_->mutex);
    auto it = impl_->players.find(id);
    if (it == impl_->players.end()) return false;
    name = it->second.name;
    isHost = it->second.isHost;
    return true;
}

std::uint32_t NetPeer::LocalPlayer() const {
    std::lock_guard<std::mutex> hold(impl_->mutex);
    return impl_->open ? impl_->self : 0;
}

bool NetPeer::IsOpen() const {
    std::lock_guard<std::mutex> hold(impl_->mutex);
    return impl_->open;
}

std::uint32_t NetPeer::ListeningPort() const { return impl_->listeningPort; }

std::string NetPeer::LastError() const {
    std::lock_guard<std::mutex> hold(impl_->mutex);
    return impl_->lastError;
}

}  // namespace qel
