#include "chart/layer_renderer.h"

#include "chart/chart_style.h"
#include "chart/output_drawers.h"

#include "libformula/fml.h"

#include <QPainter>

#include <algorithm>

namespace chart {

void renderLayer(QPainter* painter, const CTXLayer& layer, int begin, int end) {
    const bool drawFirst =
        std::all_of(layer.begin(), layer.end(), [](const CTXData& d) { return d.drawMain; });
    for (size_t i = 0; i < layer.size(); ++i) {
        const CTXData& d = layer[i];
        if ((i == 0 && !drawFirst) || d.ctx == 0) {
            continue;
        }
        painter->save();
        style::resetPalette();
        OutputJob job{painter, d.ctx, 0, d.geo, begin, end + 1};
        int kind = 0;
        for (int j = 0; fml_ctx_op_seq_get(d.ctx, j, &kind, &job.op); ++j) {
            if (OutputDrawer draw = outputDrawer(kind)) {
                draw(job);
            }
        }
        painter->restore();
    }
}

}  // namespace chart
