// Marks placed on a bar: the up and down arrows and the text note.
#ifndef VQ_PAINT_CPAINT_MARKS_H
#define VQ_PAINT_CPAINT_MARKS_H

#include "paint/cpaint_method_base.h"

#include <QFont>

class CPaintUpArrow : public CPaintMethodBase {
public:
    const char* typeName() const override { return "PaintUpArrow"; }
    void drawShape(int x1, int y1, int x2, int y2) override;
    void drawHandles(int, int, int, int) override {}
    bool hitBody(int x, int y) const override;
    void draw() override;
    // The seven vertices of the arrow centred on (x, y).
    static void outline(int x, int y, QPoint out[7]);
};

class CPaintDownArrow : public CPaintMethodBase {
public:
    const char* typeName() const override { return "PaintDownArrow"; }
    void drawShape(int x1, int y1, int x2, int y2) override;
    void drawHandles(int, int, int, int) override {}
    bool hitBody(int x, int y) const override;
    void draw() override;
    static void outline(int x, int y, QPoint out[7]);
};

class CPaintText : public CPaintMethodBase, public IPaintTextEditor {
public:
    CPaintText();
    const char* typeName() const override { return "PaintText"; }
    void setStart(int x, int y) override;
    void drawLabel(int x1, int y1, int x2, int y2) override;
    bool hitBody(int x, int y) const override;
    bool savedObject(paint::SavedObject& out) const override;
    void readSavedObject(const QJsonObject& o) override;
    IPaintTextEditor* textEditor() override { return this; }
    void refreshGeometry() override;

    void edit() override;
    void setText(const QString& text, const QString& color, const QString& font) override;
    uint editId() const override { return editId_; }

    static const QString& placeholder();

    QString text;
    QFont font;
    QRect textRect;

private:
    uint editId_ = 0;
};

#endif
