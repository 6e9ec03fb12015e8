#include "server/http/connection_loop.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>

#include "server/http/request_head.h"

namespace vq::http {

namespace {

int64_t nowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// How long a connection closed after an early answer (413, 431) keeps swallowing what the
// client still sends, so that the client reads our answer instead of a reset.
constexpr int kLingerMs = 2000;
constexpr size_t kLingerBytes = 8u * 1024u * 1024u;
constexpr int kSweepMs = 50;

std::string addressText(const sockaddr_storage& ss, int& port) {
    char text[INET6_ADDRSTRLEN] = {};
    if (ss.ss_family == AF_INET6) {
        const auto* a = reinterpret_cast<const sockaddr_in6*>(&ss);
        inet_ntop(AF_INET6, &a->sin6_addr, text, sizeof text);
        port = ntohs(a->sin6_port);
    } else {
        const auto* a = reinterpret_cast<const sockaddr_in*>(&ss);
        inet_ntop(AF_INET, &a->sin_addr, text, sizeof text);
        port = ntohs(a->sin_port);
    }
    return text;
}

}  // namespace

struct ConnectionLoop::Connection {
    enum class Phase {
        Reading,  // waiting for (the rest of) a request
        Busy,     // a worker has the request
        Writing,  // the answer is going out
        Draining  // answered early; swallowing input until the linger ends, then closed
    };
    uint64_t id = 0;
    int fd = -1;
    Phase phase = Phase::Reading;
    std::string in;
    std::string out;
    size_t outPos = 0;
    bool closeAfter = false;
    bool continueSent = false;
    bool peerClosed = false;
    int64_t deadline = 0;
    int64_t lastActive = 0;
    size_t swallowed = 0;
    std::string remoteAddr, localAddr;
    int remotePort = 0, localPort = 0;
    uint32_t events = 0;
};

ConnectionLoop::ConnectionLoop(LoopOptions options, RequestHandler handler, ErrorAnswer errorAnswer)
    : options_(options), handler_(std::move(handler)), errorAnswer_(std::move(errorAnswer)) {
    epollFd_ = epoll_create1(EPOLL_CLOEXEC);
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

ConnectionLoop::~ConnectionLoop() {
    stop();
    for (auto& [id, c] : table_) {
        ::close(c->fd);
    }
    if (listenFd_ >= 0) {
        ::close(listenFd_);
    }
    ::close(epollFd_);
    ::close(wakeFd_);
}

bool ConnectionLoop::listen(const std::string& host, int port, int& bound, std::string* error) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* res = nullptr;
    const std::string service = std::to_string(port);
    const int rc =
        getaddrinfo(host.empty() ? nullptr : host.c_str(), service.c_str(), &hints, &res);
    if (rc != 0 || !res) {
        if (error) {
            *error = "cannot resolve " + host + ": " + gai_strerror(rc);
        }
        return false;
    }
    const int fd =
        ::socket(res->ai_family, res->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, res->ai_protocol);
    // SO_REUSEADDR for quick restarts, but not SO_REUSEPORT: with it a second server on the
    // same port would start "successfully" and steal half the clients.
    int one = 1;
    if (fd >= 0) {
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    }
    if (fd < 0 || ::bind(fd, res->ai_addr, res->ai_addrlen) < 0 || ::listen(fd, 1024) < 0) {
        if (error) {
            *error = "cannot bind " + host + ":" + service + ": " + std::strerror(errno);
        }
        if (fd >= 0) {
            ::close(fd);
        }
        freeaddrinfo(res);
        return false;
    }
    freeaddrinfo(res);
    sockaddr_storage ss{};
    socklen_t len = sizeof ss;
    getsockname(fd, reinterpret_cast<sockaddr*>(&ss), &len);
    addressText(ss, bound);
    listenFd_ = fd;
    return true;
}

void ConnectionLoop::start() {
    epoll_event ev{};
    ev.events = EPOLLIN;
    ev.data.u64 = 0;  // id 0: the listener
    epoll_ctl(epollFd_, EPOLL_CTL_ADD, listenFd_, &ev);
    ev.data.u64 = UINT64_MAX;  // the wake-up
    epoll_ctl(epollFd_, EPOLL_CTL_ADD, wakeFd_, &ev);
    const int workers = std::max(1, options_.workers);
    for (int i = 0; i < workers; ++i) {
        workers_.emplace_back([this] { work(0); });
    }
    const int isolated = options_.isolatedPaths.empty() ? 0 : std::max(1, options_.isolatedWorkers);
    for (int i = 0; i < isolated; ++i) {
        workers_.emplace_back([this] { work(1); });
    }
    loop_ = std::thread([this] { run(); });
}

void ConnectionLoop::stop() {
    if (!loop_.joinable()) {
        return;
    }
    stopping_ = true;
    uint64_t one = 1;
    ssize_t n = ::write(wakeFd_, &one, sizeof one);
    (void)n;
    loop_.join();
    {
        std::lock_guard<std::mutex> lock(mutex_);
        workersQuit_ = true;
    }
    wake_[0].notify_all();
    wake_[1].notify_all();
    for (std::thread& t : workers_) {
        t.join();
    }
    workers_.clear();
}

void ConnectionLoop::work(int lane) {
    for (;;) {
        std::pair<uint64_t, RawRequest> job;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            std::deque<std::pair<uint64_t, RawRequest>>& queue = queue_[lane];
            wake_[lane].wait(lock, [&] { return workersQuit_ || !queue.empty(); });
            if (queue.empty()) {
                return;
            }
            job = std::move(queue.front());
            queue.pop_front();
        }
        RawResponse response = handler_(job.second);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            done_.push_back({job.first, std::move(response)});
        }
        uint64_t one = 1;
        ssize_t n = ::write(wakeFd_, &one, sizeof one);
        (void)n;
    }
}

