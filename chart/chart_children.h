// What a QChart needs of the items stacked on it: the layer images and the title strips.
// FChart and TitleBar implement these, so the chart depends on no painting code of theirs.
#ifndef VQ_CHART_CHART_CHILDREN_H
#define VQ_CHART_CHART_CHILDREN_H

#include "chart/ctx_data.h"

namespace chart {

// One layer image: told the visible window and its layer at every layout.
class LayerView {
public:
    virtual ~LayerView() = default;
    virtual void setWindow(int begin, int end) = 0;
    // Setting the layer re-renders the cached image and schedules a repaint.
    virtual void setLayer(CTXLayer* layer) = 0;
};

// One title strip: the formulas of layer 0 and the bar under the crosshair.
class TitleView {
public:
    virtual ~TitleView() = default;
    virtual void setCTXData(CTXLayer* formulas) = 0;
    virtual void setCurX(int bar) = 0;
};

}  // namespace chart

#endif
