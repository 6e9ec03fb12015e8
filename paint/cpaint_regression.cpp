#include "paint/cpaint_regression.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

CPaintLinerRegression::CPaintLinerRegression() {
    line.attached = false;
    line.showLabel = false;
}

void CPaintLinerRegression::setChart(paint::PaintHost* c) {
    CPaintMethodBase::setChart(c);
    line.setChart(c);
}

void CPaintLinerRegression::setRect(int left, int top, int right, int bottom) {
    CPaintMethodBase::setRect(left, top, right, bottom);
    line.setRect(left, top, right, bottom);
}

int CPaintLinerRegression::rowOf(int offset, double b) const {
    const PaneGeometry* g = chart ? chart->mainGeometry() : nullptr;
    if (!g || !(pricePerPixel > 0)) {
        return 0;
    }
    // The row of the value on the pane's own scale, so the line runs through the closes it
    // was fitted to.
    const double y = g->rect.top() + (g->max - (offset * slope + b)) / pricePerPixel;
    return int(std::trunc(std::clamp(y, -1e8, 1e8)));
}

bool CPaintLinerRegression::computeTwoPoints(int x1, int, int x2, int) {
    computed = false;
    const PaneGeometry* g = chart ? chart->mainGeometry() : nullptr;
    const KSeries* bars = chart ? chart->bars() : nullptr;
    if (!g || !bars || bars->empty() || g->fullRect.height() <= 0 || !start.isSet() ||
        !end.isSet()) {
        return false;
    }
    pricePerPixel = (double(g->max) - double(g->min)) / g->fullRect.height();
    if (!(pricePerPixel > 0) || !std::isfinite(pricePerPixel)) {
        return false;
    }
    const int count = int(bars->size());
    span_ = std::abs(end.index - start.index);
    firstBar = std::clamp(std::min(start.index, end.index), 0, count - 1);
    n = std::min({count, span_ + 1, count - firstBar});
    float sx = 0, sy = 0, sxy = 0, sxx = 0;
    for (int i = 0; i < n; ++i) {
        const float c = (*bars)[size_t(firstBar + i)].close;
        sx += float(i);
        sy += c;
        sxy += float(i) * c;
        sxx += float(i) * float(i);
    }
    const double mx = double(sx) / n;
    const double my = double(sy) / n;
    const double denominator = double(sxx) - n * mx * mx;
    // A single bar (or bars that collapse to one x) fits a level line at the mean close.
    slope = std::abs(denominator) > 1e-12 ? (double(sxy) - n * mx * my) / denominator : 0.0;
    intercept = my - mx * slope;
    if (!std::isfinite(slope) || !std::isfinite(intercept)) {
        return false;
    }
    if (wantsBand()) {
        const KData& b0 = (*bars)[size_t(firstBar)];
        upper = b0.high;
        lower = b0.low;
        for (int i = 0; i < n; ++i) {
            const KData& k = (*bars)[size_t(firstBar + i)];
            upper = std::max(upper, double(k.high) - i * slope);
            lower = std::min(lower, double(k.low) - i * slope);
        }
    }
    left_ = std::min(x1, x2);
    right_ = std::max(x1, x2);
    start.x = left_;
    start.y = rowOf(0, intercept);
    end.x = right_;
    end.y = rowOf(span_, intercept);
    computed = true;
    return true;
}

void CPaintLinerRegression::drawShape(int, int, int, int) {
    if (!computed) {
        return;
    }
    if (selected) {
        pen.line(left_, paneRect.top(), left_, paneRect.bottom());
        pen.line(right_, paneRect.top(), right_, paneRect.bottom());
    }
    line.setPainter(painter);
    line.color = color;
    line.width = width;
    line.style = style;
    line.selected = false;
    line.start = start;
    line.end = end;
    line.moved = true;
    line.update();
    line.draw();
    line.setPainter(nullptr);
}

bool CPaintLinerRegression::hitBody(int x, int y) const {
    if (!computed) {
        return false;
    }
    // The inner line is placed on the fitted ends before the test.
    CPaintSegment probe;
    probe.start = start;
    probe.end = end;
    probe.computeTwoPoints(start.x, start.y, end.x, end.y);
    return probe.hitBody(x, y);
}

void CPaintLinerRegression::drawBandLines(int xl, int xr, int span) {
    pen.line(xl, rowOf(0, upper), xr, rowOf(span, upper));
    pen.line(xl, rowOf(0, lower), xr, rowOf(span, lower));
}

void CPaintLinerRegression::reset() {
    CPaintMethodBase::reset();
    line.reset();
    pricePerPixel = slope = intercept = upper = lower = 0;
    n = firstBar = 0;
    computed = false;
}

void CPaintLinerRegressionBand::drawShape(int x1, int y1, int x2, int y2) {
    CPaintLinerRegression::drawShape(x1, y1, x2, y2);
    if (computed) {
        syncPen();
        drawBandLines(left_, right_, span_);
    }
}

void CPaintRegressionChannel::drawShape(int x1, int y1, int x2, int y2) {
    CPaintLinerRegression::drawShape(x1, y1, x2, y2);
    if (!computed) {
        return;
    }
    syncPen();
    drawBandLines(left_, right_, span_);
    // Each line goes on dotted to the pane's right edge with its own pixel slope.
    pen.style = paint::kDot;
    const int far = paneRect.right();
    if (far <= right_) {
        pen.style = style;
        return;
    }
    for (double b : {upper, intercept, lower}) {
        const int ya = rowOf(0, b);
        const int yb = rowOf(span_, b);
        const double k = right_ != left_ ? double(yb - ya) / double(right_ - left_) : 0.0;
        pen.line(right_, yb, far, int(std::clamp(yb + k * (far - right_), -1e8, 1e8)));
    }
    pen.style = style;
}
