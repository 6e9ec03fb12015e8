// Answers of the quote service: turns one request into the reply frame of its kind, read
// from the market, and decides for a subscription whether the market has moved since the
// last answer (and what part of it to send).
#pragma once

#include "protocol/messages.h"

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace vq::market {
class Market;
class MarketSnapshot;
}  // namespace vq::market

namespace vq::quote {

// What a subscription has already been sent, so a push carries only what changed.
struct PushState {
    bool sent = false;
    uint64_t hash = 0;       // of the last snapshot page / dividend list
    int64_t lastTime = 0;    // K-line / minute: time of the newest point sent
    size_t lastCount = 0;    // K-line / minute: points in the series when last sent
    int tradingDay = 0;      // minute / ticks: the day last sent
    uint32_t ticksSent = 0;  // ticks: the number of the next tick to send
    uint64_t alertSeq = 0;   // alerts: the newest alert sent
    uint64_t version = 0;    // market version last looked at
};

class Answerer {
public:
    explicit Answerer(const market::Market& m) : market_(m) {}

    // Appends the frame answering `r` to `out`. With `initial` the whole answer is sent;
    // otherwise only a change since `st` (returns false when there is none).
    bool answer(const vqp::Request& r, PushState& st, bool initial, std::string& out);
    // The code list of every security.
    void codeList(std::string& out);
    // The block every index and market-90 block stands for.
    void blockIndex(std::string& out);

    // Securities of a snapshot request in list order, before sorting (exposed for tests).
    std::vector<int> snapshotMembers(const vqp::Request& r) const;

private:
    bool snapshots(const vqp::Request& r, PushState& st, bool initial, std::string& out);
    bool kline(const vqp::Request& r, PushState& st, bool initial, std::string& out);
    bool minute(const vqp::Request& r, PushState& st, bool initial, std::string& out);
    bool ticks(const vqp::Request& r, PushState& st, bool initial, std::string& out);
    bool dividends(const vqp::Request& r, PushState& st, bool initial, std::string& out);
    bool alerts(const vqp::Request& r, PushState& st, bool initial, std::string& out);
    int resolve(const vqp::SecurityKey& k) const;
    const std::vector<int>& sortedMembers(const vqp::Request& r,
                                          const market::MarketSnapshot& snapshot);
    void error(const vqp::Request& r, vqp::ErrorCode code, const char* text, std::string& out);

    const market::Market& market_;
    struct SortedList {
        uint64_t version = 0;
        std::vector<int> ids;
    };
    std::unordered_map<std::string, SortedList> sorted_;
};

}  // namespace vq::quote
