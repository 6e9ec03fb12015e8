#include "paint/cpaint_shapes.h"

#include <QDateTime>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

void writeRectForm(const CPaintMethodBase& t, paint::SavedObject& out, const double* radius) {
    out.add("type", QString::fromLatin1(t.typeName()));
    out.add("kstart_time", QString::number(t.start.time));
    out.add("kstart_price", paint::priceText(t.start.price));
    out.add("kend_time", QString::number(t.end.time));
    out.add("kend_price", paint::priceText(t.end.price));
    if (radius) {
        out.add("m_dR", paint::preciseText(*radius));
    }
    out.add("m_color", QString::number(uint32_t(t.color), 16));
    out.add("m_size", QString::number(t.width));
    out.add("m_style", QString::number(t.style));
}

}  // namespace

void CPaintRect::drawShape(int x1, int y1, int x2, int y2) {
    pen.rect(QRect(x1, y1, x2 - x1, y2 - y1), false);
}

void CPaintRect::drawLabel(int x1, int y1, int x2, int y2) {
    if (selected) {
        pen.label(x1, y1,
                  QStringLiteral("W:%1,H:%2").arg(std::abs(x1 - x2)).arg(std::abs(y1 - y2)));
    }
}

bool CPaintRect::hitBody(int x, int y) const {
    if (!end.isSet()) {
        return false;
    }
    const int y1 = start.y;
    const int y2 = end.y;
    if (y < std::min(y1, y2) - 3 || y > std::max(y1, y2) + 3) {
        return false;
    }
    return std::abs(x - start.x) <= 3 || std::abs(x - end.x) <= 3 || std::abs(y - y1) <= 3 ||
           std::abs(y - y2) <= 3;
}

bool CPaintRect::savedObject(paint::SavedObject& out) const {
    writeRectForm(*this, out, nullptr);
    return true;
}

bool CPaintEllipse::computeTwoPoints(int x1, int y1, int x2, int y2) {
    radius = std::sqrt(double(y1 - y2) * (y1 - y2) + double(x1 - x2) * (x1 - x2));
    return true;
}

void CPaintEllipse::drawShape(int x1, int y1, int, int) {
    pen.ellipse(QRectF(x1 - radius, y1 - radius, 2 * radius, 2 * radius));
}

void CPaintEllipse::drawLabel(int x1, int y1, int, int) {
    if (selected) {
        pen.label(x1, y1, paint::formatLabel("R:%4.0f'", radius));
    }
}

bool CPaintEllipse::hitBody(int x, int y) const {
    if (!end.isSet()) {
        return false;
    }
    const double d = std::hypot(double(x - start.x), double(y - start.y));
    return d >= radius - 6 && d <= radius + 6;
}

bool CPaintEllipse::savedObject(paint::SavedObject& out) const {
    writeRectForm(*this, out, &radius);
    return true;
}

void CPaintEllipse::readSavedObject(const QJsonObject& o) {
    radius = paint::savedDouble(o, "m_dR", radius);
    CPaintMethodBase::readSavedObject(o);
}

void CPaintEllipse::reset() {
    CPaintMethodBase::reset();
    radius = 0;
}

bool CPaintArcEllipse::computeTwoPoints(int x1, int y1, int x2, int y2) {
    cx = x2;
    cy = y1;
    const int a = std::abs(x2 - x1);
    const int d = std::abs(y2 - y1);
    bounds = QRect(QPoint(x2 - a, y1 - d), QPoint(x2 + a, y1 + d));
    fullWidth = 2 * a;
    fullHeight = 2 * d;
    return true;
}

int CPaintArcEllipse::startAngle(int x1, int y1, int x2, int y2) {
    const int p = x1;
    const int q = 2 * x2 - x1;
    const int direction = ((p < q) == (y1 < y2)) ? 1 : 2;
    if (direction == 1) {
        return q < p ? 0 : 2880;
    }
    return q < p ? 2880 : 0;
}

void CPaintArcEllipse::drawShape(int x1, int y1, int x2, int y2) {
    pen.arc(QRectF(bounds.left(), bounds.top(), fullWidth, fullHeight), startAngle(x1, y1, x2, y2),
            2880);
}

bool CPaintArcEllipse::hitBody(int x, int y) const {
    if (!end.isSet() || fullWidth == 0 || fullHeight == 0) {
        return false;
    }
    const double w = fullWidth;
    const double h = fullHeight;
    const double v = double(x - cx) * (x - cx) / (w * w) + double(y - cy) * (y - cy) / (h * h);
    return v >= 0.23 && v <= 0.28 && y >= std::min(start.y, end.y) && y <= std::max(start.y, end.y);
}

bool CPaintArcEllipse::savedObject(paint::SavedObject& out) const {
    writeRectForm(*this, out, nullptr);
    return true;
}

void CPaintArcEllipse::reset() {
    CPaintMethodBase::reset();
    cx = cy = fullWidth = fullHeight = 0;
    bounds = QRect();
}

CPaintFullRect::CPaintFullRect() {
    color = int(0x80ffffffu);
}

bool CPaintFullRect::computeTwoPoints(int x1, int, int x2, int) {
    band = QRect(QPoint(std::min(x1, x2), paneRect.top()),
                 QPoint(std::max(x1, x2), paneRect.top() + paneRect.height() - 1));
    return true;
}

void CPaintFullRect::drawShape(int, int, int, int) {
    color = int(0x80ffffffu);
    if (!painter) {
        return;
    }
    // Translucent, as the chart's own interval band, so the bars stay readable under it.
    painter->fillRect(band, QColor(255, 255, 255, 0x30));
    painter->setPen(QPen(QColor(255, 255, 255, 0x80), 1));
    painter->drawLine(band.left(), band.top(), band.left(), band.bottom());
    painter->drawLine(band.right(), band.top(), band.right(), band.bottom());
}

void CPaintFullRect::drawLabel(int x1, int, int x2, int) {
    auto timeText = [](uint32_t t) {
        return QDateTime::fromSecsSinceEpoch(qint64(t)).toString(
            QStringLiteral("yyyy-MM-dd HH:mm"));
    };
    pen.color = 0xffffff;
    const int y = paneRect.bottom() - 30;
    pen.textBlock(x1 + 2, y, timeText(start.time), paint::labelFont());
    const int endX = x2 + 63 < paneRect.right() ? x2 + 2 : x2 - 64;
    pen.textBlock(endX, y, timeText(end.time), paint::labelFont());
}

bool CPaintFullRect::hitBody(int x, int y) const {
    return end.isSet() && band.contains(x, y);
}

bool CPaintFullRect::hitStart(int x, int) const {
    return end.isSet() && std::abs(x - band.left()) <= 3;
}

bool CPaintFullRect::hitEnd(int x, int) const {
    return end.isSet() && x >= band.right() - 4 && x <= band.right() + 2;
}

void CPaintFullRect::reset() {
    CPaintMethodBase::reset();
    band = QRect();
}
