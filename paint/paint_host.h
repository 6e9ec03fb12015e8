// What a drawing tool and the drawing board need from the chart they live on: the main pane's
// geometry, the visible window, the bars of the chart's own security, and a way back to the
// views (repaints, the text dialog, the drawing menu). The chart provides one; tests may too.
#ifndef VQ_PAINT_PAINT_HOST_H
#define VQ_PAINT_PAINT_HOST_H

#include "chart/ctx_data.h"
#include "chart/kdata.h"

#include <QString>

namespace paint {

class PaintHost {
public:
    virtual ~PaintHost() = default;
    // Geometry of the main formula; null while the chart has no main pane.
    virtual const PaneGeometry* mainGeometry() const = 0;
    virtual int begin() const = 0;
    virtual int end() const = 0;
    // Series 0; null or empty while the chart has no bars.
    virtual const KSeries* bars() const = 0;
    virtual void requestRepaint() = 0;
    virtual void requestTextDialog(uint editId, const QString& text, const QString& color,
                                   const QString& font) = 0;
    virtual void requestMenu(const QString& type, int x, int y) = 0;
};

// The centre of the bar slot under pixel x: where placed points land horizontally.
int snapToSlot(const PaneGeometry& g, int x);

}  // namespace paint

#endif
