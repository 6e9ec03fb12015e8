#include "paint/tool_registry.h"

#include "paint/cpaint_gann.h"
#include "paint/cpaint_levels.h"
#include "paint/cpaint_lines.h"
#include "paint/cpaint_marks.h"
#include "paint/cpaint_regression.h"
#include "paint/cpaint_shapes.h"
#include "paint/cpaint_three_point.h"

namespace paint {
namespace {

template <typename T>
CPaintMethodBase* make() {
    return new T;
}

struct Entry {
    const char* type;
    ToolFactory factory;
    bool choosable;
};

const Entry kTools[] = {
    {"PaintSegment", &make<CPaintSegment>, true},
    {"PaintLine", &make<CPaintLine>, true},
    {"PaintSpeedBlock", &make<CPaintSpeedBlock>, true},
    {"PaintGannLine", &make<CPaintGannLine>, true},
    {"PaintGoldenSplit", &make<CPaintGoldenSplit>, true},
    {"PaintGoldenPrice", &make<CPaintGoldenPrice>, true},
    {"PaintBandLine", &make<CPaintBandLine>, true},
    {"PaintPercentage", &make<CPaintPercentage>, true},
    {"PaintTrendLine", &make<CPaintTrendLine>, true},
    {"PaintLinerRegression", &make<CPaintLinerRegression>, true},
    {"PaintLinerRegressionBand", &make<CPaintLinerRegressionBand>, true},
    {"PaintRegressionChannel", &make<CPaintRegressionChannel>, true},
    {"PaintCycleLine", &make<CPaintCycleLine>, true},
    {"PaintFibonacci", &make<CPaintFibonacci>, true},
    {"PaintText", &make<CPaintText>, true},
    {"PaintRect", &make<CPaintRect>, true},
    {"PaintEllipse", &make<CPaintEllipse>, true},
    {"PaintArcEllipse", &make<CPaintArcEllipse>, true},
    {"PaintUpArrow", &make<CPaintUpArrow>, true},
    {"PaintDownArrow", &make<CPaintDownArrow>, true},
    {"PaintGoldenCollect", &make<CPaintGoldenCollect>, true},
    {"PaintFullRect", &make<CPaintFullRect>, false},
    {"PaintThreePoint", &make<CPaintThreePoint>, false},
};

}  // namespace

ToolFactory factoryForClass(const QString& className) {
    if (!className.startsWith(QLatin1Char('C'))) {
        return nullptr;
    }
    const QStringRef type = className.midRef(1);
    for (const Entry& e : kTools) {
        if (e.choosable && type == QLatin1String(e.type)) {
            return e.factory;
        }
    }
    return nullptr;
}

ToolFactory factoryForType(const QString& type) {
    for (const Entry& e : kTools) {
        if (type == QLatin1String(e.type)) {
            return e.factory;
        }
    }
    return nullptr;
}

QStringList choosableClassNames() {
    QStringList names;
    for (const Entry& e : kTools) {
        if (e.choosable) {
            names << QStringLiteral("C") + QLatin1String(e.type);
        }
    }
    return names;
}

}  // namespace paint
