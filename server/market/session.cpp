#include "server/market/session.h"

#include "server/market/calendar.h"
#include "server/market/history.h"
#include "server/market/names.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace vq::market {

namespace {

constexpr double kSessionSeconds = 14400;
constexpr size_t kMaxAlerts = 50000;

bool isAggregate(const Security& s) {
    return s.type == SecType::Index || s.type == SecType::Block;
}

std::string percentText(double r) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%+.2f%%", r * 100);
    return buf;
}

}  // namespace

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

void Session::stepAuction(int i, int s) {
    Live& l = *live_[size_t(i)];
    const SimParams& p = u_.params[size_t(i)];
    const Security& sec = u_.securities[size_t(i)];
    Rng& r = rng_[size_t(i)];
    std::lock_guard<std::mutex> lock(l.mu);
    // Orders arrive through the auction and the indicative price wanders towards the gap.
    const double progress = double(s - session::kAuctionStart) / 600;
    const double target = l.pre * std::exp(l.gap * progress + 0.002 * r.normal() * (1 - progress));
    double px = roundTo(target, p.tick);
    if (l.up > 0)
        px = std::clamp(px, l.down, l.up);
    l.auctionPx = px;
    l.auctionVol += int64_t(std::max(1.0, l.meanLots * r.uniform(0.2, 1.2))) * p.lot;
    const int64_t extra = int64_t(std::max(1.0, l.meanLots * r.uniform(0.5, 3))) * p.lot;
    l.bidPx[0] = l.askPx[0] = px;
    l.bidVol[0] = l.askVol[0] = l.auctionVol;
    const bool moreBuy = l.gap > 0;
    for (int k = 1; k < 5; ++k) {
        l.bidPx[k] = l.askPx[k] = 0;
        l.bidVol[k] = l.askVol[k] = 0;
    }
    (moreBuy ? l.bidVol[1] : l.askVol[1]) = extra;
    (moreBuy ? l.bidPx[1] : l.askPx[1]) = px;
    (void)sec;
    if (!dirty_[size_t(i)]) {
        dirty_[size_t(i)] = 1;
        dirtyList_.push_back(i);
    }
}

void Session::match(int i, int s) {
    stepAuction(i, s);
    Live& l = *live_[size_t(i)];
    const SimParams& p = u_.params[size_t(i)];
    std::unique_lock<std::mutex> lock(l.mu);
    const double px = l.auctionPx;
    const int64_t lots = std::max<int64_t>(1, l.auctionVol / p.lot);
    l.matched = true;
    l.open = l.high = l.low = px;
    // The auction price becomes the new reference of the idiosyncratic walk.
    l.x = 0;
    l.gap = std::log(px / l.pre);
    l.auctionVol = 0;  // the closing auction collects its own orders
    lock.unlock();
    record(i, l, s, px, lots, 'N');
    std::lock_guard<std::mutex> lock2(l.mu);
    rebuildBook(i, l, 'N');
}

