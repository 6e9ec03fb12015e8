#include "chart/chart_painters.h"

namespace chart {

ScalesPainter scalesPainter(const QString& name) {
    Q_UNUSED(name);
    return nullptr;
}

CrosshairPainter crosshairPainter(const QString& name) {
    Q_UNUSED(name);
    return nullptr;
}

}  // namespace chart
