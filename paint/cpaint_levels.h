// Level tools: ratio lines between (or beyond) two points, horizontal at prices or vertical at
// bars, and the repeating cycle lines.
#ifndef VQ_PAINT_CPAINT_LEVELS_H
#define VQ_PAINT_CPAINT_LEVELS_H

#include "paint/cpaint_method_base.h"

#include <initializer_list>

class CPaintLevelBase : public CPaintMethodBase {
public:
    static constexpr int kMaxLevels = 15;

    bool computeTwoPoints(int x1, int y1, int x2, int y2) override;
    void drawShape(int x1, int y1, int x2, int y2) override;
    void drawLabel(int x1, int y1, int x2, int y2) override;
    bool hitBody(int x, int y) const override;

    // Level line coordinates on the level axis, as drawn (non-repeating tools).
    int levelAt(int i) const;
    // First repeat step: the one whose line is the first inside the pane.
    int firstRepeat() const;

    bool horizontal = true;
    bool fromStart = true;
    bool repeat = false;
    double levels[kMaxLevels] = {};
    int levelStyles[kMaxLevels] = {};
    int count = 0;
    int distance = 0;

protected:
    void setLevels(std::initializer_list<double> values, std::initializer_list<int> styles);
    int base() const;
};

class CPaintBandLine : public CPaintLevelBase {
public:
    CPaintBandLine();
    const char* typeName() const override { return "PaintBandLine"; }
};

class CPaintGoldenSplit : public CPaintLevelBase {
public:
    CPaintGoldenSplit();
    const char* typeName() const override { return "PaintGoldenSplit"; }
};

class CPaintGoldenPrice : public CPaintLevelBase {
public:
    CPaintGoldenPrice();
    const char* typeName() const override { return "PaintGoldenPrice"; }
    bool hitBody(int x, int y) const override;
};

class CPaintPercentage : public CPaintLevelBase {
public:
    CPaintPercentage();
    const char* typeName() const override { return "PaintPercentage"; }
};

class CPaintCycleLine : public CPaintLevelBase {
public:
    CPaintCycleLine();
    const char* typeName() const override { return "PaintCycleLine"; }
    void drawLabel(int x1, int y1, int x2, int y2) override;
};

#endif
