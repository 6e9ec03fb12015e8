// Coordinate mapping on the main formula's pane and the per-bar queries the views call on every
// pointer move.
#include "chart/chart_geometry.h"
#include "chart/qchart.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>

namespace {

int toPixel(double v) {
    if (!std::isfinite(v)) {
        return 0;
    }
    return int(std::clamp(v, double(INT_MIN), double(INT_MAX)));
}

}  // namespace

int QChart::barAtPixel(double x) const {
    const CTXData* d = getCTXData(0);
    if (!d) {
        return 0;
    }
    const double w = chart::slotWidth(d->geo);
    double k = w > 0 ? std::trunc((x - d->geo.rect.left()) / w) : 0.0;
    if (!std::isfinite(k)) {
        k = 0;
    }
    k = std::clamp(double(begin_) + k, double(begin_), double(std::max(end_, begin_)));
    return int(k);
}

int QChart::getXPoint(double x) const {
    return getCTXData(0) ? barAtPixel(x) : 0;
}

int QChart::getPointX(double x) const {
    const CTXData* d = getCTXData(0);
    return d ? toPixel(chart::slotCentre(d->geo, x)) : 0;
}

double QChart::getYPoint(int y) const {
    const CTXData* d = getCTXData(0);
    return d ? chart::pixelToValue(d->geo, y) : 0.0;
}

int QChart::getPointY(double y) const {
    const CTXData* d = getCTXData(0);
    return d ? toPixel(chart::valueToPixel(d->geo, y)) : 0;
}

float QChart::getPosDataF(int x_pos, QString tag) const {
    const KData* k = getPosKData(x_pos);
    if (!k) {
        return FMLInvalidValue;
    }
    if (tag == QLatin1String("open")) {
        return k->open;
    }
    if (tag == QLatin1String("high")) {
        return k->high;
    }
    if (tag == QLatin1String("low")) {
        return k->low;
    }
    if (tag == QLatin1String("close")) {
        return k->close;
    }
    if (tag == QLatin1String("sum")) {
        return k->sum;
    }
    if (tag == QLatin1String("vol")) {
        return k->vol;
    }
    if (tag == QLatin1String("p_close")) {
        return k->p_close;
    }
    if (tag == QLatin1String("avg_price")) {
        return k->avg_price;
    }
    return FMLInvalidValue;
}

QString QChart::getPosDataS(int x_pos, QString tag) const {
    const KData* k = getPosKData(x_pos);
    if (!k || !getCTXData(0)) {
        return QString();
    }
    if (tag == QLatin1String("date") || tag == QLatin1String("time")) {
        const QDateTime t = QDateTime::fromSecsSinceEpoch(qint64(k->time));
        return QLocale().toString(t, QStringLiteral("yyyy-MM-dd dddd HH:mm:ss"));
    }
    const int decimal = getDecimal();
    if (tag == QLatin1String("open")) {
        return QString::number(double(k->open), 'f', decimal);
    }
    if (tag == QLatin1String("high")) {
        return QString::number(double(k->high), 'f', decimal);
    }
    if (tag == QLatin1String("low")) {
        return QString::number(double(k->low), 'f', decimal);
    }
    if (tag == QLatin1String("close")) {
        return QString::number(double(k->close), 'f', decimal);
    }
    if (tag == QLatin1String("p_close")) {
        return QString::number(double(k->p_close), 'f', decimal);
    }
    if (tag == QLatin1String("sum")) {
        return QString::number(double(k->sum), 'f', 2);
    }
    if (tag == QLatin1String("vol")) {
        return QString::number(double(k->vol), 'f', 2);
    }
    return QString();
}

uint QChart::getPosTime(int x) const {
    const CTXData* d = getCTXData(0);
    if (!d || !d->series || d->series->empty()) {
        return 0;
    }
    int i = std::clamp(x, begin_, std::max(begin_, end_));
    if (i < 1) {
        i = 0;
    }
    if (tsCacheEvaluation_ != evaluation_) {
        // One read-back per evaluation: the VM copies the series on every request.
        tsCache_.clear();
        if (const float* ts = namedSeries(*d, "_TS")) {
            tsCache_.assign(ts, ts + d->series->size());
        }
        tsCacheEvaluation_ = evaluation_;
    }
    if (i >= int(tsCache_.size())) {
        return 0;
    }
    uint t;
    std::memcpy(&t, &tsCache_[size_t(i)], sizeof(t));
    return t;
}

QList<int> QChart::getTimeBarTime(int n) const {
    QList<int> times;
    if (series_.empty() || series_[0]->empty()) {
        return times;
    }
    if (getMainName() == QLatin1String("MLINE")) {
        // The hour marks of a trading day from its open, the midday break left out. Minute bars
        // are stamped with the minute they close (09:31 for the first), so the open is the
        // first bar's time taken down to its half hour; Beijing's offset from UTC is a whole
        // number of half hours, so this works on the UTC seconds.
        int t0 = int(getPosTime(0));
        t0 -= t0 % 1800;
        for (int offset : {0, 3600, 7200, 12600, 16200, 19800}) {
            times.append(t0 + offset);
        }
        return times;
    }
    if (n <= 1) {
        times.append(int(getPosTime(begin_)));
        return times;
    }
    n = std::min(n, 4096);
    const double step = double(end_ - begin_) / double(n - 1);
    for (int k = 0; k < n; ++k) {
        times.append(int(getPosTime(begin_ + int(double(k) * step))));
    }
    return times;
}

QString QChart::getPosTitle(int x) const {
    const CTXData* d = getCTXData(0);
    if (!d || d->ctx == 0) {
        return QString();
    }
    char buffer[1024] = {};
    fml_text text{buffer, int32_t(sizeof(buffer))};
    fml_ctx_output_selected_value(d->ctx, x, &text, FML_SELECTED_TEXT);
    return QString::fromUtf8(buffer);
}
