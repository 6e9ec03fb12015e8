// The crosshair of a pane: dash-dot lines through the pointer and the value under it in label
// boxes on both sides of the plot ("KCROSSHAIR"; "MCROSSHAIR" shows a percentage on the right).
#include "chart/axis_labels.h"
#include "chart/chart_painters.h"
#include "chart/chart_style.h"
#include "chart/draw_primitives.h"
#include "chart/pane_map.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>

namespace chart {

namespace {

constexpr int kBoxWidth = 60;

void paintCrosshair(QPainter* p, const CTXData& d, int mouseX, int mouseY, bool show,
                    bool percentRight) {
    const QRect& rect = d.geo.rect;
    if (rect.isEmpty()) {
        return;
    }
    const PaneMap map(d.geo);
    const int yMax = pixel(map.valueY(d.geo.max));
    const int yMin = pixel(map.valueY(d.geo.min));
    const int x = std::clamp(mouseX, rect.left(), rect.right());
    const int y = std::clamp(mouseY, std::min(yMax, yMin), std::max(yMax, yMin));
    p->save();
    if (show) {
        AliasedScope aliased(p);
        QPen pen(style::crosshairColor(), 1, Qt::DashDotLine);
        p->setPen(pen);
        p->drawLine(x, rect.top(), x, rect.bottom());
        if (y > yMax && y < yMin) {
            p->drawLine(rect.left(), y, rect.right(), y);
        }
    }
    if (rect.contains(mouseX, mouseY)) {
        const CrosshairTexts texts = crosshairTexts(d, mouseY, percentRight);
        p->setFont(style::font());
        const int h = QFontMetrics(style::font()).height();
        int top = y - h / 2;
        if (top + h - 1 > rect.bottom()) {
            top = rect.bottom() - h + 1;
        }
        {
            AliasedScope aliased(p);
            p->fillRect(QRect(rect.left() - kBoxWidth, top, kBoxWidth, h), style::labelBoxColor());
            p->fillRect(QRect(rect.right() + 1, top, kBoxWidth, h), style::labelBoxColor());
        }
        p->setPen(style::penColor());
        p->drawText(QRect(rect.left() - kBoxWidth, top, kBoxWidth - 5, h),
                    Qt::AlignRight | Qt::AlignVCenter, texts.left);
        p->drawText(QRect(rect.right() + 5, top, kBoxWidth - 10, h),
                    Qt::AlignLeft | Qt::AlignVCenter, texts.right);
    }
    p->restore();
}

}  // namespace

void paintKCrosshair(QPainter* painter, const CTXData& d, int mouseX, int mouseY, int begin,
                     int stop, bool show) {
    Q_UNUSED(begin);
    Q_UNUSED(stop);
    paintCrosshair(painter, d, mouseX, mouseY, show, false);
}

void paintMCrosshair(QPainter* painter, const CTXData& d, int mouseX, int mouseY, int begin,
                     int stop, bool show) {
    Q_UNUSED(begin);
    Q_UNUSED(stop);
    paintCrosshair(painter, d, mouseX, mouseY, show, true);
}

}  // namespace chart
