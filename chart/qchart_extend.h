// The event strip along the bottom of a K-line chart: groups of dated events (dividends and
// rights issues, research reports, any dated note a view adds) drawn as small markers under the
// bar of their date, with a hover test that hands the events of the slot under the pointer to
// the view's tip.
#ifndef VQ_CHART_QCHART_EXTEND_H
#define VQ_CHART_QCHART_EXTEND_H

#include <QJsonArray>
#include <QJsonObject>
#include <QPointer>
#include <QQuickPaintedItem>
#include <QString>

class QChart;

class QChartExtend : public QQuickPaintedItem {
    Q_OBJECT
public:
    explicit QChartExtend(QQuickItem* parent = nullptr);

    Q_INVOKABLE void setQChart(QChart* chart);
    Q_INVOKABLE void appendExtendData(QJsonObject json);
    Q_INVOKABLE void removeExtendData(QString name);
    // Hover test at chart coordinates; true when an event is drawn in the slot under (x, y).
    Q_INVOKABLE bool mouseMove(int x, int y);
    // The groups as they stand, with the slots of the last paint in "xpos".
    Q_INVOKABLE QJsonArray extendData() const { return groups_; }

    // Bar of series 0 an event of time `t` belongs to: the first bar at or after it. -1 when
    // the event lies before the loaded bars or after the last one.
    int barOfTime(qint64 t) const;

    void paint(QPainter* painter) override;

public slots:
    void onDataUpdate();
    void onReCalcShow(int begin, int end, int showNumber, int x_pos);

signals:
    void activeTip(int x, int y, QJsonArray array);

private:
    bool chartReady() const;
    // Writes the slots of the current window into "xpos" (cleared for events not shown).
    void placeEvents();

    QPointer<QChart> chart_;
    QJsonArray groups_;
    int lastTip_ = -1;
};

#endif
