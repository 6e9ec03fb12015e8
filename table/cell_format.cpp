#include "table/cell_format.h"

namespace cellformat {

QString price(double v, int decimals) {
    if (v == 0)
        return QStringLiteral("-");
    return QString::number(v, 'f', qBound(0, decimals, 6));
}

QString fixed(double v) {
    if (v == 0)
        return QStringLiteral("-");
    return QString::number(v, 'f', 2);
}

QString rate(double v, double latest) {
    if (v == 0)
        return latest != 0 ? QStringLiteral("0.00%") : QStringLiteral("-");
    return QString::number(v, 'f', 2) + QLatin1Char('%');
}

QString amount(double v) {
    // Amounts are shown at single precision, as they travel in most records.
    const double f = double(float(v));
    if (f > 100000000.0)
        return QString::number(f / 100000000.0, 'f', 2) + QStringLiteral("亿");
    if (f > 10000.0)
        return QString::number(f / 10000.0, 'f', 2) + QStringLiteral("万");
    return QString::number(f, 'f', 0);
}

QString riseColor(double a, double b) {
    if (a == 0 || a == b)
        return kFlat;
    return a > b ? kRise : kFall;
}

}  // namespace cellformat
