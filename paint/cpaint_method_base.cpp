#include "paint/cpaint_method_base.h"

#include <QJsonValue>
#include <QPainter>

#include <algorithm>
#include <charconv>
#include <cmath>

namespace paint {

int snapToSlot(const PaneGeometry& g, int x) {
    const double slot = double(g.barWidth) + double(g.barGap);
    if (!(slot > 0)) {
        return x;
    }
    const double n = std::trunc((x - g.rect.left()) / slot);
    return int(std::trunc(slot * n + g.rect.left() + g.barWidth * 0.5));
}

namespace {

QByteArray savedText(const QJsonObject& o, const char* key, bool* present) {
    const QJsonValue v = o.value(QLatin1String(key));
    *present = v.isString();
    return *present ? v.toString().trimmed().toUtf8() : QByteArray();
}

}  // namespace

long long savedInt(const QJsonObject& o, const char* key, long long fallback) {
    bool present = false;
    const QByteArray t = savedText(o, key, &present);
    if (!present) {
        return fallback;
    }
    const char* b = t.constData();
    const char* e = b + t.size();
    if (b != e && *b == '+') {
        ++b;
    }
    long long v = 0;
    std::from_chars(b, e, v);
    return v;
}

double savedDouble(const QJsonObject& o, const char* key, double fallback) {
    bool present = false;
    const QByteArray t = savedText(o, key, &present);
    if (!present) {
        return fallback;
    }
    const char* b = t.constData();
    const char* e = b + t.size();
    if (b != e && *b == '+') {
        ++b;
    }
    double v = 0;
    std::from_chars(b, e, v);
    return std::isfinite(v) ? v : 0.0;
}

static long long savedHex(const QJsonObject& o, const char* key, long long fallback) {
    bool present = false;
    QByteArray t = savedText(o, key, &present);
    if (!present) {
        return fallback;
    }
    if (t.startsWith("0x") || t.startsWith("0X")) {
        t = t.mid(2);
    }
    unsigned long long v = 0;
    std::from_chars(t.constData(), t.constData() + t.size(), v, 16);
    return (long long)(uint32_t(v));
}

QString priceText(double v) {
    return QString::number(std::isfinite(v) ? v : 0.0, 'f', 2);
}

QString preciseText(double v) {
    return QString::number(std::isfinite(v) ? v : 0.0, 'f', 14);
}

}  // namespace paint

using paint::PaintPoint;

CPaintMethodBase::CPaintMethodBase() = default;
CPaintMethodBase::~CPaintMethodBase() = default;

void CPaintMethodBase::setChart(paint::PaintHost* c) {
    chart = c;
}

void CPaintMethodBase::setPainter(QPainter* p) {
    painter = p;
    pen.painter = p;
}

void CPaintMethodBase::setRect(int left, int top, int right, int bottom) {
    paneRect = QRect(QPoint(left, top), QPoint(right, bottom));
}

void CPaintMethodBase::setColor(int rgb) {
    color = rgb;
}

void CPaintMethodBase::setWidth(int w) {
    width = w;
}

void CPaintMethodBase::setStyle(int s) {
    style = s;
}

PaintPoint CPaintMethodBase::pointAt(int x, int y, const PaintPoint& previous) const {
    PaintPoint p = previous;
    p.x = x;
    p.y = y;
    const PaneGeometry* g = chart ? chart->mainGeometry() : nullptr;
    if (!g) {
        return p;
    }
    const double slot = double(g->barGap) + double(g->barWidth);
    const double relative = slot > 0 ? std::trunc((x - g->rect.left()) / slot) : 0.0;
    const double idx = std::min(double(chart->end()), chart->begin() + relative);
    p.index = std::max(0, int(std::clamp(idx, -1e9, 1e9)));
    const KSeries* bars = chart->bars();
    if (bars && p.index < int(bars->size())) {
        p.time = (*bars)[size_t(p.index)].time;
    }
    const double range = double(g->max) - double(g->min);
    const double scale = range != 0 ? g->rect.height() / range : 1.0;
    p.price = float(g->max - (y - g->rect.top()) / scale);
    return p;
}

