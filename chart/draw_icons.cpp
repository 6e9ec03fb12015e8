// 16 x 16 icons at prices (kind 7), taken from the chart's resource images.
#include "chart/chart_style.h"
#include "chart/output_drawers.h"

#include "libformula/fml.h"

#include <QHash>
#include <QImage>
#include <QPainter>

#include <algorithm>

// The icons live in the chart library's own resource file; a static library has to register
// it by hand.
static void initChartResources() {
    Q_INIT_RESOURCE(chart);
}

namespace chart {

namespace {

constexpr int kIconSize = 16;

// Loaded once per icon number; a number without an image gives a null image.
const QImage& iconImage(int number) {
    static QHash<int, QImage> cache;
    static const bool registered = (initChartResources(), true);
    Q_UNUSED(registered);
    auto it = cache.find(number);
    if (it == cache.end()) {
        it = cache.insert(number, QImage(QStringLiteral(":/images/icon_fml/%1.png").arg(number)));
    }
    return *it;
}

}  // namespace

void drawIconOutput(const OutputJob& job) {
    fml_op_icon r{};
    if (!fml_ctx_op_icon(job.ctx, &r, job.op) || !r.price) {
        return;
    }
    const QImage& image = iconImage(r.icon);
    if (image.isNull()) {
        return;
    }
    const PaneMap map(job.geo);
    const int bottom = job.geo.rect.bottom();
    const int last = std::min(job.stop, r.count);
    for (int i = std::max(job.first, 0), k = i - job.first; i < last; ++i, ++k) {
        if (r.price[i] == FMLInvalidValue) {
            continue;
        }
        int top = pixel(map.valueY(r.price[i]));
        if (top + kIconSize > bottom) {
            top = bottom - kIconSize;
        }
        job.painter->drawImage(
            QRect(pixel(map.slotX(k)) - kIconSize / 2, top, kIconSize, kIconSize), image);
    }
}

}  // namespace chart
