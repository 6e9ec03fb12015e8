// Research reports a demo server publishes on the largest rated stocks of its market: each
// dated on one of the stock's own trading days, with the rating the market gives the stock
// and figures (close, change, valuation, results) taken from that day's bars.
#pragma once

#include "server/market/market.h"
#include "server/store/publications.h"

#include <vector>

namespace vq::demo {

// `perStock` reports on each stock, spread over its last `days` finished day bars, oldest
// first within a stock.
std::vector<store::Article> researchReports(const market::Market& market,
                                            const std::vector<int>& stocks, int perStock, int days);

}  // namespace vq::demo
