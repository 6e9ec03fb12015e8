// Regression tools over the closes between two bars: the regression line, the band through
// the extreme highs and lows, and the channel that continues all three lines to the right.
#ifndef VQ_PAINT_CPAINT_REGRESSION_H
#define VQ_PAINT_CPAINT_REGRESSION_H

#include "paint/cpaint_lines.h"

class CPaintLinerRegression : public CPaintMethodBase {
public:
    CPaintLinerRegression();
    const char* typeName() const override { return "PaintLinerRegression"; }
    void setChart(paint::PaintHost* chart) override;
    void setRect(int left, int top, int right, int bottom) override;
    bool computeTwoPoints(int x1, int y1, int x2, int y2) override;
    void drawShape(int x1, int y1, int x2, int y2) override;
    bool hitBody(int x, int y) const override;
    void reset() override;

    // Pixel row of value `offset * slope + intercept` at bar offset `offset`.
    int rowOf(int offset, double intercept) const;

    double pricePerPixel = 0;
    int n = 0;
    int firstBar = 0;
    double slope = 0;
    double intercept = 0;
    double upper = 0;
    double lower = 0;
    bool computed = false;
    CPaintSegment line;

protected:
    virtual bool wantsBand() const { return false; }
    void drawBandLines(int xl, int xr, int span);
    int left_ = 0;
    int right_ = 0;
    int span_ = 0;
};

class CPaintLinerRegressionBand : public CPaintLinerRegression {
public:
    const char* typeName() const override { return "PaintLinerRegressionBand"; }
    void drawShape(int x1, int y1, int x2, int y2) override;

protected:
    bool wantsBand() const override { return true; }
};

class CPaintRegressionChannel : public CPaintLinerRegression {
public:
    const char* typeName() const override { return "PaintRegressionChannel"; }
    void drawShape(int x1, int y1, int x2, int y2) override;

protected:
    bool wantsBand() const override { return true; }
};

#endif
