// A real quote service over a small manual-clock market on a loopback port, and a running
// quote engine whose replies are copied into a log the tests wait on.
#pragma once

#include "libquote/quote.h"
#include "server/market/market.h"
#include "server/quote/quote_service.h"

#include <chrono>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct Got {
    int type = 0;
    QuoteCtx* ctx = nullptr;
    uint32_t count = 0;
    int64_t userData = 0;
    int firstNo = 0;
    int state = -1;
    std::string serverName;
    std::vector<std::string> codes;
    std::vector<float> values;       // snapshots: rf_rate; K-line/minute/ticks: close/price
    std::vector<int64_t> times;      // K-line/minute/ticks/alerts: time; snapshots: block_id
    std::vector<std::string> texts;  // snapshots: industry; alerts: tip
    std::vector<int> kinds;          // alerts: kind; codes: type
    uint32_t firstTick = 0;
    uint16_t append = 0;
    float preClose = 0;
    std::vector<double> cash;  // dividends
};

class ReplyLog {
public:
    void add(Got g) {
        std::lock_guard<std::mutex> l(m_);
        all_.push_back(std::move(g));
        cv_.notify_all();
    }
    // Waits for the first reply after position `from` matching `pred`; false on timeout.
    bool waitFor(size_t from, const std::function<bool(const Got&)>& pred, Got* out = nullptr,
                 int ms = 15000) {
        std::unique_lock<std::mutex> l(m_);
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        for (;;) {
            for (size_t i = from; i < all_.size(); ++i)
                if (pred(all_[i])) {
                    if (out)
                        *out = all_[i];
                    return true;
                }
            if (cv_.wait_until(l, deadline) == std::cv_status::timeout)
                return false;
        }
    }
    size_t size() {
        std::lock_guard<std::mutex> l(m_);
        return all_.size();
    }
    // The replies of one context logged from position `from` on.
    std::vector<Got> of(QuoteCtx* ctx, size_t from) {
        std::lock_guard<std::mutex> l(m_);
        std::vector<Got> out;
        for (size_t i = from; i < all_.size(); ++i)
            if (all_[i].ctx == ctx)
                out.push_back(all_[i]);
        return out;
    }
    size_t countFor(size_t from, QuoteCtx* ctx) {
        std::lock_guard<std::mutex> l(m_);
        size_t n = 0;
        for (size_t i = from; i < all_.size(); ++i)
            n += all_[i].ctx == ctx;
        return n;
    }

private:
    std::mutex m_;
    std::condition_variable cv_;
    std::vector<Got> all_;
};

ReplyLog& replyLog();
// 09:30 Beijing time of the last finished trading day.
int64_t sessionOpening();
void collectReply(void*, QuoteReply* rpl);

inline QuoteSecurityKey keyOf(const std::string& code, int market) {
    QuoteSecurityKey k{};
    std::memcpy(k.code, code.data(), std::min<size_t>(code.size(), 16));
    k.market = uint8_t(market);
    return k;
}

class QuoteFixture {
public:
    explicit QuoteFixture(int aShares = 300);
    ~QuoteFixture();
    bool startService(uint16_t port);
    void stopService();
    void startEngine();
    void stopEngine();
    // Moves the market clock on and publishes.
    void advance(int seconds);
    uint16_t port() const { return port_; }
    // Live subscriptions the service holds for every terminal (-1 while it is stopped).
    int serviceSubscriptions() const { return service_ ? service_->subscriptionCount() : -1; }

    std::unique_ptr<vq::market::Market> market;

private:
    std::unique_ptr<vq::quote::QuoteService> service_;
    std::thread engine_;
    uint16_t port_ = 0;
    std::string url_;
};
