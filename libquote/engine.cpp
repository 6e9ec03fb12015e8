#include "libquote/engine.h"

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

namespace libquote {

namespace {
// Reconnect delays double from the first to the last; a restarted service is found again
// within a second of coming back.
constexpr int kFirstBackoffMs = 100;
constexpr int kMaxBackoffMs = 1000;
constexpr int kPingEveryMs = 5000;
constexpr int kDeadAfterMs = 20000;  // nothing heard for this long: the peer is gone
constexpr size_t kReadChunk = 256 * 1024;

std::string keyText(const vqp::SecurityKey& k) {
    return k.codeText() + "_" + std::to_string(int(k.market));
}
}  // namespace

int64_t monotonicMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

Engine& Engine::instance() {
    static Engine* e = new Engine;  // lives to process exit; contexts may outlive statics
    return *e;
}

Engine::Engine() {
    wakeFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

QuoteCtx* Engine::createContext() {
    auto* c = new QuoteCtx;
    std::lock_guard<std::mutex> lock(mutex_);
    c->id = nextId_++;
    if (nextId_ == 0)
        nextId_ = 1;
    registry_[c->id] = c;
    return c;
}

void Engine::releaseContext(QuoteCtx* ctx) {
    ctx->released = true;
    std::unique_lock<std::mutex> lock(mutex_);
    if (running_) {
        // The engine thread may be delivering a reply of this context right now; it frees
        // the context itself once it has taken the release from the queue.
        Command c{Command::Release, {}, ctx->id, ctx};
        queue_.push_back(std::move(c));
        lock.unlock();
        wake();
        return;
    }
    registry_.erase(ctx->id);
    lock.unlock();
    delete ctx;
}

uint32_t Engine::newWireId() {
    uint32_t id = nextWire_++;
    return id != 0 ? id : nextWire_++;
}

void Engine::send(QuoteCtx* ctx, vqp::Request r) {
    r.id = newWireId();
    if (r.action != vqp::Action::Fetch) {
        const vqp::Request& s = ctx->sentSeries;
        if (r.type != s.type || r.period != s.period || !(r.codes == s.codes))
            ctx->seriesLead = r.id;
        ctx->lead = r.id;
        ctx->sentSeries = r;
    }
    push(Command{Command::Send, std::move(r), ctx->id, nullptr, ctx->seriesLead});
}

void Engine::cancel(QuoteCtx* ctx) {
    // A wire id never sent: every earlier send is superseded.
    uint32_t fence = newWireId();
    ctx->seriesLead = fence;
    ctx->lead = fence;
    push(Command{Command::Cancel, {}, ctx->id, nullptr});
}

void Engine::push(Command c) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (!running_ && !(c.kind == Command::Send && c.request.action == vqp::Action::Fetch)) {
            // Nobody takes commands yet (or ever, without a usable server): keep only the
            // latest of each context, so the queue stays as long as the list of contexts.
            // A subscription still waits for the engine; an older one-shot request is moot
            // once the context is sent again or cancelled.
            queue_.erase(std::remove_if(queue_.begin(), queue_.end(),
                                        [&](const Command& q) {
                                            return q.kind != Command::Release && q.id == c.id;
                                        }),
                         queue_.end());
        }
        queue_.push_back(std::move(c));
    }
    wake();
}

void Engine::wake() {
    uint64_t one = 1;
    ssize_t n = ::write(wakeFd_, &one, sizeof one);
    (void)n;
}

bool Engine::running() {
    std::lock_guard<std::mutex> lock(mutex_);
    return running_;
}

void Engine::shutdown() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake();
}

void Engine::learnBlockId(const vqp::SecurityKey& k, int64_t blockId) {
    std::lock_guard<std::mutex> lock(learntMutex_);
    learnt_[keyText(k)] = blockId;
}

int64_t Engine::learntBlockId(const vqp::SecurityKey& k) {
    std::lock_guard<std::mutex> lock(learntMutex_);
    auto it = learnt_.find(keyText(k));
    return it == learnt_.end() ? 0 : it->second;
}

static bool parseServerUrl(const std::string& url, std::string& host, std::string& port) {
    std::string s = url;
    const std::string scheme = "tcp://";
    if (s.compare(0, scheme.size(), scheme) == 0)
        s = s.substr(scheme.size());
    while (!s.empty() && s.back() == '/')
        s.pop_back();
    size_t colon = s.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 >= s.size())
        return false;
    host = s.substr(0, colon);
    port = s.substr(colon + 1);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    return port.find_first_not_of("0123456789") == std::string::npos;
}

