// The columns of one series of bars that formulas read by name (closes, highs, volumes ...),
// gathered once per evaluation pass and lent to every formula of the pass instead of being copied
// into each formula's own buffer.
#ifndef VQ_CHART_BAR_COLUMNS_H
#define VQ_CHART_BAR_COLUMNS_H

#include "chart/kdata.h"

#include <algorithm>
#include <iterator>
#include <vector>

class BarColumns {
public:
    enum Field { Open, High, Low, Close, Volume, Amount, Date, AveragePrice, Timestamp, Count };

    BarColumns() { std::fill(std::begin(pass_), std::end(pass_), -1); }

    // The column of `field` over `bars`, gathered the first time evaluation pass `pass` asks for
    // it. It stays as it is until a later pass asks for it, so the results of formulas that read
    // it in place remain valid between passes.
    const std::vector<float>& column(const KSeries& bars, Field field, int pass);
    // One bar's value of a field (the time's bits as a float for Timestamp).
    static float valueOf(const KData& bar, Field field);

private:
    std::vector<float> columns_[Count];
    int pass_[Count];  // the pass each column was gathered in; -1: none yet
};

#endif
