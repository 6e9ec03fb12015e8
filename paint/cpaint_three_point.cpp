#include "paint/cpaint_three_point.h"

CPaintThreePoint::CPaintThreePoint() {
    threeClick = true;
    // Parts are drawn by their owner, never on their own when a point is set.
    first.attached = false;
    second.attached = false;
}

void CPaintThreePoint::forEachPart(void (*fn)(CPaintMethodBase&, int), int value) {
    fn(first, value);
    fn(second, value);
}

void CPaintThreePoint::setChart(paint::PaintHost* c) {
    CPaintMethodBase::setChart(c);
    first.setChart(c);
    second.setChart(c);
}

void CPaintThreePoint::setPainter(QPainter* p) {
    CPaintMethodBase::setPainter(p);
    first.setPainter(p);
    second.setPainter(p);
}

void CPaintThreePoint::setRect(int left, int top, int right, int bottom) {
    CPaintMethodBase::setRect(left, top, right, bottom);
    first.setRect(left, top, right, bottom);
    second.setRect(left, top, right, bottom);
}

void CPaintThreePoint::setColor(int rgb) {
    CPaintMethodBase::setColor(rgb);
    forEachPart([](CPaintMethodBase& p, int v) { p.setColor(v); }, rgb);
}

void CPaintThreePoint::setWidth(int w) {
    CPaintMethodBase::setWidth(w);
    forEachPart([](CPaintMethodBase& p, int v) { p.setWidth(v); }, w);
}

void CPaintThreePoint::setStyle(int s) {
    CPaintMethodBase::setStyle(s);
    forEachPart([](CPaintMethodBase& p, int v) { p.setStyle(v); }, s);
}

void CPaintThreePoint::place(CPaintMethodBase& part, const paint::PaintPoint& a,
                             const paint::PaintPoint& b) {
    part.start = a;
    part.end = b;
    part.mid.unset();
    part.computeTwoPoints(a.x, a.y, b.x, b.y);
}

bool CPaintThreePoint::computeTwoPoints(int, int, int, int) {
    // The pen of a loaded tool reaches the parts here too.
    for (CPaintMethodBase* part :
         {static_cast<CPaintMethodBase*>(&first), static_cast<CPaintMethodBase*>(&second)}) {
        part->color = color;
        part->width = width;
        part->style = style;
    }
    if (start.isSet() && mid.isSet()) {
        place(first, start, mid);
    }
    if (mid.isSet() && end.isSet()) {
        place(second, mid, end);
    }
    return true;
}

void CPaintThreePoint::drawShape(int, int, int, int) {
    if (start.isSet() && mid.isSet()) {
        first.draw();
    }
    if (mid.isSet() && end.isSet()) {
        second.draw();
    }
}

bool CPaintThreePoint::hitBody(int x, int y) const {
    return (start.isSet() && mid.isSet() && first.hitBody(x, y)) ||
           (mid.isSet() && end.isSet() && second.hitBody(x, y));
}

void CPaintThreePoint::selectionChanged() {
    first.selected = selected;
    second.selected = selected;
}

void CPaintThreePoint::reset() {
    CPaintMethodBase::reset();
    first.reset();
    second.reset();
}

CPaintTrendLine::CPaintTrendLine() {
    golden.attached = false;
}

void CPaintTrendLine::forEachPart(void (*fn)(CPaintMethodBase&, int), int value) {
    CPaintThreePoint::forEachPart(fn, value);
    fn(golden, value);
}

bool CPaintTrendLine::computeTwoPoints(int x1, int y1, int x2, int y2) {
    CPaintThreePoint::computeTwoPoints(x1, y1, x2, y2);
    golden.color = color;
    golden.width = width;
    golden.style = style;
    golden.setChart(chart);
    golden.setPainter(painter);
    golden.setRect(paneRect.left(), paneRect.top(), paneRect.right(), paneRect.bottom());
    if (end.isSet() && mid.isSet() && start.isSet()) {
        paint::PaintPoint to = end;
        to.y = end.y + mid.y - start.y;
        place(golden, end, to);
    }
    return true;
}

void CPaintTrendLine::drawShape(int x1, int y1, int x2, int y2) {
    CPaintThreePoint::drawShape(x1, y1, x2, y2);
    if (end.isSet() && mid.isSet()) {
        golden.draw();
    }
}

bool CPaintTrendLine::hitBody(int x, int y) const {
    return CPaintThreePoint::hitBody(x, y) || (end.isSet() && mid.isSet() && golden.hitBody(x, y));
}

void CPaintTrendLine::selectionChanged() {
    CPaintThreePoint::selectionChanged();
    golden.selected = selected;
}

void CPaintTrendLine::reset() {
    CPaintThreePoint::reset();
    golden.reset();
}
