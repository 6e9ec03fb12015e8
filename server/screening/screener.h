// Runs a screen: every member of the chosen block is evaluated on its own VM context, spread
// over worker threads that each own one VM, and the members whose conditions hold on their
// last bar are returned in member order.
#pragma once

#include "server/market/market.h"
#include "server/screening/condition_set.h"
#include "server/screening/recent_bars.h"

#include <atomic>
#include <vector>

namespace vq::screening {

struct ScreenProgress {
    std::atomic<bool> cancel{false};  // set by anyone; workers stop at the next security
    std::atomic<int> done{0};         // securities evaluated so far
};

// One worker's evaluator: a VM with one context per condition. Not shared between threads.
class ConditionEvaluator {
public:
    explicit ConditionEvaluator(const ScreenRequest& request);
    ~ConditionEvaluator();
    ConditionEvaluator(const ConditionEvaluator&) = delete;
    ConditionEvaluator& operator=(const ConditionEvaluator&) = delete;

    bool valid() const { return valid_; }
    // Whether the conditions hold on the last of these bars. No bars: false.
    bool matches(const market::Security& security, const std::vector<market::Bar>& bars);
    // The value the i-th condition reads on the last bar after `matches` (missing if none).
    float lastValue(size_t i) const;

private:
    float evaluate(size_t i, int n);

    const ScreenRequest& request_;
    int vm_ = 0;
    std::vector<int> ctx_;
    std::vector<float> last_;
    struct Inputs;
    Inputs* inputs_;
    bool valid_ = false;
};

// Members of the request's block (an unknown block has none).
std::vector<int> screenUniverse(const market::Market& market, const ScreenRequest& request);

// The members of `universe` that match, in universe order. threads <= 0: one per core.
// A cancelled screen returns what it found so far; check progress.cancel to tell. Day bars
// come through `recent` when given and deep enough, otherwise from the market.
std::vector<int> runScreen(const market::Market& market, const ScreenRequest& request,
                           const std::vector<int>& universe, int threads, ScreenProgress* progress,
                           RecentBars* recent = nullptr);

}  // namespace vq::screening
