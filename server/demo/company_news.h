// Company announcements a demo server publishes, each following the market's own data: the
// shareholder meeting that approved a dividend and its implementation notice before the
// stock's ex-rights day, and the unusual-movement notice after three trading days whose
// closes ran well ahead of (or behind) the exchange's index.
#pragma once

#include "server/market/market.h"
#include "server/store/publications.h"

#include <vector>

namespace vq::demo {

// Announcements of `stocks` dated within [firstDay, lastDay] (yyyymmdd), in stock order.
std::vector<store::Article> companyNews(const market::Market& market,
                                        const std::vector<int>& stocks, int firstDay, int lastDay);

}  // namespace vq::demo