int Engine::run(const QuoteEngineSettings* settings, QuoteReplyCallback callback) {
    if (!settings || !settings->server || !settings->server->url || !callback)
        return -1;
    std::string host, port;
    if (!parseServerUrl(settings->server->url, host, port))
        return -1;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (running_)
            return -1;
        // stop_ is not cleared here: a shutdown asked for before the engine thread got this
        // far (a main window that failed to load) must still end this run.
        running_ = true;
    }
    callback_ = callback;
    host_ = host;
    port_ = port;
    server_ = QuoteServerRecord{};
    vqp::setText(server_.name, settings->server->name ? settings->server->name : "");
    vqp::setText(server_.url, settings->server->url);
    state_ = State::Idle;
    wasUp_ = false;
    reportedDown_ = false;
    backoffMs_ = kFirstBackoffMs;
    nextAttemptMs_ = 0;

    for (;;) {
        takeCommands();
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stop_)
                break;
        }
        int64_t now = monotonicMs();
        if (state_ == State::Idle && now >= nextAttemptMs_)
            connectNow();
        if (state_ == State::Up) {
            if (now - lastRecvMs_ > kDeadAfterMs) {
                onLost();
                continue;
            }
            if (now - lastPingMs_ > kPingEveryMs) {
                size_t f = vqp::beginFrame(out_, vqp::Msg::Ping);
                vqp::finishFrame(out_, f);
                lastPingMs_ = now;
            }
        }

        pollfd fds[2];
        fds[0] = {wakeFd_, POLLIN, 0};
        int n = 1;
        if (fd_ >= 0) {
            short ev = POLLIN;
            if (state_ == State::Connecting || !out_.empty())
                ev |= POLLOUT;
            fds[1] = {fd_, ev, 0};
            n = 2;
        }
        int timeout = kPingEveryMs;
        if (state_ == State::Idle)
            timeout = int(std::max<int64_t>(0, nextAttemptMs_ - now));
        int rc = ::poll(fds, nfds_t(n), timeout);
        if (rc < 0 && errno != EINTR)
            break;
        if (fds[0].revents & POLLIN) {
            uint64_t v;
            ssize_t r = ::read(wakeFd_, &v, sizeof v);
            (void)r;
        }
        if (n == 2 && fd_ >= 0 && fds[1].revents) {
            if (state_ == State::Connecting) {
                if (fds[1].revents & (POLLOUT | POLLERR | POLLHUP)) {
                    int err = 0;
                    socklen_t len = sizeof err;
                    getsockopt(fd_, SOL_SOCKET, SO_ERROR, &err, &len);
                    if (err != 0) {
                        onLost();
                        continue;
                    }
                    state_ = State::Hello;
                    vqp::Hello h;
                    h.role = vqp::Role::Client;
                    vqp::encodeHello(h, out_);
                    lastRecvMs_ = monotonicMs();
                }
            } else {
                if (fds[1].revents & (POLLIN | POLLERR | POLLHUP))
                    readSocket();
                if (fd_ >= 0 && (fds[1].revents & POLLOUT))
                    writeSocket();
            }
        }
        if (fd_ >= 0 && !out_.empty() && state_ != State::Connecting)
            writeSocket();
        if (state_ == State::Hello && fd_ >= 0 && monotonicMs() - lastRecvMs_ > kDeadAfterMs)
            onLost();
    }

    dropConnection();
    // No reply may be delivered after a shutdown: the receiving thread no longer runs its
    // event loop. Releases still queued are carried out; everything else is dropped.
    std::deque<Command> rest;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        running_ = false;
        stop_ = false;
        rest.swap(queue_);
        for (Command& c : rest)
            if (c.kind == Command::Release)
                registry_.erase(c.id);
    }
    for (Command& c : rest)
        if (c.kind == Command::Release)
            delete c.ctx;
    routes_.clear();
    callback_ = nullptr;
    return 0;
}

void Engine::takeCommands() {
    std::deque<Command> cmds;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        cmds.swap(queue_);
    }
    for (Command& c : cmds)
        apply(c);
}

void Engine::apply(Command& c) {
    switch (c.kind) {
        case Command::Send: {
            // The service keeps pushing a superseded subscription until told otherwise; its
            // cancel goes out before the request that replaces it.
            bool up = state_ == State::Up;
            for (uint32_t wire : routes_.open(c.id, c.request, c.seriesLead))
                if (up)
                    vqp::encodeCancel(wire, out_);
            if (up)
                sendRequestNow(c.request);
            break;
        }
        case Command::Cancel:
        case Command::Release: {
            for (uint32_t wire : routes_.close(c.id))
                if (state_ == State::Up)
                    vqp::encodeCancel(wire, out_);
            if (c.kind == Command::Release) {
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    registry_.erase(c.id);
                }
                delete c.ctx;
            }
            break;
        }
    }
}

