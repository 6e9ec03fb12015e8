// A chart layer built without a chart: formulas from the registry or from formula text, run on
// a chart-style VM over fixed bars, laid out as a chart lays out its panes, painted into images.
#ifndef VQ_TESTS_CHART_RENDER_RENDER_FIXTURE_H
#define VQ_TESTS_CHART_RENDER_RENDER_FIXTURE_H

#include "chart/ctx_data.h"
#include "chart/kdata.h"
#include "formula/formula.h"
#include "tests/libformula/test_bars.h"

#include <QColor>
#include <QImage>
#include <QRect>
#include <QString>

#include <memory>
#include <string>
#include <vector>

namespace render_test {

// The plot rectangle of most cases: 100 pixels high, so a range of 0 .. 100 maps one unit to
// one pixel row (value v at row 120 - v).
inline QRect plotRect(int width = 400) {
    return QRect(60, 20, width, 100);
}

// A bar whose prices are all given; time and volume follow the index.
testbars::Bar bar(int index, float open, float high, float low, float close, float vol = 1000);

class Pane {
public:
    Pane();
    ~Pane();
    Pane(const Pane&) = delete;
    Pane& operator=(const Pane&) = delete;

    void setBars(const std::vector<testbars::Bar>& bars);
    // A formula of the registry, with the "_color" argument a chart gives it.
    CTXData& addFormula(const QString& name, uint32_t makeColor = 0);
    // A formula compiled from text; fails the test (returns a record with ctx 0) when it does
    // not compile.
    CTXData& addProgram(const std::string& text, const QString& name = QStringLiteral("TEST"));
    // Stores a static argument of a formula, as a parameter or "_color" would be.
    static void setStatic(int ctx, const char* name, float value);

    // Runs every formula over the bars; false when one fails.
    bool run();
    // Pane geometry as a chart computes it for the window begin .. end of showNumber slots.
    void layout(const QRect& rect, int begin, int end, int showNumber);
    // Value range of every formula, replacing the one from the outputs.
    void setRange(float max, float min);

    QImage render(const QSize& size = QSize(600, 160)) const;

    CTXLayer layer;
    testbars::Series series;
    KSeries bars;
    int begin = 0;
    int end = 0;

private:
    testbars::ChartVm vm_;
    std::vector<std::shared_ptr<formula::Formula>> formulas_;
};

// The pixel at (x, y) as an opaque colour, and whether anything was painted there.
QColor colorAt(const QImage& image, int x, int y);
bool painted(const QImage& image, int x, int y);
// Colours equal within a small tolerance per channel.
bool sameColor(const QColor& a, const QColor& b, int tolerance = 8);
// Count of painted pixels in a rectangle.
int paintedCount(const QImage& image, const QRect& area);

}  // namespace render_test

#endif
