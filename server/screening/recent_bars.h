// The last day bars of every security, kept for screening. A whole-market screen reads every
// security's history, far more than the market keeps generated at once, so each screen would
// otherwise rebuild most histories. The stored part (every finished day) is kept per trading
// day; today's bar comes from the snapshot the screen reads, so a screen sees the live market.
#pragma once

#include "server/market/market.h"

#include <memory>
#include <mutex>
#include <vector>

namespace vq::screening {

class RecentBars {
public:
    static constexpr int kDepth = 500;  // bars kept per security; deeper requests go to the market

    explicit RecentBars(const market::Market& market);

    // The newest `count` day bars of security i (count <= kDepth), prices adjusted as asked,
    // ending with today's bar from `snapshot` when the security has traded today. Safe to
    // call from many threads.
    std::vector<market::Bar> dayBars(int i, market::Adjust adjust, int count,
                                     const market::MarketSnapshot& snapshot);

private:
    struct Entry {
        int day = 0;  // trading day the stored bars were read on; 0: not read yet
        std::shared_ptr<const std::vector<market::Bar>> bars;
        // Ex-rights events for adjusting today's bar like the rest (adjusted series only).
        std::shared_ptr<const std::vector<market::Dividend>> dividends;
    };
    static int slotOf(market::Adjust adjust);

    const market::Market& market_;
    std::vector<Entry> entries_[3];  // by adjustment, indexed by security
    static constexpr size_t kStripes = 64;
    std::mutex stripes_[kStripes];
};

}  // namespace vq::screening
