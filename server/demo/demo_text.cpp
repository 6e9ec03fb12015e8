#include "server/demo/demo_text.h"

#include <QLocale>
#include <cmath>

namespace vq::demo {

QString dayText(int ymd) {
    return QStringLiteral("%1-%2-%3")
        .arg(ymd / 10000, 4, 10, QLatin1Char('0'))
        .arg(ymd / 100 % 100, 2, 10, QLatin1Char('0'))
        .arg(ymd % 100, 2, 10, QLatin1Char('0'));
}

QString monthDayText(int ymd) {
    return QStringLiteral("%1月%2日").arg(ymd / 100 % 100).arg(ymd % 100);
}

QString grouped(double value, int decimals) {
    static const QLocale english(QLocale::English, QLocale::UnitedStates);
    return english.toString(value, 'f', decimals);
}

QString percent(double fraction, bool sign) {
    const double rounded = std::round(fraction * 10000) / 100;
    const QString digits = QString::number(std::abs(rounded), 'f', 2) + QLatin1Char('%');
    if (rounded < 0) {
        return QLatin1Char('-') + digits;
    }
    return sign && rounded > 0 ? QLatin1Char('+') + digits : digits;
}

QString hundredMillions(double yuan) {
    return grouped(yuan / 1e8) + QStringLiteral("亿元");
}

QString riseWord(double change) {
    return change > 0   ? QStringLiteral("涨")
           : change < 0 ? QStringLiteral("跌")
                        : QStringLiteral("平");
}

QString ratingWord(int rating) {
    return QString::fromUtf8(market::ratingText(rating));
}

QString codeOf(const market::Security& s) {
    return QString::fromStdString(s.code);
}

QString nameOf(const market::Security& s) {
    return QString::fromStdString(s.name);
}

}  // namespace vq::demo
