// The chart item's own layer over the layer images: value axis, crosshair with its labels, and
// the drawing tools (the interval band among them).
#include "chart/chart_painters.h"
#include "chart/qchart.h"

#include <QPainter>

#include <algorithm>

void QChart::paint(QPainter* painter) {
    if (layers_.empty() || layers_[0]->empty() || series_.empty()) {
        return;
    }
    CTXData& main = (*layers_[0])[0];
    if (chart::ScalesPainter scales = chart::scalesPainter(main.scales)) {
        const int grid = main.name == QLatin1String("KLINE")   ? 3
                         : main.name == QLatin1String("MLINE") ? 5
                                                               : 1;
        painter->save();
        scales(painter, grid, main, begin_, end_, kShowNumber_);
        painter->restore();
    }
    if (chart::CrosshairPainter crosshair = chart::crosshairPainter(main.crosshair)) {
        painter->save();
        crosshair(painter, main, mouseX_, mouseY_, begin_, end_ + 1, showCrosshair_);
        painter->restore();
    }
    paintDrawingTools(painter, main);
}
