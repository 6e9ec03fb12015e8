// Building the K-line cycles from day bars and minute bars, price adjustment around
// ex-rights events, and paging. Pure functions over plain vectors.
#pragma once

#include "server/market/types.h"

#include <vector>

namespace vq::market {

// Week (Monday to Friday) or month bars from ascending day bars. Each bar takes the time
// of the last day in it.
std::vector<Bar> aggregateDays(const std::vector<Bar>& days, Cycle cycle);

// Bars of `minutes` minutes from the 240 one-minute bars of one day (or the first part of
// them during a session). A bar closes at the end of its last minute; the two sessions are
// never mixed (a 60-minute bar ends at 10:30, 11:30, 14:00, 15:00). A partial last group
// makes the unfinished current bar.
std::vector<Bar> aggregateMinutes(const std::vector<Bar>& dayMinutes, int minutes);

// Forward adjustment leaves the newest prices as they traded and scales earlier bars down
// by each later event's factor; backward adjustment leaves the oldest prices and scales
// later bars up. A bar on or after an ex-date is "after" that event.
void adjustPrices(std::vector<Bar>& bars, const std::vector<Dividend>& dividends, Adjust adjust);

// The newest `rows` bars after leaving out the newest `skip`.
KLinePage pageOf(const std::vector<Bar>& bars, int64_t skip, int64_t rows);

}  // namespace vq::market
