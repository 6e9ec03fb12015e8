#include "chart/bar_columns.h"

#include <cstring>

float BarColumns::valueOf(const KData& b, Field which) {
    switch (which) {
        case BarColumns::Open:
            return b.open;
        case BarColumns::High:
            return b.high;
        case BarColumns::Low:
            return b.low;
        case BarColumns::Close:
            return b.close;
        case BarColumns::Volume:
            return b.vol;
        case BarColumns::Amount:
            return b.sum;
        case BarColumns::Date:
            return float(b.date);
        case BarColumns::AveragePrice:
            return b.avg_price;
        default: {
            float f;
            std::memcpy(&f, &b.time, sizeof f);
            return f;
        }
    }
}

const std::vector<float>& BarColumns::column(const KSeries& bars, Field which, int pass) {
    std::vector<float>& c = columns_[which];
    if (pass_[which] != pass || c.size() != bars.size()) {
        pass_[which] = pass;
        c.resize(bars.size());
        for (size_t k = 0; k < bars.size(); ++k) {
            c[k] = valueOf(bars[k], which);
        }
    }
    return c;
}
