// Curves and horizontal lines: kind 1 by its style code, and kind 8.
#include "chart/chart_style.h"
#include "chart/draw_primitives.h"
#include "chart/output_drawers.h"

#include "libformula/fml.h"

#include <QPainter>

#include <algorithm>

namespace chart {

namespace {

// Style codes of a kind-1 output.
enum LineStyle {
    kDashDot = 1,
    kColorSticks = 2,
    kVolumeSticks = 4,
    kHidden = -1,
    kHiddenOverlay = -7,
    kOverlayColor = -8,
};

int lastIndex(const OutputJob& job, int count) {
    return std::min(job.stop, count);
}

// MACD-style bars: one pixel column from zero to the value, up colour above zero.
void drawColorSticks(const OutputJob& job, const fml_op_line& r) {
    const PaneMap map(job.geo);
    const int y0 = pixel(map.valueY(0));
    PixelRects up, down;
    for (int i = std::max(job.first, 0), k = i - job.first; i < lastIndex(job, r.count); ++i, ++k) {
        const float v = r.values[i];
        if (v == FMLInvalidValue) {
            continue;
        }
        (v > 0 ? up : down).vline(pixel(map.slotX(k)), y0, pixel(map.valueY(v)));
    }
    up.draw(job.painter, style::upColor());
    down.draw(job.painter, style::downColor());
}

// Volume bars: as wide as a candle, hollow on a rising bar and filled on a falling one.
void drawVolumeSticks(const OutputJob& job, const fml_op_line& r) {
    const PaneMap map(job.geo);
    int closeCount = 0, openCount = 0;
    const float* close = argumentSeries(job.ctx, "C", &closeCount);
    const float* open = argumentSeries(job.ctx, "O", &openCount);
    if (closeCount < r.count || openCount < r.count) {
        close = open = nullptr;  // without prices every bar counts as falling
    }
    const double w = std::max(double(job.geo.barWidth) - job.geo.barGap, 1.0);
    const int y0 = pixel(map.valueY(0));
    PixelRects up, down;
    for (int i = std::max(job.first, 0), k = i - job.first; i < lastIndex(job, r.count); ++i, ++k) {
        const float v = r.values[i];
        if (v == FMLInvalidValue) {
            continue;
        }
        bool rising = false;
        if (close) {
            const float previous = i > 0 ? close[i - 1] : 0.0f;
            rising = close[i] > open[i] || (close[i] == open[i] && close[i] > previous);
        }
        const double cx = map.slotX(k);
        const int left = pixel(cx - w / 2 + 0.5);
        const int right = std::max(left, pixel(cx + w / 2 + 0.5) - 1);
        const int top = pixel(map.valueY(v));
        if (rising) {
            up.frame(left, top, right, y0);
        } else {
            down.fill(left, top, right, y0);
        }
    }
    up.draw(job.painter, style::upColor());
    down.draw(job.painter, style::downColor());
}

}  // namespace

void drawLineOutput(const OutputJob& job) {
    fml_op_line r{};
    if (!fml_ctx_op_line(job.ctx, &r, job.op) || !r.values) {
        return;
    }
    switch (r.style) {
        case kHidden:
        case kHiddenOverlay:
            return;
        case kColorSticks:
            drawColorSticks(job, r);
            return;
        case kVolumeSticks:
            drawVolumeSticks(job, r);
            return;
        default:
            break;
    }
    QColor color;
    float overlay = 0;
    if (r.style == kOverlayColor && firstArgumentValue(job.ctx, "_color", &overlay)) {
        color = style::fromRgbBits(overlay);
    } else {
        color = style::outputColor(r.color);
    }
    const PaneMap map(job.geo);
    PolylineRuns runs;
    for (int i = std::max(job.first, 0), k = i - job.first; i < lastIndex(job, r.count); ++i, ++k) {
        const float v = r.values[i];
        if (v == FMLInvalidValue) {
            runs.breakRun();
            continue;
        }
        runs.add(map.slotX(k), map.valueY(v));
    }
    job.painter->setPen(stylePen(color, r.width, r.style == kDashDot ? 1 : 0));
    job.painter->setBrush(Qt::NoBrush);
    runs.draw(job.painter);
}

void drawFixNumberOutput(const OutputJob& job) {
    fml_op_fix_number r{};
    if (!fml_ctx_op_fix_number(job.ctx, &r, job.op) || r.value == FMLInvalidValue ||
        job.stop <= job.first) {
        return;
    }
    const PaneMap map(job.geo);
    const QColor color = style::outputColor(r.color);
    const int y = pixel(map.valueY(r.value));
    const int x1 = pixel(map.slotX(0));
    const int x2 = pixel(map.slotX(job.stop - job.first - 1));
    if (r.width <= 1.0f && r.style != 1) {
        PixelRects line;
        line.hline(x1, x2, y);
        line.draw(job.painter, color);
        return;
    }
    job.painter->setPen(stylePen(color, r.width, r.style));
    job.painter->drawLine(QPointF(x1 + 0.5, y + 0.5), QPointF(x2 + 0.5, y + 0.5));
}

}  // namespace chart
