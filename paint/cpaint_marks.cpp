#include "paint/cpaint_marks.h"

#include <QColor>
#include <QDateTime>
#include <QFontMetrics>
#include <QPainter>

void CPaintUpArrow::outline(int x, int y, QPoint out[7]) {
    const int left = x - 5;
    const int top = y - 7;
    const int right = left + 10;
    const int bottom = top + 13;
    out[0] = QPoint(left + 5, top + 1);
    out[1] = QPoint(left, top + 7);
    out[2] = QPoint(left + 2, top + 7);
    out[3] = QPoint(left + 2, bottom - 2);
    out[4] = QPoint(right - 2, bottom - 2);
    out[5] = QPoint(right - 2, top + 7);
    out[6] = QPoint(right, top + 7);
}

void CPaintUpArrow::draw() {
    color = 0xff0000;
    CPaintMethodBase::draw();
}

void CPaintUpArrow::drawShape(int, int, int x2, int y2) {
    QPoint p[7];
    outline(x2, y2, p);
    pen.polyline(p, 7, true);
}

bool CPaintUpArrow::hitBody(int x, int y) const {
    return end.isSet() && hitPoint(x, y, end.x, end.y);
}

void CPaintDownArrow::outline(int x, int y, QPoint out[7]) {
    const int left = x - 5;
    const int top = y - 7;
    const int right = left + 9;
    const int bottom = top + 13;
    out[0] = QPoint(left + 5, bottom - 1);
    out[1] = QPoint(left, bottom - 7);
    out[2] = QPoint(left + 2, bottom - 7);
    out[3] = QPoint(left + 2, top + 2);
    out[4] = QPoint(right - 2, top + 2);
    out[5] = QPoint(right - 2, bottom - 7);
    out[6] = QPoint(right, bottom - 7);
}

void CPaintDownArrow::draw() {
    color = 0x00ff00;
    CPaintMethodBase::draw();
}

void CPaintDownArrow::drawShape(int, int, int x2, int y2) {
    QPoint p[7];
    outline(x2, y2, p);
    pen.polyline(p, 7, true);
}

bool CPaintDownArrow::hitBody(int x, int y) const {
    return end.isSet() && hitPoint(x, y, end.x, end.y);
}

CPaintText::CPaintText() {
    font = QFont(QStringLiteral("Microsoft YaHei"));
    font.setPixelSize(12);
    font.setWeight(50);
    font.setStyle(QFont::StyleNormal);
}

const QString& CPaintText::placeholder() {
    static const QString text = QStringLiteral("请输入文字");
    return text;
}

void CPaintText::setStart(int x, int y) {
    if (!text.isEmpty()) {
        CPaintMethodBase::setStart(x, y);
        return;
    }
    // A new note is placed by one click and asks for its text at once.
    start = pointAt(x, y, start);
    end = start;
    edit();
}

void CPaintText::edit() {
    if (text.isEmpty()) {
        text = placeholder();
    }
    editId_ = uint(QDateTime::currentSecsSinceEpoch());
    if (chart) {
        chart->requestTextDialog(editId_, text, paint::colorText(color), font.toString());
    }
}

void CPaintText::setText(const QString& t, const QString& colorName, const QString& fontName) {
    text = t;
    QFont f;
    if (!fontName.isEmpty() && f.fromString(fontName)) {
        font = f;
    }
    const QColor c(colorName);
    if (c.isValid()) {
        color = int(c.rgb() & 0xffffffu);
    }
}

void CPaintText::drawLabel(int x1, int y1, int, int) {
    textRect = pen.textBlock(x1, y1, text, font);
}

bool CPaintText::hitBody(int x, int y) const {
    return textRect.contains(x, y);
}

bool CPaintText::savedObject(paint::SavedObject& out) const {
    if (text.isEmpty()) {
        return false;
    }
    out.add("type", QString::fromLatin1(typeName()));
    out.add("text", text);
    out.add("font", font.toString());
    writeCommon(out);
    return true;
}

void CPaintText::readSavedObject(const QJsonObject& o) {
    const QJsonValue t = o.value(QLatin1String("text"));
    if (t.isString()) {
        text = t.toString();
    }
    const QJsonValue f = o.value(QLatin1String("font"));
    QFont loaded;
    if (f.isString() && loaded.fromString(f.toString())) {
        font = loaded;
    }
    CPaintMethodBase::readSavedObject(o);
    // The rectangle hit tests use is known before the first paint.
    refreshGeometry();
}

void CPaintText::refreshGeometry() {
    QPainter* painter = pen.painter;
    pen.painter = nullptr;
    textRect = pen.textBlock(start.x, start.y, text, font);
    pen.painter = painter;
}
