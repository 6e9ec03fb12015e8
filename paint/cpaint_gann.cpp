#include "paint/cpaint_gann.h"

#include <QJsonObject>
#include <QPainter>

#include <cmath>
#include <cstdlib>

namespace {
constexpr int kFibonacci[CPaintFibonacci::kOffsets] = {
    1, 1, 2, 3, 5, 8, 13, 21, 34, 55, 89, 144, 233, 377, 610, 987, 1597, 2584, 4181, 6765};
}  // namespace

bool CPaintGannLine::computeTwoPoints(int x1, int y1, int x2, int y2) {
    const double dx = x1 - x2;
    const double dy = y1 - y2;
    const double ratio[9] = {0.125, 0.25, 0.33, 0.5, 1, 0.5, 0.33, 0.25, 0.125};
    for (int i = 0; i < 9; ++i) {
        if (dx == 0) {
            k[i] = 0;
        } else if (i < 4) {
            k[i] = dy / (dx * ratio[i]);
        } else {
            k[i] = dy * ratio[i] / dx;
        }
        b[i] = y1 - x1 * k[i];
    }
    return true;
}

void CPaintGannLine::drawShape(int x1, int y1, int x2, int y2) {
    if (x2 < x1) {
        return;
    }
    const int right = paneRect.right();
    for (int i = 0; i < 9; ++i) {
        pen.style = i == 4 ? paint::kSolid : paint::kDot;
        const double y = right * k[i] + b[i];
        pen.line(x1, y1, right, int(std::clamp(y, -1e8, 1e8)));
    }
    pen.style = paint::kSolid;
    pen.line(x1, y1, x1, y1 < y2 ? paneRect.bottom() : paneRect.top());
    pen.line(x1, y1, right, y1);
    pen.style = style;
}

void CPaintGannLine::drawLabel(int x1, int y1, int x2, int) {
    if (!selected || x2 < x1) {
        return;
    }
    const double a = -std::atan(k[4]) * 180.0 / 3.14;
    pen.label(x1, a < 0 ? y1 - 20 : y1, paint::formatLabel("D:%3.2f'", a));
}

bool CPaintGannLine::hitBody(int x, int y) const {
    if (!end.isSet()) {
        return false;
    }
    if (start.x != end.x && x > start.x) {
        for (int i = 0; i < 9; ++i) {
            if (std::abs(y - (k[i] * x + b[i])) <= 3) {
                return true;
            }
        }
        return false;
    }
    return std::abs(x - start.x) <= 3;
}

void CPaintGannLine::reset() {
    CPaintMethodBase::reset();
    std::fill(std::begin(k), std::end(k), 0.0);
    std::fill(std::begin(b), std::end(b), 0.0);
}

bool CPaintFibonacci::lineX(int i, int* x) const {
    const PaneGeometry* g = chart ? chart->mainGeometry() : nullptr;
    if (!g || i < 0 || i >= kOffsets) {
        return false;
    }
    const double slot = double(g->barGap) + double(g->barWidth);
    const double px = slot * (double(end.index) + kFibonacci[i] - 1 - chart->begin()) +
                      g->rect.left() + g->barWidth * 0.5;
    *x = int(std::trunc(std::clamp(px, -1e8, 1e8)));
    return true;
}

void CPaintFibonacci::drawShape(int, int, int, int) {
    for (int i = 0; i < kOffsets; ++i) {
        int x = 0;
        if (!lineX(i, &x)) {
            return;
        }
        pen.line(x, paneRect.top(), x, paneRect.bottom());
        if (x >= paneRect.right()) {
            return;
        }
    }
}

void CPaintFibonacci::drawHandles(int, int, int, int) {
    if (painter && end.isSet()) {
        painter->fillRect(QRect(end.x - 3, end.y - 3, 6, 6), paint::rgbColor(handleColor));
    }
}

bool CPaintFibonacci::hitBody(int x, int) const {
    if (!end.isSet()) {
        return false;
    }
    for (int i = 0; i < kOffsets; ++i) {
        int lx = 0;
        if (lineX(i, &lx) && std::abs(x - lx) <= 3) {
            return true;
        }
    }
    return false;
}

