// Sticks between two prices (kind 2) and rectangles spanning bars and prices (kind 10).
#include "chart/chart_style.h"
#include "chart/draw_primitives.h"
#include "chart/output_drawers.h"

#include "libformula/fml.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace chart {

namespace {

bool conditionHolds(float c) {
    return c != 0.0f && c != FMLInvalidValue;
}

// Outlines wider than a pixel go through the pen; thin ones stay pixel-exact.
void drawBoxes(QPainter* painter, const std::vector<QRect>& boxes, bool outlined,
               const QColor& color, float penWidth) {
    if (outlined && penWidth > 1.0f) {
        painter->setPen(stylePen(color, penWidth, 0));
        painter->setBrush(Qt::NoBrush);
        for (const QRect& b : boxes) {
            painter->drawRect(b);
        }
        return;
    }
    PixelRects rects;
    for (const QRect& b : boxes) {
        if (outlined) {
            rects.frame(b.left(), b.top(), b.right(), b.bottom());
        } else {
            rects.fill(b.left(), b.top(), b.right(), b.bottom());
        }
    }
    rects.draw(painter, color);
}

}  // namespace

void drawStickOutput(const OutputJob& job) {
    fml_op_stick r{};
    if (!fml_ctx_op_stick(job.ctx, &r, job.op) || !r.condition || !r.price1 || !r.price2) {
        return;
    }
    const QColor color = style::outputColor(r.color);
    const PaneMap map(job.geo);
    const double w =
        std::max((double(job.geo.barWidth) - job.geo.barGap) * double(r.width_factor), 1.0);
    const int width = std::max(int(w), 1);
    std::vector<QRect> boxes;
    const int last = std::min(job.stop, r.count);
    for (int i = std::max(job.first, 0), k = i - job.first; i < last; ++i, ++k) {
        const float p1 = r.price1[i], p2 = r.price2[i];
        if (!conditionHolds(r.condition[i]) || p1 == FMLInvalidValue || p2 == FMLInvalidValue) {
            continue;
        }
        const int left = pixel(map.slotX(k) - w / 2 + 0.5);
        const int y1 = pixel(map.valueY(p1)), y2 = pixel(map.valueY(p2));
        boxes.emplace_back(QPoint(left, std::min(y1, y2)),
                           QPoint(left + width - 1, std::max(y1, y2)));
    }
    drawBoxes(job.painter, boxes, r.hollow != 0, color, r.width);
}

void drawRectOutput(const OutputJob& job) {
    fml_op_rect r{};
    if (!fml_ctx_op_rect(job.ctx, &r, job.op) || !r.condition || !r.bars || !r.price1 ||
        !r.price2) {
        return;
    }
    const QColor color = style::outputColor(r.color);
    const PaneMap map(job.geo);
    std::vector<QRect> boxes;
    const int last = std::min(job.stop, r.count);
    for (int i = std::max(job.first, 0), k = i - job.first; i < last; ++i, ++k) {
        const float span = r.bars[i], p1 = r.price1[i], p2 = r.price2[i];
        if (!conditionHolds(r.condition[i]) || !std::isfinite(span) || span == FMLInvalidValue ||
            p1 == FMLInvalidValue || p2 == FMLInvalidValue) {
            continue;
        }
        const double bars = std::clamp(double(span), -1e6, 1e6);
        const int x1 = pixel(map.slotX(k)), x2 = pixel(map.slotX(k) + map.step() * int(bars));
        const int y1 = pixel(map.valueY(p1)), y2 = pixel(map.valueY(p2));
        boxes.emplace_back(QPoint(std::min(x1, x2), std::min(y1, y2)),
                           QPoint(std::max(x1, x2), std::max(y1, y2)));
    }
    drawBoxes(job.painter, boxes, r.style == 1, color, r.width);
}

}  // namespace chart
