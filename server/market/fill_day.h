// Day bars of a trading day the server did not see (it was not running), so the history
// has no hole between the stored days and today.
#pragma once

#include "server/market/types.h"
#include "server/market/universe.h"

#include <cstdint>
#include <vector>

namespace vq::market {

// Every traded security takes one step of the daily model from its last close `pre`, with
// a volume around the average of its recent day volumes `recentVol` (its float turnover
// without any); indices and blocks follow their members. The same seed and day give the
// same bars.
std::vector<Bar> fillDay(const Universe& u, uint64_t seed, int day, const std::vector<double>& pre,
                         const std::vector<std::vector<double>>& recentVol);

}  // namespace vq::market