void ConnectionLoop::run() {
    std::vector<epoll_event> events(256);
    int64_t nextSweep = nowMs() + kSweepMs;
    bool listening = true;
    for (;;) {
        if (stopping_ && listening) {
            epoll_ctl(epollFd_, EPOLL_CTL_DEL, listenFd_, nullptr);
            ::close(listenFd_);
            listenFd_ = -1;
            listening = false;
            // Connections between requests have nothing to finish.
            for (auto& [id, c] : table_) {
                if (c->phase == Connection::Phase::Reading ||
                    c->phase == Connection::Phase::Draining) {
                    dead_.push_back(id);
                }
            }
        }
        for (const uint64_t id : dead_) {
            drop(id);
        }
        dead_.clear();
        if (stopping_ && table_.empty()) {
            return;
        }
        const int timeout = int(std::max<int64_t>(0, nextSweep - nowMs()));
        const int n = epoll_wait(epollFd_, events.data(), int(events.size()), timeout);
        if (n < 0 && errno != EINTR) {
            return;
        }
        for (int i = 0; i < n; ++i) {
            const uint64_t id = events[i].data.u64;
            if (id == 0) {
                if (listening) {
                    accept();
                }
                continue;
            }
            if (id == UINT64_MAX) {
                uint64_t v;
                ssize_t r = ::read(wakeFd_, &v, sizeof v);
                (void)r;
                collectDone();
                continue;
            }
            auto it = table_.find(id);
            if (it == table_.end()) {
                continue;
            }
            Connection& c = *it->second;
            const uint32_t ev = events[i].events;
            if (ev & (EPOLLIN | EPOLLHUP | EPOLLERR)) {
                if (c.phase == Connection::Phase::Draining) {
                    drain(c);
                } else if (c.phase == Connection::Phase::Reading) {
                    readFrom(c);
                }
            }
            // A hang-up while writing shows as a failed send; left alone it would be reported
            // on every turn until the write deadline.
            if ((ev & (EPOLLOUT | EPOLLERR | EPOLLHUP)) && c.phase == Connection::Phase::Writing) {
                writeTo(c);
            }
        }
        const int64_t now = nowMs();
        if (now >= nextSweep) {
            sweep(now);
            nextSweep = now + kSweepMs;
        }
    }
}

void ConnectionLoop::accept() {
    for (;;) {
        sockaddr_storage ss{};
        socklen_t len = sizeof ss;
        const int fd = ::accept4(listenFd_, reinterpret_cast<sockaddr*>(&ss), &len,
                                 SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            return;
        }
        auto c = std::make_unique<Connection>();
        c->remoteAddr = addressText(ss, c->remotePort);
        int& fromThere = perAddress_[c->remoteAddr];
        if (fromThere >= options_.maxConnectionsPerAddress ||
            (int(table_.size()) >= options_.maxConnections && !evictOne())) {
            if (fromThere == 0) {
                perAddress_.erase(c->remoteAddr);
            }
            ::close(fd);
            continue;
        }
        ++fromThere;
        sockaddr_storage local{};
        len = sizeof local;
        getsockname(fd, reinterpret_cast<sockaddr*>(&local), &len);
        c->localAddr = addressText(local, c->localPort);
        // Head and body leave in separate writes; Nagle's algorithm against the client's
        // delayed ACK would hold the body for 40 ms.
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        c->id = nextId_++;
        c->fd = fd;
        c->lastActive = nowMs();
        c->deadline = c->lastActive + options_.idleTimeoutMs;
        Connection& ref = *c;
        table_.emplace(c->id, std::move(c));
        connections_ = int(table_.size());
        watch(ref, EPOLLIN | EPOLLRDHUP);
    }
}

