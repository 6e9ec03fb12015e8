#include "server/market/fill_day.h"

#include "server/market/calendar.h"
#include "server/market/history.h"
#include "server/market/rng.h"

#include <algorithm>
#include <cmath>

namespace vq::market {

std::vector<Bar> fillDay(const Universe& u, uint64_t seed, int day, const std::vector<double>& pre,
                         const std::vector<std::vector<double>>& recentVol) {
    const size_t n = u.securities.size();
    std::vector<Bar> bars(n);
    Rng dayRng(mixKey(seed, 0x66696c6c, uint64_t(day)));
    const double marketMove = 0.011 * dayRng.fatTail();
    std::vector<double> industryMove(64);
    for (double& g : industryMove)
        g = 0.012 * dayRng.fatTail();
    std::vector<double> ret(n, 0);
    for (const Security& s : u.securities) {
        if (isAggregate(s))
            continue;
        const SimParams& p = u.params[size_t(s.index)];
        Rng r(mixKey(seed, 0x66696c6c, uint64_t(s.index), uint64_t(day)));
        const double sigma = std::max(0.001, s.volatility);
        double x = p.beta * marketMove + sigma * r.fatTail();
        if (p.industry >= 0)
            x += p.industryLoad * industryMove[size_t(p.industry) % industryMove.size()];
        const double lim = s.limitRate();
        if (lim > 0)
            x = std::clamp(x, -lim, lim);
        const double pc = pre[size_t(s.index)];
        const double up = lim > 0 ? roundTo(pc * (1 + lim), p.tick) : 1e12;
        const double dn = lim > 0 ? roundTo(pc * (1 - lim), p.tick) : p.tick;
        const double c = std::clamp(roundTo(pc * (1 + x), p.tick), dn, up);
        const double o =
            std::clamp(roundTo(pc * (1 + 0.3 * sigma * r.normal() + 0.25 * x), p.tick), dn, up);
        const double span = std::abs(r.normal()) * 0.55 * sigma + 0.002;
        const double u1 = r.uniform();
        Bar& b = bars[size_t(s.index)];
        b.time = beijingTime(day, 15, 0);
        b.open = float(o);
        b.close = float(c);
        b.high = float(
            std::max({o, c, std::min(up, roundTo(std::max(o, c) * (1 + span * u1), p.tick))}));
        b.low = float(std::min(
            {o, c, std::max(dn, roundTo(std::min(o, c) * (1 - span * (1 - u1)), p.tick))}));
        const auto& rv = recentVol[size_t(s.index)];
        double avg = 0;
        for (double v : rv)
            avg += v;
        avg = rv.empty() ? double(s.floatShares) * p.turnover : avg / double(rv.size());
        b.volume = std::max<int64_t>(1, int64_t(avg * (1 + 1.6 * std::abs(x) / sigma) / 2.2 *
                                                std::exp(0.3 * r.normal()) / p.lot)) *
                   p.lot;
        b.amount = double(b.volume) * (b.open + b.high + b.low + b.close) / 4;
        ret[size_t(s.index)] = c / pc - 1;
    }
    for (const Security& s : u.securities) {
        if (!isAggregate(s))
            continue;
        double w = 0, wr = 0, wh = 0, wl = 0, wo = 0, vol = 0, amt = 0;
        for (int m : u.params[size_t(s.index)].members) {
            const double pc = pre[size_t(m)];
            const double wt = double(u.securities[size_t(m)].floatShares) * pc;
            const Bar& b = bars[size_t(m)];
            w += wt;
            wr += wt * ret[size_t(m)];
            wo += wt * (b.open / pc - 1);
            wh += wt * (b.high / pc - 1);
            wl += wt * (b.low / pc - 1);
            vol += double(b.volume);
            amt += b.amount;
        }
        const double pc = pre[size_t(s.index)];
        const double r = w > 0 ? wr / w : 0;
        const double c = pc * (1 + r), o = pc * (1 + (w > 0 ? wo / w : 0));
        Bar& b = bars[size_t(s.index)];
        b.time = beijingTime(day, 15, 0);
        b.open = float(roundTo(o, 0.01));
        b.close = float(roundTo(c, 0.01));
        b.high =
            float(roundTo(std::max({o, c, pc * (1 + r + 0.6 * ((w > 0 ? wh / w : 0) - r))}), 0.01));
        b.low =
            float(roundTo(std::min({o, c, pc * (1 + r + 0.6 * ((w > 0 ? wl / w : 0) - r))}), 0.01));
        b.volume = int64_t(vol);
        b.amount = amt;
    }
    return bars;
}

}  // namespace vq::market
