// The drawers of formula outputs, one per draw kind, called by the layer renderer.
#ifndef VQ_CHART_OUTPUT_DRAWERS_H
#define VQ_CHART_OUTPUT_DRAWERS_H

#include "chart/ctx_data.h"
#include "chart/pane_map.h"

class QPainter;

namespace chart {

// What a drawer gets for one output: the formula's VM context and its output handle, the pane
// geometry (a copy taken for this formula), and the visible bars first .. stop - 1.
struct OutputJob {
    QPainter* painter;
    int ctx;
    int op;
    PaneGeometry geo;
    int first;
    int stop;
};

using OutputDrawer = void (*)(const OutputJob& job);

// The drawer of a draw kind; null for the kinds that draw nothing (0, 4) and unknown kinds.
OutputDrawer outputDrawer(int kind);

void drawLineOutput(const OutputJob& job);       // kind 1
void drawStickOutput(const OutputJob& job);      // kind 2
void drawNumberOutput(const OutputJob& job);     // kind 3
void drawStringOutput(const OutputJob& job);     // kind 5
void drawBandOutput(const OutputJob& job);       // kind 6
void drawIconOutput(const OutputJob& job);       // kind 7
void drawFixNumberOutput(const OutputJob& job);  // kind 8
void drawFixStringOutput(const OutputJob& job);  // kind 9
void drawRectOutput(const OutputJob& job);       // kind 10
void drawKLineOutput(const OutputJob& job);      // kind 11

// The first element of a context's float argument (a static argument such as "_color", or a
// series); false when the context has no such argument or its value is missing.
bool firstArgumentValue(int ctx, const char* name, float* out);
// A named series of a context after a run (a variable, or a data name such as "C"); null when
// the context does not know it. length, when given, receives its element count.
const float* argumentSeries(int ctx, const char* name, int* length);

}  // namespace chart

#endif
