// Continuous trading: each step a security may trade towards its fair value; a trade is
// recorded as a tick, into the minute bar and the day's totals, and may fire alerts.
#include "server/market/session.h"

#include "server/market/calendar.h"
#include "server/market/history.h"
#include "server/market/session_pace.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace vq::market {

namespace {

std::string percentText(double r) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%+.2f%%", r * 100);
    return buf;
}

}  // namespace

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
        b.take(float(px));
        b.volume += v;
        b.amount += double(v) * px;
    }
    if (!dirty_[size_t(i)]) {
        dirty_[size_t(i)] = 1;
        dirtyList_.push_back(i);
    }
}

}  // namespace vq::market