// The table is full: the connection that has been quiet longest while waiting for a request
// goes. Connections whose request is being answered are never chosen.
bool ConnectionLoop::evictOne() {
    Connection* victim = nullptr;
    for (auto& [id, c] : table_) {
        if ((c->phase == Connection::Phase::Reading || c->phase == Connection::Phase::Draining) &&
            (!victim || c->lastActive < victim->lastActive)) {
            victim = c.get();
        }
    }
    if (!victim) {
        return false;
    }
    drop(victim->id);
    return true;
}

void ConnectionLoop::watch(Connection& c, uint32_t events) {
    // No interest at all takes the socket out of the set: a hang-up cannot be masked, and
    // reported over and over while a worker has the request it would spin the loop.
    if (c.events == events) {
        return;
    }
    epoll_event ev{};
    ev.events = events;
    ev.data.u64 = c.id;
    if (events == 0) {
        epoll_ctl(epollFd_, EPOLL_CTL_DEL, c.fd, nullptr);
    } else {
        epoll_ctl(epollFd_, c.events == 0 ? EPOLL_CTL_ADD : EPOLL_CTL_MOD, c.fd, &ev);
    }
    c.events = events;
}

void ConnectionLoop::drop(uint64_t id) {
    auto it = table_.find(id);
    if (it == table_.end()) {
        return;
    }
    Connection& c = *it->second;
    if (c.phase == Connection::Phase::Busy) {
        // The worker's answer arrives later and finds no connection; closing now would let
        // the descriptor be reused under it, so the close waits for that answer.
        c.closeAfter = true;
        return;
    }
    if (c.events != 0) {
        epoll_ctl(epollFd_, EPOLL_CTL_DEL, c.fd, nullptr);
    }
    ::close(c.fd);
    auto count = perAddress_.find(c.remoteAddr);
    if (count != perAddress_.end() && --count->second <= 0) {
        perAddress_.erase(count);
    }
    table_.erase(it);
    connections_ = int(table_.size());
}

void ConnectionLoop::readFrom(Connection& c) {
    char buf[16384];
    // Never more than one request ahead: a client pipelining requests waits for answers.
    const size_t cap = options_.maxHeaderBytes + options_.maxBodyBytes + sizeof buf;
    while (c.in.size() < cap) {
        const ssize_t n = ::recv(c.fd, buf, sizeof buf, 0);
        if (n > 0) {
            if (c.in.empty()) {
                // The first byte of a request starts its deadline.
                c.deadline = nowMs() + options_.requestDeadlineMs;
            }
            c.in.append(buf, size_t(n));
            c.lastActive = nowMs();
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            break;
        }
        if (n < 0) {
            dead_.push_back(c.id);
            return;
        }
        // The client has finished sending; a request it completed is still answered.
        c.peerClosed = true;
        break;
    }
    parse(c);
    if (c.peerClosed && c.phase == Connection::Phase::Reading) {
        dead_.push_back(c.id);
    }
}

void ConnectionLoop::parse(Connection& c) {
    // Empty lines between requests are tolerated (and not part of the next one).
    size_t skip = 0;
    while (skip + 1 < c.in.size() && c.in[skip] == '\r' && c.in[skip + 1] == '\n') {
        skip += 2;
    }
    if (skip > 0) {
        c.in.erase(0, skip);
    }
    if (c.in.empty()) {
        return;
    }
    const RequestHead head = scanHead(c.in, options_.maxHeaderBytes);
    switch (head.state) {
        case RequestHead::State::Incomplete:
            return;
        case RequestHead::State::TooLarge:
            reply(c, errorAnswer_(431), true);
            return;
        case RequestHead::State::Malformed:
            reply(c, errorAnswer_(400), true);
            return;
        case RequestHead::State::Complete:
            break;
    }
    if (head.bodyLength > options_.maxBodyBytes) {
        // Refused on the declared length alone: nothing of the body is waited for.
        reply(c, errorAnswer_(413), true);
        return;
    }
    const size_t total = head.headLength + head.bodyLength;
    if (c.in.size() < total) {
        if (head.expectAt != std::string::npos && !c.continueSent) {
            c.continueSent = true;
            static const char kContinue[] = "HTTP/1.1 100 Continue\r\n\r\n";
            ssize_t n = ::send(c.fd, kContinue, sizeof kContinue - 1, MSG_NOSIGNAL);
            (void)n;
        }
        return;
    }
    if (head.expectAt != std::string::npos) {
        // Already answered here; the handler must not answer it again inside the reply.
        c.in.replace(head.expectAt, 6, "X-Xpct");
    }
    // A body framed some other way than by its length cannot be found in the stream: the
    // connection ends with the answer (which refuses it).
    dispatch(c, total, head.chunked);
}

