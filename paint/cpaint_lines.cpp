#include "paint/cpaint_lines.h"

#include <algorithm>
#include <cmath>

QString paint::angleLabel(double k) {
    return formatLabel("D:%3.0f'", -std::atan(k) * 180.0 / 3.14);
}

bool CPaintLine::computeTwoPoints(int x1, int y1, int x2, int y2) {
    k = x1 == x2 ? 0.0 : double(y1 - y2) / double(x1 - x2);
    b = y1 - x1 * k;
    return true;
}

void CPaintLine::drawShape(int x1, int y1, int x2, int y2) {
    const QRect& r = paneRect;
    if (x1 == x2) {
        pen.line(x1, r.bottom(), x1, r.top());
        return;
    }
    // From edge to edge of the pane; where the line leaves through the top or the bottom, it
    // ends there.
    double ax = r.left();
    double ay = k * ax + b;
    double bx = r.right();
    double by = k * bx + b;
    auto clipY = [&](double& px, double& py) {
        if (k == 0) {
            return;
        }
        if (py < r.top()) {
            py = r.top();
            px = (py - b) / k;
        } else if (py > r.bottom()) {
            py = r.bottom();
            px = (py - b) / k;
        }
    };
    clipY(ax, ay);
    clipY(bx, by);
    pen.line(int(ax), int(ay), int(bx), int(by));
}

void CPaintLine::drawLabel(int x1, int y1, int, int) {
    if (selected) {
        pen.label(x1, y1, paint::angleLabel(k));
    }
}

bool CPaintLine::onLine(int x, int y) const {
    if (start.x == end.x) {
        return std::abs(x - start.x) <= 3;
    }
    return std::abs(y - (k * x + b)) <= 3;
}

bool CPaintLine::hitBody(int x, int y) const {
    return end.isSet() && onLine(x, y);
}

bool CPaintLine::savedObject(paint::SavedObject& out) const {
    out.add("type", QString::fromLatin1(typeName()));
    out.add("kstart_time", QString::number(start.time));
    out.add("kstart_price", paint::priceText(start.price));
    out.add("kend_time", QString::number(end.time));
    out.add("kend_price", paint::priceText(end.price));
    out.add("m_dB", paint::preciseText(b));
    out.add("m_dK", paint::preciseText(k));
    out.add("m_color", QString::number(uint32_t(color), 16));
    out.add("m_size", QString::number(width));
    out.add("m_style", QString::number(style));
    return true;
}

void CPaintLine::readSavedObject(const QJsonObject& o) {
    b = paint::savedDouble(o, "m_dB", b);
    k = paint::savedDouble(o, "m_dK", k);
    CPaintMethodBase::readSavedObject(o);
}

void CPaintLine::reset() {
    CPaintMethodBase::reset();
    k = b = 0;
}

void CPaintSegment::drawShape(int x1, int y1, int x2, int y2) {
    pen.line(x1, y1, x2, y2);
}

bool CPaintSegment::hitBody(int x, int y) const {
    if (!end.isSet()) {
        return false;
    }
    const QRect box(QPoint(std::min(start.x, end.x) - 3, std::min(start.y, end.y) - 3),
                    QPoint(std::max(start.x, end.x) + 3, std::max(start.y, end.y) + 3));
    return box.contains(x, y) && onLine(x, y);
}

bool CPaintSegment::savedObject(paint::SavedObject& out) const {
    return CPaintMethodBase::savedObject(out);
}

bool CPaintSpeedBlock::computeTwoPoints(int x1, int y1, int x2, int y2) {
    const double s = x1 == x2 ? 0.0 : double(y1 - y2) / double(x1 - x2);
    const double factor[3] = {1.0, 2.0 / 3.0, 1.0 / 3.0};
    for (int i = 0; i < 3; ++i) {
        k[i] = s * factor[i];
        b[i] = y1 - x1 * k[i];
    }
    return true;
}

void CPaintSpeedBlock::drawShape(int x1, int y1, int x2, int) {
    if (x2 < x1) {
        return;
    }
    const int right = paneRect.right();
    for (int i = 0; i < 3; ++i) {
        pen.style = i == 0 ? paint::kSolid : paint::kDot;
        pen.line(x1, y1, right, int(right * k[i] + b[i]));
    }
}

void CPaintSpeedBlock::drawLabel(int x1, int y1, int x2, int) {
    if (selected && x2 >= x1) {
        pen.label(x1, y1, paint::angleLabel(k[0]));
    }
}

bool CPaintSpeedBlock::hitBody(int x, int y) const {
    if (!end.isSet()) {
        return false;
    }
    if (start.x != end.x && x > start.x) {
        for (int i = 0; i < 3; ++i) {
            if (std::abs(y - (k[i] * x + b[i])) <= 3) {
                return true;
            }
        }
        return false;
    }
    return std::abs(x - start.x) <= 3;
}

void CPaintSpeedBlock::reset() {
    CPaintMethodBase::reset();
    std::fill(std::begin(k), std::end(k), 0.0);
    std::fill(std::begin(b), std::end(b), 0.0);
}
