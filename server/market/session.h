// The live trading day: every security's running state (last price, book, volume, ticks,
// minute bars), the call auction and continuous trading that move it, the alerts it
// fires, and the index and block values derived from their members.
//
// One thread drives a Session (the market's writer); readers copy a security's series
// under that security's own lock, so a chart request never waits for the whole market.
#pragma once

#include "server/market/calendar.h"
#include "server/market/rng.h"
#include "server/market/snapshot.h"
#include "server/market/types.h"
#include "server/market/universe.h"

#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace vq::market {

struct MinuteBar {
    float open = 0, high = 0, low = 0, close = 0;
    int64_t volume = 0;
    double amount = 0;
    bool traded = false;
    // Indices and blocks: the leading index (equal-weighted members) at the minute's end,
    // drawn where a stock has its average price.
    float lead = 0;

    // A price of this minute: the first one opens the bar, each one closes it.
    void take(float price) {
        if (!traded) {
            open = high = low = price;
            traded = true;
        }
        high = std::max(high, price);
        low = std::min(low, price);
        close = price;
    }
};

// 12 bytes a tick: a busy day of the whole market stays around a hundred megabytes.
struct CompactTick {
    uint16_t offset;  // seconds after 09:15 (the auction start)
    uint8_t count;    // orders behind the trade, capped at 255
    char direction;
    float price;
    uint32_t lots;
    int second() const { return session::kAuctionStart + offset; }
};
static_assert(sizeof(CompactTick) == 12, "compact tick");

struct Live {
    mutable std::mutex mu;
    double pre = 0, last = 0, open = 0, high = 0, low = 0;
    int64_t vol = 0, curVol = 0, red = 0, green = 0;
    double amount = 0;
    double up = 0, down = 0;  // limit prices, 0 for none
    double d5 = 0;            // average daily volume of the last five days
    double bidPx[5] = {}, askPx[5] = {};
    int64_t bidVol[5] = {}, askVol[5] = {};
    int64_t totalBuy = 0, totalSell = 0;
    std::vector<CompactTick> ticks;
    std::vector<MinuteBar> minutes;  // 240 once the day starts
    int sealed = 0;                  // 1 sealed at the upper limit, -1 at the lower
    bool matched = false;            // the opening auction has traded
    // Simulation state.
    double x = 0, gap = 0;  // own log deviation and the overnight gap
    int xSecond = 0;        // second the walk x was last brought up to date
    double jump = 0;        // news of the day: a move the price works towards
    double meanLots = 1;    // typical lots per trade
    double auctionPx = 0;
    int64_t auctionVol = 0;
    int lastTickSecond = -100;  // indices and blocks: one tick per few seconds
    int lastRapid = -10000, lastBig = -10000;
    // Indices and blocks: the sums their value is made of.
    double capNow = 0, capPre = 0;
    int rise = 0, fall = 0, flat = 0, members = 0;
    double sumReturn = 0;   // members' changes added up: the equal-weighted (leading) index
    int minute = -1;        // minute bar the totals below belong to
    int64_t volBefore = 0;  // day volume before that minute
    double amountBefore = 0;
};

class Session {
public:
    Session(const Universe& universe, uint64_t seed);

    // Starts trading day `day` from each security's previous close and five-day average
    // volume. Resets every series of the day.
    void startDay(int day, const std::vector<double>& preClose, const std::vector<double>& d5);

    // Moves the session on to `second` of the day (Beijing), in steps where each traded
    // security acts every `stride` seconds. Phases follow the clock: call auction
    // 09:15–09:25 (matched at 09:25), continuous trading 09:30–11:30 and 13:00–15:00.
    void runTo(int second, int stride = 3);
    int second() const { return second_; }
    int day() const { return day_; }
    Phase phase() const;

    // The finished day's bar of every security (call after 15:00), and its minute bars.
    Bar dayBar(int security) const;
    std::vector<MinuteBar> minuteBars(int security) const;

    // Writes the quotes of the securities that changed since the last call into `next`
    // (all of them after startDay) and lists them in next.changed.
    void publishInto(MarketSnapshot& next, int64_t time);

    const Live& live(int security) const { return *live_[size_t(security)]; }

    // Alerts fired so far (market-wide, newest last, capped).
    std::vector<Alert> alerts(const std::function<bool(int)>& accept, int count,
                              uint64_t afterSeq) const;
    uint64_t alertSeq() const;

private:
    void stepMarket(int second);
    void stepAuction(int i, int second);
    void match(int i, int second);
    void stepClosingAuction(int i, int second, bool matchNow);
    void stepTrade(int i, int second, int stride, double activity);
    void rebuildBook(int i, Live& l, char lastDir);
    void record(int i, Live& l, int second, double price, int64_t lots, char dir);
    void updateAggregates(int second);
    void fillQuote(Quote& q, int i, int64_t time) const;
    void fireAlert(int i, int second, AlertKind kind, const char* tip, const std::string& value);
    double activity(int second) const;
    double priceAgo(const Live& l, int second, int minutesAgo) const;

    const Universe& u_;
    uint64_t seed_;
    int day_ = 0;
    int second_ = 0;
    bool fresh_ = true;  // every quote needs writing
    std::vector<std::unique_ptr<Live>> live_;
    std::vector<Rng> rng_;
    std::vector<std::vector<int>> feeds_;  // aggregates each security feeds
    std::vector<int> aggregates_, traded_;
    std::vector<uint8_t> dirty_;
    std::vector<int> dirtyList_;
    std::vector<uint8_t> moved_;  // traded securities not yet folded into the aggregates
    std::vector<int> movedList_;
    std::vector<double> lastSeen_;  // price of each traded security when aggregates last saw it
    std::vector<int64_t> volSeen_;
    std::vector<double> amtSeen_;
    double marketLevel_ = 0;
    std::vector<double> industryLevel_;
    // Concepts: each day some themes are in favour and some out; a stock follows the
    // average of its concepts, which is what sets the concept boards apart.
    std::vector<double> conceptLevel_, conceptDrift_;
    std::vector<std::vector<int>> conceptsOf_;  // concept numbers of each stock
    double conceptMove(int i, double dayPart) const;
    Rng marketRng_;

    mutable std::mutex alertMu_;
    std::deque<Alert> alerts_;
    uint64_t alertSeq_ = 0;
};

}  // namespace vq::market
