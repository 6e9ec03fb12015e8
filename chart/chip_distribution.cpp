#include "chart/chip_distribution.h"

#include <algorithm>
#include <cmath>

namespace {

// A bar whose range can be spread: finite, positive prices with the high at or above the low.
bool usable(const KData& b) {
    return std::isfinite(b.high) && std::isfinite(b.low) && b.low > 0 && b.high >= b.low &&
           std::isfinite(b.vol) && b.vol >= 0;
}

}  // namespace

double AverageDistribution::distribute(std::vector<double>& chips, size_t i, size_t n,
                                       double x) const {
    double largest = 0;
    if (n == 0 || i + n > chips.size()) {
        return largest;
    }
    const double share = x / double(n);
    for (size_t k = i; k < i + n; ++k) {
        chips[k] += share;
        largest = std::max(largest, chips[k]);
    }
    return largest;
}

double TriangelDistribution::distribute(std::vector<double>& chips, size_t i, size_t n,
                                        double x) const {
    double largest = 0;
    if (n == 0 || i + n > chips.size()) {
        return largest;
    }
    if (n <= 2) {
        for (size_t k = i; k < i + n; ++k) {
            chips[k] += x / double(n);
            largest = std::max(largest, chips[k]);
        }
        return largest;
    }
    // Rising over the lower half (and the middle bucket of an odd count), falling over the
    // upper half; g is the sum of the steps, so the shares add up to x.
    const long ln = long(n);
    const long r = ln % 2;
    const long h = ln / 2;
    const long d = h + r - 1;
    const long e = ln - d - 2;
    const double t = std::tan(angle_ * 3.1415926 / 180.0);
    const double g = double((e + 1) * e / 2 + (h + r) * d / 2) * t;
    if (g <= 0) {
        return largest;
    }
    const long lower = h + r;
    for (long k = 0; k < lower; ++k) {
        double& c = chips[i + size_t(k)];
        c += double(k) * t * x / g;
        largest = std::max(largest, c);
    }
    for (long j = 0; j < ln - lower; ++j) {
        double& c = chips[i + size_t(lower + j)];
        c += double(e - j) * t * x / g;
        largest = std::max(largest, c);
    }
    return largest;
}

ChipEngine::ChipEngine() {
    static const std::pair<int, QColor> kFar[] = {
        {5, QColor(255, 0, 0)},    {10, QColor(255, 128, 128)}, {20, QColor(255, 0, 128)},
        {30, QColor(255, 100, 0)}, {60, QColor(192, 128, 0)},   {100, QColor(255, 192, 0)}};
    static const std::pair<int, QColor> kNear[] = {
        {100, QColor(0, 64, 128)},   {60, QColor(34, 64, 192)},   {30, QColor(80, 80, 255)},
        {20, QColor(120, 120, 255)}, {10, QColor(160, 160, 255)}, {5, QColor(120, 80, 255)}};
    for (const auto& p : kFar) {
        far_[p.first].color = p.second;
    }
    for (const auto& p : kNear) {
        near_[p.first].color = p.second;
    }
}

void ChipEngine::setBars(const KData* bars, size_t size) {
    bars_ = size > 0 ? bars : nullptr;
    size_ = bars_ ? size : 0;
    count_ = std::min(count_, size_);
}

void ChipEngine::setDecimal(int decimal) {
    decimal_ = decimal > 0 ? std::min(decimal, 6) : 2;
}

void ChipEngine::setType(int type) {
    type_ = type == Far || type == Near ? type : Plain;
}

long ChipEngine::tickOf(double price) const {
    return std::lround(price * scale_);
}

double ChipEngine::shareBelow(double price) const {
    if (empty()) {
        return 0;
    }
    double below = 0;
    for (size_t k = 0; k < chips_.size() && bucketPrice(k) < price; ++k) {
        below += chips_[k];
    }
    return below / total_;
}

void ChipEngine::clearResults() {
    chips_.clear();
    weights_.clear();
    total_ = profit_ = weighted_ = 0;
    maxPrice_ = minPrice_ = close_ = 0;
    minTick_ = 0;
    low90_ = high90_ = conc90_ = low70_ = high70_ = conc70_ = 0;
    // An entry a computation does not reach would otherwise show the share of an earlier one.
    for (auto& e : far_) {
        e.second.snapshot.clear();
        e.second.sum = 0;
        e.second.taken = false;
    }
    for (auto& e : near_) {
        e.second.snapshot.clear();
        e.second.sum = 0;
        e.second.taken = false;
    }
}