void ConnectionLoop::dispatch(Connection& c, size_t length, bool closeAfter) {
    RawRequest request;
    request.bytes = c.in.substr(0, length);
    c.in.erase(0, length);
    c.continueSent = false;
    request.remoteAddr = c.remoteAddr;
    request.remotePort = c.remotePort;
    request.localAddr = c.localAddr;
    request.localPort = c.localPort;
    const int lane = laneOf(request.bytes);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (queue_[lane].size() < options_.maxQueuedRequests) {
            queue_[lane].emplace_back(c.id, std::move(request));
            c.phase = Connection::Phase::Busy;
        }
    }
    if (c.phase != Connection::Phase::Busy) {
        reply(c, errorAnswer_(503), false);
        return;
    }
    wake_[lane].notify_one();
    c.closeAfter = closeAfter || c.peerClosed;
    watch(c, 0);
}

int ConnectionLoop::laneOf(const std::string& request) const {
    if (options_.isolatedPaths.empty()) {
        return 0;
    }
    // "METHOD /path?query HTTP/1.1": the path alone decides.
    const size_t from = request.find(' ');
    if (from == std::string::npos) {
        return 0;
    }
    const size_t to = request.find_first_of(" ?\r", from + 1);
    const std::string path = request.substr(from + 1, to == std::string::npos ? to : to - from - 1);
    for (const std::string& isolated : options_.isolatedPaths) {
        if (path == isolated) {
            return 1;
        }
    }
    return 0;
}

void ConnectionLoop::collectDone() {
    std::vector<Done> done;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        done.swap(done_);
    }
    for (Done& d : done) {
        auto it = table_.find(d.id);
        if (it == table_.end()) {
            continue;
        }
        Connection& c = *it->second;
        const bool close = c.closeAfter || d.response.close;
        c.phase = Connection::Phase::Reading;
        reply(c, std::move(d.response.bytes), close);
    }
}

void ConnectionLoop::reply(Connection& c, std::string bytes, bool close) {
    c.out = std::move(bytes);
    c.outPos = 0;
    c.closeAfter = close;
    c.phase = Connection::Phase::Writing;
    c.deadline = nowMs() + options_.writeDeadlineMs;
    writeTo(c);
}

void ConnectionLoop::writeTo(Connection& c) {
    while (c.outPos < c.out.size()) {
        const ssize_t n =
            ::send(c.fd, c.out.data() + c.outPos, c.out.size() - c.outPos, MSG_NOSIGNAL);
        if (n > 0) {
            c.outPos += size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            watch(c, EPOLLOUT);
            return;
        }
        dead_.push_back(c.id);
        return;
    }
    finished(c);
}

void ConnectionLoop::finished(Connection& c) {
    c.out.clear();
    c.outPos = 0;
    c.lastActive = nowMs();
    if (c.closeAfter || stopping_) {
        // Whatever the client still sends is swallowed for a moment, so it reads the answer
        // rather than a reset caused by unread input.
        ::shutdown(c.fd, SHUT_WR);
        c.in.clear();
        c.phase = Connection::Phase::Draining;
        c.deadline = nowMs() + kLingerMs;
        if (stopping_) {
            dead_.push_back(c.id);
            return;
        }
        watch(c, EPOLLIN | EPOLLRDHUP);
        drain(c);
        return;
    }
    c.phase = Connection::Phase::Reading;
    c.deadline = c.in.empty() ? c.lastActive + options_.idleTimeoutMs
                              : c.lastActive + options_.requestDeadlineMs;
    watch(c, EPOLLIN | EPOLLRDHUP);
    if (!c.in.empty()) {
        parse(c);
    }
}

void ConnectionLoop::drain(Connection& c) {
    char buf[16384];
    for (;;) {
        const ssize_t n = ::recv(c.fd, buf, sizeof buf, 0);
        if (n > 0) {
            c.swallowed += size_t(n);
            if (c.swallowed > kLingerBytes) {
                dead_.push_back(c.id);
                return;
            }
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            return;
        }
        dead_.push_back(c.id);
        return;
    }
}

void ConnectionLoop::sweep(int64_t now) {
    for (auto& [id, c] : table_) {
        if (c->phase != Connection::Phase::Busy && now >= c->deadline) {
            dead_.push_back(id);
        }
    }
}

}  // namespace vq::http
