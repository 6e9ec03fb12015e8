// The strip at the top of a chart: every formula's output names and values at the bar under the
// crosshair, in the outputs' colours ("MA5: 10.23").
#ifndef VQ_CHART_TITLE_BAR_H
#define VQ_CHART_TITLE_BAR_H

#include "chart/chart_children.h"
#include "chart/ctx_data.h"
#include "chart/shown_painted_item.h"

#include <QColor>
#include <QList>
#include <QString>

class TitleBar : public ShownPaintedItem, public chart::TitleView {
    Q_OBJECT
    Q_PROPERTY(int leftPadding READ leftPadding WRITE setLeftPadding NOTIFY leftPaddingChanged)

public:
    explicit TitleBar(QQuickItem* parent = nullptr);

    // The formulas of the chart's first layer; the chart keeps the list alive.
    void setCTXData(CTXLayer* formulas) override;
    // The bar under the crosshair; repaints.
    Q_INVOKABLE void setCurX(int bar) override;
    int curX() const { return bar_; }

    int leftPadding() const { return leftPadding_; }
    void setLeftPadding(int padding);

    // One entry of the strip: "name: value" and its colour.
    struct Entry {
        QString text;
        QColor color;
    };
    // The entries at the current bar, formula after formula. Clamps a bar index past the end
    // of a formula's bars to its last bar and keeps it.
    QList<Entry> entries();

    void paint(QPainter* painter) override;

signals:
    void leftPaddingChanged(int leftPadding);

private:
    CTXLayer* formulas_ = nullptr;
    int bar_ = 0;
    int leftPadding_ = 60;
};

#endif
