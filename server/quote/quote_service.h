// The quote service: terminals connect over TCP, speak the protocol of protocol/, and get
// answers and pushed updates from the market. One thread runs the event loop for every
// session; the market is only read.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>

namespace vq::market {
class Market;
}

namespace vq::quote {

struct ServiceOptions {
    std::string host = "127.0.0.1";
    uint16_t port = 8732;  // 0: an ephemeral port (tests)
    std::string name = "VeltoQuorin";
    // Subscriptions are checked for changes after every publication of the market, but not
    // more often than minPushIntervalMs, and at least every pushIntervalMs.
    int pushIntervalMs = 1000;
    int minPushIntervalMs = 100;
    // A session whose unsent output (answers and pushes alike) exceeds this gets no new
    // pushes and no more of its requests read until it drains: a slow terminal receives the
    // latest state when it catches up, never an ever-growing queue.
    size_t maxPendingBytes = 4u * 1024u * 1024u;
    // A session that stays over maxPendingBytes this long is closed: it is not reading.
    int slowConsumerMs = 10000;
    // A connection that has not completed its hello within this long is closed.
    int helloTimeoutMs = 5000;
    int maxSessions = 256;
    // Connections from one address; a full table first drops connections still without a
    // hello, so those cannot keep real terminals out. With the output budget this bounds
    // what one client can make the service hold.
    int maxSessionsPerAddress = 16;
    // How long the loop works on one session's requests before it turns to the others.
    int sliceMicros = 2000;
    // Live subscriptions of one session; a terminal needs a few dozen.
    size_t maxSubscriptions = 4096;
};

class QuoteService {
public:
    QuoteService(market::Market& market, ServiceOptions options);
    ~QuoteService();
    QuoteService(const QuoteService&) = delete;
    QuoteService& operator=(const QuoteService&) = delete;

    // Binds, listens and starts the loop thread. False (with a reason) when the address
    // cannot be bound.
    bool start(std::string* error = nullptr);
    void stop();
    uint16_t port() const { return port_; }
    int sessionCount() const { return sessions_.load(); }
    // Live subscriptions over every session, as of the loop's last turn: what terminals
    // receive pushes for (a cancelled or hidden list no longer counts).
    int subscriptionCount() const { return subscriptions_.load(); }
    // The most output ever waiting for one session (bounded by maxPendingBytes plus one
    // answer or one round of pushes).
    size_t peakPendingBytes() const { return peakPending_.load(); }

private:
    class Loop;
    market::Market& market_;
    ServiceOptions options_;
    int listener_ = 0;
    std::unique_ptr<Loop> loop_;
    std::thread thread_;
    uint16_t port_ = 0;
    std::atomic<int> sessions_{0};
    std::atomic<size_t> peakPending_{0};
    std::atomic<int> subscriptions_{0};
};

// "HOST:PORT" into its parts; false when malformed.
bool parseHostPort(const std::string& text, std::string& host, uint16_t& port);

}  // namespace vq::quote
