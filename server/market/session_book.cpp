// The five-level book a security shows after each trade.
#include "server/market/session.h"

#include "server/market/history.h"

#include <cmath>

namespace vq::market {

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

}  // namespace vq::market
