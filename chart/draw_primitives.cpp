#include "chart/draw_primitives.h"

#include <QPainter>

#include <algorithm>
#include <cmath>
#include <utility>

namespace chart {

void PixelRects::vline(int x, int y1, int y2) {
    fill(x, y1, x, y2);
}

void PixelRects::hline(int x1, int x2, int y) {
    fill(x1, y, x2, y);
}

void PixelRects::fill(int x1, int y1, int x2, int y2) {
    if (x1 > x2) {
        std::swap(x1, x2);
    }
    if (y1 > y2) {
        std::swap(y1, y2);
    }
    rects_.append(QRect(x1, y1, x2 - x1 + 1, y2 - y1 + 1));
}

void PixelRects::frame(int x1, int y1, int x2, int y2) {
    if (x1 > x2) {
        std::swap(x1, x2);
    }
    if (y1 > y2) {
        std::swap(y1, y2);
    }
    if (x2 - x1 < 2 || y2 - y1 < 2) {
        fill(x1, y1, x2, y2);
        return;
    }
    hline(x1, x2, y1);
    hline(x1, x2, y2);
    vline(x1, y1 + 1, y2 - 1);
    vline(x2, y1 + 1, y2 - 1);
}

void PixelRects::draw(QPainter* painter, const QColor& color) const {
    if (rects_.isEmpty()) {
        return;
    }
    AliasedScope aliased(painter);
    painter->setPen(Qt::NoPen);
    painter->setBrush(color);
    painter->drawRects(rects_);
}

QPen stylePen(const QColor& color, float width, int style) {
    QPen pen(color);
    // Thin pens are cosmetic: the cosmetic stroker joins segments without the lighter pixel
    // the wide-line stroker leaves at every vertex.
    if (width > 1.0f) {
        pen.setWidthF(double(width));
    } else {
        pen.setWidth(0);
    }
    pen.setStyle(style == 1 ? Qt::DashDotLine : Qt::SolidLine);
    return pen;
}

void PolylineRuns::add(double x, double y) {
    if (!open_) {
        runs_.emplace_back();
        open_ = true;
    }
    QVector<QPointF>& run = runs_.back();
    const QPointF p(std::floor(x) + 0.5, std::floor(y) + 0.5);
    // A point that continues a straight stretch replaces its end instead of adding a vertex:
    // antialiased strokes leave a lighter pixel at every vertex, visible on flat stretches.
    const int n = run.size();
    if (n >= 2) {
        const QPointF a = run[n - 1] - run[n - 2], b = p - run[n - 1];
        const bool straight = a.x() * b.y() == a.y() * b.x() && a.x() * b.x() + a.y() * b.y() > 0;
        if (straight) {
            run[n - 1] = p;
            return;
        }
    }
    run.append(p);
}

void PolylineRuns::breakRun() {
    open_ = false;
}

void PolylineRuns::draw(QPainter* painter) const {
    for (const QVector<QPointF>& run : runs_) {
        // A lone valid value between two gaps has no segment to draw.
        if (run.size() >= 2) {
            painter->drawPolyline(run.constData(), run.size());
        }
    }
}

AliasedScope::AliasedScope(QPainter* painter) : painter_(painter) {
    painter_->save();
    painter_->setRenderHint(QPainter::Antialiasing, false);
}

AliasedScope::~AliasedScope() {
    painter_->restore();
}

}  // namespace chart
