// The strip under a chart view: evenly spaced time labels and a highlighted box with the time
// under the crosshair.
#ifndef VQ_CHART_TIME_BAR_H
#define VQ_CHART_TIME_BAR_H

#include "chart/shown_painted_item.h"

#include <QList>
#include <QString>

class TimeBar : public ShownPaintedItem {
    Q_OBJECT

public:
    explicit TimeBar(QQuickItem* parent = nullptr);

    // Bar times (seconds since 1970) to label; replaces the list and repaints.
    Q_INVOKABLE void setScales(QList<int> list);
    // The bar time under the crosshair, 0 for none; repaints.
    Q_INVOKABLE void setCurScales(uint timestamp);
    // The crosshair's pixel column; taken into account at the next repaint.
    Q_INVOKABLE void setCurX(int x);
    Q_INVOKABLE void setBeginEnd(int begin, int end);
    // "kline" or "mline".
    Q_INVOKABLE void setChartType(QString chart);
    Q_INVOKABLE void setChartCycle(int cycle);

    // One label: its text and the pixel column it is anchored at.
    struct Label {
        QString text;
        int x = 0;
        Qt::Alignment align = Qt::AlignHCenter;
    };
    // The labels the strip shows at the given width.
    QList<Label> labels(int width) const;
    // Text of a time by the chart type and cycle ("yyyy-MM-dd" for a daily chart, ...).
    QString timeText(uint timestamp) const;
    // The text of the crosshair box.
    QString currentText() const;

    void paint(QPainter* painter) override;

private:
    QList<int> scales_;
    int curX_ = 0;
    uint curTime_ = 0;
    int begin_ = 0;
    int end_ = 0;
    QString chartType_;
    int cycle_ = 0;
};

#endif