void Engine::sendRequestNow(const vqp::Request& r) {
    vqp::encodeRequest(r, out_);
}

void Engine::connectNow() {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* res = nullptr;
    if (getaddrinfo(host_.c_str(), port_.c_str(), &hints, &res) != 0 || !res) {
        onLost();
        return;
    }
    int fd =
        ::socket(res->ai_family, res->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, res->ai_protocol);
    if (fd < 0) {
        freeaddrinfo(res);
        onLost();
        return;
    }
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    int rc = ::connect(fd, res->ai_addr, res->ai_addrlen);
    freeaddrinfo(res);
    fd_ = fd;
    out_.clear();
    inHello_.clear();
    decoder_ = vqp::FrameDecoder();
    if (rc < 0 && errno != EINPROGRESS) {
        onLost();
        return;
    }
    state_ = State::Connecting;
}

void Engine::dropConnection() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    out_.clear();
    inHello_.clear();
    decoder_ = vqp::FrameDecoder();
}

void Engine::onConnected() {
    state_ = State::Up;
    wasUp_ = true;
    reportedDown_ = false;
    backoffMs_ = kFirstBackoffMs;
    lastPingMs_ = monotonicMs();
    deliverState(QUOTE_SERVER_CONNECTED);
    // Every current subscription is sent again, then the one-shot requests still unanswered.
    for (const vqp::Request& r : routes_.toSendOnConnect())
        sendRequestNow(r);
}

void Engine::onLost() {
    bool wasConnected = state_ == State::Up;
    dropConnection();
    state_ = State::Idle;
    nextAttemptMs_ = monotonicMs() + backoffMs_;
    backoffMs_ = std::min(backoffMs_ * 2, kMaxBackoffMs);
    // One state reply per loss, not one per failed attempt; a service that was never
    // reached is reported once too, so a status bar does not wait forever.
    if (wasConnected || (!wasUp_ && !reportedDown_)) {
        reportedDown_ = true;
        deliverState(QUOTE_SERVER_DISCONNECTED);
    }
}

void Engine::readSocket() {
    char buf[65536];
    size_t total = 0;
    for (;;) {
        ssize_t n = ::recv(fd_, buf, sizeof buf, 0);
        if (n > 0) {
            lastRecvMs_ = monotonicMs();
            const char* p = buf;
            size_t len = size_t(n);
            if (state_ == State::Hello) {
                size_t need = vqp::kHelloSize - inHello_.size();
                size_t take = std::min(need, len);
                inHello_.append(p, take);
                p += take;
                len -= take;
                if (inHello_.size() == vqp::kHelloSize) {
                    vqp::Hello h;
                    if (!vqp::decodeHello(inHello_.data(), inHello_.size(), h) ||
                        !vqp::compatible(h) || h.role != vqp::Role::Server) {
                        onLost();
                        return;
                    }
                    onConnected();
                }
            }
            if (len > 0)
                decoder_.feed(p, len);
            vqp::Frame f;
            for (;;) {
                auto res = decoder_.next(f);
                if (res == vqp::FrameDecoder::Result::NeedMore)
                    break;
                if (res == vqp::FrameDecoder::Result::Error) {
                    onLost();
                    return;
                }
                handleFrame(f);
                if (fd_ < 0)
                    return;
            }
            total += size_t(n);
            if (total >= kReadChunk)
                return;  // let commands and writes in between large bursts
            continue;
        }
        if (n == 0) {
            onLost();
            return;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            return;
        if (errno == EINTR)
            continue;
        onLost();
        return;
    }
}

void Engine::writeSocket() {
    while (!out_.empty()) {
        ssize_t n = ::send(fd_, out_.data(), out_.size(), MSG_NOSIGNAL);
        if (n > 0) {
            out_.erase(0, size_t(n));
            continue;
        }
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (n < 0 && errno == EINTR)
            continue;
        onLost();
        return;
    }
}

}  // namespace libquote

extern "C" {

int quote_engine_run(const QuoteEngineSettings* settings, QuoteReplyCallback callback) {
    return libquote::Engine::instance().run(settings, callback);
}

void quote_engine_shutdown(void) {
    libquote::Engine::instance().shutdown();
}

int __quote_version_check(int major, int minor, int patch) {
    // Usable when the caller's major version is ours and it needs nothing newer than this
    // build (interface version 1.19.0).
    if (major != vqp::kVersionMajor)
        return 0;
    if (minor != vqp::kVersionMinor)
        return minor < vqp::kVersionMinor ? 1 : 0;
    return patch <= vqp::kVersionPatch ? 1 : 0;
}

}  // extern "C"
