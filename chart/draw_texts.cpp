// Numbers and texts at prices (kinds 3 and 5) and a text at a fixed place of the pane (kind 9).
#include "chart/chart_style.h"
#include "chart/output_drawers.h"

#include "libformula/fml.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace chart {

namespace {

// Text centred on x with its baseline at y.
void drawCentred(QPainter* painter, const QFontMetrics& metrics, double x, double y,
                 const QString& text) {
    painter->drawText(QPointF(x - metrics.horizontalAdvance(text) / 2.0, y), text);
}

}  // namespace

void drawNumberOutput(const OutputJob& job) {
    fml_op_number r{};
    if (!fml_ctx_op_number(job.ctx, &r, job.op) || !r.price || !r.number) {
        return;
    }
    QPainter* p = job.painter;
    p->setFont(style::font());
    p->setPen(style::outputColor(r.color));
    const QFontMetrics metrics(style::font());
    const PaneMap map(job.geo);
    const int last = std::min(job.stop, r.count);
    for (int i = std::max(job.first, 0), k = i - job.first; i < last; ++i, ++k) {
        if (r.price[i] == FMLInvalidValue || r.number[i] == FMLInvalidValue) {
            continue;
        }
        drawCentred(p, metrics, map.slotX(k), map.valueY(r.price[i]),
                    QString::number(double(r.number[i]), 'f', 3));
    }
}

void drawStringOutput(const OutputJob& job) {
    fml_op_string r{};
    if (!fml_ctx_op_string(job.ctx, &r, job.op) || !r.price || !r.text) {
        return;
    }
    QPainter* p = job.painter;
    p->setFont(style::font());
    p->setPen(style::outputColor(r.color));
    const QFontMetrics metrics(style::font());
    const QString text = QString::fromUtf8(r.text);
    const PaneMap map(job.geo);
    const int last = std::min(job.stop, r.count);
    for (int i = std::max(job.first, 0), k = i - job.first; i < last; ++i, ++k) {
        const float price = r.price[i];
        // A position of 0 means "no text here" as well.
        if (price == FMLInvalidValue || price == 0.0f) {
            continue;
        }
        drawCentred(p, metrics, map.slotX(k), map.valueY(price), text);
    }
}

void drawFixStringOutput(const OutputJob& job) {
    fml_op_fix_string r{};
    if (!fml_ctx_op_fix_string(job.ctx, &r, job.op) || !r.visible || !r.text) {
        return;
    }
    const QRect& rect = job.geo.rect;
    job.painter->setFont(style::font());
    job.painter->setPen(style::outputColor(r.color));
    job.painter->drawText(
        QPointF(rect.left() + rect.width() * double(r.x), rect.top() + rect.height() * double(r.y)),
        QString::fromUtf8(r.text));
}

}  // namespace chart
