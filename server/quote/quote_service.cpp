#include "server/quote/quote_service.h"

#include "server/market/market.h"
#include "server/quote/answer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <list>
#include <unordered_map>

namespace vq::quote {

bool parseHostPort(const std::string& text, std::string& host, uint16_t& port) {
    std::string s = text;
    if (s.compare(0, 6, "tcp://") == 0)
        s = s.substr(6);
    size_t colon = s.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 >= s.size())
        return false;
    std::string p = s.substr(colon + 1);
    if (p.size() > 5 || p.find_first_not_of("0123456789") != std::string::npos)
        return false;
    unsigned long v = std::stoul(p);
    if (v > 65535)
        return false;
    host = s.substr(0, colon);
    port = uint16_t(v);
    return true;
}

namespace {

int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

int64_t nowMicros() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

// Requests read ahead of their processing, per session; a client that sends faster than it
// is served waits in its own socket buffer, not in our memory.
constexpr size_t kMaxInputBacklog = 1u << 20;
// How often deadlines (hello, slow consumers) are looked at when nothing else happens.
constexpr int kSweepMs = 100;

std::string peerAddress(const sockaddr_storage& ss) {
    char text[INET6_ADDRSTRLEN] = {};
    if (ss.ss_family == AF_INET6)
        inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(&ss)->sin6_addr, text,
                  sizeof text);
    else
        inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(&ss)->sin_addr, text, sizeof text);
    return text;
}

struct Subscription {
    vqp::Request request;
    PushState state;
};

struct Session {
    int fd = -1;
    std::string address;
    int64_t acceptedAt = 0;
    int64_t overSince = 0;  // when its output last went over budget (0: within budget)
    bool backlog = false;   // decoded input left for a later turn
    bool up = false;        // hello exchanged
    std::string hello;
    vqp::FrameDecoder decoder;
    std::string out;
    size_t outPos = 0;
    std::unordered_map<uint32_t, Subscription> subs;
    bool dead = false;
    size_t pending() const { return out.size() - outPos; }
};

}  // namespace

class QuoteService::Loop {
public:
    Loop(const market::Market& m, const ServiceOptions& o, std::atomic<int>& count,
         std::atomic<size_t>& peak, std::atomic<int>& subscriptions)
        : answerer_(m),
          options_(o),
          sessionCount_(count),
          peakPending_(peak),
          subscriptionCount_(subscriptions) {
        wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    }
    ~Loop() {
        for (Session& s : sessions_)
            if (s.fd >= 0)
                ::close(s.fd);
        if (listenFd_ >= 0)
            ::close(listenFd_);
        if (wakeFd_ >= 0)
            ::close(wakeFd_);
    }

