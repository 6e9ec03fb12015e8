// Generated daily history. Each security's path is built backwards from today's price
// level: the newest bars come first, so the few bars the live session needs at start (the
// last close, the five-day volume) cost a handful of steps, and a full series is made only
// when a chart asks for it. Returns mix a market factor, an industry factor and the
// security's own fat-tailed noise, with volatility (and with it volume) that clusters;
// moves stop at the price limits; yearly dividends, bonus shares and rights issues happen
// on their ex-dates. Indices and blocks are cap-weighted averages of their members.
#pragma once

#include "server/market/types.h"
#include "server/market/universe.h"

#include <cstdint>
#include <functional>
#include <vector>

namespace vq::market {

struct DailySeries {
    std::vector<Bar> bars;  // ascending
    std::vector<int> days;  // yyyymmdd of each bar
    std::vector<Dividend> dividends;
};

class HistoryGenerator {
public:
    // `calendar`: the trading days of the generated history, ascending; the last one is the
    // day whose close is each security's base price.
    HistoryGenerator(const Universe& universe, uint64_t seed, std::vector<int> calendar);

    const std::vector<int>& calendar() const { return calendar_; }

    // The newest `newest` bars of a traded security (stock, B share, fund, bond); 0 for
    // all of them. Dividends are included only for a full series.
    DailySeries generate(int security, size_t newest = 0) const;

    // Every index and block series, from one pass over all members. Indexed by security;
    // entries of traded securities stay empty. `seriesOf` gives a member's full series
    // (imported data where there is some); by default the generated one. Member days the
    // calendar does not have are passed over.
    std::vector<DailySeries> aggregates(
        const std::function<DailySeries(int)>& seriesOf = nullptr) const;

    // The minute line of a history day, drawn between the bar's open and close through its
    // high and low, with volume heavier at the open and the close. Deterministic per
    // security and day.
    MinuteDay minuteLine(int security, int day, const Bar& bar, float preClose) const;

    std::vector<FinancialYear> financials(int security) const;

private:
    struct Step;
    const Universe& u_;
    uint64_t seed_;
    std::vector<int> calendar_;
    std::vector<double> market_;                 // market factor return per day
    std::vector<std::vector<double>> industry_;  // industry factor return per day
};

// Rounds a price to its step.
double roundTo(double price, double tick);

}  // namespace vq::market
