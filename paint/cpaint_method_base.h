// The base of every drawing tool: three points anchored to bar time and price, re-projected to
// pixels before every paint, the pen, hit tests of handles, and the common saved form.
#ifndef VQ_PAINT_CPAINT_METHOD_BASE_H
#define VQ_PAINT_CPAINT_METHOD_BASE_H

#include "paint/paint_host.h"
#include "paint/paint_pen.h"
#include "paint/paint_point.h"
#include "paint/saved_object.h"

#include <QJsonObject>
#include <QRect>

class QPainter;

// Implemented by the tools that carry text the user edits in the text dialog.
class IPaintTextEditor {
public:
    virtual ~IPaintTextEditor() = default;
    virtual void edit() = 0;
    virtual void setText(const QString& text, const QString& color, const QString& font) = 0;
    virtual uint editId() const = 0;
};

class CPaintMethodBase {
public:
    CPaintMethodBase();
    virtual ~CPaintMethodBase();
    CPaintMethodBase(const CPaintMethodBase&) = delete;
    CPaintMethodBase& operator=(const CPaintMethodBase&) = delete;

    // The saved "type", e.g. "PaintSegment"; the class name is "C" followed by it.
    virtual const char* typeName() const = 0;

    virtual void setChart(paint::PaintHost* chart);
    virtual void setPainter(QPainter* painter);
    virtual void setRect(int left, int top, int right, int bottom);
    virtual void setColor(int rgb);
    virtual void setWidth(int width);
    virtual void setStyle(int style);
    virtual void setStart(int x, int y);
    virtual void setMid(int x, int y);
    virtual void setEnd(int x, int y);
    virtual void moveBy(int dx, int dy);
    virtual bool hitBody(int x, int y) const { return false; }
    virtual bool hitHandle(int x, int y) const;
    virtual bool hitStart(int x, int y) const;
    virtual bool hitEnd(int x, int y) const;
    virtual bool hitMid(int x, int y) const;
    // The saved object; false when the tool is not saved (an empty text, the interval band).
    virtual bool savedObject(paint::SavedObject& out) const;
    virtual void readSavedObject(const QJsonObject& o);
    virtual void update();
    virtual void reset();
    virtual void draw();
    virtual IPaintTextEditor* textEditor() { return nullptr; }
    virtual void drawShape(int x1, int y1, int x2, int y2) {}
    virtual void drawLabel(int x1, int y1, int x2, int y2) {}
    virtual void drawHandles(int x1, int y1, int x2, int y2);
    virtual bool computeThreePoints() { return true; }
    virtual bool computeTwoPoints(int x1, int y1, int x2, int y2) { return true; }
    virtual void selectionChanged() {}
    bool hitPoint(int x, int y, int px, int py) const;
    // Recomputes the pixel geometry from the current pixels, so that hit tests between two
    // paints see what the last pointer event made of the tool.
    virtual void refreshGeometry() { computeTwoPoints(start.x, start.y, end.x, end.y); }
    // Re-resolves the three anchors against the current bars; composites also their parts.
    virtual void resolveAnchors();

    // Pixel and anchor conversions on the host's main pane.
    paint::PaintPoint pointAt(int x, int y, const paint::PaintPoint& previous) const;
    void project(paint::PaintPoint& p) const;
    // Whether every point the tool uses lies on a bar of the current series.
    virtual bool anchoredInSeries() const;

    bool attached = true;
    bool threeClick = false;
    bool moved = false;
    bool selected = true;
    bool showLabel = true;
    paint::PaintPoint start;
    paint::PaintPoint end;
    paint::PaintPoint mid;
    paint::PaintPen pen;
    paint::PaintHost* chart = nullptr;
    QRect paneRect;
    QPainter* painter = nullptr;
    int color = 0xffffff;
    int width = 1;
    int style = paint::kSolid;
    int handleColor = 0xffff00;
    // Set by the board when the tool is added, so that setting a point does not draw.
    bool drawnSinceAdded = false;

protected:
    // The common saved members after "type", in their saved order.
    void writeCommon(paint::SavedObject& out) const;
    void readCommon(const QJsonObject& o);
    // Syncs the pen with the tool's colour, width and style before drawing.
    void syncPen();
    // Price at pixel row y on the main pane, as the level labels show it.
    bool priceAt(int y, double* price) const;
    static void resolve(paint::PaintPoint& p, const KSeries* bars);
    static bool inSeries(const paint::PaintPoint& p, const KSeries* bars);
};

namespace paint {
// Numbers read back from saved strings the way C's atoi, atof and hexadecimal scanning read
// them: the leading number, 0 when there is none. Independent of the process locale.
long long savedInt(const QJsonObject& o, const char* key, long long fallback);
double savedDouble(const QJsonObject& o, const char* key, double fallback);
// Saved numbers: prices with two decimals, slopes with fourteen, never a locale's comma.
QString priceText(double v);
QString preciseText(double v);
}  // namespace paint

#endif