// The closing auction: orders collect at one indicative price that follows the security's
// fair value; at 15:00 they trade at once and that trade makes the close.
void Session::stepClosingAuction(int i, int s, bool matchNow) {
    Live& l = *live_[size_t(i)];
    if (!l.matched)
        return;
    const SimParams& p = u_.params[size_t(i)];
    const Security& sec = u_.securities[size_t(i)];
    Rng& r = rng_[size_t(i)];
    const double sigma = std::max(0.001, sec.volatility);
    const int elapsed = std::max(1, s - std::max(l.xSecond, session::kMorningOpen));
    l.x += sigma * std::sqrt(double(elapsed) / kSessionSeconds) * r.fatTail();
    l.xSecond = s;
    double f = l.gap + l.x + p.beta * marketLevel_ + l.jump + conceptMove(i, 1);
    if (p.industry >= 0)
        f += p.industryLoad * industryLevel_[size_t(p.industry)];
    // The close stays near the last trade: the auction moves it by a fraction of the way
    // to the fair value.
    double px = roundTo(l.last + 0.3 * (l.pre * std::exp(f) - l.last), p.tick);
    if (l.up > 0)
        px = std::clamp(px, l.down, l.up);
    px = std::max(px, p.tick);
    {
        std::lock_guard<std::mutex> lock(l.mu);
        l.auctionPx = px;
        l.auctionVol += int64_t(std::max(1.0, l.meanLots * r.uniform(0.5, 2.5))) * p.lot;
        for (int k = 0; k < 5; ++k) {
            l.bidPx[k] = l.askPx[k] = 0;
            l.bidVol[k] = l.askVol[k] = 0;
        }
        l.bidPx[0] = l.askPx[0] = px;
        l.bidVol[0] = l.askVol[0] = l.auctionVol;
    }
    if (!matchNow) {
        if (!dirty_[size_t(i)]) {
            dirty_[size_t(i)] = 1;
            dirtyList_.push_back(i);
        }
        return;
    }
    const int64_t lots = std::max<int64_t>(1, l.auctionVol / p.lot);
    record(i, l, s, px, lots, 'N');
    std::lock_guard<std::mutex> lock(l.mu);
    l.auctionVol = 0;
    rebuildBook(i, l, 'N');
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

void Session::stepTrade(int i, int s, int stride, double act) {
    Live& l = *live_[size_t(i)];
    const SimParams& p = u_.params[size_t(i)];
    const Security& sec = u_.securities[size_t(i)];
    Rng& r = rng_[size_t(i)];
    // Most steps of most securities see no trade; they cost one random draw. x(t) is a
    // random walk, so it is brought up to date only when it is needed: one draw scaled by
    // the time since the last update has the same law as one draw per step.
    const double rate = p.tradeRate * stride * act;
    const double pTrade = rate / (1 + rate);
    if (!r.chance(pTrade))
        return;
    // Fast-forward runs with longer strides and so fewer, bigger trades: scale each trade
    // so the volume per minute matches the three-second pace.
    double sizeScale = 1;
    if (stride != 3) {
        const double r3 = p.tradeRate * 3 * act;
        sizeScale = (r3 / (1 + r3) / 3) / (pTrade / stride);
    }
    if (!l.matched)
        return;
    const double sigma = std::max(0.001, sec.volatility);
    const int elapsed = std::max(1, s - std::max(l.xSecond, session::kMorningOpen));
    l.x += sigma * std::sqrt(double(elapsed) / kSessionSeconds) * r.fatTail() * 1.1;
    l.xSecond = s;
    const double dayPart = std::min(1.0, double(minutesElapsed(s)) / 80);
    double f = l.gap + l.x + p.beta * marketLevel_ + l.jump * dayPart + conceptMove(i, dayPart);
    if (p.industry >= 0)
        f += p.industryLoad * industryLevel_[size_t(p.industry)];
    double target = l.pre * std::exp(f);
    const double tick = p.tick;
    // Only this thread writes the live state, so it reads it without the lock.
    const double last = l.last;
    const int sealed = l.sealed;
    double px;
    char dir;
    if (sealed == 1 && target > l.up * 0.993) {
        px = l.up;  // sellers hit the queue of buyers at the limit
        dir = 'S';
    } else if (sealed == -1 && target < l.down * 1.007) {
        px = l.down;
        dir = 'B';
    } else {
        const double maxMove = std::max(3 * tick, 0.004 * last);
        px = last + std::clamp(target - last, -maxMove, maxMove);
        if (r.chance(0.3))
            px += r.chance(0.5) ? tick : -tick;
        px = std::max(tick, roundTo(px, tick));
        if (l.up > 0)
            px = std::clamp(px, l.down, l.up);
        dir = px > last ? 'B' : px < last ? 'S' : (target >= last ? 'B' : 'S');
    }
    double lotsD = l.meanLots * std::exp(0.9 * r.normal() - 0.4) *
                   (1 + 3 * std::abs(px - last) / last /
                            (sigma * std::sqrt(double(stride) / kSessionSeconds) + 1e-9) / 10);
    lotsD *= sizeScale;
    const bool big = r.chance(0.0015);
    if (big)
        lotsD *= 15;
    const int64_t lots = std::max<int64_t>(1, int64_t(std::lround(lotsD)));
    record(i, l, s, px, lots, dir);

    // Alerts from what just happened.
    const double amount = double(lots * p.lot) * px;
    if (big && amount >= std::max(1e6, 10 * l.meanLots * p.lot * px) &&
        sec.type == SecType::Stock && s - l.lastBig >= 60) {
        l.lastBig = s;
        fireAlert(i, s, dir == 'S' ? AlertKind::Fall : AlertKind::Rise,
                  dir == 'S' ? "大笔卖出" : "大笔买入", std::to_string(lots * p.lot / 100) + "手");
    }
    if (l.up > 0 && sec.type == SecType::Stock) {
        if (sealed == 0 && px >= l.up) {
            l.sealed = 1;
            fireAlert(i, s, AlertKind::LimitHit, "封涨停板", percentText(px / l.pre - 1));
        } else if (sealed == 0 && px <= l.down) {
            l.sealed = -1;
            fireAlert(i, s, AlertKind::LimitHit, "封跌停板", percentText(px / l.pre - 1));
        } else if (sealed == 1 && px < l.up) {
            l.sealed = 0;
            fireAlert(i, s, AlertKind::LimitOpen, "打开涨停", percentText(px / l.pre - 1));
        } else if (sealed == -1 && px > l.down) {
            l.sealed = 0;
            fireAlert(i, s, AlertKind::LimitOpen, "打开跌停", percentText(px / l.pre - 1));
        }
    }
    if (sec.type == SecType::Stock && s - l.lastRapid >= 300) {
        const double ago = priceAgo(l, s, 5);
        if (ago > 0) {
            const double ch = px / ago - 1;
            if (ch >= 0.02 || ch <= -0.02) {
                l.lastRapid = s;
                fireAlert(i, s, ch > 0 ? AlertKind::Rise : AlertKind::Fall,
                          ch > 0 ? "快速拉升" : "快速下跌", percentText(ch));
            }
        }
    }
    std::lock_guard<std::mutex> lock(l.mu);
    rebuildBook(i, l, dir);
}

void Session::record(int i, Live& l, int s, double px, int64_t lots, char dir) {
    const SimParams& p = u_.params[size_t(i)];
    std::lock_guard<std::mutex> lock(l.mu);
    const int64_t v = lots * p.lot;
    l.last = px;
    l.high = std::max(l.high, px);
    l.low = l.low > 0 ? std::min(l.low, px) : px;
    l.vol += v;
    l.curVol = v;
    l.amount += double(v) * px;
    if (dir == 'B')
        l.red += v;
    else if (dir == 'S')
        l.green += v;
    CompactTick t;
    t.offset = uint16_t(std::max(0, s - session::kAuctionStart));
    t.price = float(px);
    t.lots = uint32_t(std::min<int64_t>(lots, UINT32_MAX));
    t.count = uint8_t(std::clamp<int64_t>(lots / 5 + 1, 1, 255));
    t.direction = dir;
    l.ticks.push_back(t);
    if (!moved_[size_t(i)]) {
        moved_[size_t(i)] = 1;
        movedList_.push_back(i);
    }
    const int m = minuteIndex(s);
    if (m >= 0) {
        MinuteBar& b = l.minutes[size_t(m)];
        if (!b.traded) {
            b.open = b.high = b.low = float(px);
            b.traded = true;
        }
        b.high = std::max(b.high, float(px));
        b.low = std::min(b.low, float(px));
        b.close = float(px);
        b.volume += v;
        b.amount += double(v) * px;
    }
    if (!dirty_[size_t(i)]) {
        dirty_[size_t(i)] = 1;
        dirtyList_.push_back(i);
    }
}

void Session::rebuildBook(int i, Live& l, char dir) {
    const SimParams& p = u_.params[size_t(i)];
    Rng& r = rng_[size_t(i)];
    const double tick = p.tick;
    const double depth = l.meanLots * p.lot;
    auto lotsOf = [&](double mult) {
        return std::max<int64_t>(1, int64_t(depth * mult * std::exp(0.8 * r.normal()) / p.lot)) *
               p.lot;
    };
    for (int k = 0; k < 5; ++k) {
        l.bidPx[k] = l.askPx[k] = 0;
        l.bidVol[k] = l.askVol[k] = 0;
    }
    if (l.sealed == 1 || (l.up > 0 && l.last >= l.up)) {
        // Sealed at the upper limit: a queue of buyers at the limit, no sellers.
        for (int k = 0; k < 5; ++k) {
            l.bidPx[k] = roundTo(l.up - k * tick, tick);
            l.bidVol[k] = lotsOf(k == 0 ? 150 : 2);
        }
    } else if (l.sealed == -1 || (l.down > 0 && l.last <= l.down)) {
        for (int k = 0; k < 5; ++k) {
            l.askPx[k] = roundTo(l.down + k * tick, tick);
            l.askVol[k] = lotsOf(k == 0 ? 150 : 2);
        }
    } else {
        const int spread = p.tradeRate < 0.08 ? r.range(1, 3) : 1;
        double bid1, ask1;
        if (dir == 'B') {
            ask1 = r.chance(0.5) ? l.last : l.last + tick;
            bid1 = ask1 - spread * tick;
        } else {
            bid1 = r.chance(0.5) ? l.last : l.last - tick;
            ask1 = bid1 + spread * tick;
        }
        if (ask1 <= l.last - tick / 2 || bid1 >= l.last + tick / 2) {
            bid1 = l.last - tick;
            ask1 = l.last + tick;
        }
        for (int k = 0; k < 5; ++k) {
            const double b = roundTo(bid1 - k * tick, tick), a = roundTo(ask1 + k * tick, tick);
            if (b > 0 && (l.down <= 0 || b >= l.down - tick / 2)) {
                l.bidPx[k] = b;
                l.bidVol[k] = lotsOf(1.5 + 0.4 * k);
            }
            if (l.up <= 0 || a <= l.up + tick / 2) {
                l.askPx[k] = a;
                l.askVol[k] = lotsOf(1.5 + 0.4 * k);
            }
        }
    }
    int64_t b = 0, a = 0;
    for (int k = 0; k < 5; ++k) {
        b += l.bidVol[k];
        a += l.askVol[k];
    }
    // Orders below the five shown levels.
    l.totalBuy = b + int64_t(double(b) * r.uniform(2, 5) / p.lot) * p.lot;
    l.totalSell = a + int64_t(double(a) * r.uniform(2, 5) / p.lot) * p.lot;
}

void Session::updateAggregates(int s) {
    // Fold the moves of every traded security that changed into the indices and blocks
    // it belongs to.
    std::vector<int> changed;
    changed.swap(movedList_);
    for (int i : changed) {
        moved_[size_t(i)] = 0;
        const Live& l = *live_[size_t(i)];
        double last, pre;
        int64_t vol;
        double amt;
        {
            std::lock_guard<std::mutex> lock(l.mu);
            last = l.matched ? l.last : l.pre;
            pre = l.pre;
            vol = l.vol;
            amt = l.amount;
        }
        const double before = lastSeen_[size_t(i)];
        const double fl = double(u_.securities[size_t(i)].floatShares);
        const int stBefore = before > pre ? 1 : before < pre ? -1 : 0;
        const int stNow = last > pre ? 1 : last < pre ? -1 : 0;
        const int64_t dv = vol - volSeen_[size_t(i)];
        const double da = amt - amtSeen_[size_t(i)];
        for (int a : feeds_[size_t(i)]) {
            Live& g = *live_[size_t(a)];
            std::lock_guard<std::mutex> lock(g.mu);
            g.capNow += fl * (last - before);
            if (pre > 0)
                g.sumReturn += (last - before) / pre;
            if (stBefore != stNow) {
                (stBefore > 0 ? g.rise : stBefore < 0 ? g.fall : g.flat) -= 1;
                (stNow > 0 ? g.rise : stNow < 0 ? g.fall : g.flat) += 1;
            }
            g.vol += dv;
            g.amount += da;
            if (dv > 0)
                g.curVol = dv;
            if (!dirty_[size_t(a)]) {
                dirty_[size_t(a)] = 1;
                dirtyList_.push_back(a);
            }
        }
        lastSeen_[size_t(i)] = last;
        volSeen_[size_t(i)] = vol;
        amtSeen_[size_t(i)] = amt;
    }
    if (s < session::kAuctionMatch)
        return;
    const int m = minuteIndex(s);
    for (int a : aggregates_) {
        if (!dirty_[size_t(a)])
            continue;
        Live& g = *live_[size_t(a)];
        std::lock_guard<std::mutex> lock(g.mu);
        const double v = g.capPre > 0 ? roundTo(g.pre * g.capNow / g.capPre, 0.01) : g.pre;
        if (!g.matched) {
            g.matched = true;
            g.open = g.high = g.low = v;
        }
        g.last = v;
        g.high = std::max(g.high, v);
        g.low = std::min(g.low, v);
        if (m >= 0) {
            MinuteBar& b = g.minutes[size_t(m)];
            if (!b.traded) {
                b.open = b.high = b.low = float(v);
                b.traded = true;
            }
            b.high = std::max(b.high, float(v));
            b.low = std::min(b.low, float(v));
            b.close = float(v);
            b.lead = float(roundTo(g.pre * (1 + g.sumReturn / std::max(1, g.members)), 0.01));
            // Minute volume: the day's volume so far minus what earlier minutes hold.
            if (m != g.minute) {
                int64_t before = 0;
                double amtBefore = 0;
                for (int k = 0; k < m; ++k) {
                    before += g.minutes[size_t(k)].volume;
                    amtBefore += g.minutes[size_t(k)].amount;
                }
                g.minute = m;
                g.volBefore = before;
                g.amountBefore = amtBefore;
            }
            b.volume = g.vol - g.volBefore;
            b.amount = g.amount - g.amountBefore;
        }
        if (s - g.lastTickSecond >= 3) {
            CompactTick t{};
            t.offset = uint16_t(std::max(0, s - session::kAuctionStart));
            t.price = float(v);
            t.lots = uint32_t(std::min<int64_t>(g.curVol / 100, UINT32_MAX));
            t.count = 1;
            t.direction = 'N';
            g.ticks.push_back(t);
            g.lastTickSecond = s;
        }
    }
}

double Session::priceAgo(const Live& l, int s, int minutesAgo) const {
    const int m = minuteIndex(s);
    if (m < 0)
        return 0;
    const int k = m - minutesAgo;
    if (k < 0)
        return l.open > 0 ? l.open : l.pre;
    for (int j = k; j >= 0; --j)
        if (l.minutes[size_t(j)].traded)
            return l.minutes[size_t(j)].close;
    return l.open > 0 ? l.open : l.pre;
}

void Session::fireAlert(int i, int s, AlertKind kind, const char* tip, const std::string& value) {
    std::lock_guard<std::mutex> lock(alertMu_);
    Alert a;
    a.seq = ++alertSeq_;
    a.security = i;
    a.time = beijingTime(day_, 0, 0) + s;
    a.kind = kind;
    a.tip = tip;
    a.value = value;
    alerts_.push_back(std::move(a));
    if (alerts_.size() > kMaxAlerts)
        alerts_.pop_front();
}

std::vector<Alert> Session::alerts(const std::function<bool(int)>& accept, int count,
                                   uint64_t afterSeq) const {
    std::vector<Alert> out;
    if (count <= 0)
        return out;
    std::lock_guard<std::mutex> lock(alertMu_);
    for (auto it = alerts_.rbegin(); it != alerts_.rend() && int(out.size()) < count; ++it) {
        if (it->seq <= afterSeq)
            break;
        if (accept(it->security))
            out.push_back(*it);
    }
    std::reverse(out.begin(), out.end());
    return out;
}

uint64_t Session::alertSeq() const {
    std::lock_guard<std::mutex> lock(alertMu_);
    return alertSeq_;
}

Bar Session::dayBar(int i) const {
    const Live& l = *live_[size_t(i)];
    std::lock_guard<std::mutex> lock(l.mu);
    Bar b;
    b.time = beijingTime(day_, 15, 0);
    if (l.matched && l.open > 0) {
        b.open = float(l.open);
        b.high = float(l.high);
        b.low = float(l.low);
        b.close = float(l.last);
    } else {
        b.open = b.high = b.low = b.close = float(l.pre);
    }
    b.volume = l.vol;
    b.amount = l.amount;
    return b;
}

std::vector<MinuteBar> Session::minuteBars(int i) const {
    const Live& l = *live_[size_t(i)];
    std::lock_guard<std::mutex> lock(l.mu);
    return l.minutes;
}

void Session::fillQuote(Quote& q, int i, int64_t time) const {
    const Security& s = u_.securities[size_t(i)];
    const Live& l = *live_[size_t(i)];
    std::lock_guard<std::mutex> lock(l.mu);
    std::memset(static_cast<void*>(&q), 0, sizeof q);
    vqp::setText(q.info.code, s.code);
    vqp::setText(q.info.name, s.name);
    vqp::setText(q.info.pinyin, s.pinyin);
    q.info.market = s.market;
    q.info.decimal = s.decimals;
    q.info.type = int8_t(wireType(s.type));
    q.timestamp = time;
    q.pre_close = float(l.pre);
    const bool traded = l.matched && l.open > 0;
    q.open = traded ? float(l.open) : 0;
    q.high = traded ? float(l.high) : 0;
    q.low = traded ? float(l.low) : 0;
    const double close = traded ? l.last : l.pre;
    q.close = float(close);
    q.vol = l.vol;
    q.cur_vol = l.curVol;
    q.sum = l.amount;
    q.red_vol = l.red;
    q.green_vol = l.green;
    const int sod = second_;
    const int mins = std::max(traded ? 1 : 0, minutesElapsed(sod));
    q.d5_avg_vol = int64_t(l.d5);
    q.vol_rate =
        mins > 0 && l.d5 > 0 ? float((double(l.vol) / mins) / (l.d5 / session::kMinutes)) : 0;
    const double floatShares = isAggregate(s) ? 0 : double(s.floatShares);
    if (isAggregate(s)) {
        double fl = 0;
        for (int m : u_.params[size_t(i)].members)
            fl += double(u_.securities[size_t(m)].floatShares);
        q.swap = fl > 0 ? float(double(l.vol) / fl) : 0;
    } else {
        q.swap = floatShares > 0 ? float(double(l.vol) / floatShares) : 0;
    }
    q.amplitude = traded && l.pre > 0 ? float((l.high - l.low) / l.pre) : 0;
    q.rf_value = float(close - l.pre);
    q.rf_rate = l.pre > 0 ? float((close - l.pre) / l.pre) : 0;
    int64_t bidSum = 0, askSum = 0;
    for (int k = 0; k < 5; ++k) {
        q.bid_price[k] = float(l.bidPx[k]);
        q.ask_price[k] = float(l.askPx[k]);
        q.bid_vol[k] = l.bidVol[k];
        q.ask_vol[k] = l.askVol[k];
        bidSum += l.bidVol[k];
        askSum += l.askVol[k];
    }
    q.committee =
        bidSum + askSum > 0 ? float(double(bidSum - askSum) / double(bidSum + askSum)) : 0;
    q.committee_diff = bidSum - askSum;
    if (isAggregate(s))
        q.avg_price = l.matched
                          ? float(roundTo(l.pre * (1 + l.sumReturn / std::max(1, l.members)), 0.01))
                          : 0;
    else
        q.avg_price = l.vol > 0 ? float(l.amount / double(l.vol)) : 0;
    if (traded) {
        const double ago1 = priceAgo(l, sod, 1), ago5 = priceAgo(l, sod, 5);
        q.speed = ago1 > 0 ? float(close / ago1 - 1) : 0;
        q.m5_rf_rate = ago5 > 0 ? float(close / ago5 - 1) : 0;
    }
    q.rise_limit = float(l.up);
    q.fall_limit = float(l.down);
    q.eps = s.eps;
    q.pe = s.eps > 0 ? float(close / s.eps) : 0;
    q.float_shares = s.floatShares;
    q.total_shares = s.totalShares;
    q.ps_net_asset = s.netAssetPerShare;
    if (isAggregate(s)) {
        q.rise_count = int16_t(std::min(l.rise, 32767));
        q.fall_count = int16_t(std::min(l.fall, 32767));
        q.flat_count = int16_t(std::min(l.flat, 32767));
        q.all_count = int16_t(std::min(l.members, 32767));
    }
    // An index or a block names the block it stands for; a stock names its industry block,
    // so the quote view has a related block to show (0 hides that tab).
    q.block_id = s.blockId ? s.blockId : s.industry;
    q.total_buy = l.totalBuy;
    q.total_sell = l.totalSell;
}

void Session::publishInto(MarketSnapshot& next, int64_t time) {
    if (next.size() != int(live_.size()))
        next.resize(int(live_.size()));
    std::sort(dirtyList_.begin(), dirtyList_.end());
    next.changed = dirtyList_;
    for (int i : dirtyList_) {
        fillQuote(next.mutableQuote(i), i, time);
        dirty_[size_t(i)] = 0;
    }
    dirtyList_.clear();
    next.time = time;
    next.tradingDay = day_;
    next.phase = phase();
    next.alertSeq = alertSeq();
    fresh_ = false;
}

}  // namespace vq::market
