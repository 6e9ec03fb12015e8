// The session's day: its start from the previous closes, the clock that moves it through
// the phases, and the market, industry and concept factors every security follows.
#include "server/market/session.h"

#include "server/market/calendar.h"
#include "server/market/history.h"
#include "server/market/names.h"
#include "server/market/session_pace.h"

#include <algorithm>
#include <cmath>

namespace vq::market {

Session::Session(const Universe& universe, uint64_t seed)
    : u_(universe), seed_(seed), marketRng_(mixKey(seed, 0x73657373)) {
    const size_t n = u_.securities.size();
    live_.reserve(n);
    rng_.reserve(n);
    feeds_.resize(n);
    dirty_.assign(n, 0);
    moved_.assign(n, 0);
    lastSeen_.assign(n, 0);
    volSeen_.assign(n, 0);
    amtSeen_.assign(n, 0);
    for (size_t i = 0; i < n; ++i) {
        live_.push_back(std::make_unique<Live>());
        rng_.emplace_back(mixKey(seed, 0x6c697665, i));
        const Security& s = u_.securities[i];
        if (isAggregate(s)) {
            aggregates_.push_back(int(i));
            for (int m : u_.params[i].members)
                feeds_[size_t(m)].push_back(int(i));
        } else {
            traded_.push_back(int(i));
        }
    }
    industryLevel_.assign(names::industries().size(), 0);
    conceptLevel_.assign(names::concepts().size(), 0);
    conceptDrift_.assign(names::concepts().size(), 0);
    conceptsOf_.resize(n);
    for (size_t i = 0; i < n; ++i)
        for (int64_t id : u_.securities[i].concepts) {
            const int64_t c = id - (900000 + 601);
            if (c >= 0 && c < int64_t(conceptLevel_.size()))
                conceptsOf_[i].push_back(int(c));
        }
}

double Session::activity(int s) const {
    // Trading is busiest just after the open and before the close, quietest before lunch.
    const double t = s < session::kAfternoonOpen ? double(s - session::kMorningOpen) / 60
                                                 : 120 + double(s - session::kAfternoonOpen) / 60;
    return 0.7 + 1.3 * std::exp(-t / 25) + 0.6 * std::exp(-(240 - t) / 20) +
           0.3 * std::exp(-std::abs(t - 120) / 10);
}

void Session::startDay(int day, const std::vector<double>& preClose,
                       const std::vector<double>& d5) {
    day_ = day;
    second_ = 0;
    fresh_ = true;
    marketLevel_ = 0;
    std::fill(industryLevel_.begin(), industryLevel_.end(), 0);
    std::fill(conceptLevel_.begin(), conceptLevel_.end(), 0);
    Rng dayRng(mixKey(seed_, 0x646179, uint64_t(day)));
    // The overnight gap of the market and of each industry.
    const double marketGap = 0.004 * dayRng.normal();
    for (double& c : conceptDrift_)
        c = 0.012 * dayRng.fatTail();
    std::vector<double> industryGap(industryLevel_.size());
    for (double& g : industryGap)
        g = 0.003 * dayRng.normal();
    for (size_t i = 0; i < live_.size(); ++i) {
        Live& l = *live_[i];
        const Security& s = u_.securities[i];
        const SimParams& p = u_.params[i];
        std::lock_guard<std::mutex> lock(l.mu);
        rng_[i].reseed(mixKey(seed_, 0x6c697665, i, uint64_t(day)));
        l.pre = preClose[i] > 0 ? preClose[i] : s.basePrice;
        l.last = l.pre;
        l.open = l.high = l.low = 0;
        l.vol = l.curVol = l.red = l.green = 0;
        l.amount = 0;
        const double lim = s.limitRate();
        const double tick = isAggregate(s) ? 0.01 : p.tick;
        l.up = lim > 0 ? roundTo(l.pre * (1 + lim), tick) : 0;
        l.down = lim > 0 ? roundTo(l.pre * (1 - lim), tick) : 0;
        l.d5 = d5[i];
        std::fill(std::begin(l.bidPx), std::end(l.bidPx), 0);
        std::fill(std::begin(l.askPx), std::end(l.askPx), 0);
        std::fill(std::begin(l.bidVol), std::end(l.bidVol), 0);
        std::fill(std::begin(l.askVol), std::end(l.askVol), 0);
        l.totalBuy = l.totalSell = 0;
        l.ticks.clear();
        l.ticks.shrink_to_fit();
        // Room for the day's expected ticks, so the list does not double past its need.
        if (!isAggregate(s)) {
            const double r3 = p.tradeRate * 3;
            l.ticks.reserve(size_t(kSessionSeconds / 3 * r3 / (1 + r3) * 1.15) + 16);
        } else {
            l.ticks.reserve(size_t(kSessionSeconds / 3) + 64);
        }
        l.minutes.assign(session::kMinutes, MinuteBar{});
        l.sealed = 0;
        l.matched = false;
        l.x = 0;
        l.xSecond = 0;
        const double sigma = std::max(0.001, s.volatility);
        // Some stocks have news: a move of several percent they work towards in the first
        // hour or so, which is what fills the limit-up and limit-down lists.
        l.jump = 0;
        if (s.type == SecType::Stock && rng_[i].chance(0.03))
            l.jump = (rng_[i].chance(0.6) ? 1 : -1) *
                     rng_[i].uniform(0.04, std::max(0.06, s.limitRate() * 1.3));
        l.gap = p.beta * marketGap +
                (p.industry >= 0 ? p.industryLoad * industryGap[size_t(p.industry)] : 0) +
                0.35 * sigma * rng_[i].fatTail();
        // Trades per day at this security's pace (one tick aggregates at most three
        // seconds), and so the typical size of one.
        const double tradesPerDay =
            std::max(20.0, kSessionSeconds / 3 * (1 - std::exp(-p.tradeRate * 3)));
        l.meanLots = std::max(1.0, l.d5 / p.lot / tradesPerDay);
        l.auctionPx = 0;
        l.auctionVol = 0;
        l.lastTickSecond = -100;
        l.minute = -1;
        l.volBefore = 0;
        l.amountBefore = 0;
        l.lastRapid = l.lastBig = -10000;
        lastSeen_[i] = l.pre;
        volSeen_[i] = 0;
        amtSeen_[i] = 0;
    }
    // Aggregates start flat: every member at its previous close.
    for (int a : aggregates_) {
        Live& l = *live_[size_t(a)];
        std::lock_guard<std::mutex> lock(l.mu);
        l.capNow = l.capPre = 0;
        l.sumReturn = 0;
        l.rise = l.fall = 0;
        l.members = int(u_.params[size_t(a)].members.size());
        l.flat = l.members;
        for (int m : u_.params[size_t(a)].members) {
            const double c = double(u_.securities[size_t(m)].floatShares) * live_[size_t(m)]->pre;
            l.capNow += c;
            l.capPre += c;
        }
    }
    std::fill(dirty_.begin(), dirty_.end(), 1);
    std::fill(moved_.begin(), moved_.end(), 0);
    movedList_.clear();
    dirtyList_.clear();
    for (size_t i = 0; i < live_.size(); ++i)
        dirtyList_.push_back(int(i));
}

Phase Session::phase() const {
    using namespace session;
    if (second_ < kAuctionStart)
        return Phase::PreOpen;
    if (second_ < kMorningOpen)
        return Phase::CallAuction;
    if (second_ < kMorningClose)
        return Phase::Continuous;
    if (second_ < kAfternoonOpen)
        return Phase::Break;
    if (second_ < kClosingAuction)
        return Phase::Continuous;
    if (second_ < kClose)
        return Phase::CallAuction;
    return Phase::AfterClose;
}

void Session::stepMarket(int second) {
    // Intraday factor paths: one step per second.
    const double dm = 0.011 / std::sqrt(kSessionSeconds);
    marketLevel_ += dm * marketRng_.normal();
    for (double& g : industryLevel_)
        g += 0.012 / std::sqrt(kSessionSeconds) * marketRng_.normal();
    for (double& c : conceptLevel_)
        c += 0.006 / std::sqrt(kSessionSeconds) * marketRng_.normal();
    (void)second;
}

void Session::runTo(int target, int stride) {
    using namespace session;
    stride = std::max(1, stride);
    target = std::min(target, kClose);
    if (second_ < kAuctionStart)
        second_ = std::min(target, kAuctionStart);
    while (second_ < target) {
        const int s = second_ + 1;
        if (s > kMorningClose && s <= kAfternoonOpen) {  // lunch break: nothing trades
            second_ = std::min(target, kAfternoonOpen);
            continue;
        }
        if (s > kAuctionMatch && s <= kMorningOpen) {  // after the auction, before the open
            if (second_ < kAuctionMatch)
                second_ = kAuctionMatch;
            second_ = std::min(target, kMorningOpen);
            continue;
        }
        second_ = s;
        if (s <= kAuctionMatch) {
            for (int i : traded_)
                if ((s + i) % stride == 0 || s == kAuctionMatch) {
                    if (s == kAuctionMatch)
                        match(i, s);
                    else
                        stepAuction(i, s);
                }
            if (s == kAuctionMatch)
                updateAggregates(s);
            continue;
        }
        stepMarket(s);
        if (s > kClosingAuction) {
            for (int i : traded_)
                if ((s + i) % stride == 0 || s == kClose)
                    stepClosingAuction(i, s, s == kClose);
            if (s % 3 == 0 || s == target)
                updateAggregates(s);
            continue;
        }
        const double act = activity(s);
        for (int i : traded_)
            if ((s + i) % stride == 0)
                stepTrade(i, s, stride, act);
        if (s % 3 == 0 || s == target)
            updateAggregates(s);
    }
    updateAggregates(second_);
}

double Session::conceptMove(int i, double dayPart) const {
    const auto& cs = conceptsOf_[size_t(i)];
    if (cs.empty())
        return 0;
    double sum = 0;
    for (int c : cs)
        sum += conceptDrift_[size_t(c)] * dayPart + conceptLevel_[size_t(c)];
    return 0.7 * sum / double(cs.size());
}

}  // namespace vq::market
