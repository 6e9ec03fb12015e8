// What the value axes show: the grid levels with their labels, and the marks of the highest
// high and lowest low. Computed apart from the painting so that callers can check them.
#ifndef VQ_CHART_AXIS_LEVELS_H
#define VQ_CHART_AXIS_LEVELS_H

#include "chart/ctx_data.h"

#include <QColor>
#include <QRect>
#include <QString>

#include <vector>

namespace chart {

struct AxisLevel {
    double value = 0;
    int row = 0;    // pixel row of the grid line, on the plot
    QString left;   // label left of the plot, right-aligned
    QString right;  // label right of the plot, left-aligned; empty for none
    QColor color;   // colour of both labels
};

// gridCount + 2 levels from the top (max) down to min, evenly spaced.
std::vector<AxisLevel> kScalesLevels(const CTXData& d, int gridCount);
// Makes d's range symmetric about the previous close (written back), then gives the levels:
// prices coloured by their side of the middle level, percentages on the right.
std::vector<AxisLevel> mScalesLevels(CTXData& d, int gridCount);

// The label of the highest high or lowest low of the visible bars, with its arrow pointing at
// the bar, placed in box.
struct PriceMark {
    QString text;
    QRect box;
};
// Both marks (high first) of bars begin .. end; empty when there is no valid bar.
std::vector<PriceMark> highLowMarks(const CTXData& d, int begin, int end);

}  // namespace chart

#endif
