// Three-click tools: two joined segments, and the trend line that adds a golden split at its
// third point.
#ifndef VQ_PAINT_CPAINT_THREE_POINT_H
#define VQ_PAINT_CPAINT_THREE_POINT_H

#include "paint/cpaint_levels.h"
#include "paint/cpaint_lines.h"

class CPaintThreePoint : public CPaintMethodBase {
public:
    CPaintThreePoint();
    const char* typeName() const override { return "PaintThreePoint"; }
    void setChart(paint::PaintHost* chart) override;
    void setPainter(QPainter* painter) override;
    void setRect(int left, int top, int right, int bottom) override;
    void setColor(int rgb) override;
    void setWidth(int width) override;
    void setStyle(int style) override;
    bool computeTwoPoints(int x1, int y1, int x2, int y2) override;
    void drawShape(int x1, int y1, int x2, int y2) override;
    bool hitBody(int x, int y) const override;
    void selectionChanged() override;
    void reset() override;

    CPaintSegment first;
    CPaintSegment second;

protected:
    // Gives a part two points as pixels and computes its geometry.
    static void place(CPaintMethodBase& part, const paint::PaintPoint& a,
                      const paint::PaintPoint& b);
    virtual void forEachPart(void (*fn)(CPaintMethodBase&, int), int value);
};

class CPaintTrendLine : public CPaintThreePoint {
public:
    CPaintTrendLine();
    const char* typeName() const override { return "PaintTrendLine"; }
    bool computeTwoPoints(int x1, int y1, int x2, int y2) override;
    void drawShape(int x1, int y1, int x2, int y2) override;
    bool hitBody(int x, int y) const override;
    void selectionChanged() override;
    void reset() override;

    CPaintGoldenSplit golden;

protected:
    void forEachPart(void (*fn)(CPaintMethodBase&, int), int value) override;
};

#endif
