#include "bridge/hutil.h"

#include <QFont>
#include <QFontMetrics>
#include <QNetworkInterface>

#include "bridge/machine_id.h"
#include "bridge/updater_launch.h"

namespace {

// Views pass either Qt's own weight scale (0-99, Font.Bold = 75) or a CSS weight (100-900).
int qtFontWeight(int weight) {
    if (weight <= 99) {
        return qMax(0, weight);
    }
    static const int css[] = {0, 12, 25, 50, 57, 63, 75, 81, 87};
    const int index = qBound(0, (weight + 50) / 100 - 1, 8);
    return css[index];
}

}  // namespace

HUtil::HUtil(QObject* parent) : QObject(parent) {}

QVariant HUtil::getPriceColor(float close, float pclose) const {
    if (close == pclose || close == 0.0f) {
        return QString::fromLatin1(kFlatColor);
    }
    return QString::fromLatin1(close > pclose ? kRiseColor : kFallColor);
}

QVariant HUtil::getWindColor(const QString& tag) const {
    if (tag == QLatin1String("B")) {
        return QString::fromLatin1(kRiseColor);
    }
    if (tag == QLatin1String("S")) {
        return QString::fromLatin1(kFallColor);
    }
    return QString::fromLatin1(kFlatColor);
}

QVariant HUtil::formatPrice(float price, uint fixed) const {
    if (price == 0.0f) {
        return QStringLiteral("-");
    }
    return QString::number(price, 'f', int(fixed));
}

QVariant HUtil::formatRate(float price, uint fixed, float cur_close) const {
    if (price != 0.0f) {
        return QString::number(price, 'f', int(fixed)) + QLatin1Char('%');
    }
    return cur_close != 0.0f ? QStringLiteral("0.00%") : QStringLiteral("-");
}

QVariant HUtil::formatVol(float vol) const {
    const double value = vol;
    if (value > 100000000.0) {
        return QString::number(value / 100000000.0, 'f', 2) + QStringLiteral("亿");
    }
    if (value > 10000.0) {
        return QString::number(value / 10000.0, 'f', 2) + QStringLiteral("万");
    }
    return QString::number(value, 'f', 0);
}

QVariant HUtil::formatFixed(float f, uint fixed) const {
    return QString::number(f, 'f', int(fixed));
}

QVariant HUtil::mac() const {
    QString best;
    const auto interfaces = QNetworkInterface::allInterfaces();
    for (const QNetworkInterface& iface : interfaces) {
        const auto flags = iface.flags();
        if (!(flags & QNetworkInterface::IsUp) || !(flags & QNetworkInterface::IsRunning) ||
            (flags & QNetworkInterface::IsLoopBack)) {
            continue;
        }
        const QString address = iface.hardwareAddress();
        if (!address.isEmpty() && address > best) {
            best = address;
        }
    }
    return best;
}

QVariant HUtil::getCpuId() const {
    return bridge::processorId();
}

QVariant HUtil::getDiskNum() const {
    return bridge::firstDiskSerial();
}

QVariant HUtil::updateExe() const {
    return bridge::launchUpdater();
}

QVariant HUtil::stringWidth(const QString& str, const QString& name, int size, int weight) const {
    QFont font(name);
    font.setPixelSize(qMax(1, size));
    font.setWeight(qtFontWeight(weight));
    return QFontMetrics(font).horizontalAdvance(str);
}
