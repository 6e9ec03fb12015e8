#include "chart/cchip_distribution.h"

#include "chart/chart_geometry.h"
#include "chart/qchart.h"

#include <QDate>
#include <QLoggingCategory>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>

Q_LOGGING_CATEGORY(chipTiming, "vq.timing")

namespace {

QString fixedText(const char* field, size_t size) {
    return QString::fromUtf8(field, int(strnlen(field, size)));
}

}  // namespace

CChipDistribution::CChipDistribution(QQuickItem* parent) : QQuickPaintedItem(parent) {
    setOpaquePainting(true);
    setFillColor(QColor(0, 0, 0));
    setVisible(false);
    connect(this, &QQuickItem::visibleChanged, this, &CChipDistribution::onVisibleChanged);
    connect(this, &CChipDistribution::securityNameChanged, this, [this] { update(); });
}

void CChipDistribution::bindSyncDataSignal(QObject* obj) {
    if (chart_) {
        disconnect(chart_, nullptr, this, nullptr);
    }
    chart_ = qobject_cast<QChart*>(obj);
    cursorKnown_ = false;
    engine_.setBars(nullptr, 0);
    engine_.setBarCount(0);
    if (!chart_) {
        engine_.recompute();
        update();
        return;
    }
    connect(chart_, &QChart::syncUpdateKData, this, &CChipDistribution::onSyncUpdateKData);
    connect(chart_, &QChart::crosshairChange, this, &CChipDistribution::onCrosshairChange);
    connect(chart_, &QChart::reCalcShow, this, &CChipDistribution::onReCalcShow);
    // A chart that goes away (a new security rebuilds the main chart) leaves no dangling bars.
    connect(chart_, &QObject::destroyed, this, [this] {
        engine_.setBars(nullptr, 0);
        engine_.setBarCount(0);
        engine_.recompute();
        update();
    });
    onVisibleChanged();
}

void CChipDistribution::setChipType(int type) {
    const int before = engine_.type();
    engine_.setType(type);
    if (engine_.type() == before) {
        return;
    }
    emit chipTypeChanged();
    if (isVisible() && active()) {
        rebindBars();
        recompute();
    }
    update();
}

bool CChipDistribution::active() const {
    if (!chart_ || chart_->getLineType() != QLatin1String("kline")) {
        return false;
    }
    const CTXData* main = chart_->getCTXData(0);
    return main && main->ctx != 0;
}

QString CChipDistribution::dateText() const {
    const size_t count = engine_.barCount();
    if (!chart_ || count == 0) {
        return QString();
    }
    const KData* bar = chart_->getPosKData(int(count) - 1);
    if (!bar) {
        return QString();
    }
    const QDate d(int(bar->date / 10000) + 1900, int(bar->date / 100 % 100), int(bar->date % 100));
    return d.toString(QStringLiteral("yyyy-MM-dd"));
}

void CChipDistribution::synchronise() {
    const CTXData* main = chart_->getCTXData(0);
    rect_ = main->geo.rect;
    chartMax_ = main->geo.max;
    chartMin_ = main->geo.min;
    begin_ = chart_->getBegin();
    end_ = chart_->getEnd();
    const std::vector<KData>* bars = chart_->getKData(0);
    const int size = bars ? int(bars->size()) : 0;
    visibleHigh_ = visibleLow_ = 0;
    bool any = false;
    for (int k = std::max(begin_, 0); k <= end_ && k < size; ++k) {
        const KData& b = (*bars)[size_t(k)];
        if (!std::isfinite(b.high) || !std::isfinite(b.low)) {
            continue;
        }
        visibleHigh_ = any ? std::max(visibleHigh_, double(b.high)) : double(b.high);
        visibleLow_ = any ? std::min(visibleLow_, double(b.low)) : double(b.low);
        any = true;
    }
    code_ = fixedText(main->security.code, sizeof(main->security.code));
    name_ = fixedText(main->security.name, sizeof(main->security.name));
    engine_.setDecimal(main->security.decimal);
    engine_.setBars(size > 0 ? bars->data() : nullptr, size_t(size));
    // Before the first crosshair move the distribution describes the newest bar.
    const int crosshair = chart_->getCrosshairPos();
    size_t count = engine_.barCount() != 0 && crosshair >= 0 ? size_t(crosshair) + 1 : size_t(size);
    engine_.setBarCount(std::min(count, size_t(size)));
}

void CChipDistribution::recompute() {
    const auto started = std::chrono::steady_clock::now();
    engine_.recompute();
    const auto us = std::chrono::duration_cast<std::chrono::microseconds>(
                        std::chrono::steady_clock::now() - started)
                        .count();
    // Every crosshair move recomputes: only the moves that miss the 2 ms budget are logged.
    if (us > 2000) {
        qCInfo(chipTiming) << "chip distribution over" << engine_.barCount() << "bars:" << us
                           << "us";
    }
    emit computed();
}

void CChipDistribution::rebindBars() {
    // The chart may have reallocated its series since the last synchronisation.
    const std::vector<KData>* bars = chart_->getKData(0);
    const size_t count = engine_.barCount();
    engine_.setBars(bars && !bars->empty() ? bars->data() : nullptr, bars ? bars->size() : 0);
    engine_.setBarCount(count);
}

void CChipDistribution::followCrosshair(int x, bool force) {
    rebindBars();
    const CTXData* main = chart_->getCTXData(0);
    if (main && chart_->getMousePosY() >= 0) {
        const double s = chart::valueScale(main->geo);
        cursorPrice_ = double(main->geo.max) - (chart_->getMousePosY() - main->geo.rect.top()) / s;
        cursorKnown_ = true;
    }
    if (engine_.barSize() > 0 && x >= 0) {
        const size_t before = engine_.barCount();
        engine_.setBarCount(size_t(x) + 1);
        if ((force || engine_.barCount() != before) && isVisible()) {
            recompute();
        }
    }
    update();
}

void CChipDistribution::onSyncUpdateKData() {
    if (!active()) {
        return;
    }
    synchronise();
    if (isVisible()) {
        recompute();
    }
    update();
}

double CChipDistribution::cursorPrice() const {
    // Until the pointer has been over the chart the figure describes the close.
    return cursorKnown_ ? cursorPrice_ : engine_.close();
}

void CChipDistribution::onCrosshairChange(QChart* src, int x, int y) {
    Q_UNUSED(src);
    Q_UNUSED(y);
    if (!active()) {
        return;
    }
    followCrosshair(x);
}

void CChipDistribution::onReCalcShow(int begin, int end, int showNumber, int x_pos) {
    Q_UNUSED(begin);
    Q_UNUSED(end);
    Q_UNUSED(showNumber);
    if (!active()) {
        return;
    }
    synchronise();
    followCrosshair(x_pos, true);
}

void CChipDistribution::onVisibleChanged() {
    if (!isVisible() || !active()) {
        return;
    }
    synchronise();
    recompute();
    update();
}
