// The pen record of a drawing tool: colour, width and style, and the primitives every tool
// draws with. Colours are 0xRRGGBB and drawn opaque; a dotted pen is always one pixel wide.
#ifndef VQ_PAINT_PAINT_PEN_H
#define VQ_PAINT_PAINT_PEN_H

#include <QColor>
#include <QFont>
#include <QPoint>
#include <QRect>
#include <QRectF>
#include <QString>

class QPainter;

namespace paint {

constexpr int kSolid = 1;
constexpr int kDash = 2;
constexpr int kDot = 3;

QColor rgbColor(int rgb);
// "#rrggbb": the form the views' colour pickers and dialogs read.
QString colorText(int rgb);
// The font labels are written in: the chart font.
const QFont& labelFont();

class PaintPen {
public:
    int color = 0xffffff;
    int width = 1;
    int style = kSolid;
    QPainter* painter = nullptr;
    // Lines are cut to this rectangle (the pane and a small margin) before they are drawn.
    QRectF bounds;

    void line(int x1, int y1, int x2, int y2) const;
    void polyline(const QPoint* points, int n, bool filled) const;
    void rect(const QRect& r, bool filled) const;
    void ellipse(const QRectF& r) const;
    // A half ellipse: Qt angles in sixteenths of a degree.
    void arc(const QRectF& r, int startAngle, int spanAngle) const;
    // One line of text, top-left at (x, y), 18 pixels high.
    void label(int x, int y, const QString& text) const;
    // Several lines, top-left at (x, y); returns the rectangle the text took.
    QRect textBlock(int x, int y, const QString& text, const QFont& font) const;

private:
    void applyPen() const;
};

// printf-style formatting into a bounded buffer, as the labels are written.
QString formatLabel(const char* format, double value);

}  // namespace paint

#endif
