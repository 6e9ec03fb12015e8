#include "server/market/history.h"

#include "server/market/calendar.h"
#include "server/market/names.h"
#include "server/market/rng.h"

#include <algorithm>
#include <cmath>

namespace vq::market {

double roundTo(double price, double tick) {
    return std::round(price / tick) * tick;
}

namespace {

// Factor path with clustered volatility (GARCH(1,1)) and fat tails.
std::vector<double> factorPath(uint64_t key, size_t n, double sigma, double drift) {
    Rng rng(key);
    std::vector<double> r(n);
    const double a = 0.09, b = 0.89, w = sigma * sigma * (1 - a - b);
    double h = sigma * sigma;
    for (size_t i = 0; i < n; ++i) {
        const double x = std::sqrt(h) * rng.fatTail();
        r[i] = x + drift;
        h = w + a * x * x + b * h;
    }
    return r;
}

struct Event {
    int dayIndex;
    double cashYield, bonus, rights;
};

}  // namespace

HistoryGenerator::HistoryGenerator(const Universe& universe, uint64_t seed,
                                   std::vector<int> calendar)
    : u_(universe), seed_(seed), calendar_(std::move(calendar)) {
    market_ = factorPath(mixKey(seed, 0x6d6b74), calendar_.size(), 0.011, 0.0002);
    const size_t ni = names::industries().size();
    industry_.resize(ni);
    for (size_t i = 0; i < ni; ++i)
        industry_[i] = factorPath(mixKey(seed, 0x696e64, i), calendar_.size(), 0.012, 0);
}

DailySeries HistoryGenerator::generate(int security, size_t newest) const {
    DailySeries out;
    if (security < 0 || size_t(security) >= u_.securities.size() || calendar_.empty())
        return out;
    const Security& s = u_.securities[size_t(security)];
    const SimParams& p = u_.params[size_t(security)];
    if (s.type == SecType::Index || s.type == SecType::Block)
        return out;

    const auto first = std::lower_bound(calendar_.begin(), calendar_.end(), p.historyStart);
    const size_t firstIdx = size_t(first - calendar_.begin());
    const size_t last = calendar_.size() - 1;
    if (firstIdx > last)
        return out;
    size_t count = last - firstIdx + 1;
    const bool full = newest == 0 || newest >= count;
    if (!full)
        count = newest;

    // Yearly ex-rights events of a security with profits: each year between mid-May and
    // mid-August, mostly cash, sometimes bonus shares, rarely a rights issue.
    std::vector<Event> events;
    if (s.type == SecType::Stock && s.eps > 0) {
        Rng er(mixKey(seed_, 0x646976, uint64_t(security)));
        const int y0 = calendar_[firstIdx] / 10000 + 1, y1 = calendar_[last] / 10000;
        for (int y = y0; y <= y1; ++y) {
            const bool pays = er.chance(0.75), bonus = er.chance(0.12), rights = er.chance(0.03);
            const int offset = er.range(0, 90);
            const double yield = p.dividendYield * er.uniform(0.5, 1.5);
            const double bs = bonus ? double(er.range(1, 10)) / 10 : 0;
            const double rs = rights ? double(er.range(1, 3)) / 10 : 0;
            if (!pays && !bonus && !rights)
                continue;
            const int target = dateFromDays(daysFromDate(y * 10000 + 515) + offset);
            auto it = std::lower_bound(calendar_.begin(), calendar_.end(), target);
            if (it == calendar_.end() || size_t(it - calendar_.begin()) <= firstIdx)
                continue;
            events.push_back({int(it - calendar_.begin()), pays ? yield : 0, bs, rs});
        }
    }

    Rng rng(mixKey(seed_, 0x686973, uint64_t(security)));
    const double sigma = std::max(0.001, s.volatility);
    const double a = 0.08, b = 0.90, w = sigma * sigma * (1 - a - b);
    double h = sigma * sigma;
    const double lim = s.limitRate();
    const double tick = p.tick;
    const double base = s.basePrice;
    double close = base;

    out.bars.resize(count);
    out.days.resize(count);
    for (size_t k = 0; k < count; ++k) {
        const size_t d = last - k;
        // Draw everything for this day in a fixed order, so a partial series is a prefix
        // of the full one.
        const double eps = rng.fatTail();
        const double n1 = rng.normal(), n2 = rng.normal(), n3 = rng.normal(), u1 = rng.uniform();
        const double idio = std::sqrt(h) * eps;
        h = w + a * idio * idio + b * h;
        const double x = std::log(close / base);
        // A slow pull towards the base level keeps a backwards path from wandering off to
        // pennies or to thousands over eight years.
        double r = idio + 0.0012 * std::tanh(x / 0.7);
        if (p.industry >= 0)
            r += p.beta * market_[d] + p.industryLoad * industry_[size_t(p.industry)][d];
        else
            r += p.beta * market_[d];
        bool limitUp = false, limitDown = false;
        if (lim > 0) {
            if (r >= lim) {
                r = lim;
                limitUp = true;
            } else if (r <= -lim) {
                r = -lim;
                limitDown = true;
            }
        }
        double ref = close / (1 + r);  // previous close as the reference for this day
        double prevClose = ref;
        const Event* ev = nullptr;
        for (const Event& e : events)
            if (size_t(e.dayIndex) == d)
                ev = &e;
        if (ev) {
            const double mult = 1 + ev->bonus + ev->rights;
            const double cash = roundTo(ev->cashYield * ref * mult, 0.001);
            const double rp = roundTo(ref * 0.7, 0.01);
            prevClose = ref * mult + cash - rp * ev->rights;
            Dividend dv;
            dv.exDate = calendar_[d];
            dv.time = beijingTime(dv.exDate, 15, 0);
            dv.bonusShares = ev->bonus;
            dv.rightsShares = ev->rights;
            dv.rightsPrice = ev->rights > 0 ? rp : 0;
            dv.cash = cash;
            out.dividends.push_back(dv);
        }
        prevClose = std::max(tick * 20, roundTo(prevClose, tick));
        if (ev) {
            Dividend& dv = out.dividends.back();
            dv.preClose = prevClose;
            dv.factor = ref / prevClose;
        }
        if (!ev)
            ref = prevClose;
        const double upPx = lim > 0 ? roundTo(ref * (1 + lim), tick) : 1e12;
        const double dnPx = lim > 0 ? roundTo(ref * (1 - lim), tick) : 0;
        double c = close;
        double o, hi, lo;
        if ((limitUp || limitDown) && u1 < 0.2) {
            o = hi = lo = c;  // sealed from the open
        } else {
            o = ref * (1 + std::clamp(0.3 * sigma * n1 + 0.25 * r, lim > 0 ? -lim : -0.5,
                                      lim > 0 ? lim : 0.5));
            o = std::clamp(roundTo(o, tick), dnPx, upPx);
            const double span = std::abs(n2) * 0.55 * sigma + 0.002;
            hi = std::min(upPx, roundTo(std::max(o, c) * (1 + span * u1), tick));
            lo = std::max(dnPx, roundTo(std::min(o, c) * (1 - span * (1 - u1)), tick));
            hi = std::max({hi, o, c});
            lo = std::min({lo, o, c});
        }
        double vol = double(s.floatShares) * p.turnover * std::pow(h / (sigma * sigma), 0.35) *
                     (1 + 1.6 * std::abs(r) / sigma) * std::exp(0.3 * n3);
        if (hi == lo)
            vol *= 0.25;  // a sealed limit trades little
        const int64_t lots = std::max<int64_t>(1, int64_t(vol / p.lot));
        Bar& bar = out.bars[count - 1 - k];
        bar.time = beijingTime(calendar_[d], 15, 0);
        bar.open = float(o);
        bar.high = float(hi);
        bar.low = float(lo);
        bar.close = float(c);
        bar.volume = lots * p.lot;
        bar.amount = double(bar.volume) * (o + hi + lo + c) / 4;
        out.days[count - 1 - k] = calendar_[d];
        close = prevClose;
    }
    std::reverse(out.dividends.begin(), out.dividends.end());
    return out;
}

std::vector<DailySeries> HistoryGenerator::aggregates(
    const std::function<DailySeries(int)>& seriesOf) const {
    const size_t n = u_.securities.size(), nd = calendar_.size();
    // Which aggregates each traded security feeds.
    std::vector<std::vector<int>> feeds(n);
    std::vector<int> aggs;
    for (const Security& s : u_.securities)
        if (s.type == SecType::Index || s.type == SecType::Block) {
            aggs.push_back(s.index);
            for (int m : u_.params[size_t(s.index)].members)
                feeds[size_t(m)].push_back(s.index);
        }
    // One record per aggregate and day keeps the seven sums of a day in one cache line.
    struct Sums {
        double w, wr, wo, wh, wl, vol, amount, pad;
    };
    std::vector<std::vector<Sums>> acc(n);
    for (int a : aggs)
        acc[size_t(a)].assign(nd, Sums{0, 0, 0, 0, 0, 0, 0, 0});
    for (size_t i = 0; i < n; ++i) {
        if (feeds[i].empty())
            continue;
        const DailySeries ds = seriesOf ? seriesOf(int(i)) : generate(int(i));
        if (ds.bars.empty())
            continue;
        const double fl = double(u_.securities[i].floatShares);
        size_t divIdx = 0;
        for (size_t k = 0; k < ds.bars.size(); ++k) {
            const Bar& bar = ds.bars[k];
            double pre = k > 0 ? ds.bars[k - 1].close : bar.open;
            while (divIdx < ds.dividends.size() && ds.dividends[divIdx].exDate < ds.days[k])
                ++divIdx;
            if (divIdx < ds.dividends.size() && ds.dividends[divIdx].exDate == ds.days[k])
                pre *= ds.dividends[divIdx].factor;  // the ex-rights reference, not a fall
            if (pre <= 0)
                continue;
            const double wgt = fl * pre;
            const Sums add{wgt,
                           wgt * (bar.close / pre - 1),
                           wgt * (bar.open / pre - 1),
                           wgt * (bar.high / pre - 1),
                           wgt * (bar.low / pre - 1),
                           double(bar.volume),
                           bar.amount,
                           0};
            // Generated days follow the calendar one by one; imported ones may start before
            // it, skip suspended days or hold days it does not know.
            auto at = std::lower_bound(calendar_.begin(), calendar_.end(), ds.days[k]);
            if (at == calendar_.end() || *at != ds.days[k])
                continue;
            const size_t d = size_t(at - calendar_.begin());
            for (int a : feeds[i]) {
                Sums& x = acc[size_t(a)][d];
                x.w += add.w;
                x.wr += add.wr;
                x.wo += add.wo;
                x.wh += add.wh;
                x.wl += add.wl;
                x.vol += add.vol;
                x.amount += add.amount;
            }
        }
    }
    std::vector<DailySeries> out(n);
    for (int a : aggs) {
        const std::vector<Sums>& x = acc[size_t(a)];
        DailySeries& ds = out[size_t(a)];
        size_t first = 0;
        while (first < nd && x[first].w == 0)
            ++first;
        if (first == nd)
            first = nd - 1;  // no members: a flat line
        const size_t count = nd - first;
        ds.bars.resize(count);
        ds.days.resize(count);
        double level = u_.securities[size_t(a)].basePrice;
        for (size_t k = 0; k < count; ++k) {
            const size_t d = nd - 1 - k;
            const Sums& sd = x[d];
            const double W = sd.w;
            const double r = W > 0 ? sd.wr / W : 0;
            const double pre = level / (1 + r);
            // Members reach their highs and lows at different times, so the index range is
            // narrower than the weighted member range.
            const double ro = W > 0 ? sd.wo / W : 0, rh = W > 0 ? sd.wh / W : 0,
                         rl = W > 0 ? sd.wl / W : 0;
            const double o = pre * (1 + ro);
            const double hi = std::max({level, o, pre * (1 + r + 0.6 * (rh - r))});
            const double lo = std::min({level, o, pre * (1 + r + 0.6 * (rl - r))});
            Bar& bar = ds.bars[count - 1 - k];
            bar.time = beijingTime(calendar_[d], 15, 0);
            bar.open = float(roundTo(o, 0.01));
            bar.high = float(roundTo(hi, 0.01));
            bar.low = float(roundTo(lo, 0.01));
            bar.close = float(roundTo(level, 0.01));
            bar.volume = int64_t(sd.vol);
            bar.amount = sd.amount;
            ds.days[count - 1 - k] = calendar_[d];
            level = pre;
        }
    }
    return out;
}

MinuteDay HistoryGenerator::minuteLine(int security, int day, const Bar& bar,
                                       float preClose) const {
    MinuteDay md;
    md.tradingDay = day;
    md.preClose = preClose;
    const int n = session::kMinutes;
    Rng rng(mixKey(seed_, 0x6d696e, uint64_t(security), uint64_t(day)));
    // Brownian bridge from open to close, then stretched so its extremes are the bar's.
    std::vector<double> path(size_t(n) + 1);
    double x = 0;
    for (int i = 1; i <= n; ++i) {
        x += rng.normal();
        path[size_t(i)] = x;
    }
    const double endX = path[size_t(n)];
    for (int i = 0; i <= n; ++i)
        path[size_t(i)] = path[size_t(i)] - endX * i / n;  // bridge: 0 at both ends
    const double o = bar.open, c = bar.close, hi = bar.high, lo = bar.low;
    std::vector<double> price(size_t(n) + 1);
    double bmax = 0, bmin = 0;
    for (int i = 0; i <= n; ++i) {
        price[size_t(i)] = o + (c - o) * i / n;
        bmax = std::max(bmax, path[size_t(i)]);
        bmin = std::min(bmin, path[size_t(i)]);
    }
    const double upRoom = hi - std::max(o, c), downRoom = std::min(o, c) - lo;
    for (int i = 0; i <= n; ++i) {
        const double b = path[size_t(i)];
        if (b > 0 && bmax > 0)
            price[size_t(i)] += b / bmax * upRoom;
        else if (b < 0 && bmin < 0)
            price[size_t(i)] -= b / bmin * downRoom;
        price[size_t(i)] = std::clamp(price[size_t(i)], lo, hi);
    }
    const Security& s = u_.securities[size_t(security)];
    const double tick = s.type == SecType::Index || s.type == SecType::Block
                            ? 0.01
                            : u_.params[size_t(security)].tick;
    std::vector<double> weight(static_cast<size_t>(n));
    double wsum = 0;
    for (int i = 0; i < n; ++i) {
        const double t = i < 120 ? i : i - 120;
        const double shape = 1 + 1.8 * std::exp(-double(i) / 18) +
                             0.9 * std::exp(-double(n - 1 - i) / 15) + 0.3 * std::exp(-t / 10);
        weight[size_t(i)] = shape * std::exp(0.35 * rng.normal());
        wsum += weight[size_t(i)];
    }
    const bool hasAvg = s.type != SecType::Index && s.type != SecType::Block;
    const int lot = hasAvg ? u_.params[size_t(security)].lot : 1;
    double cumVol = 0, cumAmt = 0;
    int64_t assigned = 0;
    md.points.resize(size_t(n));
    for (int i = 0; i < n; ++i) {
        MinutePoint& pt = md.points[size_t(i)];
        pt.time = beijingTime(day, 0, 0) + minuteEnd(i);
        const double px = i == n - 1 ? c : roundTo(price[size_t(i) + 1], tick);
        pt.price = float(px);
        int64_t v = i == n - 1 ? bar.volume - assigned
                               : int64_t(double(bar.volume) * weight[size_t(i)] / wsum / lot) * lot;
        v = std::max<int64_t>(0, v);
        assigned += v;
        pt.volume = v;
        pt.amount = double(v) * px;
        cumVol += double(v);
        cumAmt += pt.amount;
        pt.avgPrice = hasAvg && cumVol > 0 ? float(cumAmt / cumVol) : 0;
    }
    return md;
}

std::vector<FinancialYear> HistoryGenerator::financials(int security) const {
    std::vector<FinancialYear> out;
    if (security < 0 || size_t(security) >= u_.securities.size())
        return out;
    const Security& s = u_.securities[size_t(security)];
    if (s.type != SecType::Stock && s.type != SecType::BShare)
        return out;
    Rng rng(mixKey(seed_, 0x66696e, uint64_t(security)));
    const int lastYear = calendar_.empty() ? 2025 : calendar_.back() / 10000 - 1;
    const int firstYear = std::max(s.listDate / 10000, lastYear - 7);
    const double shares = double(s.totalShares);
    // Walk backwards from the latest year, whose figures match the snapshot's EPS and net
    // assets, with growth that wobbles from year to year.
    double eps = s.eps, bvps = s.netAssetPerShare;
    const double margin =
        std::clamp(0.12 + 0.25 * rng.uniform() + (s.eps < 0 ? -0.1 : 0), 0.02, 0.9);
    for (int y = lastYear; y >= firstYear; --y) {
        FinancialYear f;
        f.year = y;
        f.eps = std::round(eps * 1e4) / 1e4;
        f.netProfit = eps * shares;
        f.equity = bvps * shares;
        f.roe = f.equity > 0 ? f.netProfit / f.equity : 0;
        const double netMargin = std::clamp(0.04 + 0.2 * rng.uniform(), 0.02, 0.4);
        f.revenue = std::abs(f.netProfit) / netMargin;
        f.totalAssets = f.equity * rng.uniform(1.4, 3.5);
        f.grossMargin = std::clamp(margin + 0.03 * rng.normal(), 0.01, 0.95);
        out.push_back(f);
        const double g = 0.08 + 0.18 * rng.normal();
        eps = eps / (1 + std::max(-0.6, g));
        bvps = std::max(0.5, bvps - std::max(0.0, eps) * 0.6);
    }
    std::reverse(out.begin(), out.end());
    return out;
}

}  // namespace vq::market