    bool listen(const std::string& host, uint16_t port, uint16_t& bound, std::string* error) {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
        addrinfo* res = nullptr;
        std::string p = std::to_string(port);
        int rc = getaddrinfo(host.empty() ? nullptr : host.c_str(), p.c_str(), &hints, &res);
        if (rc != 0 || !res) {
            if (error)
                *error = std::string("cannot resolve ") + host + ": " + gai_strerror(rc);
            return false;
        }
        int fd = ::socket(res->ai_family, res->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC,
                          res->ai_protocol);
        int one = 1;
        if (fd >= 0)
            setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        if (fd < 0 || ::bind(fd, res->ai_addr, res->ai_addrlen) < 0 || ::listen(fd, 64) < 0) {
            if (error)
                *error = "cannot listen on " + host + ":" + p + ": " + std::strerror(errno);
            if (fd >= 0)
                ::close(fd);
            freeaddrinfo(res);
            return false;
        }
        freeaddrinfo(res);
        sockaddr_storage ss{};
        socklen_t len = sizeof ss;
        getsockname(fd, reinterpret_cast<sockaddr*>(&ss), &len);
        bound = ntohs(ss.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&ss)->sin6_port
                                               : reinterpret_cast<sockaddr_in*>(&ss)->sin_port);
        listenFd_ = fd;
        return true;
    }

    // Called on the market's writer thread after each publication: only a flag and a wake.
    void published() {
        published_ = true;
        uint64_t one = 1;
        ssize_t n = ::write(wakeFd_, &one, sizeof one);
        (void)n;
    }

    void requestStop() {
        stop_ = true;
        uint64_t one = 1;
        ssize_t n = ::write(wakeFd_, &one, sizeof one);
        (void)n;
    }

    void run() {
        int64_t lastPush = nowMs();
        int64_t nextPush = lastPush + options_.pushIntervalMs;
        int64_t nextSweep = lastPush + kSweepMs;
        std::vector<pollfd> fds;
        std::vector<Session*> order;
        while (!stop_) {
            fds.clear();
            order.clear();
            fds.push_back({wakeFd_, POLLIN, 0});
            fds.push_back({listenFd_, POLLIN, 0});
            bool ready = false;  // a session has requests waiting and room for answers
            for (Session& s : sessions_) {
                short ev = 0;
                if (wantsInput(s))
                    ev |= POLLIN;
                if (s.pending() > 0)
                    ev |= POLLOUT;
                ready = ready || (s.backlog && withinBudget(s));
                fds.push_back({s.fd, ev, 0});
                order.push_back(&s);
            }
            int64_t wait = std::min(nextPush, nextSweep) - nowMs();
            int timeout = ready ? 0 : int(std::max<int64_t>(0, wait));
            int rc = ::poll(fds.data(), nfds_t(fds.size()), timeout);
            if (rc < 0 && errno != EINTR)
                break;
            if (stop_)
                break;
            if (fds[0].revents & POLLIN) {
                uint64_t v;
                ssize_t n = ::read(wakeFd_, &v, sizeof v);
                (void)n;
            }
            if (fds[1].revents & POLLIN)
                acceptAll();
            for (size_t i = 0; i < order.size(); ++i) {
                Session& s = *order[i];
                short re = fds[i + 2].revents;
                if (re & POLLIN)
                    readFrom(s);
                else if (re & (POLLERR | POLLHUP | POLLNVAL))
                    s.dead = true;
                if (!s.dead && s.backlog && withinBudget(s))
                    work(s);
                if (!s.dead && s.pending() > 0)
                    flush(s);
            }
            int64_t now = nowMs();
            if (now >= nextPush || (published_ && now - lastPush >= options_.minPushIntervalMs)) {
                published_ = false;
                pushAll();
                lastPush = nowMs();
                nextPush = lastPush + options_.pushIntervalMs;
            } else if (published_) {
                nextPush = std::min(nextPush, lastPush + options_.minPushIntervalMs);
            }
            if (now >= nextSweep) {
                sweep(now);
                nextSweep = now + kSweepMs;
            }
            reap();
        }
    }

