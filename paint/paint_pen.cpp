#include "paint/paint_pen.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPen>

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

void PaintPen::line(int x1, int y1, int x2, int y2) const {
    if (!painter) {
        return;
    }
    applyPen();
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
