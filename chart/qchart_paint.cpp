// The chart item's own layer over the layer images: value axis, crosshair with its labels, the
// interval selection, and the drawing tools.
#include "chart/chart_geometry.h"
#include "chart/chart_painters.h"
#include "chart/qchart.h"

#include <QDateTime>
#include <QPainter>

#include <algorithm>

void QChart::paint(QPainter* painter) {
    if (layers_.empty() || layers_[0]->empty() || series_.empty()) {
        return;
    }
    CTXData& main = (*layers_[0])[0];
    if (chart::ScalesPainter scales = chart::scalesPainter(main.scales)) {
        const int grid = main.name == QLatin1String("KLINE")   ? 3
                         : main.name == QLatin1String("MLINE") ? 5
                                                               : 1;
        painter->save();
        scales(painter, grid, main, begin_, end_, kShowNumber_);
        painter->restore();
    }
    if (chart::CrosshairPainter crosshair = chart::crosshairPainter(main.crosshair)) {
        painter->save();
        crosshair(painter, main, mouseX_, mouseY_, begin_, end_ + 1, showCrosshair_);
        painter->restore();
    }
    paintInterval(painter, main);
    paintDrawingTools(painter, main);
}

void QChart::paintInterval(QPainter* painter, const CTXData& main) const {
    if (isStart_ < 0 || isEnd_ < 0) {
        return;
    }
    const PaneGeometry& g = main.geo;
    const double w = chart::slotWidth(g);
    const int first = std::min(isStart_, isEnd_);
    const int last = std::max(isStart_, isEnd_);
    // The band covers whole bar slots and is cut to the plot.
    const double x1 = std::max(double(g.rect.left()), g.rect.left() + (first - begin_) * w);
    const double x2 = std::min(double(g.rect.right()), g.rect.left() + (last - begin_ + 1) * w);
    if (x2 < x1 || g.rect.height() <= 0) {
        return;
    }
    const QColor color(255, 255, 255, 0x80);
    painter->save();
    const QRectF band(x1, g.rect.top(), x2 - x1, g.rect.height());
    painter->fillRect(band, QColor(255, 255, 255, 0x30));
    painter->setPen(QPen(color, 1));
    painter->drawLine(QPointF(band.left(), band.top()), QPointF(band.left(), band.bottom()));
    painter->drawLine(QPointF(band.right(), band.top()), QPointF(band.right(), band.bottom()));
    QFont font(QStringLiteral("Microsoft YaHei"));
    font.setPixelSize(12);
    painter->setFont(font);
    painter->setPen(QColor(255, 255, 255));
    const KSeries& bars = *series_[0];
    auto label = [&bars](int k) {
        if (k < 0 || k >= int(bars.size())) {
            return QString();
        }
        return QDateTime::fromSecsSinceEpoch(qint64(bars[size_t(k)].time))
            .toString(QStringLiteral("yyyy-MM-dd HH:mm"));
    };
    const int y = g.rect.bottom() - 30;
    painter->drawText(QPointF(x1 + 2, y), label(first));
    const double endX = x2 + 63 < g.rect.right() ? x2 + 2 : x2 - 64;
    if (last != first) {
        painter->drawText(QPointF(endX, y), label(last));
    }
    painter->restore();
}
