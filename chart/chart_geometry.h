// The pixel mapping of a pane: bar slots across, values down. Kept finite for degenerate
// panes (no height, a flat range) so that callers never divide by zero.
#ifndef VQ_CHART_CHART_GEOMETRY_H
#define VQ_CHART_CHART_GEOMETRY_H

#include "chart/ctx_data.h"

#include <cmath>

namespace chart {

// Pixels per value unit: rect height / (max - min), or 1 for a flat or unusable range.
inline double valueScale(const PaneGeometry& g) {
    if (g.max == g.min) {
        return 1.0;
    }
    const double s = double(g.rect.height()) / (double(g.max) - double(g.min));
    return std::isfinite(s) && s != 0.0 ? s : 1.0;
}

// Width of one bar slot; 0 when the pane has no width.
inline double slotWidth(const PaneGeometry& g) {
    return double(g.barWidth) + double(g.barGap);
}

// Centre pixel of visible slot k (bar index - begin).
inline double slotCentre(const PaneGeometry& g, double k) {
    return slotWidth(g) * k + g.rect.left() + double(g.barWidth) * 0.5;
}

inline double valueToPixel(const PaneGeometry& g, double v) {
    return (double(g.max) - v) * valueScale(g) + g.rect.top();
}

inline double pixelToValue(const PaneGeometry& g, double y) {
    return double(g.max) - (y - g.rect.top()) / valueScale(g);
}

}  // namespace chart

#endif
