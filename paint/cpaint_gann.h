// The Gann fan, the Fibonacci time zones, and the golden collection that combines both with a
// golden split.
#ifndef VQ_PAINT_CPAINT_GANN_H
#define VQ_PAINT_CPAINT_GANN_H

#include "paint/cpaint_levels.h"

class CPaintGannLine : public CPaintMethodBase {
public:
    const char* typeName() const override { return "PaintGannLine"; }
    bool computeTwoPoints(int x1, int y1, int x2, int y2) override;
    void drawShape(int x1, int y1, int x2, int y2) override;
    void drawLabel(int x1, int y1, int x2, int y2) override;
    bool hitBody(int x, int y) const override;
    void reset() override;

    double k[9] = {};
    double b[9] = {};
};

class CPaintFibonacci : public CPaintMethodBase {
public:
    static constexpr int kOffsets = 20;
    const char* typeName() const override { return "PaintFibonacci"; }
    void drawShape(int x1, int y1, int x2, int y2) override;
    void drawHandles(int x1, int y1, int x2, int y2) override;
    bool hitStart(int, int) const override { return false; }
    bool hitBody(int x, int y) const override;
    // Pixel x of zone line i, as drawn; false without a chart.
    bool lineX(int i, int* x) const;
};

class CPaintGoldenCollect : public CPaintMethodBase {
public:
    CPaintGoldenCollect();
    const char* typeName() const override { return "PaintGoldenCollect"; }
    void setChart(paint::PaintHost* chart) override;
    void setPainter(QPainter* painter) override;
    void setRect(int left, int top, int right, int bottom) override;
    void setStart(int x, int y) override;
    void setMid(int x, int y) override;
    void setEnd(int x, int y) override;
    void moveBy(int dx, int dy) override;
    void update() override;
    void draw() override;
    bool hitBody(int x, int y) const override;
    void selectionChanged() override;
    void resolveAnchors() override;
    void refreshGeometry() override;
    bool savedObject(paint::SavedObject& out) const override;
    void readSavedObject(const QJsonObject& o) override;
    void reset() override;

    CPaintGannLine gann;
    CPaintGoldenSplit golden;
    CPaintFibonacci fibonacci;

private:
    CPaintMethodBase* parts_[3];
};

#endif
