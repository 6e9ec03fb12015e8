// Stock pools for a new demo server. An operator publishes pools with `pool set`; a demo
// server starts with three, chosen from the market's own figures, so that the stock-pool
// view shows real lists on a fresh machine.
#pragma once

#include "server/market/market.h"
#include "server/store/publications.h"

#include <QString>
#include <vector>

namespace vq::demo {

struct PoolChoice {
    QString groupId, name;
    std::vector<store::PoolCode> codes;  // best first
};

// The largest companies by market value, the lowest positive price-earnings ratios and the
// largest companies rated "buy"; stocks without a risk warning only, `size` at most in each.
std::vector<PoolChoice> choosePools(const market::Market& market, int size = 30);

// Publishes choosePools() when no pool is published yet; true when it did.
bool seedPools(store::Publications& publications, const market::Market& market);

}  // namespace vq::demo
