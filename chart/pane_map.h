// The bar-slot and value-to-pixel mappings of one pane, shared by every drawer and painter.
#ifndef VQ_CHART_PANE_MAP_H
#define VQ_CHART_PANE_MAP_H

#include "chart/chart_geometry.h"
#include "chart/ctx_data.h"

#include <cmath>

namespace chart {

class PaneMap {
public:
    explicit PaneMap(const PaneGeometry& g)
        : max_(g.max),
          min_(g.min),
          left_(g.rect.left()),
          top_(g.rect.top()),
          barWidth_(g.barWidth),
          step_(double(g.barWidth) + double(g.barGap)),
          scale_(valueScale(g)) {}

    // Centre of the k-th visible slot (k = bar index - begin).
    double slotX(int k) const { return step_ * k + left_ + barWidth_ * 0.5; }
    // Pixel row of a value: max at the plot top, min one past its bottom.
    double valueY(double v) const { return (max_ - v) * scale_ + top_; }
    // The value at a pixel row.
    double yValue(double y) const { return max_ - (y - top_) / scale_; }
    double scale() const { return scale_; }
    // Distance between neighbouring slot centres.
    double step() const { return step_; }

private:
    double max_, min_;
    double left_, top_;
    double barWidth_, step_;
    double scale_;
};

// Integer pixel column or row of a mapped coordinate, for lines that must land on whole pixels.
// Far-off values (a huge output, a not-a-number) are pinned well outside any image instead of
// overflowing the conversion.
inline int pixel(double v) {
    constexpr double kFar = 1e7;
    if (!(v > -kFar)) {
        return int(-kFar);
    }
    return v < kFar ? int(std::floor(v)) : int(kFar);
}

}  // namespace chart

#endif