void CPaintMethodBase::project(PaintPoint& p) const {
    const PaneGeometry* g = chart ? chart->mainGeometry() : nullptr;
    if (!g) {
        p.x = p.y = -1;
        return;
    }
    const double slot = double(g->barGap) + double(g->barWidth);
    const double x = slot * (p.index - chart->begin()) + g->rect.left() + g->barWidth * 0.5;
    const double range = double(g->max) - double(g->min);
    const double scale = range != 0 ? g->rect.height() / range : 1.0;
    const double y = (double(g->max) - p.price) * scale + g->rect.top();
    // Far-off prices must not overflow the pixel ints.
    p.x = int(std::trunc(std::clamp(x, -1e8, 1e8)));
    p.y = std::isfinite(y) ? int(std::trunc(std::clamp(y, -1e8, 1e8))) : 0;
}

void CPaintMethodBase::setStart(int x, int y) {
    start = pointAt(x, y, start);
    if ((attached && end.isSet()) || mid.isSet()) {
        update();
    }
}

void CPaintMethodBase::setMid(int x, int y) {
    mid = pointAt(x, y, mid);
    if ((attached && start.isSet()) || end.isSet()) {
        update();
    }
}

void CPaintMethodBase::setEnd(int x, int y) {
    end = pointAt(x, y, end);
    if ((attached && start.isSet()) || mid.isSet()) {
        update();
    }
}

void CPaintMethodBase::moveBy(int dx, int dy) {
    for (PaintPoint* p : {&start, &end, &mid}) {
        if (p->isSet()) {
            *p = pointAt(p->x + dx, p->y + dy, *p);
        }
    }
    moved = true;
    const bool ok = computeTwoPoints(start.x, start.y, end.x, end.y);
    if (ok && painter && attached) {
        draw();
    }
}

bool CPaintMethodBase::hitPoint(int x, int y, int px, int py) const {
    return QRect(px - 3, py - 3, 6, 6).contains(x, y);
}

bool CPaintMethodBase::hitHandle(int x, int y) const {
    return hitStart(x, y) || hitEnd(x, y) || hitMid(x, y);
}

bool CPaintMethodBase::hitStart(int x, int y) const {
    return start.isSet() && hitPoint(x, y, start.x, start.y);
}

bool CPaintMethodBase::hitEnd(int x, int y) const {
    return end.isSet() && hitPoint(x, y, end.x, end.y);
}

bool CPaintMethodBase::hitMid(int x, int y) const {
    return mid.isSet() && hitPoint(x, y, mid.x, mid.y);
}

void CPaintMethodBase::writeCommon(paint::SavedObject& out) const {
    out.add("kstart_time", QString::number(start.time));
    out.add("kstart_price", paint::priceText(start.price));
    out.add("kend_time", QString::number(end.time));
    out.add("kend_price", paint::priceText(end.price));
    out.add("kmid_time", QString::number(mid.time));
    out.add("kmid_price", paint::priceText(mid.price));
    out.add("m_color", QString::number(uint32_t(color), 16));
    out.add("m_size", QString::number(width));
    out.add("m_style", QString::number(style));
}

bool CPaintMethodBase::savedObject(paint::SavedObject& out) const {
    out.add("type", QString::fromLatin1(typeName()));
    writeCommon(out);
    return true;
}

