#include "chart/chart_painters.h"

namespace chart {

ScalesPainter scalesPainter(const QString& name) {
    if (name == QLatin1String("KSCALES")) {
        return paintKScales;
    }
    if (name == QLatin1String("MSCALES")) {
        return paintMScales;
    }
    return nullptr;
}

CrosshairPainter crosshairPainter(const QString& name) {
    if (name == QLatin1String("KCROSSHAIR")) {
        return paintKCrosshair;
    }
    if (name == QLatin1String("MCROSSHAIR")) {
        return paintMCrosshair;
    }
    return nullptr;
}

}  // namespace chart
