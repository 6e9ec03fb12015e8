#include "server/demo/demo_market.h"

#include "server/market/calendar.h"

#include <algorithm>
#include <utility>

namespace vq::demo {

int barDay(const market::Bar& bar) {
    return market::beijingDate(bar.time);
}

int lastFinishedDay(const market::Market& market) {
    const market::SnapshotPtr snap = market.snapshot();
    return snap->phase == market::Phase::AfterClose ? snap->tradingDay
                                                    : market::previousTradingDay(snap->tradingDay);
}

int tradingDaysBefore(int day, int count) {
    for (int k = 0; k < count; ++k) {
        day = market::previousTradingDay(day);
    }
    return day;
}

std::vector<market::Bar> finishedBars(const market::Market& market, int security, int rows,
                                      market::Adjust adjust) {
    const int last = lastFinishedDay(market);
    // One more than asked for: today's unfinished bar may come last.
    std::vector<market::Bar> bars =
        market.kline(security, market::Cycle::Day, 0, rows + 1, adjust).bars;
    while (!bars.empty() && barDay(bars.back()) > last) {
        bars.pop_back();
    }
    if (int(bars.size()) > rows) {
        bars.erase(bars.begin(), bars.end() - rows);
    }
    return bars;
}

std::map<int, double> closesByDay(const std::vector<market::Bar>& bars) {
    std::map<int, double> out;
    for (const market::Bar& b : bars) {
        out[barDay(b)] = b.close;
    }
    return out;
}

std::vector<int> largestStocks(const market::Market& market, int count, bool rated) {
    const market::SnapshotPtr snap = market.snapshot();
    std::vector<std::pair<double, int>> ranked;
    for (const market::Security& s : market.securities()) {
        if (s.type != market::SecType::Stock || s.st || (rated && s.rating <= 0) ||
            s.index >= snap->size()) {
            continue;
        }
        const vqp::Snapshot& q = snap->quote(s.index);
        const double price = q.close > 0 ? q.close : q.pre_close;
        if (price > 0) {
            ranked.emplace_back(-double(s.totalShares) * price, s.index);
        }
    }
    std::stable_sort(ranked.begin(), ranked.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    std::vector<int> out;
    for (size_t k = 0; k < ranked.size() && int(k) < count; ++k) {
        out.push_back(ranked[k].second);
    }
    return out;
}

}  // namespace vq::demo
