// Indices and blocks: the moves of their members folded into their values, minute bars and
// ticks.
#include "server/market/session.h"

#include "server/market/calendar.h"
#include "server/market/history.h"

#include <algorithm>
#include <cstdint>

namespace vq::market {

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
            b.take(float(v));
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

}  // namespace vq::market
