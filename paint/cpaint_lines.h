// Straight tools: the infinite line, the segment and the speed resistance lines.
#ifndef VQ_PAINT_CPAINT_LINES_H
#define VQ_PAINT_CPAINT_LINES_H

#include "paint/cpaint_method_base.h"

class CPaintLine : public CPaintMethodBase {
public:
    const char* typeName() const override { return "PaintLine"; }
    bool computeTwoPoints(int x1, int y1, int x2, int y2) override;
    void drawShape(int x1, int y1, int x2, int y2) override;
    void drawLabel(int x1, int y1, int x2, int y2) override;
    bool hitBody(int x, int y) const override;
    bool savedObject(paint::SavedObject& out) const override;
    void readSavedObject(const QJsonObject& o) override;
    void reset() override;

    double k = 0;  // pixel line y = k * x + b
    double b = 0;

protected:
    bool onLine(int x, int y) const;
};

class CPaintSegment : public CPaintLine {
public:
    const char* typeName() const override { return "PaintSegment"; }
    void drawShape(int x1, int y1, int x2, int y2) override;
    bool hitBody(int x, int y) const override;
    bool savedObject(paint::SavedObject& out) const override;
};

class CPaintSpeedBlock : public CPaintMethodBase {
public:
    const char* typeName() const override { return "PaintSpeedBlock"; }
    bool computeTwoPoints(int x1, int y1, int x2, int y2) override;
    void drawShape(int x1, int y1, int x2, int y2) override;
    void drawLabel(int x1, int y1, int x2, int y2) override;
    bool hitBody(int x, int y) const override;
    void reset() override;

    double k[3] = {0, 0, 0};
    double b[3] = {0, 0, 0};
};

namespace paint {
// The angle label of a line of pixel slope k.
QString angleLabel(double k);
}  // namespace paint

#endif
