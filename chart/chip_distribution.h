// The cost distribution of a security's shares ("chips"): every bar's volume is spread over the
// bar's price range, older volume is worn away by the turnover of the bars after it, and the
// result is summarised as profit ratio, average cost and the 90 % and 70 % cost ranges. Pure
// computation over a bar array, so the panel item and the tests share it.
#ifndef VQ_CHART_CHIP_DISTRIBUTION_H
#define VQ_CHART_CHIP_DISTRIBUTION_H

#include "chart/kdata.h"

#include <QColor>

#include <cstddef>
#include <map>
#include <vector>

// How one bar's amount is laid over the price buckets it spans.
class IDistribution {
public:
    virtual ~IDistribution() = default;
    // Adds x over the n buckets from bucket i on; returns the largest bucket touched.
    virtual double distribute(std::vector<double>& chips, size_t i, size_t n, double x) const = 0;
};

// x / n in every bucket.
class AverageDistribution : public IDistribution {
public:
    double distribute(std::vector<double>& chips, size_t i, size_t n, double x) const override;
};

// A triangle peaking in the middle of the range: most of a day's trading happened between its
// extremes, little at the high and the low themselves.
class TriangelDistribution : public IDistribution {
public:
    explicit TriangelDistribution(double angle = 45.0) : angle_(angle) {}
    double distribute(std::vector<double>& chips, size_t i, size_t n, double x) const override;

private:
    double angle_;
};

// One period of the far or near map: the chips bought before (far) or within (near) the last
// `period` bars, as of the last computation that reached that many bars.
struct ChipPeriodEntry {
    QColor color;
    std::vector<double> snapshot;
    double sum = 0;
    bool taken = false;
};

class ChipEngine {
public:
    enum Type { Plain = 0, Far = 1, Near = 2 };
    // Above this many buckets the price step grows tenfold (an index spanning thousands of
    // points would otherwise need millions of buckets for every crosshair move).
    static constexpr size_t kMaxBuckets = 100000;

    ChipEngine();

    // The bars are not copied; they must outlive the next recompute.
    void setBars(const KData* bars, size_t size);
    size_t barSize() const { return size_; }
    void setBarCount(size_t count) { count_ = count < size_ ? count : size_; }
    size_t barCount() const { return count_; }
    // Prices have this many decimals; 0 or less means two.
    void setDecimal(int decimal);
    void setType(int type);
    int type() const { return type_; }
    void setDecayFactor(double a) { decay_ = a; }

    void recompute();

    // ---- results ----
    bool empty() const { return chips_.empty() || total_ <= 0; }
    const std::vector<double>& chips() const { return chips_; }
    const std::vector<double>& weights() const { return weights_; }
    double tickSize() const { return 1.0 / scale_; }
    double minPrice() const { return minPrice_; }
    double maxPrice() const { return maxPrice_; }
    double bucketPrice(size_t k) const { return double(minTick_ + long(k)) / scale_; }
    double total() const { return total_; }
    double profit() const { return profit_; }
    double profitRatio() const { return total_ > 0 ? profit_ / total_ : 0; }
    double averageCost() const { return total_ > 0 ? weighted_ / total_ : 0; }
    // The close the profit is measured against: that of bar count - 1.
    double close() const { return close_; }
    double low90() const { return low90_; }
    double high90() const { return high90_; }
    double concentration90() const { return conc90_; }
    double low70() const { return low70_; }
    double high70() const { return high70_; }
    double concentration70() const { return conc70_; }
    // Share of the chips in buckets priced below `price`.
    double shareBelow(double price) const;

    const std::map<int, ChipPeriodEntry>& farMap() const { return far_; }
    const std::map<int, ChipPeriodEntry, std::greater<int>>& nearMap() const { return near_; }

private:
    long tickOf(double price) const;
    void clearResults();
    void computeWeights();
    void spread();
    void summarise();

    const KData* bars_ = nullptr;
    size_t size_ = 0;
    size_t count_ = 0;
    int decimal_ = 2;
    double scale_ = 100;
    double decay_ = 1.0;
    int type_ = Plain;
    TriangelDistribution triangle_;

    double maxPrice_ = 0;
    double minPrice_ = 0;
    long minTick_ = 0;
    double close_ = 0;
    std::vector<double> chips_;
    std::vector<double> weights_;
    double total_ = 0;
    double profit_ = 0;
    double weighted_ = 0;
    double low90_ = 0, high90_ = 0, conc90_ = 0;
    double low70_ = 0, high70_ = 0, conc70_ = 0;

    std::map<int, ChipPeriodEntry> far_;
    std::map<int, ChipPeriodEntry, std::greater<int>> near_;
};

#endif
