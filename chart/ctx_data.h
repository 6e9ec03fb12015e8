// The per-formula record of a chart layer: its VM context, pane geometry and names.
#ifndef VQ_CHART_CTX_DATA_H
#define VQ_CHART_CTX_DATA_H

#include "chart/kdata.h"
#include "libquote/quote.h"

#include <QRect>
#include <QString>

#include <vector>

class QChart;

// Value range and plot rectangle of one formula's pane. Rectangles are QRect, so right()
// and bottom() are inclusive and height() is bottom - top + 1.
struct PaneGeometry {
    float max = 0;
    float min = 0;
    QRect rect;
    float barWidth = 0;
    float barGap = 1;
    QRect fullRect;
};

struct CTXData {
    int ctx = 0;  // VM context of the formula instance; 0 = nothing to draw
    PaneGeometry geo;
    QString scales;            // "KSCALES", "MSCALES" or "NO"
    QString crosshair;         // "KCROSSHAIR", "MCROSSHAIR" or "NO"
    QString name;              // registry name; "KLINE" / "MLINE" for a chart's main formula
    QuoteCodeInfo security{};  // zero until a series is bound
    std::vector<KData>* series = nullptr;  // bars of the last evaluation
    bool drawMain = true;                  // false for a formula that replaces the price bars
    QChart* owner = nullptr;

    int decimal() const { return security.decimal; }
};

using CTXLayer = std::vector<CTXData>;

#endif
