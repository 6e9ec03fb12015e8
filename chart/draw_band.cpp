// The area between two series (kind 6): colour 1 where series 1 lies above series 2, colour 2
// where it lies below.
#include "chart/chart_style.h"
#include "chart/output_drawers.h"

#include "libformula/fml.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>

namespace chart {

void drawBandOutput(const OutputJob& job) {
    fml_op_band r{};
    if (!fml_ctx_op_band(job.ctx, &r, job.op) || !r.series1 || !r.series2) {
        return;
    }
    const QColor color1 = style::outputColor(r.color1);
    const QColor color2 = style::outputColor(r.color2);
    const PaneMap map(job.geo);
    const double bottom = job.geo.rect.bottom() + 1;
    QPolygonF upper, lower;
    const int last = std::min(job.stop, r.count);
    for (int i = std::max(job.first, 0), k = i - job.first; i < last; ++i, ++k) {
        if (r.series1[i] != FMLInvalidValue) {
            upper.append(QPointF(map.slotX(k), map.valueY(r.series1[i])));
        }
        if (r.series2[i] != FMLInvalidValue) {
            lower.append(QPointF(map.slotX(k), map.valueY(r.series2[i])));
        }
    }
    if (upper.size() < 2 || lower.size() < 2) {
        return;
    }
    // A: along series 1 and back along series 2. B: series 1 down to the plot bottom. Inside A,
    // the part also inside B lies below series 1, where series 1 is the higher value.
    QPolygonF between = upper;
    for (int j = lower.size() - 1; j >= 0; --j) {
        between.append(lower[j]);
    }
    QPolygonF underFirst = upper;
    underFirst.append(QPointF(upper.last().x(), bottom));
    underFirst.append(QPointF(upper.first().x(), bottom));
    QPainterPath a, b;
    a.addPolygon(between);
    a.closeSubpath();
    b.addPolygon(underFirst);
    b.closeSubpath();

    QPainter* p = job.painter;
    p->save();
    p->setRenderHint(QPainter::Antialiasing, true);
    p->setPen(Qt::NoPen);
    p->setClipPath(a, Qt::IntersectClip);
    p->fillPath(a, color2);
    p->fillPath(b, color1);
    p->restore();
}

}  // namespace chart