void ChipEngine::recompute() {
    clearResults();
    if (count_ == 0 || !bars_) {
        return;
    }
    bool any = false;
    double hi = 0;
    double lo = 0;
    for (size_t k = 0; k < count_; ++k) {
        const KData& b = bars_[k];
        if (!usable(b)) {
            continue;
        }
        hi = any ? std::max(hi, double(b.high)) : double(b.high);
        lo = any ? std::min(lo, double(b.low)) : double(b.low);
        any = true;
    }
    if (!any) {
        return;
    }
    maxPrice_ = hi;
    minPrice_ = lo;
    close_ = bars_[count_ - 1].close;
    scale_ = std::pow(10.0, decimal_);
    while (scale_ > 1e-6 && size_t(tickOf(hi) - tickOf(lo) + 1) > kMaxBuckets) {
        scale_ /= 10;
    }
    minTick_ = tickOf(lo);
    chips_.assign(size_t(tickOf(hi) - minTick_ + 1), 0.0);
    computeWeights();
    spread();
    summarise();
}

void ChipEngine::computeWeights() {
    weights_.assign(count_, 0.0);
    double b = 1;
    for (size_t k = count_; k-- > 0;) {
        const KData& bar = bars_[k];
        weights_[k] = usable(bar) ? double(bar.vol) * 100 * b : 0.0;
        const double turnover = std::isfinite(bar.aux) ? double(bar.aux) : 0.0;
        const double keep = turnover != 0 ? 1 - decay_ * (turnover / 100) : 1 - decay_;
        // A turnover beyond 100 % (bad data) wears everything away, never turns it negative.
        b *= std::clamp(keep, 0.0, 1.0);
    }
}

void ChipEngine::spread() {
    auto spreadBar = [this](size_t k) {
        const KData& bar = bars_[k];
        if (!usable(bar) || weights_[k] <= 0) {
            return;
        }
        const long low = tickOf(bar.low) - minTick_;
        const long high = tickOf(bar.high) - minTick_;
        triangle_.distribute(chips_, size_t(low), size_t(high - low + 1), weights_[k]);
    };
    auto take = [this](ChipPeriodEntry& e) {
        e.snapshot = chips_;
        e.sum = 0;
        for (double c : chips_) {
            e.sum += c;
        }
        e.taken = true;
    };
    if (type_ == Far) {
        // Oldest first: before the bar that starts the last m bars, the chips so far are those
        // bought before them.
        for (size_t k = 0; k < count_; ++k) {
            const auto it = far_.find(int(count_ - k));
            if (it != far_.end()) {
                take(it->second);
            }
            spreadBar(k);
        }
        return;
    }
    // Newest first: after m bars the chips so far are those bought within the last m.
    size_t spread = 0;
    for (size_t k = count_; k-- > 0; ++spread) {
        if (type_ == Near) {
            const auto it = near_.find(int(spread));
            if (it != near_.end()) {
                take(it->second);
            }
        }
        spreadBar(k);
    }
    if (type_ == Near) {
        const auto it = near_.find(int(spread));
        if (it != near_.end()) {
            take(it->second);
        }
    }
}

void ChipEngine::summarise() {
    for (size_t k = 0; k < chips_.size(); ++k) {
        const double q = bucketPrice(k);
        total_ += chips_[k];
        weighted_ += q * chips_[k];
        if (close_ > q) {
            profit_ += chips_[k];
        }
    }
    if (total_ <= 0) {
        return;
    }
    bool l90 = false, h90 = false, l70 = false, h70 = false;
    double cumulative = 0;
    for (size_t k = 0; k < chips_.size() && !(l90 && h90 && l70 && h70); ++k) {
        cumulative += chips_[k];
        const double c = cumulative / total_;
        const double q = bucketPrice(k);
        if (!l90 && c > 0.05) {
            low90_ = q;
            l90 = true;
        }
        if (!h90 && c > 0.95) {
            high90_ = q;
            h90 = true;
        }
        if (!l70 && c > 0.15) {
            low70_ = q;
            l70 = true;
        }
        if (!h70 && c > 0.85) {
            high70_ = q;
            h70 = true;
        }
    }
    conc90_ = low90_ + high90_ > 0 ? (high90_ - low90_) / (low90_ + high90_) : 0;
    conc70_ = low70_ + high70_ > 0 ? (high70_ - low70_) / (low70_ + high70_) : 0;
}
