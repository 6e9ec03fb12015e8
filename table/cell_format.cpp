#include "table/cell_format.h"

#include <algorithm>

namespace cellformat {

namespace {

// `v` with `places` decimals; a value that rounds to zero is shown without a sign, so a
// change of -0.001 reads "0.00" rather than "-0.00".
QString number(double v, int places) {
    QString text = QString::number(v, 'f', places);
    const auto nonZeroDigit = [](QChar c) {
        return c >= QLatin1Char('1') && c <= QLatin1Char('9');
    };
    if (text.startsWith(QLatin1Char('-')) && std::none_of(text.begin(), text.end(), nonZeroDigit)) {
        text.remove(0, 1);
    }
    return text;
}

}  // namespace

QString price(double v, int decimals) {
    if (v == 0)
        return QStringLiteral("-");
    return number(v, qBound(0, decimals, 6));
}

QString fixed(double v) {
    if (v == 0)
        return QStringLiteral("-");
    return number(v, 2);
}

QString rate(double v, double latest) {
    if (v == 0)
        return latest != 0 ? QStringLiteral("0.00%") : QStringLiteral("-");
    return number(v, 2) + QLatin1Char('%');
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
