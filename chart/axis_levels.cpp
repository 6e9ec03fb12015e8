#include "chart/axis_levels.h"

#include "chart/axis_labels.h"
#include "chart/chart_style.h"
#include "chart/output_drawers.h"
#include "chart/pane_map.h"

#include "libformula/fml.h"

#include <QFontMetrics>

#include <algorithm>
#include <cmath>

namespace chart {

namespace {

// min, min + step, ..., min + gridCount * step, max, listed from the top down.
std::vector<AxisLevel> evenLevels(const CTXData& d, int gridCount) {
    const PaneGeometry& g = d.geo;
    const int count = std::max(gridCount, 0);
    const double step = (double(g.max) - g.min) / (count + 1);
    const PaneMap map(g);
    std::vector<AxisLevel> out;
    for (int i = count + 1; i >= 0; --i) {
        AxisLevel level;
        level.value = i == count + 1 ? double(g.max) : g.min + i * step;
        // The bottom level maps one row below the plot; its line is kept on the plot.
        level.row = std::clamp(pixel(map.valueY(level.value)), g.rect.top(), g.rect.bottom());
        out.push_back(level);
    }
    return out;
}

}  // namespace

std::vector<AxisLevel> kScalesLevels(const CTXData& d, int gridCount) {
    std::vector<AxisLevel> levels = evenLevels(d, gridCount);
    for (AxisLevel& level : levels) {
        level.left = level.right = valueText(d, level.value, 1);
        level.color = style::penColor();
    }
    return levels;
}

std::vector<AxisLevel> mScalesLevels(CTXData& d, int gridCount) {
    const double base = minuteBase(d);
    const double spread =
        std::max(std::fabs(double(d.geo.max) - base), std::fabs(double(d.geo.min) - base));
    d.geo.max = float(base + spread);
    d.geo.min = float(base - spread);
    std::vector<AxisLevel> levels = evenLevels(d, gridCount);
    const size_t middle = levels.size() / 2;
    const int decimals = std::max(d.decimal(), 0);
    for (size_t n = 0; n < levels.size(); ++n) {
        AxisLevel& level = levels[n];
        level.left = QString::number(level.value, 'f', decimals);
        if (base != 0) {
            level.right = percentText(level.value, base);
        }
        level.color = n == middle  ? style::penColor()
                      : n < middle ? style::upColor()
                                   : style::downColor();
    }
    return levels;
}

std::vector<PriceMark> highLowMarks(const CTXData& d, int begin, int end) {
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
        return {};
    }
    const PaneMap map(d.geo);
    const QRect& rect = d.geo.rect;
    const QFontMetrics metrics(style::font());
    const int h = metrics.height();
    const int decimals = std::max(d.decimal(), 0);
    auto mark = [&](int bar, float value, bool preferLeft) {
        const QString number = QString::number(double(value), 'f', decimals);
        const QString pointingRight = number + QStringLiteral("→");
        const QString pointingLeft = QStringLiteral("←") + number;
        const int x = pixel(map.slotX(bar - begin));
        const int y = pixel(map.valueY(value)) - h / 2;
        const int wRight = metrics.horizontalAdvance(pointingRight);
        const int wLeft = metrics.horizontalAdvance(pointingLeft);
        // The label sits on its preferred side of the bar unless it would leave the plot.
        const bool left = preferLeft ? x - wRight >= rect.left() : x + wLeft > rect.right();
        if (left) {
            return PriceMark{pointingRight, QRect(x - wRight, y, wRight, h)};
        }
        return PriceMark{pointingLeft, QRect(x, y, wLeft, h)};
    };
    return {mark(top, highAt(top), true), mark(bottom, lowAt(bottom), false)};
}

}  // namespace chart