private:
    bool withinBudget(const Session& s) const { return s.pending() <= options_.maxPendingBytes; }

    bool wantsInput(const Session& s) const {
        return !s.dead && withinBudget(s) && s.decoder.buffered() < kMaxInputBacklog;
    }

    void acceptAll() {
        for (;;) {
            sockaddr_storage ss{};
            socklen_t len = sizeof ss;
            int fd = ::accept4(listenFd_, reinterpret_cast<sockaddr*>(&ss), &len,
                               SOCK_NONBLOCK | SOCK_CLOEXEC);
            if (fd < 0)
                return;
            std::string address = peerAddress(ss);
            int fromThere = 0;
            for (const Session& s : sessions_)
                if (!s.dead && s.address == address)
                    ++fromThere;
            if (fromThere >= options_.maxSessionsPerAddress ||
                (liveSessions() >= options_.maxSessions && !evictSilent())) {
                ::close(fd);
                continue;
            }
            int one = 1;
            setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            sessions_.emplace_back();
            Session& s = sessions_.back();
            s.fd = fd;
            s.address = std::move(address);
            s.acceptedAt = nowMs();
            vqp::Hello h;
            h.role = vqp::Role::Server;
            vqp::encodeHello(h, s.out);
            sessionCount_ = int(sessions_.size());
        }
    }

    int liveSessions() const {
        int n = 0;
        for (const Session& s : sessions_)
            n += s.dead ? 0 : 1;
        return n;
    }

    // The table is full: the oldest connection still without a hello makes room. Sessions
    // that have greeted us are never pushed out by newcomers.
    bool evictSilent() {
        Session* victim = nullptr;
        for (Session& s : sessions_)
            if (!s.dead && !s.up && (!victim || s.acceptedAt < victim->acceptedAt))
                victim = &s;
        if (!victim)
            return false;
        victim->dead = true;
        return true;
    }

    // Deadlines: the hello, and output that stays over budget (a client that does not read).
    void sweep(int64_t now) {
        for (Session& s : sessions_) {
            if (s.dead)
                continue;
            if (!s.up && now - s.acceptedAt >= options_.helloTimeoutMs) {
                s.dead = true;
                continue;
            }
            if (withinBudget(s)) {
                s.overSince = 0;
            } else if (s.overSince == 0) {
                s.overSince = now;
            } else if (now - s.overSince >= options_.slowConsumerMs) {
                s.dead = true;
            }
        }
    }

    void readFrom(Session& s) {
        char buf[65536];
        while (s.decoder.buffered() < kMaxInputBacklog) {
            ssize_t n = ::recv(s.fd, buf, sizeof buf, 0);
            if (n == 0) {
                s.dead = true;
                return;
            }
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                if (errno != EAGAIN && errno != EWOULDBLOCK) {
                    s.dead = true;
                    return;
                }
                break;
            }
            const char* p = buf;
            size_t len = size_t(n);
            if (!s.up) {
                size_t take = std::min(vqp::kHelloSize - s.hello.size(), len);
                s.hello.append(p, take);
                p += take;
                len -= take;
                if (s.hello.size() < vqp::kHelloSize)
                    continue;
                vqp::Hello h;
                if (!vqp::decodeHello(s.hello.data(), s.hello.size(), h) || !vqp::compatible(h) ||
                    h.role != vqp::Role::Client) {
                    s.dead = true;  // not our protocol, or a version we cannot serve
                    return;
                }
                s.up = true;
                vqp::encodeServerInfo(options_.name, int64_t(::time(nullptr)), s.out);
                answerer_.codeList(s.out);
                answerer_.blockIndex(s.out);
            }
            s.decoder.feed(p, len);
        }
        if (s.up)
            work(s);
    }

    // Answers the session's requests in order until its output is over budget or its turn
    // is used up; what is left waits for the next turn, after every other session's.
    void work(Session& s) {
        const int64_t start = nowMicros();
        vqp::Frame f;
        s.backlog = true;
        while (withinBudget(s)) {
            auto res = s.decoder.next(f);
            if (res == vqp::FrameDecoder::Result::NeedMore) {
                s.backlog = false;
                break;
            }
            if (res == vqp::FrameDecoder::Result::Error) {
                s.dead = true;
                break;
            }
            handle(s, f);
            if (nowMicros() - start >= options_.sliceMicros)
                break;
        }
        if (s.pending() > peakPending_.load())
            peakPending_ = s.pending();
    }

    void handle(Session& s, const vqp::Frame& f) {
        switch (f.type) {
            case vqp::Msg::Request: {
                vqp::Request r;
                if (!vqp::decodeRequest(f.body, r)) {
                    badRequest(s, f.body);
                    return;
                }
                PushState fresh;
                if (r.action == vqp::Action::Subscribe && !s.subs.count(r.id) &&
                    s.subs.size() >= options_.maxSubscriptions) {
                    vqp::ErrorMsg e;
                    e.id = r.id;
                    if (!vqp::replyKindOf(r.type, r.period, e.kind))
                        e.kind = vqp::ReplyKind(0);
                    e.code = vqp::ErrorCode::Overloaded;
                    e.text = "too many subscriptions";
                    vqp::encodeError(e, s.out);
                } else if (r.action == vqp::Action::Subscribe) {
                    Subscription& sub = s.subs[r.id];
                    sub.request = r;
                    sub.state = PushState();
                    answerer_.answer(sub.request, sub.state, true, s.out);
                } else {
                    if (r.action == vqp::Action::Request)
                        s.subs.erase(r.id);
                    answerer_.answer(r, fresh, true, s.out);
                }
                break;
            }
            case vqp::Msg::Cancel: {
                uint32_t id;
                if (vqp::decodeCancel(f.body, id))
                    s.subs.erase(id);
                break;
            }
            case vqp::Msg::Ping: {
                size_t fr = vqp::beginFrame(s.out, vqp::Msg::Pong);
                vqp::finishFrame(s.out, fr);
                break;
            }
            default:
                break;  // frames of later versions are skipped
        }
    }

    // A request that cannot be decoded still gets an answer when its id and kind can be
    // read from its head, so the terminal's context is not left waiting.
    void badRequest(Session& s, const std::string& body) {
        vqp::Reader r(body.data(), body.size());
        vqp::ErrorMsg e;
        e.id = r.u32();
        r.u8();
        uint8_t type = r.u8();
        uint16_t period = r.u16();
        if (!r.ok())
            return;
        if (!vqp::replyKindOf(type, period, e.kind))
            e.kind = vqp::ReplyKind(0);
        e.code = vqp::ErrorCode::BadRequest;
        e.text = "malformed request";
        vqp::encodeError(e, s.out);
    }

    void flush(Session& s) {
        while (s.pending() > 0) {
            ssize_t n = ::send(s.fd, s.out.data() + s.outPos, s.pending(), MSG_NOSIGNAL);
            if (n > 0) {
                s.outPos += size_t(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                break;
            s.dead = true;
            return;
        }
        if (s.outPos == s.out.size()) {
            s.out.clear();
            s.outPos = 0;
        } else if (s.outPos > (1u << 20)) {
            s.out.erase(0, s.outPos);
            s.outPos = 0;
        }
    }

    void pushAll() {
        for (Session& s : sessions_) {
            if (s.dead || !s.up || s.pending() > options_.maxPendingBytes)
                continue;  // a slow reader catches up with the newest state later
            for (auto& kv : s.subs)
                answerer_.answer(kv.second.request, kv.second.state, false, s.out);
            if (s.pending() > 0)
                flush(s);
            if (s.pending() > peakPending_.load())
                peakPending_ = s.pending();
        }
    }

    void reap() {
        size_t live = 0;
        for (auto it = sessions_.begin(); it != sessions_.end();) {
            if (it->dead) {
                ::close(it->fd);
                it = sessions_.erase(it);
            } else {
                live += it->subs.size();
                ++it;
            }
        }
        sessionCount_ = int(sessions_.size());
        subscriptionCount_ = int(live);
    }

    Answerer answerer_;
    ServiceOptions options_;
    std::atomic<int>& sessionCount_;
    std::atomic<size_t>& peakPending_;
    std::atomic<int>& subscriptionCount_;
    std::list<Session> sessions_;
    int listenFd_ = -1;
    int wakeFd_ = -1;
    std::atomic<bool> stop_{false};
    std::atomic<bool> published_{false};
};

QuoteService::QuoteService(market::Market& market, ServiceOptions options)
    : market_(market), options_(std::move(options)) {}

QuoteService::~QuoteService() {
    stop();
}

bool QuoteService::start(std::string* error) {
    if (loop_)
        return true;
    auto loop = std::make_unique<Loop>(market_, options_, sessions_, peakPending_, subscriptions_);
    if (!loop->listen(options_.host, options_.port, port_, error))
        return false;
    loop_ = std::move(loop);
    Loop* l = loop_.get();
    listener_ = market_.addListener([l](const market::SnapshotPtr&) { l->published(); });
    thread_ = std::thread([this] { loop_->run(); });
    return true;
}

void QuoteService::stop() {
    if (!loop_)
        return;
    if (listener_ > 0)
        market_.removeListener(listener_);
    listener_ = 0;
    loop_->requestStop();
    if (thread_.joinable())
        thread_.join();
    loop_.reset();
    sessions_ = 0;
    subscriptions_ = 0;
}

}  // namespace vq::quote
