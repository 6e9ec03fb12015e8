#include "paint/paint_pen.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPen>

#include <algorithm>
#include <cstdio>

namespace paint {

QColor rgbColor(int rgb) {
    return QColor::fromRgb(QRgb(0xff000000u | (uint32_t(rgb) & 0xffffffu)));
}

QString colorText(int rgb) {
    return QStringLiteral("#%1").arg(uint32_t(rgb) & 0xffffffu, 6, 16, QLatin1Char('0'));
}

const QFont& labelFont() {
    static const QFont font = [] {
        QFont f(QStringLiteral("Microsoft YaHei"));
        f.setPixelSize(12);
        return f;
    }();
    return font;
}

void PaintPen::applyPen() const {
    QPen pen(rgbColor(color));
    pen.setWidth(style == kDot ? 1 : width);
    pen.setStyle(style == kDash ? Qt::DashLine : style == kDot ? Qt::DotLine : Qt::SolidLine);
    painter->setPen(pen);
    painter->setBrush(Qt::NoBrush);
}

namespace {

// Cuts the segment to the rectangle (Liang-Barsky); false when nothing of it is inside. Rays of
// steep fans end far off the pane, and the rasterizer would walk all of that length.
bool clipSegment(const QRectF& r, double& x1, double& y1, double& x2, double& y2) {
    const double dx = x2 - x1;
    const double dy = y2 - y1;
    double t0 = 0;
    double t1 = 1;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {x1 - r.left(), r.right() - x1, y1 - r.top(), r.bottom() - y1};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) {
                return false;
            }
            continue;
        }
        const double t = q[i] / p[i];
        if (p[i] < 0) {
            t0 = std::max(t0, t);
        } else {
            t1 = std::min(t1, t);
        }
        if (t0 > t1) {
            return false;
        }
    }
    x2 = x1 + t1 * dx;
    y2 = y1 + t1 * dy;
    x1 = x1 + t0 * dx;
    y1 = y1 + t0 * dy;
    return true;
}

}  // namespace

void PaintPen::line(int x1, int y1, int x2, int y2) const {
    if (!painter) {
        return;
    }
    applyPen();
    if (!bounds.isEmpty()) {
        double ax = x1, ay = y1, bx = x2, by = y2;
        if (!clipSegment(bounds, ax, ay, bx, by)) {
            return;
        }
        if (ax != x1 || ay != y1 || bx != x2 || by != y2) {
            painter->drawLine(QPointF(ax, ay), QPointF(bx, by));
            return;
        }
    }
    if (x1 == x2 || y1 == y2) {
        // Level and time lines sit on whole pixels: drawn without antialiasing they stay one
        // pixel sharp, and the many full-width lines of the level tools cost a fraction.
        const bool smooth = painter->testRenderHint(QPainter::Antialiasing);
        painter->setRenderHint(QPainter::Antialiasing, false);
        painter->drawLine(x1, y1, x2, y2);
        painter->setRenderHint(QPainter::Antialiasing, smooth);
        return;
    }
    painter->drawLine(x1, y1, x2, y2);
}

void PaintPen::polyline(const QPoint* points, int n, bool filled) const {
    if (!painter || n < 2) {
        return;
    }
    applyPen();
    if (filled) {
        painter->setBrush(rgbColor(color));
        painter->drawPolygon(points, n);
    } else {
        painter->drawPolyline(points, n);
    }
}

void PaintPen::rect(const QRect& r, bool filled) const {
    if (!painter) {
        return;
    }
    if (filled) {
        painter->fillRect(r, rgbColor(color));
        return;
    }
    applyPen();
    painter->drawRect(r);
}

void PaintPen::ellipse(const QRectF& r) const {
    if (!painter) {
        return;
    }
    applyPen();
    painter->drawEllipse(r);
}

void PaintPen::arc(const QRectF& r, int startAngle, int spanAngle) const {
    if (!painter) {
        return;
    }
    applyPen();
    painter->drawArc(r, startAngle, spanAngle);
}

void PaintPen::label(int x, int y, const QString& text) const {
    if (!painter) {
        return;
    }
    painter->setFont(labelFont());
    painter->setPen(rgbColor(color));
    const int w = QFontMetrics(labelFont()).horizontalAdvance(text);
    painter->drawText(QRect(x, y, w + 1, 18), Qt::AlignLeft | Qt::AlignVCenter, text);
}

QRect PaintPen::textBlock(int x, int y, const QString& text, const QFont& font) const {
    const QFontMetrics metrics(font);
    const QStringList lines = text.split(QLatin1Char('\n'));
    int w = 0;
    for (const QString& l : lines) {
        w = std::max(w, metrics.horizontalAdvance(l));
    }
    const QRect r(x, y, w + 1, int(lines.size()) * metrics.lineSpacing());
    if (painter) {
        painter->setFont(font);
        painter->setPen(rgbColor(color));
        painter->drawText(r, Qt::AlignLeft | Qt::AlignVCenter, text);
    }
    return r;
}

QString formatLabel(const char* format, double value) {
    char buffer[128];
    std::snprintf(buffer, sizeof(buffer), format, value);
    return QString::fromUtf8(buffer);
}

}  // namespace paint
