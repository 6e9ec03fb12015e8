#include "server/market/kline.h"

#include "server/market/calendar.h"

#include <algorithm>
#include <cmath>

namespace vq::market {

namespace {

void merge(Bar& into, const Bar& b, bool first) {
    if (first) {
        into = b;
        return;
    }
    into.time = b.time;
    into.high = std::max(into.high, b.high);
    into.low = std::min(into.low, b.low);
    into.close = b.close;
    into.volume += b.volume;
    into.amount += b.amount;
}

int64_t groupKey(int64_t time, Cycle cycle) {
    const int day = beijingDate(time);
    if (cycle == Cycle::Month)
        return day / 100;
    const int64_t days = daysFromDate(day);
    const int wd = weekday(day);           // Sunday 0
    return days - (wd == 0 ? 6 : wd - 1);  // the Monday of its week
}

}  // namespace

std::vector<Bar> aggregateDays(const std::vector<Bar>& days, Cycle cycle) {
    std::vector<Bar> out;
    int64_t key = INT64_MIN;
    for (const Bar& b : days) {
        const int64_t k = groupKey(b.time, cycle);
        const bool first = k != key;
        if (first)
            out.emplace_back();
        merge(out.back(), b, first);
        key = k;
    }
    return out;
}

std::vector<Bar> aggregateMinutes(const std::vector<Bar>& dayMinutes, int minutes) {
    if (minutes <= 1)
        return dayMinutes;
    std::vector<Bar> out;
    for (size_t i = 0; i < dayMinutes.size(); ++i) {
        // Index within the day, counted per session so bars never span the lunch break.
        const size_t inSession = i < 120 ? i : i - 120;
        const bool first = inSession % size_t(minutes) == 0;
        if (first)
            out.emplace_back();
        merge(out.back(), dayMinutes[i], first);
    }
    return out;
}

void adjustPrices(std::vector<Bar>& bars, const std::vector<Dividend>& dividends, Adjust adjust) {
    if (adjust == Adjust::None || dividends.empty() || bars.empty())
        return;
    // Start of each ex-date (Beijing midnight): bars from then on are after the event.
    std::vector<std::pair<int64_t, double>> ev;
    for (const Dividend& d : dividends)
        if (d.factor > 0 && d.factor != 1)
            ev.emplace_back(beijingTime(d.exDate, 0, 0), d.factor);
    std::sort(ev.begin(), ev.end());
    if (ev.empty())
        return;
    auto scale = [](Bar& b, double f) {
        b.open = float(b.open * f);
        b.high = float(b.high * f);
        b.low = float(b.low * f);
        b.close = float(b.close * f);
    };
    if (adjust == Adjust::Forward) {
        // Walk from the newest bar back, multiplying in each event as it is passed.
        double f = 1;
        size_t e = ev.size();
        for (size_t i = bars.size(); i-- > 0;) {
            while (e > 0 && bars[i].time < ev[e - 1].first)
                f *= ev[--e].second;
            if (f != 1)
                scale(bars[i], f);
        }
    } else {
        double f = 1;
        size_t e = 0;
        for (Bar& b : bars) {
            while (e < ev.size() && b.time >= ev[e].first)
                f /= ev[e++].second;
            if (f != 1)
                scale(b, f);
        }
    }
}

KLinePage pageOf(const std::vector<Bar>& bars, int64_t skip, int64_t rows) {
    KLinePage p;
    p.total = int64_t(bars.size());
    if (rows <= 0 || skip < 0 || skip >= p.total)
        return p;
    const int64_t end = p.total - skip;
    const int64_t begin = std::max<int64_t>(0, end - rows);
    p.bars.assign(bars.begin() + begin, bars.begin() + end);
    p.skipped = skip;
    return p;
}

}  // namespace vq::market
