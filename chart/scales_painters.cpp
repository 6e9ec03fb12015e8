// The value axes of a pane: grid lines and labels at evenly spaced levels ("KSCALES"), and the
// minute axis centred on the previous close with percentages ("MSCALES").
#include "chart/axis_levels.h"
#include "chart/chart_painters.h"
#include "chart/chart_style.h"
#include "chart/draw_primitives.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <vector>

namespace chart {

namespace {

// Labels on both sides of each level: right-aligned left of the plot, left-aligned right of
// it. The top and bottom labels are pushed inside the plot by half a line.
void drawLevelLabels(QPainter* p, const QRect& rect, const std::vector<AxisLevel>& levels) {
    const int h = QFontMetrics(style::font()).height();
    const int width = style::labelWidth();
    for (size_t n = 0; n < levels.size(); ++n) {
        const AxisLevel& level = levels[n];
        int centre = level.row;
        if (n == 0) {
            centre += h / 2;
        } else if (n + 1 == levels.size()) {
            centre -= h / 2;
        }
        p->setPen(level.color);
        p->drawText(QRect(rect.left() - width - 5, centre - h / 2, width, h),
                    Qt::AlignRight | Qt::AlignVCenter, level.left);
        if (!level.right.isEmpty()) {
            p->drawText(QRect(rect.right() + 5, centre - h / 2, width + 20, h),
                        Qt::AlignLeft | Qt::AlignVCenter, level.right);
        }
    }
}

}  // namespace

void paintKScales(QPainter* painter, int gridCount, CTXData& d, int begin, int end,
                  int showNumber) {
    Q_UNUSED(showNumber);
    const QRect& rect = d.geo.rect;
    if (rect.isEmpty()) {
        return;
    }
    const std::vector<AxisLevel> levels = kScalesLevels(d, gridCount);
    painter->save();
    PixelRects grid;
    for (const AxisLevel& level : levels) {
        grid.hline(rect.left(), rect.right(), level.row);
    }
    grid.vline(rect.left(), rect.top(), rect.bottom());
    grid.vline(rect.right(), rect.top(), rect.bottom());
    grid.draw(painter, style::gridColor());
    painter->setFont(style::font());
    drawLevelLabels(painter, rect, levels);
    if (d.name == QLatin1String("KLINE")) {
        painter->setPen(style::penColor());
        for (const PriceMark& mark : highLowMarks(d, begin, end)) {
            painter->drawText(mark.box, Qt::AlignCenter, mark.text);
        }
    }
    painter->restore();
}

void paintMScales(QPainter* painter, int gridCount, CTXData& d, int begin, int end,
                  int showNumber) {
    Q_UNUSED(begin);
    Q_UNUSED(end);
    Q_UNUSED(showNumber);
    const QRect& rect = d.geo.rect;
    if (rect.isEmpty()) {
        return;
    }
    // The symmetric range is kept in d, so the crosshair and the layer images agree with the
    // axis.
    const std::vector<AxisLevel> levels = mScalesLevels(d, gridCount);
    const size_t middle = levels.size() / 2;
    painter->save();
    PixelRects solid;
    QVector<QLine> dotted;
    for (size_t n = 0; n < levels.size(); ++n) {
        const int row = levels[n].row;
        if (n == middle) {
            solid.fill(rect.left(), row, rect.right(), std::min(row + 1, rect.bottom()));
        } else if (n == 0 || n + 1 == levels.size()) {
            solid.hline(rect.left(), rect.right(), row);
        } else {
            dotted.append(QLine(rect.left(), row, rect.right(), row));
        }
    }
    for (int i = 0; i <= 8; ++i) {
        const int x = std::min(rect.left() + int(i * rect.width() * 0.125), rect.right());
        if (i % 4 == 0) {
            solid.vline(x, rect.top(), rect.bottom());
        } else {
            dotted.append(QLine(x, rect.top(), x, rect.bottom()));
        }
    }
    solid.draw(painter, style::gridColor());
    {
        AliasedScope aliased(painter);
        painter->setPen(QPen(style::gridColor(), 1, Qt::DotLine));
        painter->drawLines(dotted);
    }
    painter->setFont(style::font());
    drawLevelLabels(painter, rect, levels);
    painter->restore();
}

}  // namespace chart
