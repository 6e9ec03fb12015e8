#include "server/screening/recent_bars.h"

#include "server/market/calendar.h"
#include "server/market/kline.h"

namespace vq::screening {

RecentBars::RecentBars(const market::Market& market) : market_(market) {
    for (auto& e : entries_) {
        e.resize(market.securities().size());
    }
}

int RecentBars::slotOf(market::Adjust adjust) {
    return adjust == market::Adjust::Forward ? 1 : adjust == market::Adjust::Backward ? 2 : 0;
}

std::vector<market::Bar> RecentBars::dayBars(int i, market::Adjust adjust, int count,
                                             const market::MarketSnapshot& snapshot) {
    std::vector<Entry>& table = entries_[slotOf(adjust)];
    if (i < 0 || size_t(i) >= table.size() || count <= 0 || i >= snapshot.size()) {
        return {};
    }
    const int day = snapshot.tradingDay;
    const int64_t todayClose = market::beijingTime(day, 15, 0);
    std::shared_ptr<const std::vector<market::Bar>> stored;
    std::shared_ptr<const std::vector<market::Dividend>> dividends;
    {
        std::lock_guard<std::mutex> g(stripes_[size_t(i) % kStripes]);
        if (table[size_t(i)].day == day) {
            stored = table[size_t(i)].bars;
            dividends = table[size_t(i)].dividends;
        }
    }
    if (!stored) {
        // Read outside the lock: generating a history takes a while and other securities of
        // the same stripe should not wait for it.
        std::vector<market::Bar> bars =
            market_.kline(i, market::Cycle::Day, 0, kDepth + 1, adjust).bars;
        if (!bars.empty() && bars.back().time >= todayClose) {
            bars.pop_back();  // today's bar: taken from the snapshot instead
        }
        if (bars.size() > size_t(kDepth)) {
            bars.erase(bars.begin(), bars.end() - kDepth);
        }
        stored = std::make_shared<const std::vector<market::Bar>>(std::move(bars));
        if (adjust != market::Adjust::None) {
            dividends = std::make_shared<const std::vector<market::Dividend>>(market_.dividends(i));
        }
        std::lock_guard<std::mutex> g(stripes_[size_t(i) % kStripes]);
        table[size_t(i)] = Entry{day, stored, dividends};
    }
    const market::Quote& q = snapshot.quote(i);
    const bool traded = q.open > 0;
    const size_t keep = size_t(count) - (traded ? 1 : 0);
    const size_t from = stored->size() > keep ? stored->size() - keep : 0;
    std::vector<market::Bar> out(stored->begin() + long(from), stored->end());
    if (traded) {
        market::Bar t;
        t.time = todayClose;
        t.open = q.open;
        t.high = q.high;
        t.low = q.low;
        t.close = q.close;
        t.volume = q.vol;
        t.amount = q.sum;
        out.push_back(t);
        if (dividends) {
            // The market's own adjustment on this one bar gives the factor of the series.
            std::vector<market::Bar> one{t};
            market::adjustPrices(one, *dividends, adjust);
            out.back() = one.front();
        }
    }
    return out;
}

}  // namespace vq::screening
