#include "paint/cpaint_levels.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {
// A runaway distance cannot turn a repeat into an endless loop.
constexpr int kMaxRepeats = 4096;
}  // namespace

void CPaintLevelBase::setLevels(std::initializer_list<double> values,
                                std::initializer_list<int> styles) {
    count = 0;
    for (double v : values) {
        if (count < kMaxLevels) {
            levels[count++] = v;
        }
    }
    int i = 0;
    for (int s : styles) {
        if (i < kMaxLevels) {
            levelStyles[i++] = s;
        }
    }
}

int CPaintLevelBase::base() const {
    const paint::PaintPoint& p = fromStart ? start : end;
    return horizontal ? p.y : p.x;
}

bool CPaintLevelBase::computeTwoPoints(int x1, int y1, int x2, int y2) {
    distance = horizontal ? y2 - y1 : x2 - x1;
    return true;
}

int CPaintLevelBase::levelAt(int i) const {
    return int(std::trunc(distance * levels[i] + base()));
}

int CPaintLevelBase::firstRepeat() const {
    const int b = base();
    const double step = distance * levels[0];
    if (b < 0 && step != 0) {
        return int(std::trunc(std::abs(b / step))) + 1;
    }
    return 0;
}

void CPaintLevelBase::drawShape(int, int, int, int) {
    const QRect& r = paneRect;
    if (!repeat) {
        for (int i = 0; i < count; ++i) {
            pen.style = levelStyles[i] != 0 ? levelStyles[i] : style;
            const int c = levelAt(i);
            if (horizontal) {
                pen.line(r.left(), c, r.right(), c);
            } else {
                pen.line(c, r.top(), c, r.bottom());
            }
        }
        pen.style = style;
        return;
    }
    if (distance == 0 || count == 0) {
        return;
    }
    const PaneGeometry* g = chart ? chart->mainGeometry() : nullptr;
    const QRect bounds(0, 0, r.left() + r.width(), r.height());
    pen.style = levelStyles[0] != 0 ? levelStyles[0] : style;
    const int b = base();
    for (int k = firstRepeat(), n = 0; n < kMaxRepeats; ++k, ++n) {
        int c = int(std::trunc(distance * levels[0] * k + b));
        if (g) {
            c = paint::snapToSlot(*g, c);
        }
        if (!bounds.contains(c, r.top())) {
            break;
        }
        pen.line(c, r.top(), c, r.bottom());
    }
    pen.style = style;
}

void CPaintLevelBase::drawLabel(int, int, int, int) {
    if (repeat) {
        return;
    }
    for (int i = 0; i < count; ++i) {
        const int c = levelAt(i);
        double price = 0;
        QString text = paint::formatLabel("%3.1f%%", levels[i] * 100);
        if (horizontal && priceAt(c, &price)) {
            char buffer[128];
            std::snprintf(buffer, sizeof(buffer), "%3.1f%%,  %3.2f", levels[i] * 100, price);
            text = QString::fromUtf8(buffer);
        }
        if (horizontal) {
            pen.label(paneRect.left(), c, text);
        } else {
            pen.label(c, paneRect.top(), text);
        }
    }
}

bool CPaintLevelBase::hitBody(int x, int y) const {
    if (!end.isSet() || x < paneRect.left() || x > paneRect.right()) {
        return false;
    }
    const int v = horizontal ? y : x;
    if (!repeat) {
        for (int i = 0; i < count; ++i) {
            if (std::abs(v - levelAt(i)) <= 3) {
                return true;
            }
        }
        return false;
    }
    if (distance == 0 || count == 0) {
        return false;
    }
    const int b = base();
    const int far = distance > 0 ? paneRect.right() : paneRect.left();
    for (int k = firstRepeat(), n = 0; n < kMaxRepeats; ++k, ++n) {
        const int c = int(std::trunc(distance * levels[0] * k + b));
        if (std::abs(v - c) <= 3) {
            return true;
        }
        if ((distance > 0 && c > far) || (distance < 0 && c < far)) {
            break;
        }
    }
    return false;
}

CPaintBandLine::CPaintBandLine() {
    setLevels({0, 0.25, 0.33, 0.5, 1}, {0, 3, 3, 3, 0});
}

CPaintGoldenSplit::CPaintGoldenSplit() {
    setLevels({0, 0.236, 0.382, 0.5, 0.618, 1}, {0, 3, 3, 3, 3, 0});
}

CPaintGoldenPrice::CPaintGoldenPrice() {
    setLevels({0.618, 0.809, 1, 1.191, 1.382, 1.5, 1.618, 1.809, 2}, {3, 3, 0, 3, 3, 3, 3, 3, 3});
}

bool CPaintGoldenPrice::hitBody(int x, int y) const {
    return hitStart(x, y) || CPaintLevelBase::hitBody(x, y);
}

CPaintPercentage::CPaintPercentage() {
    setLevels(
        {0, 1.0 / 8, 1.0 / 4, 1.0 / 3, 3.0 / 8, 1.0 / 2, 5.0 / 8, 2.0 / 3, 3.0 / 4, 7.0 / 8, 1},
        {0, 3, 3, 3, 3, 3, 3, 3, 3, 3, 0});
}

CPaintCycleLine::CPaintCycleLine() {
    horizontal = false;
    repeat = true;
    setLevels({1}, {0});
}

void CPaintCycleLine::drawLabel(int x1, int, int, int) {
    pen.label(x1, paneRect.bottom() - 30, QString::number(std::abs(end.index - start.index)));
}
