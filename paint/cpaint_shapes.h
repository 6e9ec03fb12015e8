// Closed shapes: the rectangle, the circle, the half ellipse and the full-height band that
// selects an interval of bars.
#ifndef VQ_PAINT_CPAINT_SHAPES_H
#define VQ_PAINT_CPAINT_SHAPES_H

#include "paint/cpaint_method_base.h"

class CPaintRect : public CPaintMethodBase {
public:
    const char* typeName() const override { return "PaintRect"; }
    void drawShape(int x1, int y1, int x2, int y2) override;
    void drawLabel(int x1, int y1, int x2, int y2) override;
    bool hitBody(int x, int y) const override;
    bool savedObject(paint::SavedObject& out) const override;
};

class CPaintEllipse : public CPaintMethodBase {
public:
    const char* typeName() const override { return "PaintEllipse"; }
    bool computeTwoPoints(int x1, int y1, int x2, int y2) override;
    void drawShape(int x1, int y1, int x2, int y2) override;
    void drawLabel(int x1, int y1, int x2, int y2) override;
    bool hitBody(int x, int y) const override;
    bool savedObject(paint::SavedObject& out) const override;
    void readSavedObject(const QJsonObject& o) override;
    void reset() override;

    double radius = 0;
};

class CPaintArcEllipse : public CPaintMethodBase {
public:
    const char* typeName() const override { return "PaintArcEllipse"; }
    bool computeTwoPoints(int x1, int y1, int x2, int y2) override;
    void drawShape(int x1, int y1, int x2, int y2) override;
    bool hitBody(int x, int y) const override;
    bool savedObject(paint::SavedObject& out) const override;
    void reset() override;
    // Qt start angle (sixteenths of a degree) of the half ellipse through start and end.
    static int startAngle(int x1, int y1, int x2, int y2);

    int cx = 0;
    int cy = 0;
    QRect bounds;
    int fullWidth = 0;
    int fullHeight = 0;
};

class CPaintFullRect : public CPaintMethodBase {
public:
    CPaintFullRect();
    const char* typeName() const override { return "PaintFullRect"; }
    bool computeTwoPoints(int x1, int y1, int x2, int y2) override;
    void drawShape(int x1, int y1, int x2, int y2) override;
    void drawLabel(int x1, int y1, int x2, int y2) override;
    void drawHandles(int, int, int, int) override {}
    bool hitBody(int x, int y) const override;
    bool hitStart(int x, int y) const override;
    bool hitEnd(int x, int y) const override;
    bool savedObject(paint::SavedObject&) const override { return false; }
    void reset() override;

    QRect band;
};

#endif
