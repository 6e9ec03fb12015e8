// Pixel expectations of the rendering tests, listed per case in data tables.
#ifndef VQ_TESTS_CHART_RENDER_PROBES_H
#define VQ_TESTS_CHART_RENDER_PROBES_H

#include <QColor>
#include <QImage>
#include <QList>
#include <QMetaType>
#include <QRect>
#include <QString>

namespace render_test {

struct Probe {
    enum Kind { Exact, Empty, Any, Translucent };
    int x = 0;
    int y = 0;
    Kind kind = Any;
    QColor color;
};

// A painted-pixel count in an area that must lie within min .. max.
struct Count {
    QRect area;
    int min = 0;
    int max = 1 << 30;
};

inline Probe is(int x, int y, const QColor& color) {
    return Probe{x, y, Probe::Exact, color};
}
inline Probe empty(int x, int y) {
    return Probe{x, y, Probe::Empty, QColor()};
}
inline Probe inked(int x, int y) {
    return Probe{x, y, Probe::Any, QColor()};
}
inline Probe translucent(int x, int y) {
    return Probe{x, y, Probe::Translucent, QColor()};
}
inline Count atLeast(const QRect& area, int n) {
    return Count{area, n, 1 << 30};
}
inline Count atMost(const QRect& area, int n) {
    return Count{area, 0, n};
}
inline Count between(const QRect& area, int lo, int hi) {
    return Count{area, lo, hi};
}

// The first failed expectation, empty when all hold.
QString checkProbes(const QImage& image, const QList<Probe>& probes);
QString checkCounts(const QImage& image, const QList<Count>& counts);

}  // namespace render_test

Q_DECLARE_METATYPE(render_test::Probe)
Q_DECLARE_METATYPE(render_test::Count)

#endif
