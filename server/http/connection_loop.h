// The network side of the HTTP server: one event loop thread owns every connection and reads
// each request whole (head and body) before a worker sees it, so a client that sends slowly,
// or never finishes, costs a socket and a buffer but never a worker thread.
//
// Limits that hold for any client:
//   - a request must arrive whole within requestDeadlineMs of its first byte (not per byte);
//   - a head longer than maxHeaderBytes is refused with 431, a declared body over
//     maxBodyBytes with 413 at once, before any of it is read;
//   - an idle keep-alive connection is closed after idleTimeoutMs;
//   - connections per source address are capped, and when the whole table is full the
//     connection idle the longest (or still sending its request) makes room for a new one.
// Workers take complete requests from a bounded queue; the loop writes their answers out
// without blocking, within writeDeadlineMs.
//
// Why a loop of our own in front of cpp-httplib rather than another HTTP library: every
// handler, here and in the libraries that register routes, is written against httplib's
// request and response types and its routing, and all of that stays as it is. What httplib
// lacks is only the network side (a thread per connection, timeouts per read), and epoll
// with whole-request deadlines is a few hundred lines we can test directly. Moving to an
// event-driven library would have meant rewriting every handler's signature for the same
// result.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace vq::http {

struct LoopOptions {
    int workers = 8;
    size_t maxHeaderBytes = 16 * 1024;
    size_t maxBodyBytes = 1024 * 1024;
    int requestDeadlineMs = 10000;
    int idleTimeoutMs = 5000;
    int writeDeadlineMs = 10000;
    int maxConnections = 4096;
    // Each connection may buffer one whole request (up to a head and a body), so this also
    // bounds the memory one address can take.
    int maxConnectionsPerAddress = 128;
    // Complete requests waiting for a worker; beyond this a request is answered 503 at once.
    size_t maxQueuedRequests = 2048;
    // Paths answered by workers of their own (with their own queue), so that a flood of
    // them, however slow each is, never delays the other services.
    std::vector<std::string> isolatedPaths;
    int isolatedWorkers = 0;
};

// One request exactly as it arrived (head and body), with the addresses of its connection.
struct RawRequest {
    std::string bytes;
    std::string remoteAddr;
    int remotePort = 0;
    std::string localAddr;
    int localPort = 0;
};

struct RawResponse {
    std::string bytes;
    bool close = false;  // the connection ends after this answer
};

// Turns a request into its answer; runs on a worker thread.
using RequestHandler = std::function<RawResponse(const RawRequest&)>;
// The fixed answers the loop sends by itself (status, JSON body).
using ErrorAnswer = std::function<std::string(int status)>;

class ConnectionLoop {
public:
    ConnectionLoop(LoopOptions options, RequestHandler handler, ErrorAnswer errorAnswer);
    ~ConnectionLoop();
    ConnectionLoop(const ConnectionLoop&) = delete;
    ConnectionLoop& operator=(const ConnectionLoop&) = delete;

    // Binds and listens; port 0 picks an ephemeral one. False with a reason otherwise.
    bool listen(const std::string& host, int port, int& bound, std::string* error);
    void start();
    // Stops accepting, lets every request already read finish and its answer go out (within
    // writeDeadlineMs), then closes everything and joins the threads.
    void stop();

    // For tests and the log: connections held right now.
    int connectionCount() const { return connections_.load(); }

private:
    struct Connection;
    struct Done {
        uint64_t id;
        RawResponse response;
    };

    void run();
    void work(int lane);
    void accept();
    void readFrom(Connection& c);
    void parse(Connection& c);
    void dispatch(Connection& c, size_t length, bool closeAfter);
    void reply(Connection& c, std::string bytes, bool close);
    void writeTo(Connection& c);
    void finished(Connection& c);
    void drain(Connection& c);
    void sweep(int64_t now);
    void collectDone();
    int laneOf(const std::string& request) const;
    void watch(Connection& c, uint32_t events);
    void drop(uint64_t id);
    bool evictOne();

    LoopOptions options_;
    RequestHandler handler_;
    ErrorAnswer errorAnswer_;
    int listenFd_ = -1;
    int epollFd_ = -1;
    int wakeFd_ = -1;
    std::thread loop_;
    std::vector<std::thread> workers_;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};

    uint64_t nextId_ = 1;
    std::unordered_map<uint64_t, std::unique_ptr<Connection>> table_;
    std::unordered_map<std::string, int> perAddress_;
    std::vector<uint64_t> dead_;

    // Lane 0 serves every path but the isolated ones, lane 1 those.
    std::mutex mutex_;
    std::condition_variable wake_[2];
    std::deque<std::pair<uint64_t, RawRequest>> queue_[2];
    std::vector<Done> done_;
    bool workersQuit_ = false;
};

}  // namespace vq::http
