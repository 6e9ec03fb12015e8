// Candlesticks and the minute price line (kind 11).
#include "chart/chart_style.h"
#include "chart/draw_primitives.h"
#include "chart/output_drawers.h"

#include "libformula/fml.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace chart {

namespace {

enum KLineStyle { kMinuteLine = -11, kOverlayCandles = -9 };

bool valid(float v) {
    return v != FMLInvalidValue;
}

// The price line of a minute chart over a gradient that fades towards the plot bottom.
void drawMinuteLine(const OutputJob& job, const fml_op_k_line& r) {
    const float* price = r.high;
    if (!price) {
        return;
    }
    const PaneMap map(job.geo);
    PolylineRuns runs;
    const int last = std::min(job.stop, r.count);
    for (int i = std::max(job.first, 0), k = i - job.first; i < last; ++i, ++k) {
        if (!valid(price[i])) {
            runs.breakRun();
            continue;
        }
        runs.add(map.slotX(k), map.valueY(price[i]));
    }
    const QRect& rect = job.geo.rect;
    const double bottom = rect.bottom() + 1;
    QLinearGradient fade(0, rect.top(), 0, bottom);
    fade.setColorAt(0, QColor(30, 57, 100, 150));
    fade.setColorAt(1, QColor(0, 0, 0, 10));
    QPainter* p = job.painter;
    p->setPen(Qt::NoPen);
    for (const QVector<QPointF>& run : runs.runs()) {
        if (run.size() < 2) {
            continue;
        }
        QPolygonF area(run);
        area.append(QPointF(run.last().x(), bottom));
        area.append(QPointF(run.first().x(), bottom));
        QPainterPath path;
        path.addPolygon(area);
        p->fillPath(path, fade);
    }
    p->setPen(stylePen(style::paletteColor(0), 1.0f, 0));
    p->setBrush(Qt::NoBrush);
    runs.draw(p);
}

}  // namespace

void drawKLineOutput(const OutputJob& job) {
    fml_op_k_line r{};
    if (!fml_ctx_op_k_line(job.ctx, &r, job.op)) {
        return;
    }
    if (r.style == kMinuteLine) {
        drawMinuteLine(job, r);
        return;
    }
    if (!r.high || !r.open || !r.low || !r.close) {
        return;
    }
    QColor upColor = style::upColor(), downColor = style::downColor();
    float overlay = 0;
    if (r.style == kOverlayCandles && firstArgumentValue(job.ctx, "_color", &overlay)) {
        upColor = downColor = style::fromRgbBits(overlay);
    }

    // An odd body width keeps the shadow on the middle column of the body.
    int d = std::max(int(job.geo.barWidth - job.geo.barGap), 1);
    if (d % 2 == 0) {
        d -= 1;
    }
    const int h = d / 2;
    const PaneMap map(job.geo);
    PixelRects up, down;
    const int first = std::max(job.first, 0);
    const int last = std::min(job.stop, r.count);
    for (int i = first, k = i - job.first; i < last; ++i, ++k) {
        const float hi = r.high[i], op = r.open[i], lo = r.low[i], cl = r.close[i];
        if (!valid(hi) || !valid(op) || !valid(lo) || !valid(cl)) {
            continue;
        }
        const float previous = i > 0 && valid(r.close[i - 1]) ? r.close[i - 1] : 0.0f;
        const bool rising = cl > op || (cl == op && cl > previous);
        const int cx = pixel(map.slotX(k));
        const int yOpen = pixel(map.valueY(op)), yClose = pixel(map.valueY(cl));
        const int bodyTop = std::min(yOpen, yClose), bodyBottom = std::max(yOpen, yClose);
        const int yHigh = pixel(map.valueY(hi)), yLow = pixel(map.valueY(lo));
        PixelRects& rects = rising ? up : down;
        if (yHigh < bodyTop) {
            rects.vline(cx, yHigh, bodyTop);
        }
        if (yLow > bodyBottom) {
            rects.vline(cx, bodyBottom, yLow);
        }
        if (rising) {
            rects.frame(cx - h, bodyTop, cx - h + d - 1, bodyBottom);
        } else {
            rects.fill(cx - h, bodyTop, cx - h + d - 1, bodyBottom);
        }
    }
    up.draw(job.painter, upColor);
    down.draw(job.painter, downColor);
}

}  // namespace chart
