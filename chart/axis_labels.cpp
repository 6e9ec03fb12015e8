#include "chart/axis_labels.h"

#include "chart/output_drawers.h"
#include "chart/pane_map.h"

#include "libformula/fml.h"

#include <algorithm>

namespace chart {

bool isPriceFormula(const QString& name) {
    return name == QLatin1String("KLINE") || name == QLatin1String("MLINE");
}

QString unitText(double value, int unitDecimals) {
    if (value > 100000000.0) {
        return QString::number(value / 100000000.0, 'f', unitDecimals) + QStringLiteral("亿");
    }
    if (value > 10000.0) {
        return QString::number(value / 10000.0, 'f', unitDecimals) + QStringLiteral("万");
    }
    return QString::number(value, 'f', 2);
}

QString valueText(const CTXData& d, double value, int unitDecimals) {
    if (isPriceFormula(d.name)) {
        return QString::number(value, 'f', std::max(d.decimal(), 0));
    }
    return unitText(value, unitDecimals);
}

QString percentText(double value, double base) {
    return QString::number((value - base) / base * 100.0, 'f', 2) + QLatin1Char('%');
}

double minuteBase(const CTXData& d) {
    float base = 0;
    if (d.ctx != 0 && firstArgumentValue(d.ctx, "_CC", &base) && base != 0.0f) {
        return base;
    }
    return (double(d.geo.max) + d.geo.min) / 2.0;
}

CrosshairTexts crosshairTexts(const CTXData& d, int y, bool percentRight) {
    const double value = PaneMap(d.geo).yValue(y);
    CrosshairTexts texts;
    texts.left = valueText(d, value, 2);
    if (!percentRight) {
        texts.right = texts.left;
        return texts;
    }
    const double base = minuteBase(d);
    if (base != 0) {
        texts.right = percentText(value, base);
    }
    return texts;
}

}  // namespace chart
