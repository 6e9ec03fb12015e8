// Pixel-exact primitives for the drawers: axis-aligned lines and boxes are gathered as filled
// one-pixel-wide rectangles and drawn without antialiasing, so a one-pixel candle edge or grid
// line covers exactly one pixel row or column instead of two half-grey ones.
#ifndef VQ_CHART_DRAW_PRIMITIVES_H
#define VQ_CHART_DRAW_PRIMITIVES_H

#include <QColor>
#include <QPen>
#include <QPointF>
#include <QRect>
#include <QVector>

#include <vector>

class QPainter;

namespace chart {

// A batch of filled pixel rectangles of one colour, drawn with one call.
class PixelRects {
public:
    // Pixel column x, rows y1 .. y2 in either order, both included.
    void vline(int x, int y1, int y2);
    // Pixel row y, columns x1 .. x2 in either order, both included.
    void hline(int x1, int x2, int y);
    // The pixels left .. right, top .. bottom (either order), all included.
    void fill(int x1, int y1, int x2, int y2);
    // The one-pixel border of that box; a box one pixel wide or high is a line.
    void frame(int x1, int y1, int x2, int y2);
    bool empty() const { return rects_.isEmpty(); }
    void draw(QPainter* painter, const QColor& color) const;

private:
    QVector<QRect> rects_;
};

// The pen of a style record: its colour and width (at least 1), dash-dot for style code 1.
QPen stylePen(const QColor& color, float width, int style);

// Polylines through runs of valid points; a missing value ends a run. Points are moved to pixel
// centres so that horizontal and vertical stretches of thin lines stay sharp.
class PolylineRuns {
public:
    void add(double x, double y);
    void breakRun();
    const std::vector<QVector<QPointF>>& runs() const { return runs_; }
    void draw(QPainter* painter) const;

private:
    std::vector<QVector<QPointF>> runs_;
    bool open_ = false;
};

// Saves the painter and switches antialiasing off until the scope ends.
class AliasedScope {
public:
    explicit AliasedScope(QPainter* painter);
    ~AliasedScope();
    AliasedScope(const AliasedScope&) = delete;
    AliasedScope& operator=(const AliasedScope&) = delete;

private:
    QPainter* painter_;
};

}  // namespace chart

#endif
