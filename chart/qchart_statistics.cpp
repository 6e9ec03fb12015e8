// Interval statistics: counts, prices, changes, volume and turnover over a range of bars.
#include "chart/qchart.h"
#include "paint/cpaint_board.h"
#include "paint/cpaint_shapes.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {

// K-line bars carry their local date packed as (year - 1900) * 10000 + month * 100 + day, which
// formats without a time-zone conversion per bar; minute bars carry their time there instead.
QString dateText(const KData& bar) {
    if (bar.date > 0 && bar.date < 10000000u) {
        char text[16];
        std::snprintf(text, sizeof(text), "%04u-%02u-%02u", bar.date / 10000 + 1900,
                      bar.date / 100 % 100, bar.date % 100);
        return QString::fromLatin1(text);
    }
    return QDateTime::fromSecsSinceEpoch(qint64(bar.time)).toString(QStringLiteral("yyyy-MM-dd"));
}

QString priceText(double v, int decimal) {
    return v == 0 || !std::isfinite(v) ? QStringLiteral("-") : QString::number(v, 'f', decimal);
}

QString percentText(double v) {
    return (v == 0 || !std::isfinite(v) ? QStringLiteral("-") : QString::number(v, 'f', 2)) +
           QStringLiteral("%");
}

QString amountText(double v) {
    if (v > 100000000.0) {
        return QString::number(v / 100000000.0, 'f', 2) + QStringLiteral("亿");
    }
    if (v > 10000.0) {
        return QString::number(v / 10000.0, 'f', 2) + QStringLiteral("万");
    }
    return QString::number(v, 'f', 0);
}

QString countText(int n) {
    return QStringLiteral("%1个").arg(n);
}

QJsonObject entry(const QString& name, const QString& value) {
    QJsonObject o;
    o.insert(QStringLiteral("name"), name);
    o.insert(QStringLiteral("vol"), value);
    return o;
}

}  // namespace

QJsonObject QChart::intervalStatistics(int anStart, int anEnd) const {
    const int count = getFirstKLineSize();
    if (count == 0 || !getCTXData(0)) {
        return QJsonObject();
    }
    // A range given end first is the same range.
    if (anStart > anEnd) {
        std::swap(anStart, anEnd);
    }
    const int s = std::max(anStart, 0);
    const int e = std::min(anEnd, count - 1);
    if (s >= count || e < 0 || s > e) {
        return QJsonObject();
    }
    const KSeries& bars = *series_[0];
    const KData& base = bars[size_t(s > 0 ? s - 1 : s)];
    const double m = base.close;

    double hi = bars[size_t(s)].high;
    double lo = bars[size_t(s)].low;
    int64_t volume = 0;
    int64_t amount = 0;
    double turnover = 0;
    int up = 0;
    int down = 0;
    int flat = 0;
    for (int k = s; k <= e; ++k) {
        const KData& b = bars[size_t(k)];
        hi = std::max(hi, double(b.high));
        lo = std::min(lo, double(b.low));
        if (std::isfinite(b.vol) && b.vol != FMLInvalidValue) {
            volume += int64_t(b.vol);
        }
        if (std::isfinite(b.sum) && b.sum != FMLInvalidValue) {
            amount += int64_t(b.sum);
        }
        if (b.aux != FMLInvalidValue) {
            turnover += b.aux;
        }
        if (b.close > b.open) {
            ++up;
        } else if (b.close < b.open) {
            ++down;
        } else {
            ++flat;
        }
    }
    const int total = e - s + 1;
    const double last = bars[size_t(e)].close;
    const double change = last - m;
    const double rise = m != 0 ? change / m * 100.0 : 0.0;
    const double amplitude = m != 0 ? (hi - lo) / m * 100.0 : 0.0;
    const int decimal = getDecimal();

    QJsonArray dates;
    for (const KData& b : bars) {
        dates.append(dateText(b));
    }
    QJsonArray array1;
    array1.append(entry(QStringLiteral("总数"), countText(total)));
    array1.append(entry(QStringLiteral("阴线"), countText(down)));
    array1.append(entry(QStringLiteral("起始价"), priceText(m, decimal)));
    array1.append(entry(QStringLiteral("最高"), priceText(hi, decimal)));
    array1.append(entry(QStringLiteral("涨幅"), percentText(rise)));
    array1.append(entry(QStringLiteral("振幅"), percentText(amplitude)));
    array1.append(entry(QStringLiteral("成交量"), amountText(double(volume))));
    QJsonArray array2;
    array2.append(entry(QStringLiteral("阳线"), countText(up)));
    array2.append(entry(QStringLiteral("平线"), countText(flat)));
    array2.append(entry(QStringLiteral("终止价"), priceText(last, decimal)));
    array2.append(entry(QStringLiteral("最低"), priceText(lo, decimal)));
    array2.append(entry(QStringLiteral("涨跌"), priceText(change, decimal)));
    array2.append(entry(QStringLiteral("换手率"), percentText(turnover * 100.0)));
    array2.append(entry(QStringLiteral("成交金额"), amountText(double(amount))));

    QJsonObject json;
    json.insert(QStringLiteral("dates"), dates);
    json.insert(QStringLiteral("sdate"), dateText(bars[size_t(s)]));
    json.insert(QStringLiteral("edate"), dateText(bars[size_t(e)]));
    json.insert(QStringLiteral("array1"), array1);
    json.insert(QStringLiteral("array2"), array2);
    return json;
}

void QChart::setISStartEndIndex(int anStart, int anEnd) {
    QJsonObject json = intervalStatistics(anStart, anEnd);
    if (json.isEmpty()) {
        return;
    }
    const int count = getFirstKLineSize();
    isStart_ = std::max(std::min(anStart, anEnd), 0);
    isEnd_ = std::min(std::max(anStart, anEnd), count - 1);
    isStartTime_ = (*series_[0])[size_t(isStart_)].time;
    isEndTime_ = (*series_[0])[size_t(isEnd_)].time;
    placeISBand();
    update();
    emit showIntervalStatistics(json);
}

void QChart::setISStartEnd(QString asStart, QString asEnd) {
    if (series_.empty()) {
        return;
    }
    int start = -1;
    int end = -1;
    const KSeries& bars = *series_[0];
    for (size_t k = 0; k < bars.size(); ++k) {
        const QString d = dateText(bars[k]);
        if (d == asStart) {
            start = int(k);
        }
        if (d == asEnd) {
            end = int(k);
            break;
        }
    }
    if (start >= 0 && end >= 0) {
        isStart_ = start;
        isEnd_ = end;
        setISStartEndIndex(start, end);
    }
    update();
}

void QChart::startIS() {
    isSelecting_ = true;
    isStart_ = isEnd_ = -1;
    paintBoard_->releaseDefaultTool();
    isBand_->reset();
    // The next plain press on the board starts the band (the board's default tool).
    paintBoard_->setDefaultTool(isBand_.get());
    paintBoard_->setActive(true);
    update();
}

void QChart::clearIS() {
    isSelecting_ = false;
    isStart_ = isEnd_ = -1;
    isStartTime_ = isEndTime_ = 0;
    paintBoard_->releaseDefaultTool();
    isBand_->reset();
    update();
}

void QChart::onPaintComplete(void* p) {
    // A band dragged out, or one of its edges dragged afterwards: the statistics of its bars.
    // Other finished tools need nothing.
    if (p != isBand_.get() || !isBand_->start.isSet() || !isBand_->end.isSet()) {
        return;
    }
    isSelecting_ = false;
    setISStartEndIndex(isBand_->start.index, isBand_->end.index);
}
