// Paints every formula of one chart layer: the work of an FChart, kept apart from the item so
// that it can run on any painter.
#ifndef VQ_CHART_LAYER_RENDERER_H
#define VQ_CHART_LAYER_RENDERER_H

#include "chart/ctx_data.h"

class QPainter;

namespace chart {

// Draws the outputs of the layer's formulas over bars begin .. end. The first formula (the
// price bars) is left out when any formula of the layer takes its place; formulas without a
// VM context draw nothing.
void renderLayer(QPainter* painter, const CTXLayer& layer, int begin, int end);

}  // namespace chart

#endif