CPaintGoldenCollect::CPaintGoldenCollect() : parts_{&gann, &golden, &fibonacci} {
    gann.color = 0x8900ff;
    gann.width = 2;
    golden.color = 0x00ff00;
    fibonacci.color = 0xd66b6b;
    for (CPaintMethodBase* p : parts_) {
        p->attached = false;
    }
    selectionChanged();
}

void CPaintGoldenCollect::setChart(paint::PaintHost* c) {
    CPaintMethodBase::setChart(c);
    for (CPaintMethodBase* p : parts_) {
        p->setChart(c);
    }
}

void CPaintGoldenCollect::setPainter(QPainter* painter) {
    CPaintMethodBase::setPainter(painter);
    for (CPaintMethodBase* p : parts_) {
        p->setPainter(painter);
    }
}

void CPaintGoldenCollect::setRect(int left, int top, int right, int bottom) {
    CPaintMethodBase::setRect(left, top, right, bottom);
    for (CPaintMethodBase* p : parts_) {
        p->setRect(left, top, right, bottom);
    }
}

void CPaintGoldenCollect::setStart(int x, int y) {
    CPaintMethodBase::setStart(x, y);
    for (CPaintMethodBase* p : parts_) {
        p->setStart(x, y);
    }
}

void CPaintGoldenCollect::setMid(int x, int y) {
    CPaintMethodBase::setMid(x, y);
    gann.setMid(x, y);
    golden.setMid(x, y);
}

void CPaintGoldenCollect::setEnd(int x, int y) {
    CPaintMethodBase::setEnd(x, y);
    for (CPaintMethodBase* p : parts_) {
        p->setEnd(x, y);
    }
}

void CPaintGoldenCollect::moveBy(int dx, int dy) {
    CPaintMethodBase::moveBy(dx, dy);
    for (CPaintMethodBase* p : parts_) {
        p->moveBy(dx, dy);
    }
}

void CPaintGoldenCollect::update() {
    CPaintMethodBase::update();
    for (CPaintMethodBase* p : parts_) {
        p->update();
    }
}

void CPaintGoldenCollect::draw() {
    if (!start.isSet() || (!mid.isSet() && !end.isSet())) {
        return;
    }
    for (CPaintMethodBase* p : parts_) {
        p->draw();
    }
    if (selected) {
        drawHandles(start.x, start.y, end.x, end.y);
    }
}

bool CPaintGoldenCollect::hitBody(int x, int y) const {
    return gann.hitBody(x, y) || golden.hitBody(x, y) || fibonacci.hitBody(x, y);
}

void CPaintGoldenCollect::selectionChanged() {
    gann.selected = selected;
    golden.selected = false;
    fibonacci.selected = false;
}

void CPaintGoldenCollect::resolveAnchors() {
    CPaintMethodBase::resolveAnchors();
    for (CPaintMethodBase* p : parts_) {
        p->resolveAnchors();
    }
}

void CPaintGoldenCollect::refreshGeometry() {
    CPaintMethodBase::refreshGeometry();
    for (CPaintMethodBase* p : parts_) {
        p->refreshGeometry();
    }
}

bool CPaintGoldenCollect::savedObject(paint::SavedObject& out) const {
    CPaintMethodBase::savedObject(out);
    const char* names[3] = {"gann", "golden", "fibonacci"};
    for (int i = 0; i < 3; ++i) {
        paint::SavedObject part;
        parts_[i]->savedObject(part);
        out.add(names[i], std::move(part));
    }
    return true;
}

void CPaintGoldenCollect::readSavedObject(const QJsonObject& o) {
    CPaintMethodBase::readSavedObject(o);
    const char* names[3] = {"gann", "golden", "fibonacci"};
    for (int i = 0; i < 3; ++i) {
        const QJsonValue v = o.value(QLatin1String(names[i]));
        if (v.isObject()) {
            parts_[i]->readSavedObject(v.toObject());
        } else {
            // A collection saved without its parts takes them from its own points.
            parts_[i]->start = start;
            parts_[i]->end = end;
        }
    }
}

void CPaintGoldenCollect::reset() {
    CPaintMethodBase::reset();
    for (CPaintMethodBase* p : parts_) {
        p->reset();
    }
}
