#include "chart/qchart_extend.h"

#include "chart/chart_geometry.h"
#include "chart/chart_style.h"
#include "chart/qchart.h"

#include <QFontMetrics>
#include <QHash>
#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

const QString kName = QStringLiteral("name");
const QString kData = QStringLiteral("data");
const QString kTime = QStringLiteral("time");
const QString kType = QStringLiteral("type");
const QString kColor = QStringLiteral("color");
const QString kContent = QStringLiteral("content");
const QString kDetailed = QStringLiteral("detailed");
const QString kXpos = QStringLiteral("xpos");

// Icons by name, loaded once. The formula icons ship as PNG in the chart's resources; an
// ".ico" of the same name is looked for first so that added icons need no code.
const QImage& eventIcon(const QString& name) {
    static QHash<QString, QImage> cache;
    auto it = cache.find(name);
    if (it == cache.end()) {
        QImage image(QStringLiteral(":/images/icon_fml/%1.ico").arg(name));
        if (image.isNull()) {
            image = QImage(QStringLiteral(":/images/icon_fml/%1.png").arg(name));
        }
        it = cache.insert(name, image);
    }
    return *it;
}

}  // namespace

QChartExtend::QChartExtend(QQuickItem* parent) : QQuickPaintedItem(parent) {
    setAcceptedMouseButtons(Qt::NoButton);
}

void QChartExtend::setQChart(QChart* chart) {
    if (chart_) {
        disconnect(chart_, nullptr, this, nullptr);
    }
    chart_ = chart;
    lastTip_ = -1;
    if (chart_) {
        connect(chart_, &QChart::dataUpdate, this, &QChartExtend::onDataUpdate);
        connect(chart_, &QChart::reCalcShow, this, &QChartExtend::onReCalcShow);
    }
    update();
}

void QChartExtend::appendExtendData(QJsonObject json) {
    groups_.append(json);
    lastTip_ = -1;
    placeEvents();
    update();
}

void QChartExtend::removeExtendData(QString name) {
    for (int i = groups_.size() - 1; i >= 0; --i) {
        if (groups_.at(i).toObject().value(kName).toString() == name) {
            groups_.removeAt(i);
            lastTip_ = -1;
            update();
        }
    }
}

void QChartExtend::onDataUpdate() {
    update();
}

void QChartExtend::onReCalcShow(int, int, int, int) {
    update();
}

bool QChartExtend::chartReady() const {
    if (!chart_ || chart_->getKLineCount() == 0 || chart_->getFirstKLineSize() == 0) {
        return false;
    }
    const CTXData* main = chart_->getCTXData(0);
    return main && main->ctx != 0;
}

int QChartExtend::barOfTime(qint64 t) const {
    const std::vector<KData>* bars = chart_ ? chart_->getKData(0) : nullptr;
    if (!bars || bars->empty()) {
        return -1;
    }
    // Bars ascend in time: the first one at or after the event is its bar, so an event on a
    // day without trading lands on the next trading day.
    const auto it = std::lower_bound(bars->begin(), bars->end(), t,
                                     [](const KData& b, qint64 v) { return qint64(b.time) < v; });
    if (it == bars->end()) {
        return -1;
    }
    // Before the first bar nothing says which bar the event belongs to.
    if (it == bars->begin() && qint64(it->time) != t) {
        return -1;
    }
    return int(it - bars->begin());
}

void QChartExtend::placeEvents() {
    const bool ready = chartReady();
    const CTXData* main = ready ? chart_->getCTXData(0) : nullptr;
    const int begin = ready ? chart_->getBegin() : 0;
    for (int g = 0; g < groups_.size(); ++g) {
        QJsonObject group = groups_.at(g).toObject();
        QJsonArray events = group.value(kData).toArray();
        for (int i = 0; i < events.size(); ++i) {
            QJsonObject e = events.at(i).toObject();
            e.remove(kXpos);
            if (ready) {
                const int bar = barOfTime(qint64(e.value(kTime).toDouble()));
                const int slot = bar - begin;
                if (bar >= 0 && slot >= 0) {
                    const double x = chart::slotCentre(main->geo, slot);
                    if (x >= main->geo.rect.left() && x <= main->geo.rect.right()) {
                        e.insert(kXpos, slot);
                    }
                }
            }
            events.replace(i, e);
        }
        group.insert(kData, events);
        groups_.replace(g, group);
    }
}

void QChartExtend::paint(QPainter* painter) {
    placeEvents();
    if (!chartReady()) {
        return;
    }
    const CTXData* main = chart_->getCTXData(0);
    painter->setFont(chart::style::font());
    const QFontMetrics metrics(chart::style::font());
    for (const QJsonValue& gv : groups_) {
        for (const QJsonValue& ev : gv.toObject().value(kData).toArray()) {
            const QJsonObject e = ev.toObject();
            if (!e.value(kXpos).isDouble()) {
                continue;
            }
            const double x = chart::slotCentre(main->geo, e.value(kXpos).toInt());
            const QString content = e.value(kContent).toString();
            if (e.value(kType).toString() == QLatin1String("image")) {
                const QImage& icon = eventIcon(content);
                if (!icon.isNull()) {
                    painter->drawImage(QRectF(x - 8, (height() - 16) / 2, 16, 16), icon);
                }
                continue;
            }
            const QColor color(e.value(kColor).toString());
            painter->setPen(color.isValid() ? color : chart::style::penColor());
            const double w = metrics.horizontalAdvance(content) + 2;
            painter->drawText(QRectF(x - w / 2, 0, w, height()), Qt::AlignCenter, content);
        }
    }
}

bool QChartExtend::mouseMove(int x, int y) {
    if (y < this->y() || y >= this->y() + height() || !chartReady()) {
        lastTip_ = -1;
        return false;
    }
    const CTXData* main = chart_->getCTXData(0);
    const double w = chart::slotWidth(main->geo);
    const double k = w > 0 ? std::floor((x - main->geo.rect.left()) / w) : -1;
    const int slot = std::isfinite(k) ? int(std::clamp(k, -1.0, 1e6)) : -1;
    bool any = false;
    QJsonArray found;
    for (const QJsonValue& gv : groups_) {
        for (const QJsonValue& ev : gv.toObject().value(kData).toArray()) {
            const QJsonObject e = ev.toObject();
            const QJsonValue xpos = e.value(kXpos);
            if (!xpos.isDouble() || xpos.toInt() != slot) {
                continue;
            }
            any = true;
            const QJsonValue detailed = e.value(kDetailed);
            if (detailed.isString() && !detailed.toString().isEmpty()) {
                found.append(e);
            }
        }
    }
    if (found.isEmpty()) {
        lastTip_ = -1;
    } else if (slot != lastTip_) {
        lastTip_ = slot;
        emit activeTip(x, y, found);
    }
    return any;
}
