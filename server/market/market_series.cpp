// The market's answers to series requests: K-lines of every cycle, minute lines of today
// and of past days, ticks, ex-rights events, alerts and the company figures.
#include "server/market/market_impl.h"

#include "server/market/calendar.h"
#include "server/market/kline.h"
#include "server/market/rng.h"

#include <algorithm>
#include <cmath>

namespace vq::market {

namespace {

std::vector<float> leadsOf(const std::vector<MinuteBar>& mins, float pre) {
    std::vector<float> out;
    float last = pre;
    for (const MinuteBar& m : mins) {
        if (m.traded && m.lead > 0)
            last = m.lead;
        out.push_back(last);
    }
    return out;
}

std::vector<Bar> toBars(const std::vector<MinuteBar>& mins, int day, double pre, size_t upTo) {
    std::vector<Bar> out;
    double last = pre;
    for (size_t m = 0; m < upTo && m < mins.size(); ++m) {
        Bar b;
        b.time = beijingTime(day, 0, 0) + minuteEnd(int(m));
        const MinuteBar& x = mins[m];
        if (x.traded) {
            b.open = x.open;
            b.high = x.high;
            b.low = x.low;
            b.close = x.close;
            b.volume = x.volume;
            b.amount = x.amount;
            last = x.close;
        } else {
            b.open = b.high = b.low = b.close = float(last);
        }
        out.push_back(b);
    }
    return out;
}

// The points of a minute line. A stock's average price is its amount over its volume so
// far; an index or a block shows its leading index (`leads`, one a minute) in that place.
std::vector<MinutePoint> minutePoints(const std::vector<Bar>& bars, bool aggregate,
                                      const std::vector<float>& leads) {
    std::vector<MinutePoint> out;
    out.reserve(bars.size());
    double cv = 0, ca = 0;
    for (size_t k = 0; k < bars.size(); ++k) {
        const Bar& b = bars[k];
        MinutePoint p;
        p.time = b.time;
        p.price = b.close;
        p.volume = b.volume;
        p.amount = b.amount;
        cv += double(b.volume);
        ca += b.amount;
        p.avgPrice = !aggregate && cv > 0 ? float(ca / cv) : 0;
        if (aggregate && k < leads.size())
            p.avgPrice = leads[k];
        out.push_back(p);
    }
    return out;
}

}  // namespace

KLinePage MarketImpl::kline(int i, Cycle cycle, int64_t skip, int64_t rows, Adjust adjust) const {
    if (!valid(i) || !isValidCycle(int(cycle)) || rows <= 0 || skip < 0)
        return {};
    // Requests carry any 64-bit numbers; past ten million bars there is nothing anyway,
    // and capping keeps skip + rows from overflowing.
    rows = std::min<int64_t>(rows, 10'000'000);
    skip = std::min<int64_t>(skip, 10'000'000);
    std::vector<Dividend> divs;
    if (adjust != Adjust::None)
        divs = dividends(i);
    if (cycle == Cycle::Day || cycle == Cycle::Week || cycle == Cycle::Month) {
        std::vector<Bar> bars = dailyBars(i);
        adjustPrices(bars, divs, adjust);
        if (cycle != Cycle::Day)
            bars = aggregateDays(bars, cycle);
        return pageOf(bars, skip, rows);
    }
    const int per = cycle == Cycle::Min1    ? 1
                    : cycle == Cycle::Min5  ? 5
                    : cycle == Cycle::Min15 ? 15
                    : cycle == Cycle::Min30 ? 30
                                            : 60;
    const int perDay = session::kMinutes / per;
    // Only the days the page reaches are built.
    std::vector<std::vector<Bar>> days;  // newest first
    int64_t have = 0;
    const std::vector<Bar> today = todayMinuteBars(i);
    if (!today.empty()) {
        days.push_back(aggregateMinutes(today, per));
        have += int64_t(days.back().size());
    }
    const std::vector<Bar> daily = dailyBars(i, false);
    const std::vector<int> dayList = dayNumbers(i);
    const int histDays = int(std::min<size_t>(dayList.size(), intradayDays(i)));
    for (int k = 0; k < histDays && have < skip + rows; ++k) {
        const size_t d = dayList.size() - 1 - size_t(k);
        days.push_back(aggregateMinutes(historyMinuteBars(i, dayList[d], daily, d), per));
        have += int64_t(days.back().size());
    }
    std::vector<Bar> bars;
    bars.reserve(size_t(have));
    for (size_t k = days.size(); k-- > 0;)
        bars.insert(bars.end(), days[k].begin(), days[k].end());
    adjustPrices(bars, divs, adjust);
    KLinePage p = pageOf(bars, skip, rows);
    p.total = int64_t(today.empty() ? 0 : aggregateMinutes(today, per).size()) +
              int64_t(histDays) * perDay;
    return p;
}

MinuteDay MarketImpl::minutes(int i, int64_t day) const {
    MinuteDay md;
    if (!valid(i))
        return md;
    int want = 0;
    if (day < 0 || day > 4102444800)  // before 1970 or after 2100: no such trading day
        return md;
    if (day != 0)
        want = day >= 19800101 && day <= 21001231 ? int(day) : beijingDate(day);
    const int current = day_.load();
    if (want == 0 || want == current) {
        if (finalized_.load())
            want = current;  // the finished session is history now, with its minutes kept
        else
            return liveMinutes(i);
    }
    const std::vector<int> dayList = dayNumbers(i);
    auto it = std::lower_bound(dayList.begin(), dayList.end(), want);
    if (it == dayList.end() || *it != want)
        return md;
    const std::vector<Bar> daily = dailyBars(i, false);
    const size_t d = size_t(it - dayList.begin());
    std::vector<float> leads;
    const bool aggregate = isAggregate(u_.securities[size_t(i)]);
    const std::vector<Bar> bars =
        historyMinuteBars(i, want, daily, d, aggregate ? &leads : nullptr);
    md.tradingDay = want;
    md.preClose = d > 0 ? daily[d - 1].close : daily[d].open;
    md.points = minutePoints(bars, aggregate, leads);
    return md;
}

TickPage MarketImpl::ticks(int i, int64_t from, int count) const {
    TickPage page;
    if (!valid(i) || count <= 0)
        return page;
    const Live& l = session_->live(i);
    const int lot = isAggregate(u_.securities[size_t(i)]) ? 100 : u_.params[size_t(i)].lot;
    const int64_t base = beijingTime(day_.load(), 0, 0);
    std::lock_guard<std::mutex> lock(l.mu);
    page.preClose = float(l.pre);
    page.total = uint32_t(l.ticks.size());
    int64_t first = from < 0 ? int64_t(l.ticks.size()) - count : from;
    first = std::clamp<int64_t>(first, 0, int64_t(l.ticks.size()));
    const int64_t end = std::min<int64_t>(int64_t(l.ticks.size()), first + count);
    page.first = uint32_t(first);
    for (int64_t k = first; k < end; ++k) {
        const CompactTick& c = l.ticks[size_t(k)];
        Tick t;
        t.time = base + c.second();
        t.price = c.price;
        t.volume = int64_t(c.lots) * lot;
        t.count = c.count;
        t.direction = c.direction;
        page.ticks.push_back(t);
    }
    return page;
}

std::vector<Dividend> MarketImpl::dividends(int i) const {
    if (!valid(i) || isAggregate(u_.securities[size_t(i)]))
        return {};
    return base(i)->dividends;
}

std::vector<Alert> MarketImpl::alerts(int i, int count, uint64_t afterSeq) const {
    if (!valid(i))
        return {};
    return session_->alerts([i](int s) { return s == i; }, count, afterSeq);
}

std::vector<Alert> MarketImpl::blockAlerts(int64_t id, int count, uint64_t afterSeq) const {
    const BlockInfo* b = u_.block(id);
    if (!b)
        return {};
    if (id == preset::All)
        return session_->alerts([](int) { return true; }, count, afterSeq);
    const std::vector<int>& m = b->members;
    return session_->alerts([&m](int s) { return std::binary_search(m.begin(), m.end(), s); },
                            count, afterSeq);
}

std::vector<FinancialYear> MarketImpl::financials(int i) const {
    return valid(i) ? gen_->financials(i) : std::vector<FinancialYear>{};
}

Margin MarketImpl::margin(int i) const {
    Margin m;
    if (!valid(i) || !u_.securities[size_t(i)].margin)
        return m;
    const Security& s = u_.securities[size_t(i)];
    Rng r(mixKey(opt_.seed, 0x6d7267, uint64_t(i), uint64_t(day_.load())));
    const Quote& q = snapshot()->quote(i);
    const double px = q.close > 0 ? q.close : s.basePrice;
    const double cap = double(s.floatShares) * px;
    m.financeBalance = std::round(cap * r.uniform(0.015, 0.07));
    m.financeBuy = std::round(std::max(q.sum, cap * 0.002) * r.uniform(0.06, 0.14));
    m.shortBalance = int64_t(double(s.floatShares) * r.uniform(0.0001, 0.002) / 100) * 100;
    m.shortSell =
        int64_t(double(std::max<int64_t>(q.vol, 10000)) * r.uniform(0.002, 0.01) / 100) * 100;
    return m;
}

// Minutes of the running session up to now (empty before the opening auction trades
// and once the day has been filed).
std::vector<Bar> MarketImpl::todayMinuteBars(int i) const {
    if (finalized_.load())
        return {};
    const Live& l = session_->live(i);
    std::vector<MinuteBar> mins;
    double pre;
    {
        std::lock_guard<std::mutex> lock(l.mu);
        if (!l.matched)
            return {};
        mins = l.minutes;
        pre = l.open > 0 ? l.open : l.pre;
    }
    const int sod = second_.load();
    const int m = sod >= session::kClose ? session::kMinutes : std::max(1, minutesElapsed(sod));
    return toBars(mins, day_.load(), pre, size_t(m));
}

MinuteDay MarketImpl::liveMinutes(int i) const {
    MinuteDay md;
    const Live& l = session_->live(i);
    {
        std::lock_guard<std::mutex> lock(l.mu);
        md.preClose = float(l.pre);
    }
    md.tradingDay = day_.load();
    const std::vector<Bar> bars = todayMinuteBars(i);
    const bool aggregate = isAggregate(u_.securities[size_t(i)]);
    std::vector<float> leads;
    if (aggregate) {
        std::lock_guard<std::mutex> lock(l.mu);
        leads = leadsOf(l.minutes, float(l.pre));
    }
    md.points = minutePoints(bars, aggregate, leads);
    return md;
}

// Minute bars of a past day: kept from the live session if it ran in this process,
// otherwise drawn from the day bar.
// For an index or a block, `leads` receives the leading index of each minute.
std::vector<Bar> MarketImpl::historyMinuteBars(int i, int day, const std::vector<Bar>& daily,
                                               size_t d, std::vector<float>* leads) const {
    {
        std::lock_guard<std::mutex> lock(appendMu_);
        auto it = keptMinutes_.find(day);
        if (it != keptMinutes_.end()) {
            const double pre = d > 0 ? daily[d - 1].close : daily[d].open;
            const auto& mins = it->second[size_t(i)];
            if (leads)
                *leads = leadsOf(mins, float(pre));
            return toBars(mins, day, daily[d].open > 0 ? daily[d].open : pre, session::kMinutes);
        }
    }
    const float pre = d > 0 ? daily[d - 1].close : daily[d].open;
    if (minuteDays_.count(i)) {
        std::vector<Bar> out =
            importedMinutes(i)->day(day, daily[d].open > 0 ? daily[d].open : pre);
        if (!out.empty()) {
            if (leads) {
                leads->clear();
                for (const Bar& b : out)
                    leads->push_back(b.close);
            }
            return out;
        }
    }
    const MinuteDay md = gen_->minuteLine(i, day, daily[d], pre);
    if (leads) {
        // No members' minutes for a generated day: the leading index runs a little
        // ahead of the weighted one, as small members swing more, and wanders around it.
        Rng r(mixKey(opt_.seed, 0x6c656164, uint64_t(i), uint64_t(day)));
        leads->clear();
        double w = 0;
        const size_t n = md.points.size();
        for (size_t k = 0; k < n; ++k) {
            w += r.normal();
            const double bridge = w * std::sin(3.14159265 * double(k + 1) / double(n + 1));
            const double px = md.points[k].price;
            leads->push_back(
                float(roundTo(pre * (1 + 1.15 * (px / pre - 1)) * (1 + 0.0004 * bridge), 0.01)));
        }
    }
    std::vector<Bar> out;
    out.reserve(md.points.size());
    float prev = daily[d].open;
    for (const MinutePoint& p : md.points) {
        Bar b;
        b.time = p.time;
        b.open = prev;
        b.close = p.price;
        b.high = std::max(prev, p.price);
        b.low = std::min(prev, p.price);
        b.volume = p.volume;
        b.amount = p.amount;
        out.push_back(b);
        prev = p.price;
    }
    return out;
}

}  // namespace vq::market
