// Axis and crosshair painters, looked up by the scales and crosshair names a formula was
// added with. QChart calls them over its layer images; FChart does not use them.
#ifndef VQ_CHART_CHART_PAINTERS_H
#define VQ_CHART_CHART_PAINTERS_H

#include "chart/ctx_data.h"

#include <QString>

class QPainter;

namespace chart {

// Paints the value axis and grid of a pane. The minute painter makes the range symmetric
// about the previous close and writes it back into d.geo.
using ScalesPainter = void (*)(QPainter* painter, int gridCount, CTXData& d, int begin, int end,
                               int showNumber);
// Paints the crosshair lines and its value labels. stop is one past the last visible bar.
using CrosshairPainter = void (*)(QPainter* painter, const CTXData& d, int mouseX, int mouseY,
                                  int begin, int stop, bool show);

// "KSCALES", "MSCALES"; null for any other name ("NO").
ScalesPainter scalesPainter(const QString& name);
// "KCROSSHAIR", "MCROSSHAIR"; null for any other name.
CrosshairPainter crosshairPainter(const QString& name);

// The registered painters themselves.
void paintKScales(QPainter* painter, int gridCount, CTXData& d, int begin, int end, int showNumber);
void paintMScales(QPainter* painter, int gridCount, CTXData& d, int begin, int end, int showNumber);
void paintKCrosshair(QPainter* painter, const CTXData& d, int mouseX, int mouseY, int begin,
                     int stop, bool show);
void paintMCrosshair(QPainter* painter, const CTXData& d, int mouseX, int mouseY, int begin,
                     int stop, bool show);

}  // namespace chart

#endif
