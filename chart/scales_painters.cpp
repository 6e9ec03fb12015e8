// The value axes of a pane: grid lines and labels at evenly spaced levels ("KSCALES"), and the
// minute axis centred on the previous close with percentages ("MSCALES").
#include "chart/axis_labels.h"
#include "chart/chart_painters.h"
#include "chart/chart_style.h"
#include "chart/draw_primitives.h"
#include "chart/output_drawers.h"
#include "chart/pane_map.h"

#include "libformula/fml.h"

#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <vector>

namespace chart {

namespace {

// min, min + step, ..., min + gridCount * step, max: gridCount + 2 levels from the bottom up.
std::vector<double> levels(const PaneGeometry& g, int gridCount) {
    const int count = std::max(gridCount, 0);
    const double step = (double(g.max) - g.min) / (count + 1);
    std::vector<double> out;
    for (int i = 0; i <= count; ++i) {
        out.push_back(g.min + i * step);
    }
    out.push_back(g.max);
    return out;
}

// The pixel row of a level, kept on the plot so that the bottom line is not drawn under it.
int levelRow(const PaneMap& map, const QRect& rect, double level) {
    return std::clamp(pixel(map.valueY(level)), rect.top(), rect.bottom());
}

// Labels on both sides of a level: right-aligned left of the plot, left-aligned right of it.
// The top and bottom labels are pushed inside the plot by half a line.
void drawLevelLabels(QPainter* p, const QRect& rect, int row, bool top, bool bottom,
                     const QString& left, const QString& right, const QColor& color) {
    const int h = QFontMetrics(style::font()).height();
    const int width = style::labelWidth();
    int centre = row;
    if (top) {
        centre += h / 2;
    } else if (bottom) {
        centre -= h / 2;
    }
    p->setPen(color);
    p->drawText(QRect(rect.left() - width - 5, centre - h / 2, width, h),
                Qt::AlignRight | Qt::AlignVCenter, left);
    if (!right.isEmpty()) {
        p->drawText(QRect(rect.right() + 5, centre - h / 2, width + 20, h),
                    Qt::AlignLeft | Qt::AlignVCenter, right);
    }
}

// Highest high and lowest low of the visible price bars, each marked at its bar with an arrow
// pointing at the bar; a label that would leave the plot turns to the other side.
void drawHighLowMarks(QPainter* p, const CTXData& d, int begin, int end) {
    // The bars the formula ran over, or the VM's copy of them when the record has none.
    int count = 0;
    const float* vmHigh = nullptr;
    const float* vmLow = nullptr;
    if (d.series) {
        count = int(d.series->size());
    } else {
        int highCount = 0, lowCount = 0;
        vmHigh = argumentSeries(d.ctx, "H", &highCount);
        vmLow = argumentSeries(d.ctx, "L", &lowCount);
        count = vmHigh && vmLow ? std::min(highCount, lowCount) : 0;
    }
    auto highAt = [&](int i) { return d.series ? (*d.series)[size_t(i)].high : vmHigh[i]; };
    auto lowAt = [&](int i) { return d.series ? (*d.series)[size_t(i)].low : vmLow[i]; };
    int top = -1, bottom = -1;
    for (int i = std::max(begin, 0); i <= std::min(end, count - 1); ++i) {
        if (highAt(i) != FMLInvalidValue && (top < 0 || highAt(i) > highAt(top))) {
            top = i;
        }
        if (lowAt(i) != FMLInvalidValue && (bottom < 0 || lowAt(i) < lowAt(bottom))) {
            bottom = i;
        }
    }
    if (top < 0 || bottom < 0) {
        return;
    }
    const PaneMap map(d.geo);
    const QRect& rect = d.geo.rect;
    const QFontMetrics metrics(style::font());
    const int h = metrics.height();
    const int decimals = std::max(d.decimal(), 0);
    p->setPen(style::penColor());
    auto mark = [&](int bar, float value, bool pointLeft) {
        const QString number = QString::number(double(value), 'f', decimals);
        const QString rightward = number + QStringLiteral("→");
        const QString leftward = QStringLiteral("←") + number;
        const int x = pixel(map.slotX(bar - begin));
        const int y = pixel(map.valueY(value));
        if (pointLeft) {
            // Text ends at the bar, arrow pointing right at it.
            const int w = metrics.horizontalAdvance(rightward);
            if (x - w >= rect.left()) {
                p->drawText(QRect(x - w, y - h / 2, w, h), Qt::AlignRight | Qt::AlignVCenter,
                            rightward);
                return;
            }
            p->drawText(QRect(x, y - h / 2, metrics.horizontalAdvance(leftward), h),
                        Qt::AlignLeft | Qt::AlignVCenter, leftward);
            return;
        }
        const int w = metrics.horizontalAdvance(leftward);
        if (x + w <= rect.right()) {
            p->drawText(QRect(x, y - h / 2, w, h), Qt::AlignLeft | Qt::AlignVCenter, leftward);
            return;
        }
        const int wr = metrics.horizontalAdvance(rightward);
        p->drawText(QRect(x - wr, y - h / 2, wr, h), Qt::AlignRight | Qt::AlignVCenter, rightward);
    };
    mark(top, highAt(top), true);
    mark(bottom, lowAt(bottom), false);
}

}  // namespace

void paintKScales(QPainter* painter, int gridCount, CTXData& d, int begin, int end,
                  int showNumber) {
    Q_UNUSED(showNumber);
    const QRect& rect = d.geo.rect;
    if (rect.isEmpty()) {
        return;
    }
    painter->save();
    painter->setFont(style::font());
    const PaneMap map(d.geo);
    const std::vector<double> values = levels(d.geo, gridCount);
    PixelRects grid;
    for (size_t n = values.size(); n-- > 0;) {
        const int row = levelRow(map, rect, values[n]);
        grid.hline(rect.left(), rect.right(), row);
        const QString text = valueText(d, values[n], 1);
        drawLevelLabels(painter, rect, row, n + 1 == values.size(), n == 0, text, text,
                        style::penColor());
    }
    grid.vline(rect.left(), rect.top(), rect.bottom());
    grid.vline(rect.right(), rect.top(), rect.bottom());
    grid.draw(painter, style::gridColor());
    if (d.name == QLatin1String("KLINE")) {
        drawHighLowMarks(painter, d, begin, end);
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
    // The range is made symmetric about the previous close and kept, so that the crosshair
    // and the layer images agree with the axis.
    const double base = minuteBase(d);
    const double spread =
        std::max(std::fabs(double(d.geo.max) - base), std::fabs(double(d.geo.min) - base));
    d.geo.max = float(base + spread);
    d.geo.min = float(base - spread);

    painter->save();
    painter->setFont(style::font());
    const PaneMap map(d.geo);
    const std::vector<double> values = levels(d.geo, gridCount);
    const size_t middle = (values.size() - 1) / 2;
    const int decimals = std::max(d.decimal(), 0);
    PixelRects solid;
    QVector<QLine> dotted;
    for (size_t n = values.size(); n-- > 0;) {
        const int row = levelRow(map, rect, values[n]);
        const bool top = n + 1 == values.size(), bottom = n == 0;
        if (n == middle) {
            solid.fill(rect.left(), row, rect.right(), std::min(row + 1, rect.bottom()));
        } else if (top || bottom) {
            solid.hline(rect.left(), rect.right(), row);
        } else {
            dotted.append(QLine(rect.left(), row, rect.right(), row));
        }
        const QColor color = n == middle  ? style::penColor()
                             : n > middle ? style::upColor()
                                          : style::downColor();
        const QString right = base != 0 ? percentText(values[n], base) : QString();
        drawLevelLabels(painter, rect, row, top, bottom, QString::number(values[n], 'f', decimals),
                        right, color);
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
        QPen dots(style::gridColor(), 1, Qt::DotLine);
        painter->setPen(dots);
        painter->drawLines(dotted);
    }
    painter->restore();
}

}  // namespace chart
