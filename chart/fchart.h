// One layer image of a chart: the outputs of the layer's formulas, rendered into a cached
// image whenever the layer, the window or the size changes, and copied on every paint.
#ifndef VQ_CHART_FCHART_H
#define VQ_CHART_FCHART_H

#include "chart/chart_children.h"
#include "chart/ctx_data.h"
#include "chart/shown_painted_item.h"

#include <QFont>
#include <QImage>

class FChart : public ShownPaintedItem, public chart::LayerView {
    Q_OBJECT

public:
    explicit FChart(QQuickItem* parent = nullptr);

    // The tint QML hands a layer of an overlaid security; kept for the views, not drawn.
    Q_INVOKABLE void setGray(uint color);
    uint gray() const { return gray_; }

    void setWindow(int begin, int end) override;
    void setLayer(CTXLayer* layer) override;
    CTXLayer* layer() const { return layer_; }
    int begin() const { return begin_; }
    int end() const { return end_; }

    // Renders the layer into the cached image now; a hidden item only notes that its image is
    // stale and renders when it is painted again.
    void render();
    const QImage& image() const { return image_; }
    bool rendered() const { return drawn_; }

    void paint(QPainter* painter) override;

public slots:
    void onWidthChanged();
    void onHeightChanged();

signals:
    void parentMouseMoveEvent(int x, int y);
    void crosshairChange(int x, float y);

protected:
    void shownChanged(bool shown) override;

private:
    qreal devicePixelRatio() const;
    bool hasFormulas() const { return layer_ && !layer_->empty(); }

    QImage image_;
    QFont font_;
    CTXLayer* layer_ = nullptr;
    int begin_ = 0;
    int end_ = 0;
    uint gray_ = 0;
    bool drawn_ = false;
};

#endif