void CPaintMethodBase::readCommon(const QJsonObject& o) {
    start.time = uint32_t(paint::savedInt(o, "kstart_time", start.time));
    start.price = float(paint::savedDouble(o, "kstart_price", start.price));
    end.time = uint32_t(paint::savedInt(o, "kend_time", end.time));
    end.price = float(paint::savedDouble(o, "kend_price", end.price));
    mid.time = uint32_t(paint::savedInt(o, "kmid_time", mid.time));
    mid.price = float(paint::savedDouble(o, "kmid_price", mid.price));
    color = int(paint::savedHex(o, "m_color", uint32_t(color)));
    width = int(std::clamp<long long>(paint::savedInt(o, "m_size", width), 0, 64));
    style = int(std::clamp<long long>(paint::savedInt(o, "m_style", style), 0, 5));
}

void CPaintMethodBase::readSavedObject(const QJsonObject& o) {
    readCommon(o);
    resolveAnchors();
    project(start);
    project(end);
    project(mid);
}

void CPaintMethodBase::resolve(PaintPoint& p, const KSeries* bars) {
    if (!bars || p.index < 0 || p.index >= int(bars->size())) {
        if (!bars || bars->empty() || p.index >= 0) {
            return;
        }
    } else if ((*bars)[size_t(p.index)].time == p.time) {
        return;
    }
    // Bars are in ascending time: the first bar with the time is found by bisection.
    auto it = std::lower_bound(bars->begin(), bars->end(), p.time,
                               [](const KData& k, uint32_t t) { return k.time < t; });
    if (it != bars->end() && it->time == p.time) {
        p.index = int(it - bars->begin());
    }
}

bool CPaintMethodBase::inSeries(const PaintPoint& p, const KSeries* bars) {
    return bars && p.index >= 0 && p.index < int(bars->size()) &&
           (*bars)[size_t(p.index)].time == p.time;
}

void CPaintMethodBase::resolveAnchors() {
    const KSeries* bars = chart ? chart->bars() : nullptr;
    resolve(start, bars);
    resolve(end, bars);
    resolve(mid, bars);
}

bool CPaintMethodBase::anchoredInSeries() const {
    const KSeries* bars = chart ? chart->bars() : nullptr;
    return inSeries(start, bars) && inSeries(end, bars) && (!threeClick || inSeries(mid, bars));
}

void CPaintMethodBase::update() {
    if (!moved) {
        for (PaintPoint* p : {&start, &end, &mid}) {
            if (p->isSet()) {
                project(*p);
            }
        }
    }
    moved = false;
    if (computeTwoPoints(start.x, start.y, end.x, end.y) && painter && attached) {
        draw();
    }
}

void CPaintMethodBase::reset() {
    start.unset();
    end.unset();
    mid.unset();
}

void CPaintMethodBase::syncPen() {
    pen.color = color;
    pen.width = width;
    pen.style = style;
    pen.painter = painter;
    pen.bounds = paneRect.isValid() ? QRectF(paneRect).adjusted(-8, -8, 8, 8) : QRectF();
}

void CPaintMethodBase::draw() {
    if (!start.isSet() || (!mid.isSet() && !end.isSet())) {
        return;
    }
    syncPen();
    drawShape(start.x, start.y, end.x, end.y);
    if (showLabel) {
        syncPen();
        drawLabel(start.x, start.y, end.x, end.y);
    }
    if (selected) {
        drawHandles(start.x, start.y, end.x, end.y);
    }
}

void CPaintMethodBase::drawHandles(int, int, int, int) {
    if (!painter) {
        return;
    }
    for (const PaintPoint* p : {&start, &end, &mid}) {
        if (p->isSet()) {
            painter->fillRect(QRect(p->x - 3, p->y - 3, 6, 6), paint::rgbColor(handleColor));
        }
    }
}

bool CPaintMethodBase::priceAt(int y, double* price) const {
    const PaneGeometry* g = chart ? chart->mainGeometry() : nullptr;
    if (!g) {
        return false;
    }
    const double range = double(g->max) - double(g->min);
    const double scale = range != 0 ? g->rect.height() / range : 1.0;
    *price = g->max - (y - g->rect.top()) / scale;
    return true;
}
